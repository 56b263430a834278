#pragma once
// Conversions between texts and numbers, each rule in one function.
#include <tarnwick/automation/Export.h>
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
// ("&HFFFF" is -1, "&HFFFFF" is 1048575); more than 32 bits throws Error 6.
// The "&" must come first: "-&H10" is 0. Reading stops at the first
// character that does not fit; no number gives 0, and so does a negative
// number that rounds to zero (never -0). A value beyond the range of a double
// throws Error 6; a value below it gives 0 or a denormal.
TARNWICK_API double leadingNumber(std::u16string_view text);

// Text to number under the automation rules of `locale`: surrounding blanks,
// a leading or trailing sign, parentheses for a negative amount, the
// locale's decimal and thousands separators, an exponent, the currency
// symbol before or after the amount, and the "&H"/"&O" prefixes.
// Leniency: a thousands separator may follow any integer digit ("1,2,3" is
// 123 under en-US) but may not lead; one sign in all, leading or trailing,
// and not together with parentheses.
// Throws Error 13 for a text that is no number (also "", NUL, lone
// surrogates, blanks inside the amount), Error 6 beyond a double or for a
// hexadecimal or octal number of more than 32 bits.
TARNWICK_API double parseNumber(std::u16string_view text, const Locale& locale = userLocale());
// The numeric test: true when parseNumber would succeed; false for "".
TARNWICK_API bool isNumericText(std::u16string_view text, const Locale& locale = userLocale()) noexcept;

// The number-to-text rule: decimal form with "." as separator, one leading
// blank for 0 and positive numbers, "-" for negative ones (7 gives " 7").
// At most 15 significant digits, trailing zeros dropped; no zero before the
// point (0.5 gives " .5"). Fixed notation while the first significant digit
// stands at 1E-05 to 1E+14, scientific outside with at least two exponent
// digits (1E+15 gives " 1E+15", 0.00000015 gives " 1.5E-07"). NaN and
// infinities, which no value holds, throw Error 6 (as in the two below).
TARNWICK_API std::u16string numberToText(double value);
// A number as a value converts to text: the same digits, no leading blank,
// the locale's decimal separator, and a zero before it below 1 (0.5 gives
// "0.5", 1.5 gives "1,5" under de-DE).
TARNWICK_API std::u16string doubleToText(double value, const Locale& locale = userLocale());
// The two above appended to `out`, for callers that write many values into
// one text (grid rows, clipboard rows).
TARNWICK_API void appendNumberRuleText(std::u16string& out, double value);
TARNWICK_API void appendDoubleText(std::u16string& out, double value, const Locale& locale = userLocale());
// Single precision numbers show 7 significant digits instead of 15, and are
// scientific from 1E+07 up (12345678 gives "1.234568E+07").
TARNWICK_API std::u16string singleToText(float value, const Locale& locale = userLocale());
// Currency: up to four decimals, trailing zeros dropped (12.5 gives "12.5").
TARNWICK_API std::u16string currencyToText(CY value, const Locale& locale = userLocale());

// Rounding to integers, an exact half going to the even neighbour
// (2.5 gives 2, 1439.5 gives 1440); outside the type's range or NaN: Error 6.
TARNWICK_API std::int16_t roundToInt16(double value);
TARNWICK_API std::int32_t roundToInt32(double value);
TARNWICK_API std::int64_t roundToInt64(double value);
TARNWICK_API std::uint8_t roundToByte(double value);
// A double as currency, rounded to four decimals half to even; Error 6 out of range.
// The scaled value is rounded, so 0.00035 gives 0.0004 although its binary
// form lies a trifle below the half.
TARNWICK_API CY doubleToCurrency(double value);
inline double currencyToDouble(CY value) noexcept { return static_cast<double>(value.int64) / 10000.0; }

}  // namespace tarnwick
