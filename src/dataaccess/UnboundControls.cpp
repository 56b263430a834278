// Controls that are not bound to a data control but name their field in
// DataField: showing a record in them, writing them into a record, and
// checking what the user typed against the field's type and size.
#include "UnboundControls.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/DataEngine.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/FieldType.h>

#include <cstdint>

namespace tarnwick::dataaccess {

namespace {

using frame::FieldType;

// An element's value is read and written through the array's default member.
Variant elementValue(const Object& controls, std::int16_t index) {
  Variant args[] = {Variant(index)};
  return controls.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr);
}

void setElementValue(const Object& controls, std::int16_t index, const Variant& value) {
  const Object control = frame::element(controls, index);
  control.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &value);
}

std::u16string dataField(const Object& control) { return toText(control.get(u"DataField")); }

FieldType fieldType(const Object& source, const std::u16string& name) {
  const std::int32_t code = toInt32(frame::field(source, name).get(u"Type"));
  // A code the engine does not have matches none of the rules below.
  return code >= INT16_MIN && code <= INT16_MAX ? static_cast<FieldType>(code) : FieldType{};
}

bool isEmptyText(const Variant& value) {
  const Variant plain = plainValue(value);
  return plain.isEmpty() || (plain.type() == VT_BSTR && plain.text().empty());
}

// The message for a value that the control's field type does not take;
// empty when it fits.
std::u16string typeMessage(FieldType type, const Variant& value, const Object& control, const Object& source) {
  constexpr std::u16string_view kNumber = u"Not a valid Number format. Please retype.";
  // Each range test reads the value afresh.
  const auto number = [&] { return leadingNumber(toText(control.value())); };
  switch (type) {
    case FieldType::Date:
      if (!isDate(value)) return u"Not a valid Date format. Please retype.";
      break;
    case FieldType::Long:
      if (!isNumeric(value) || number() > 2147483647.0 || number() == 0) return std::u16string(kNumber);
      break;
    case FieldType::Integer:
      if (!isNumeric(value) || number() > 32767) return std::u16string(kNumber);
      break;
    case FieldType::Byte:
      if (!isNumeric(value) || number() > 255 || number() < 0) return std::u16string(kNumber);
      break;
    case FieldType::Text:
    case FieldType::Char: {
      const double size = toDouble(frame::field(source, dataField(control)).get(u"Size"));
      if (static_cast<double>(toText(value).size()) > size)
        return u"Max Characters allowed is" + numberToText(size) + u". Please retype.";
      break;
    }
    case FieldType::Currency:
    case FieldType::Single:
    case FieldType::Double:
    case FieldType::BigInt:
    case FieldType::Numeric:
    case FieldType::Decimal:
    case FieldType::Float:
      if (!isNumeric(value)) return std::u16string(kNumber);
      break;
    default: break;
  }
  return {};
}

}  // namespace

void fillUnboundControlsFromRecordset(Call& call) {
  const Object source(call.object(0));
  const Object controls(call.object(1));
  const std::int16_t first = call.int16(2);
  const std::int16_t upper = toInt16(controls.get(u"UBound"));
  const bool noRecord = toBool(source.get(u"EOF")) || toBool(source.get(u"BOF"));
  for (std::int32_t index = first; frame::indexWithin(index, upper); ++index) {
    const auto i = static_cast<std::int16_t>(index);
    if (noRecord) {
      setElementValue(controls, i, Variant(u""));
      continue;
    }
    const std::u16string name = dataField(frame::element(controls, i));
    const Variant value = frame::fieldValue(source, name);
    setElementValue(controls, i, value.isNull() ? Variant(u"") : frame::fieldValue(source, name));
  }
  call.setResult(u"");
}

void fillRecordsetFromUnboundControls(Call& call) {
  // Every error is caught: the walk stops there and its description is the result.
  const std::optional<Error> failure = frame::errorOf([&] {
    const Object source(call.object(0));
    const Object controls(call.object(1));
    const std::int16_t first = call.int16(2);
    const std::int16_t upper = toInt16(controls.get(u"UBound"));
    for (std::int32_t index = first; frame::indexWithin(index, upper); ++index) {
      const auto i = static_cast<std::int16_t>(index);
      Variant value = elementValue(controls, i);
      const std::u16string name = dataField(frame::element(controls, i));
      // Values that do not fit a date, integer or long field go in as Null;
      // the zero rule makes empty and non-numeric texts Null there too.
      switch (fieldType(source, name)) {
        case FieldType::Date:
          if (!isDate(value) || isEmptyText(value)) value = Variant::null();
          break;
        case FieldType::Integer: {
          const double n = leadingNumber(toText(value));
          if (n > 32767 || n == 0) value = Variant::null();
          break;
        }
        case FieldType::Long: {
          const double n = leadingNumber(toText(value));
          if (n > 2147483647.0 || n == 0) value = Variant::null();
          break;
        }
        default: break;
      }
      frame::setFieldValue(source, name, value);
    }
  });
  call.setResult(failure ? failure->description() : std::u16string());
}

void validateDataTypeOnLostFocus(Call& call) {
  // Nothing reaches the caller as a failure: every failing step is skipped
  // and remembered, and a remembered error's description is the result.
  frame::ContinueOnError errors;
  std::u16string result;
  Object source;
  std::u16string pattern;
  bool isArray = false;
  errors.run([&] {
    source = Object(call.object(0));
    pattern = call.text(2);
    isArray = call.flag(3);
  });
  std::int16_t upper = 0;
  if (isArray) errors.run([&] { upper = toInt16(Object(call.arg(1)).get(u"UBound")); });
  // An overflow of the counter is remembered like any error and ends the walk.
  bool more = false;
  for (std::int32_t index = 0; errors.run([&] { more = frame::indexWithin(index, upper); }) && more; ++index) {
    // A control that cannot be taken, or whose field type cannot be read,
    // is passed over (its error stays remembered).
    Object control;
    if (!errors.run([&] {
          control = isArray ? frame::element(Object(call.arg(1)), index) : Object(call.arg(1));
        }))
      continue;
    Variant value;
    if (!errors.run([&] { value = control.value(); })) continue;
    if (isEmptyText(value)) {
      errors.clear();
      continue;
    }
    FieldType type{};
    if (!errors.run([&] { type = fieldType(source, dataField(control)); })) continue;
    std::u16string message;
    errors.run([&] { message = typeMessage(type, value, control, source); });
    if (!message.empty()) {
      result = message;
      errors.run([&] { control.call(u"SetFocus"); });
      break;
    }
    if (type == FieldType::Date) errors.run([&] {
        const Variant formatted(format(value, pattern));
        control.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &formatted);
      });
  }
  if (errors.pending()) result = errors.pending()->description();
  call.setResult(result);
}

}  // namespace tarnwick::dataaccess
