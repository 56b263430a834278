#pragma once
// Type codes of automation values, with the platform's numbers.
#include <cstdint>

namespace tarnwick {

using VARTYPE = std::uint16_t;

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_UI1 = 17,
  VT_I8 = 20,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

// A 16-bit boolean, true being -1. A type of its own (not a plain 16-bit
// integer), so that a flag parameter and an integer parameter differ in
// the early-bound signatures.
enum VARIANT_BOOL : std::int16_t { VARIANT_FALSE = 0, VARIANT_TRUE = -1 };

// Currency: a 64-bit integer scaled by 10,000 (four decimal places).
struct CY {
  std::int64_t int64;
  friend constexpr bool operator==(const CY&, const CY&) = default;
};

// Decimal: a 96-bit unsigned magnitude divided by 10^scale (scale 0 to 28),
// with a sign byte (0 or DECIMAL_NEG). Inside a value it fills the first 16
// bytes, its reserved word being where the type code stands.
struct DECIMAL {
  std::uint16_t wReserved;
  std::uint8_t scale;
  std::uint8_t sign;
  std::uint32_t Hi32;
  std::uint64_t Lo64;
  friend constexpr bool operator==(const DECIMAL&, const DECIMAL&) = default;
};
static_assert(sizeof(DECIMAL) == 16);
inline constexpr std::uint8_t DECIMAL_NEG = 0x80;

// Dates: days since 30 December 1899; the fraction is the time of day.
using DATE = double;

// The error value that stands for an optional argument the caller left out.
inline constexpr std::int32_t DISP_E_PARAMNOTFOUND_SCODE = static_cast<std::int32_t>(0x80020004u);

// True for the scalar type codes that a value may hold (not arrays or references).
constexpr bool isKnownScalarType(VARTYPE vt) noexcept {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN:
    case VT_DECIMAL: case VT_UI1: case VT_I8:
      return true;
    default:
      return false;
  }
}

}  // namespace tarnwick
