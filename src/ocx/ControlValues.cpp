// Clearing a form's controls, and per-control default values kept in an INI
// file (section: the form's name; key: the control's name and index).
#include "ControlValues.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/Profile.h>

namespace tarnwick::ocx {

namespace {

void setDefaultMember(const Object& control, const Variant& value) {
  control.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &value);
}

// The key of a control's default: its Name, then its Index by the
// number-to-text rule ("txtCity 0"). A control outside a control array has
// no Index; its key is its Name alone, so it never receives another
// control's default.
std::u16string defaultKey(const Object& control) {
  std::u16string key = toText(control.get(u"Name"));
  frame::ContinueOnError index;
  index.run([&] { key += numberToText(toDouble(control.get(u"Index"))); });
  return key;
}

}  // namespace

void clearControls(Call& call) {
  const Object controls(call.arg(0));
  const std::int16_t first = call.int16(1);
  const std::int16_t last = call.int16(2);
  for (std::int32_t index = first; frame::indexWithin(index, last); ++index)
    setDefaultMember(frame::element(controls, index), Variant(u""));
}

void clearAllControlValues(Call& call) {
  frame::ContinueOnError errors;
  std::vector<Object> controls;
  errors.run([&] { controls = frame::formControls(Object(call.object(0))); });
  for (const Object& control : controls) {
    errors.run([&] {
      if (!toBool(control.get(u"Enabled"))) return;
      const std::u16string type = control.typeName();
      if (type == u"TextBox" || type == u"ComboBox" || type == u"DBCombo") {
        control.put(u"Text", Variant(u""));
      } else if (type == u"CheckBox") {
        control.put(u"Value", Variant(std::int16_t{0}));
      } else if (type == u"MSFlexGrid") {
        const bool header = toDouble(control.get(u"FixedRows")) > 0;
        control.put(u"Rows", Variant(std::int32_t{header ? 1 : 0}));
      }
    });
  }
}

void setAsDefaultValue(Call& call) {
  const std::u16string form = call.text(0);
  const std::u16string control = call.text(1);
  const std::u16string value = call.text(2);
  const std::u16string file = call.text(3);
  call.setResult(frame::iniWrite(form, control, value, file));
}

void getDefaultValues(Call& call) {
  frame::ContinueOnError errors;
  Object form;
  std::u16string file;
  std::vector<Object> controls;
  errors.run([&] {
    form = Object(call.object(0));
    file = call.text(1);
    controls = frame::formControls(form);
  });
  for (const Object& control : controls) {
    errors.clear();
    errors.run([&] {
      const std::u16string section = toText(form.get(u"Name"));
      const std::u16string text = frame::iniRead(section, defaultKey(control), file);
      if (text.empty()) return;
      const std::u16string type = control.typeName();
      if (type == u"CheckBox") control.put(u"Value", Variant(leadingNumber(text)));
      else if (type == u"DBCombo") control.put(u"BoundText", Variant(text));
      else control.put(u"Text", Variant(text));
    });
  }
  call.setResult(std::int32_t{0});
}

}  // namespace tarnwick::ocx
