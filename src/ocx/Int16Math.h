#pragma once
// The grid routines' integer arithmetic: counts, loop indexes and the sums
// and products formed from integer parameters are signed 16-bit values, and
// a result outside -32768..32767 is an overflow (Error 6). A quotient is
// taken in floating point; a zero divisor is Error 11.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <limits>

namespace tarnwick::ocx {

class Int16 {
 public:
  constexpr Int16() noexcept = default;
  constexpr explicit Int16(std::int16_t value) noexcept : value_(value) {}

  // Any wider integer, checked.
  static constexpr Int16 of(std::int64_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
      raise(errc::Overflow);
    return Int16(static_cast<std::int16_t>(value));
  }
  // A value read from an object (a count, a column index): rounded half to
  // even, Error 6 outside the range, 13 when it is no number, 94 for Null.
  static Int16 of(const Variant& value) { return Int16(toInt16(value)); }

  constexpr std::int16_t value() const noexcept { return value_; }
  Variant variant() const { return Variant(value_); }

  friend constexpr Int16 operator+(Int16 a, Int16 b) { return of(std::int64_t{a.value_} + b.value_); }
  friend constexpr Int16 operator-(Int16 a, Int16 b) { return of(std::int64_t{a.value_} - b.value_); }
  friend constexpr Int16 operator*(Int16 a, Int16 b) { return of(std::int64_t{a.value_} * b.value_); }
  friend constexpr bool operator==(Int16 a, Int16 b) noexcept { return a.value_ == b.value_; }
  friend constexpr auto operator<=>(Int16 a, Int16 b) noexcept { return a.value_ <=> b.value_; }
  Int16& operator+=(Int16 b) { return *this = *this + b; }
  Int16& operator++() { return *this = *this + Int16(1); }

 private:
  std::int16_t value_ = 0;
};

// A 16-bit constant.
constexpr Int16 operator""_i16(unsigned long long value) { return Int16::of(static_cast<std::int64_t>(value)); }

// The floating-point quotient a / b; Error 11 for a zero divisor.
inline double quotient(double dividend, double divisor) {
  if (divisor == 0.0) raise(errc::DivisionByZero);
  return dividend / divisor;
}

}  // namespace tarnwick::ocx
