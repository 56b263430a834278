#pragma once
// One window of the front end: a Qt Designer form loaded at run time and
// wrapped as a form of the host, so that the library's routines reach it
// and its controls by name, exactly as they reach any client's form.
#include "Session.h"

#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/host/Form.h>

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QAbstractButton;

namespace orders {

class FormBase {
 public:
  // Loads `uiFile` from the forms folder; Error 53 when it is missing.
  FormBase(Session& session, std::string_view uiFile);
  virtual ~FormBase();
  FormBase(const FormBase&) = delete;
  FormBase& operator=(const FormBase&) = delete;

  // The form as the library sees it, and its name (the INI section of its customisations).
  Object form() const;
  std::u16string name() const;
  QWidget* window() const { return window_; }

  // frm.<name>: a control, or a control array.
  Object control(std::u16string_view name) const;
  // Element `index` of a control array.
  Object element(std::u16string_view name, std::int16_t index) const;
  // The widget of a control (an element when `index` is given); nullptr when there is none.
  QWidget* widget(std::u16string_view name, std::optional<std::int16_t> index = std::nullopt) const;

  // The text of a control's Text or Caption, through its members.
  std::u16string text(std::u16string_view name, std::optional<std::int16_t> index = std::nullopt) const;
  void setText(std::u16string_view name, std::optional<std::int16_t> index, std::u16string_view text) const;

  // The line at the foot of the form that tells what happened.
  void setStatus(std::u16string_view text) const;
  std::u16string status() const;

  // Shows the window; until the user has been in a box, the cursor waits in the first one.
  void show() const;
  void close() const;

  // Applies the stored captions and tool tips (after writing the
  // customisation files on the form's first use).
  void customise() const;

 protected:
  Session& session() const { return session_; }
  const Library& library() const { return session_.library(); }
  tarnwick::host::Form& hostForm() const { return *form_.get(); }
  // Runs a button's handler on click. A failed call of the library or the
  // engine does not escape into Qt's event loop: the user sees its number
  // and description, and the form stays usable.
  void onClick(std::u16string_view button, std::function<void()> handler) const;
  // Runs `work`, showing a failure as onClick does; false when it failed.
  bool guarded(const std::function<void()>& work) const;
  // The box the cursor is in when the window first shows.
  void startIn(QWidget* box) { firstBox_ = box; }

 private:
  Session& session_;
  tarnwick::ComPtr<tarnwick::host::Form> form_;
  QPointer<QWidget> window_;
  QPointer<QWidget> firstBox_;
};

// Tells the user through the host's message box (OK, exclamation icon, no title).
void tell(std::u16string_view message);
// Asks a question through the host's message box (Yes and No, question
// icon, no title); true for Yes.
bool ask(std::u16string_view question);

}  // namespace orders
