#pragma once
// The digits of a number before it becomes a double, for the decimal type,
// which keeps every digit a text or a double's text shows.
#include <tarnwick/automation/Locale.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::impl {

// The value 0.DIGITS x 10^point: DIGITS without leading zeros (empty for
// zero); trailing zeros stand as written.
struct NumberDigits {
  bool negative = false;
  std::string digits;
  std::int64_t point = 0;
};

// Reads `text` as parseNumber does (same shape, same errors for a text that
// is no number and for "&H" beyond 32 bits), keeping the digits.
NumberDigits readNumberDigits(std::u16string_view text, const Locale& locale);
// The significant digits of a finite double as its text shows them (15 for
// a double, 7 for a single), trailing zeros dropped.
NumberDigits floatDigits(double value, int precision);

}  // namespace tarnwick::impl
