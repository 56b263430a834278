#pragma once
// Conversions of automation values, under the user's locale. Each one
// follows the platform's rules for changing a VARIANT's type.
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/Variant.h>

namespace tarnwick {

// The value behind references, with an object replaced by the value of its
// default member (dispatch id 0), as conversions and operators read it.
TARNWICK_API Variant plainValue(const Variant& value);

// The numeric test: true when the value, read as text, converts to a number
// (numbers, dates and booleans pass; Empty, Null, "" and objects do not).
TARNWICK_API bool isNumeric(const Variant& value) noexcept;
// The date test: true for a date, or a value whose text converts to a date.
TARNWICK_API bool isDate(const Variant& value) noexcept;

// Null throws Error 94 where a value is required; a text that does not
// convert throws 13; a value out of the target's range throws 6.
TARNWICK_API double toDouble(const Variant& value);
TARNWICK_API std::int16_t toInt16(const Variant& value);
TARNWICK_API std::int32_t toInt32(const Variant& value);
TARNWICK_API bool toBool(const Variant& value);
TARNWICK_API DATE toDate(const Variant& value);
TARNWICK_API CY toCurrency(const Variant& value);
// Integers and currency exactly, a double by its 15 significant digits and
// a single by its 7, a date as its serial, a text by every digit it has.
TARNWICK_API DECIMAL toDecimal(const Variant& value);
// The value as text: numbers with the locale's decimal separator, dates in
// the short date and long time, booleans "True" and "False", Empty "".
TARNWICK_API std::u16string toText(const Variant& value);

// The number-to-text rule for a number held in a value: a decimal with
// every digit (" .5", "-79228162514264337593543950335"), any other number
// by its double (numberToText in Number.h).
TARNWICK_API std::u16string numberToText(const Variant& number);
// Appends the value's text (toText) to `out`, and its number by the
// number-to-text rule (numberToText) to `out`, with the same
// errors. Whole numbers are written digit by digit, never through a double.
TARNWICK_API void appendText(std::u16string& out, const Variant& value);
TARNWICK_API void appendNumberText(std::u16string& out, const Variant& value);

// The value changed to type `vt` (VariantChangeType); references are followed.
TARNWICK_API Variant changeType(const Variant& value, VARTYPE vt);

// Formats a value with a user-defined date pattern: a date as it is, a
// number as a date serial, a text that reads as a date as that date; a text
// that does not is returned unchanged. Null and Empty give "".
TARNWICK_API std::u16string format(const Variant& value, std::u16string_view pattern);

}  // namespace tarnwick
