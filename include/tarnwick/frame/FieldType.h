#pragma once
// The data engine's field types, with the engine's own numbering (what a
// field's Type answers), the bits of a field's Attributes, and the kinds of
// recordset. The engine builds on them and the routines read them by name,
// so they are declared here once, below both.
#include <cstdint>

namespace tarnwick::frame {

enum class FieldType : std::int16_t {
  Boolean = 1,
  Byte = 2,
  Integer = 3,
  Long = 4,
  Currency = 5,
  Single = 6,
  Double = 7,
  Date = 8,
  Binary = 9,
  Text = 10,
  LongBinary = 11,
  Memo = 12,
  BigInt = 16,
  Char = 18,
  Numeric = 19,
  Decimal = 20,
  Float = 21,
};

// Field attributes: the engine assigns the value of an automatic field
// (counter) itself.
inline constexpr std::int32_t kAutoIncrField = 0x10;
inline constexpr std::int32_t kUpdatableField = 0x20;

// Kinds of recordset that OpenRecordset makes.
inline constexpr std::int16_t kOpenTable = 1;
inline constexpr std::int16_t kOpenDynaset = 2;
inline constexpr std::int16_t kOpenSnapshot = 4;
inline constexpr std::int16_t kOpenForwardOnly = 8;

// Edit modes of a recordset.
inline constexpr std::int16_t kEditNone = 0;
inline constexpr std::int16_t kEditInProgress = 1;
inline constexpr std::int16_t kEditAdd = 2;

constexpr bool isTextType(FieldType t) noexcept {
  return t == FieldType::Text || t == FieldType::Memo || t == FieldType::Char;
}

}  // namespace tarnwick::frame
