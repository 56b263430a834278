#pragma once
// The decimal type: exact decimal numbers of up to 29 digits, a 96-bit
// magnitude scaled by 10^-scale (scale 0 to 28). Every result that has more
// digits than fit is rounded half to even, dropping decimals first; only a
// value whose whole part does not fit (beyond 79228162514264337593543950335)
// is an overflow, Error 6. A DECIMAL with a scale above 28 or another sign
// byte than 0 and DECIMAL_NEG is refused with Error 5.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/VarType.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr int kDecimalMaxScale = 28;

TARNWICK_API DECIMAL decimalFromInt64(std::int64_t value) noexcept;
// Currency keeps its four decimals (scale 4).
TARNWICK_API DECIMAL decimalFromCurrency(CY value) noexcept;
// A double is taken by its 15 significant digits and a single by its 7, the
// digits its text shows (0.1 gives 0.1, not the binary fraction's 55 digits).
TARNWICK_API DECIMAL decimalFromDouble(double value);
TARNWICK_API DECIMAL decimalFromSingle(float value);
// Text under the automation rules of `locale`, as parseNumber reads it, but
// every digit kept: Error 13 for no number, Error 6 beyond the range; more
// than 28 decimals are rounded. Trailing zeros after the separator set the
// scale ("1.50" has scale 2).
TARNWICK_API DECIMAL parseDecimal(std::u16string_view text, const Locale& locale = userLocale());

// The nearest double (correctly rounded).
TARNWICK_API double decimalToDouble(const DECIMAL& value);
// Rounded half to even to a whole number; Error 6 beyond 64 bits.
TARNWICK_API std::int64_t decimalToInt64(const DECIMAL& value);
// Rounded half to even to four decimals; Error 6 beyond currency's range.
TARNWICK_API CY decimalToCurrency(const DECIMAL& value);
// Rounded half to even to `scale` decimals (a value with fewer is unchanged).
TARNWICK_API DECIMAL decimalRound(const DECIMAL& value, int scale);

// A decimal as a value converts to text: every digit, trailing zeros after
// the separator dropped, the locale's separator, a zero before it below 1
// ("0.5", "-12,25" under de-DE).
TARNWICK_API std::u16string decimalToText(const DECIMAL& value, const Locale& locale = userLocale());
// The number-to-text rule: one blank before 0 and positive numbers, "-"
// before negative ones, "." as separator and no zero before it (" .5"),
// every digit and never an exponent.
TARNWICK_API std::u16string decimalToNumberText(const DECIMAL& value);

// The exact sum, rounded to fit; Error 6 when its whole part does not.
TARNWICK_API DECIMAL decimalAdd(const DECIMAL& left, const DECIMAL& right);
TARNWICK_API DECIMAL decimalNegate(const DECIMAL& value);
// -1, 0 or 1 by value: 1.50 equals 1.5, and -0 equals 0.
TARNWICK_API int decimalCompare(const DECIMAL& left, const DECIMAL& right);

}  // namespace tarnwick
