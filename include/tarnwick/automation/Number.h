#pragma once
// Conversions between texts and numbers, each rule in one function.
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/VarType.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// The leading-number value of a text: blanks, tabs and line feeds are
// skipped wherever they stand; then an optional sign, digits with at most
// one "." (whatever the locale) and an optional exponent (E or D, optional
// sign, digits). "&H" and "&O" start a hexadecimal or octal integer, read as
// a 16-bit value when it fits in 16 bits and as a 32-bit one otherwise
// ("&HFFFF" is -1). Reading stops at the first character that does not fit;
// no number gives 0. A value beyond the range of a double throws Error 6.
double leadingNumber(std::u16string_view text);

// Text to number under the automation rules of `locale`: surrounding blanks,
// a leading or trailing sign, parentheses for a negative amount, the
// locale's decimal and thousands separators, an exponent, the currency
// symbol before or after the amount, and the "&H"/"&O" prefixes.
// Throws Error 13 for a text that is no number, Error 6 beyond a double.
double parseNumber(std::u16string_view text, const Locale& locale = userLocale());
// The numeric test: true when parseNumber would succeed; false for "".
bool isNumericText(std::u16string_view text, const Locale& locale = userLocale()) noexcept;

// The number-to-text rule: decimal form with "." as separator, one leading
// blank for 0 and positive numbers, "-" for negative ones (7 gives " 7").
std::u16string numberToText(double value);
// A number as a value converts to text: the same digits, no leading blank,
// the locale's decimal separator (1.5 gives "1,5" under de-DE).
std::u16string doubleToText(double value, const Locale& locale = userLocale());
// Single precision numbers show 7 significant digits instead of 15.
std::u16string singleToText(float value, const Locale& locale = userLocale());
std::u16string currencyToText(CY value, const Locale& locale = userLocale());

// Rounding to integers, an exact half going to the even neighbour
// (2.5 gives 2, 1439.5 gives 1440); outside the type's range or NaN: Error 6.
std::int16_t roundToInt16(double value);
std::int32_t roundToInt32(double value);
std::int64_t roundToInt64(double value);
std::uint8_t roundToByte(double value);
// A double as currency, rounded to four decimals half to even; Error 6 out of range.
CY doubleToCurrency(double value);
inline double currencyToDouble(CY value) noexcept { return static_cast<double>(value.int64) / 10000.0; }

}  // namespace tarnwick
