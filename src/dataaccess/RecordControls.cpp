// Moving values between the current record of a record source and the
// controls bound to it by their tags.
#include "RecordControls.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Operations.h>
#include <tarnwick/frame/ControlInterfaces.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/DataEngine.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/HostServices.h>
#include <tarnwick/frame/TagDirectives.h>
#include <tarnwick/frame/Transaction.h>

#include <optional>

namespace tarnwick::dataaccess {

namespace {

enum class Kind { Text, Check, Other };

bool isTextBox(const Object& c) { return c.supports(frame::IID_TextBox); }
bool isComboBox(const Object& c) { return c.supports(frame::IID_ComboBox); }
bool isCheckBox(const Object& c) { return c.supports(frame::IID_CheckBox); }

// The record source a walk binds to, and what its controls' tags said of
// it: how many carried a binding directive, and how many named the source.
struct Binding {
  std::u16string name;
  int tagged = 0;
  int matched = 0;
};

Binding bindingOf(const Object& source) { return Binding{toText(source.get(u"Name"))}; }

// The field a control's `tag` binds it to in the source; nullopt when it
// binds it to no field of that source.
std::optional<std::u16string> boundField(const std::u16string& tag, Binding& binding) {
  const auto table = frame::tags::bindingTable(tag);
  if (!table) return std::nullopt;
  ++binding.tagged;
  if (*table != binding.name) return std::nullopt;
  ++binding.matched;
  return frame::tags::bindingField(tag);
}

// A walk that passed over every bound control because none names the
// record source (as with a recordset opened on a SELECT, which is named by
// its statement) does what it should and says nothing; the message log
// says why, once per form and record source.
void noteUnmatched(const Binding& binding, const std::u16string& where) {
  if (binding.tagged == 0 || binding.matched > 0) return;
  frame::logNote(where + u": no control's Tag names the record source " + quotedName(binding.name) +
                 u", so every bound control was passed over. A binding names a table (Orders([Qty])); a "
                 u"recordset opened on a SELECT is named by its statement: open it on the table's name, or "
                 u"bind the controls by DataField (FillUnboundControlsFromRS_s, FillRSFromUnboundControls_s)");
}

std::u16string formName(const Object& form) { return u"form " + quotedName(toText(form.get(u"Name"))); }
std::u16string arrayName(const Object& element) {
  return u"control array " + quotedName(toText(element.get(u"Name")));
}

// Shows the field's value in a text or combo box: Null as "", anything else
// handed to the control's Text as it is.
void fill(const Object& control, const Object& source, Binding& binding) {
  frame::forControl(control, [&] {
    const auto field = boundField(toText(control.get(u"Tag")), binding);
    if (!field) return;
    const Variant value = frame::fieldValue(source, *field);
    control.put(u"Text", value.isNull() ? Variant(u"") : frame::fieldValue(source, *field));
  });
}

// Saves one bound control into the record being edited; `excluded` says
// whether an entry of the caller's list names this control.
template <typename Excluded>
void saveOne(const Object& control, Kind kind, const Object& source, Binding& binding, Excluded&& excluded) {
  const std::u16string tag = toText(control.get(u"Tag"));
  const auto bound = boundField(tag, binding);
  if (!bound) return;
  const std::u16string& field = *bound;
  if (excluded(field)) return;
  if (kind == Kind::Check) {
    frame::setFieldValue(source, field, Variant(toDouble(control.get(u"Value")) == 1.0));
    return;
  }
  if (frame::tags::saveTypeWord(tag) == std::u16string(u"Number")) {
    frame::setFieldValue(source, field, Variant(leadingNumber(toText(control.get(u"Text")))));
    return;
  }
  // An empty text is saved as one blank, which the control then shows too.
  if (toText(control.get(u"Text")).empty()) control.put(u"Text", Variant(u" "));
  frame::setFieldValue(source, field, control.get(u"Text"));
}

template <typename Excluded>
void save(const Object& control, Kind kind, const Object& source, Binding& binding, Excluded&& excluded) {
  frame::forControl(control, [&] { saveOne(control, kind, source, binding, excluded); });
}

std::vector<Variant> exclusions(Call& call, std::size_t index) { return frame::arrayElements(call.arg(index)); }

// Saves a form's text boxes; the list names the fields not to save.
void saveFormControls(const Object& form, const Object& source, const std::vector<Variant>& notSaved) {
  Binding binding = bindingOf(source);
  const auto excluded = [&](const std::u16string& field) {
    for (const Variant& entry : notSaved)
      if (toText(entry) == field) return true;
    return false;
  };
  for (const Object& control : frame::formControls(form))
    if (isTextBox(control)) save(control, Kind::Text, source, binding, excluded);
  noteUnmatched(binding, formName(form));
}

// Saves a control array's text, combo and check boxes; the list names the
// array indexes not to save: a text that reads as a number counts as that
// number, any other text is a type mismatch.
void saveArrayControls(const Object& controls, const Object& source, const std::vector<Variant>& notSaved) {
  Binding binding = bindingOf(source);
  const std::int16_t upper = toInt16(controls.get(u"UBound"));
  std::optional<Object> first;
  for (std::int32_t index = 0; frame::indexWithin(index, upper); ++index) {
    const auto excluded = [&](const std::u16string&) {
      for (const Variant& entry : notSaved)
        if (toDouble(entry) == static_cast<double>(index)) return true;
      return false;
    };
    const Object control = frame::element(controls, index);
    if (!first) first = control;
    if (isComboBox(control) || isTextBox(control)) save(control, Kind::Text, source, binding, excluded);
    else if (isCheckBox(control)) save(control, Kind::Check, source, binding, excluded);
  }
  if (first) noteUnmatched(binding, arrayName(*first));
}

}  // namespace

void readFromRecordToControlArray(Call& call) {
  const Object controls(call.arg(0));
  const Object source(call.object(1));
  Binding binding = bindingOf(source);
  const std::int16_t upper = toInt16(controls.get(u"UBound"));
  std::optional<Object> first;
  for (std::int32_t index = 0; frame::indexWithin(index, upper); ++index) {
    const Object control = frame::element(controls, index);
    if (!first) first = control;
    if (isTextBox(control) || isComboBox(control)) fill(control, source, binding);
  }
  if (first) noteUnmatched(binding, arrayName(*first));
}

void readFromRecordToControls(Call& call) {
  const Object form(call.object(0));
  const Object source(call.object(1));
  Binding binding = bindingOf(source);
  for (const Object& control : frame::formControls(form))
    if (isTextBox(control) || isComboBox(control)) fill(control, source, binding);
  noteUnmatched(binding, formName(form));
  call.setResult(Variant());
}

void saveRecordFromControls(Call& call) {
  const Object form(call.object(0));
  const Object source(call.object(1));
  const std::vector<Variant> notSaved = exclusions(call, 2);
  frame::Transaction transaction;
  // A failure anywhere, Update and commit included, is reported and the
  // transaction rolled back.
  const bool failed = frame::runThenFinish([&] {
    saveFormControls(form, source, notSaved);
    source.call(u"Update");
    transaction.commit();
  }).has_value();
  if (failed) transaction.rollback();
  call.setResult(Variant());
}

void saveRecordFromControlArray(Call& call) {
  const bool inTransaction = call.flag(0);
  const Variant& controlsValue = call.arg(1);
  const Object source(call.object(2));
  const std::vector<Variant> notSaved = exclusions(call, 3);
  std::optional<frame::Transaction> transaction;
  if (inTransaction) transaction.emplace();
  const bool failed = frame::runThenFinish([&] {
    saveArrayControls(Object(controlsValue), source, notSaved);
    source.call(u"Update");
    if (transaction) transaction->commit();
  }).has_value();
  // Without a transaction of its own the pending edit stays as it is.
  if (failed && transaction) transaction->rollback();
  call.setResult(!failed);
}

}  // namespace tarnwick::dataaccess
