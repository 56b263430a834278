#include "FormBase.h"

#include "Customisation.h"
#include "Text.h"
#include "WindowPlace.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/qt/QtHost.h>

#include <QAbstractButton>

#include <string>
#include <utility>

namespace orders {

using namespace tarnwick;

FormBase::FormBase(Session& session, std::string_view uiFile)
    : session_(session), form_(qt::loadUiForm(session.formFile(uiFile))), window_(qt::windowOf(*form_.get())) {
  if (window_) {
    restorePlace(library(), *window_, name());
    keepPlaceOnClose(library(), *window_, name());
  }
}

FormBase::~FormBase() {
  // A window still open when the program ends is kept where it stands.
  if (window_ && window_->isVisible()) guarded([this] { storePlace(library(), *window_, name()); });
  // The host's form goes first, taking its window with it; a window that
  // something else still holds on to goes here.
  form_ = nullptr;
  delete window_.data();
}

Object FormBase::form() const { return Object(static_cast<IDispatch*>(form_.get())); }

std::u16string FormBase::name() const { return form_->name(); }

Object FormBase::control(std::u16string_view name) const { return objectOf(form(), name); }

Object FormBase::element(std::u16string_view name, std::int16_t index) const {
  return Object(control(name).get(u"Item", {Variant(index)}));
}

QWidget* FormBase::widget(std::u16string_view name, std::optional<std::int16_t> index) const {
  host::Control* c = form_->find(name, index);
  return c ? qobject_cast<QWidget*>(qt::widgetOf(*c)) : nullptr;
}

namespace {

// The member that holds what a control shows: Caption for labels and
// buttons, Text for the rest.
std::u16string_view shownMember(const Object& control) {
  const std::u16string type = control.typeName();
  return type == u"Label" || type == u"CommandButton" || type == u"Frame" ? u"Caption" : u"Text";
}

}  // namespace

std::u16string FormBase::text(std::u16string_view name, std::optional<std::int16_t> index) const {
  const Object c = index ? element(name, *index) : control(name);
  return toText(c.get(shownMember(c)));
}

void FormBase::setText(std::u16string_view name, std::optional<std::int16_t> index, std::u16string_view text) const {
  const Object c = index ? element(name, *index) : control(name);
  c.put(shownMember(c), Variant(text));
}

void FormBase::setStatus(std::u16string_view text) const { setText(u"lblStatus", std::nullopt, text); }

std::u16string FormBase::status() const { return text(u"lblStatus"); }

void FormBase::show() const {
  form().call(u"Show");
  // Showing gives the keyboard to the window itself, to none of its boxes.
  const QWidget* now = window_ ? window_->focusWidget() : nullptr;
  if (firstBox_ && (!now || now == window_)) firstBox_->setFocus(Qt::OtherFocusReason);
}

void FormBase::close() const {
  if (window_) window_->hide();
}

void FormBase::customise() const {
  const Library& lib = library();
  if (!hasCustomisation(lib, name())) writeCustomisation(lib, form(), name());
  applyCustomisation(lib, form(), name());
}

void FormBase::onClick(std::u16string_view button, std::function<void()> handler) const {
  auto* b = qobject_cast<QAbstractButton*>(widget(button));
  if (!b) tarnwick::raise(Error(errc::InvalidProcedureCall, u"The form has no button " + std::u16string(button)));
  QObject::connect(b, &QAbstractButton::clicked, b, [this, handler = std::move(handler)] { guarded(handler); });
}

bool FormBase::guarded(const std::function<void()>& work) const {
  try {
    work();
    return true;
  } catch (const Error& e) {
    tell(concat(e.number(), u" ", e.description()));
  } catch (const std::exception& e) {
    tell(fromUtf8(e.what()));
  }
  return false;
}

void tell(std::u16string_view message) {
  host::messageBox()->show(std::u16string(message), host::mb::OKOnly + host::mb::Exclamation, u"");
}

bool ask(std::u16string_view question) {
  return host::messageBox()->show(std::u16string(question), host::mb::YesNo + host::mb::Question, u"") == host::mb::Yes;
}

}  // namespace orders
