#include <tarnwick/automation/Decimal.h>
#include <tarnwick/automation/Error.h>

#include "NumberDigits.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace tarnwick {

namespace {

// GCC and Clang have 128-bit integers; `__extension__` tells -Wpedantic so.
__extension__ typedef unsigned __int128 u128;

// The largest power of ten a 64-bit step multiplies or divides by.
constexpr std::uint64_t kTenPow19 = 10'000'000'000'000'000'000u;

// An unsigned integer wide enough for the steps between two decimals: a
// 96-bit magnitude brought to another scale grows by up to 10^28, and a
// text's first 40 digits scaled to a whole number by up to 10^29 more.
class Wide {
 public:
  Wide() noexcept = default;
  explicit Wide(u128 value) noexcept {
    limbs_[0] = static_cast<std::uint64_t>(value);
    limbs_[1] = static_cast<std::uint64_t>(value >> 64);
  }

  bool isZero() const noexcept { return (limbs_[0] | limbs_[1] | limbs_[2] | limbs_[3]) == 0; }
  bool isOdd() const noexcept { return (limbs_[0] & 1) != 0; }
  bool fitsMagnitude() const noexcept { return limbs_[3] == 0 && limbs_[2] == 0 && (limbs_[1] >> 32) == 0; }
  bool fitsUnsigned64() const noexcept { return limbs_[3] == 0 && limbs_[2] == 0 && limbs_[1] == 0; }
  u128 low128() const noexcept { return (u128{limbs_[1]} << 64) | limbs_[0]; }

  // The callers keep every product below 2^256.
  void multiply(std::uint64_t factor) noexcept {
    u128 carry = 0;
    for (std::uint64_t& limb : limbs_) {
      const u128 product = u128{limb} * factor + carry;
      limb = static_cast<std::uint64_t>(product);
      carry = product >> 64;
    }
  }
  void multiplyByPowerOfTen(int exponent) noexcept {
    for (; exponent >= 19; exponent -= 19) multiply(kTenPow19);
    std::uint64_t rest = 1;
    while (exponent-- > 0) rest *= 10;
    multiply(rest);
  }
  void add(std::uint64_t value) noexcept {
    for (std::uint64_t& limb : limbs_) {
      limb += value;
      if (limb >= value) return;
      value = 1;
    }
  }
  void add(const Wide& other) noexcept {
    u128 carry = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      const u128 sum = u128{limbs_[i]} + other.limbs_[i] + carry;
      limbs_[i] = static_cast<std::uint64_t>(sum);
      carry = sum >> 64;
    }
  }
  // `other` must not be larger.
  void subtract(const Wide& other) noexcept {
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      const std::uint64_t before = limbs_[i];
      limbs_[i] = before - other.limbs_[i] - borrow;
      borrow = (before < other.limbs_[i] || (before == other.limbs_[i] && borrow)) ? 1 : 0;
    }
  }
  // Divides in place and answers the remainder.
  std::uint64_t divide(std::uint64_t divisor) noexcept {
    u128 remainder = 0;
    for (std::size_t i = limbs_.size(); i-- > 0;) {
      const u128 current = (remainder << 64) | limbs_[i];
      limbs_[i] = static_cast<std::uint64_t>(current / divisor);
      remainder = current % divisor;
    }
    return static_cast<std::uint64_t>(remainder);
  }
  friend int compare(const Wide& a, const Wide& b) noexcept {
    for (std::size_t i = a.limbs_.size(); i-- > 0;)
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    return 0;
  }

 private:
  std::array<std::uint64_t, 4> limbs_{};
};

struct Unpacked {
  bool negative;
  int scale;
  u128 magnitude;
};

Unpacked unpack(const DECIMAL& d) {
  if (d.scale > kDecimalMaxScale || (d.sign != 0 && d.sign != DECIMAL_NEG)) raise(errc::InvalidProcedureCall);
  const u128 magnitude = (u128{d.Hi32} << 64) | d.Lo64;
  return {d.sign == DECIMAL_NEG && magnitude != 0, d.scale, magnitude};
}

// Zero has no sign.
DECIMAL pack(bool negative, int scale, u128 magnitude) noexcept {
  DECIMAL d{};
  d.scale = static_cast<std::uint8_t>(scale);
  d.sign = (negative && magnitude != 0) ? DECIMAL_NEG : 0;
  d.Hi32 = static_cast<std::uint32_t>(magnitude >> 64);
  d.Lo64 = static_cast<std::uint64_t>(magnitude);
  return d;
}

// value / 10^digits rounded half to even; `sticky` says that something
// non-zero was already cut off below `value`.
Wide divideRounded(Wide value, int digits, bool sticky) noexcept {
  if (digits <= 0) return value;
  for (int i = 1; i < digits; ++i)
    if (value.divide(10) != 0) sticky = true;
  const std::uint64_t last = value.divide(10);
  if (last > 5 || (last == 5 && (sticky || value.isOdd()))) value.add(std::uint64_t{1});
  return value;
}

// magnitude x 10^-scale as a decimal: decimals dropped (rounding) until
// the magnitude fits 96 bits and the scale is at most 28; Error 6 when even
// the whole number does not fit.
DECIMAL fit(bool negative, const Wide& magnitude, int scale, bool sticky) {
  for (int drop = scale > kDecimalMaxScale ? scale - kDecimalMaxScale : 0; drop <= scale; ++drop) {
    const Wide rounded = divideRounded(magnitude, drop, sticky);
    if (rounded.fitsMagnitude() && !(drop == 0 && sticky)) return pack(negative, scale - drop, rounded.low128());
  }
  raise(errc::Overflow);
}

// The first 40 digits decide: 10^40 is beyond any 96-bit magnitude, so the
// rest only tell whether something non-zero was cut off.
constexpr std::size_t kDigitsKept = 40;

DECIMAL fromDigits(const impl::NumberDigits& number) {
  const std::size_t kept = number.digits.size() < kDigitsKept ? number.digits.size() : kDigitsKept;
  bool sticky = false;
  for (std::size_t i = kept; i < number.digits.size(); ++i) sticky = sticky || number.digits[i] != '0';
  Wide magnitude;
  for (std::size_t i = 0; i < kept; ++i) {
    magnitude.multiply(10);
    magnitude.add(static_cast<std::uint64_t>(number.digits[i] - '0'));
  }
  if (magnitude.isZero() && !sticky) return pack(false, 0, 0);
  // 0.DIGITS x 10^point: the digits kept end at 10^(point - kept).
  const std::int64_t exponent = number.point - static_cast<std::int64_t>(kept);
  if (number.point > 29) raise(errc::Overflow);  // 10^29 and more
  // Below half of 10^-28 the value rounds to zero.
  if (number.point < -kDecimalMaxScale) return pack(false, 0, 0);
  if (exponent >= 0) {
    magnitude.multiplyByPowerOfTen(static_cast<int>(exponent));
    return fit(number.negative, magnitude, 0, sticky);
  }
  return fit(number.negative, magnitude, static_cast<int>(-exponent), sticky);
}

// The magnitude brought to `scale` decimals, rounded half to even when that drops some.
Wide atScale(const Unpacked& u, int scale) {
  Wide w(u.magnitude);
  if (scale >= u.scale) {
    w.multiplyByPowerOfTen(scale - u.scale);
    return w;
  }
  return divideRounded(w, u.scale - scale, false);
}

// A rounded magnitude with its sign as a 64-bit integer; Error 6 beyond.
std::int64_t signedInteger(bool negative, const Wide& magnitude) {
  constexpr std::uint64_t kLowestMagnitude = std::uint64_t{1} << 63;
  if (!magnitude.fitsUnsigned64()) raise(errc::Overflow);
  const auto m = static_cast<std::uint64_t>(magnitude.low128());
  if (m > (negative ? kLowestMagnitude : kLowestMagnitude - 1)) raise(errc::Overflow);
  return negative ? static_cast<std::int64_t>(0 - m) : static_cast<std::int64_t>(m);
}

std::string magnitudeDigits(u128 magnitude) {
  char buffer[40];
  char* p = buffer + sizeof buffer;
  do {
    *--p = static_cast<char>('0' + static_cast<int>(magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  return std::string(p, buffer + sizeof buffer);
}

struct TextStyle {
  char16_t separator;
  bool blankBeforePositive;
  bool zeroBeforeFraction;
};

std::u16string text(const DECIMAL& value, const TextStyle& style) {
  const Unpacked u = unpack(value);
  std::string digits = magnitudeDigits(u.magnitude);
  const auto scale = static_cast<std::size_t>(u.scale);
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  std::size_t end = digits.size();
  const std::size_t point = end - scale;
  while (end > point && digits[end - 1] == '0') --end;
  std::u16string out;
  if (u.negative) out += u'-';
  else if (style.blankBeforePositive) out += u' ';
  const bool wholeIsZero = point == 1 && digits[0] == '0';
  if (!wholeIsZero || end == point || style.zeroBeforeFraction)
    for (std::size_t i = 0; i < point; ++i) out += static_cast<char16_t>(digits[i]);
  if (end > point) {
    out += style.separator;
    for (std::size_t i = point; i < end; ++i) out += static_cast<char16_t>(digits[i]);
  }
  return out;
}

}  // namespace

DECIMAL decimalFromInt64(std::int64_t value) noexcept {
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  return pack(negative, 0, magnitude);
}

DECIMAL decimalFromCurrency(CY value) noexcept {
  DECIMAL d = decimalFromInt64(value.int64);
  d.scale = 4;
  return d;
}

DECIMAL decimalFromDouble(double value) {
  if (!std::isfinite(value)) raise(errc::Overflow);
  return fromDigits(impl::floatDigits(value, 15));
}

DECIMAL decimalFromSingle(float value) {
  if (!std::isfinite(value)) raise(errc::Overflow);
  return fromDigits(impl::floatDigits(static_cast<double>(value), 7));
}

DECIMAL parseDecimal(std::u16string_view text, const Locale& locale) {
  return fromDigits(impl::readNumberDigits(text, locale));
}

double decimalToDouble(const DECIMAL& value) {
  const Unpacked u = unpack(value);
  std::string digits = magnitudeDigits(u.magnitude);
  digits += "e-";
  digits += std::to_string(u.scale);
  double result = 0.0;
  std::from_chars(digits.data(), digits.data() + digits.size(), result);
  return u.negative ? -result : result;
}

std::int64_t decimalToInt64(const DECIMAL& value) {
  const Unpacked u = unpack(value);
  return signedInteger(u.negative, atScale(u, 0));
}

CY decimalToCurrency(const DECIMAL& value) {
  const Unpacked u = unpack(value);
  return CY{signedInteger(u.negative, atScale(u, 4))};
}

DECIMAL decimalRound(const DECIMAL& value, int scale) {
  const Unpacked u = unpack(value);
  if (scale < 0) scale = 0;
  if (scale >= u.scale) return pack(u.negative, u.scale, u.magnitude);
  return pack(u.negative, scale, atScale(u, scale).low128());
}

std::u16string decimalToText(const DECIMAL& value, const Locale& locale) {
  return text(value, TextStyle{locale.decimalSeparator, false, true});
}

std::u16string decimalToNumberText(const DECIMAL& value) { return text(value, TextStyle{u'.', true, false}); }

DECIMAL decimalAdd(const DECIMAL& left, const DECIMAL& right) {
  const Unpacked a = unpack(left);
  const Unpacked b = unpack(right);
  const int scale = a.scale > b.scale ? a.scale : b.scale;
  Wide x = atScale(a, scale);
  const Wide y = atScale(b, scale);
  if (a.negative == b.negative) {
    x.add(y);
    return fit(a.negative, x, scale, false);
  }
  if (compare(x, y) >= 0) {
    x.subtract(y);
    return fit(a.negative, x, scale, false);
  }
  Wide difference = y;
  difference.subtract(x);
  return fit(b.negative, difference, scale, false);
}

DECIMAL decimalNegate(const DECIMAL& value) {
  const Unpacked u = unpack(value);
  return pack(!u.negative, u.scale, u.magnitude);
}

int decimalCompare(const DECIMAL& left, const DECIMAL& right) {
  const Unpacked a = unpack(left);
  const Unpacked b = unpack(right);
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  const int scale = a.scale > b.scale ? a.scale : b.scale;
  const int byMagnitude = compare(atScale(a, scale), atScale(b, scale));
  return a.negative ? -byMagnitude : byMagnitude;
}

}  // namespace tarnwick
