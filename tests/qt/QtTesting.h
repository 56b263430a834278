#pragma once
// Helpers of the Qt host's tests: the Designer files under data/, forms
// loaded from them whose windows go away with the test, and objects called
// by name the way a routine calls them.
#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/qt/QtHost.h>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <string>

namespace tarnwick::testing {

inline std::filesystem::path qtTestData(const char* name) { return std::filesystem::path(TARNWICK_QT_TEST_DATA) / name; }

inline Object objectOf(host::Form& form) { return Object(static_cast<IDispatch*>(&form)); }
inline Object objectOf(host::Control& control) { return Object(static_cast<IDispatch*>(&control)); }

// The control `name` of a form, as a routine reaches frm.<name>.
inline Object controlOf(const Object& form, std::u16string_view name) { return Object(form.get(name)); }

inline QString qtext(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::u16string u16(const QString& text) { return text.toStdU16String(); }

// Runs the deletions that Qt has queued (deleteLater).
inline void runDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// The widget of a control, as its Qt class; nullptr when it is of another class or gone.
template <typename W>
W* widgetAs(const Object& control) {
  auto* c = dynamic_cast<host::Control*>(control.get());
  return c ? qobject_cast<W*>(qt::widgetOf(*c)) : nullptr;
}

// A form loaded from a Designer file under data/; its window is deleted
// at the end of the test whatever the form did with it.
class UiForm {
 public:
  explicit UiForm(const char* file) : form_(qt::loadUiForm(qtTestData(file))), window_(qt::windowOf(*form_.get())) {}
  ~UiForm() {
    form_ = nullptr;
    delete window_.data();
    runDeferredDeletes();
  }
  UiForm(const UiForm&) = delete;
  UiForm& operator=(const UiForm&) = delete;

  host::Form& form() const { return *form_.get(); }
  Object object() const { return objectOf(*form_.get()); }
  QWidget* window() const { return window_.data(); }
  template <typename W>
  W* widget(const char* name) const {
    return window_ ? window_->findChild<W*>(QString::fromLatin1(name)) : nullptr;
  }

 private:
  ComPtr<host::Form> form_;
  QPointer<QWidget> window_;
};

}  // namespace tarnwick::testing
