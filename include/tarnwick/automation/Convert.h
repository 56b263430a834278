#pragma once
// Conversions of automation values, under the user's locale. Each one
// follows the platform's rules for changing a VARIANT's type.
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/Variant.h>

namespace tarnwick {

// The value behind references, with an object replaced by the value of its
// default member (dispatch id 0), as conversions and operators read it.
Variant plainValue(const Variant& value);

// The numeric test: true when the value, read as text, converts to a number
// (numbers, dates and booleans pass; Empty, Null, "" and objects do not).
bool isNumeric(const Variant& value) noexcept;
// The date test: true for a date, or a value whose text converts to a date.
bool isDate(const Variant& value) noexcept;

// Null throws Error 94 where a value is required; a text that does not
// convert throws 13; a value out of the target's range throws 6.
double toDouble(const Variant& value);
std::int16_t toInt16(const Variant& value);
std::int32_t toInt32(const Variant& value);
bool toBool(const Variant& value);
DATE toDate(const Variant& value);
CY toCurrency(const Variant& value);
// The value as text: numbers with the locale's decimal separator, dates in
// the short date and long time, booleans "True" and "False", Empty "".
std::u16string toText(const Variant& value);

// The value changed to type `vt` (VariantChangeType); references are followed.
Variant changeType(const Variant& value, VARTYPE vt);

// Formats a value with a user-defined date pattern: a date as it is, a
// number as a date serial, a text that reads as a date as that date; a text
// that does not is returned unchanged. Null and Empty give "".
std::u16string format(const Variant& value, std::u16string_view pattern);

}  // namespace tarnwick
