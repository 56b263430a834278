#pragma once
// Private to the engine: how an engine value of a field type is kept in the
// storage, and how a stored value reads back as the field's value. Both
// backends keep the same forms (a date as its serial, a yes/no as -1 or 0,
// currency as a real number), so values and refusals are alike on both.
#include "EngineTypes.h"

#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::engine {

// The kinds of stored value; the numbers are Statement::storage()'s.
enum class StoredKind : int { Integer = 1, Real = 2, Text = 3, Blob = 4, Null = 5 };

// A value on its way into the storage.
// The whole-number field types, stored as integers.
inline bool isIntegerType(FieldType t) noexcept {
  return t == FieldType::Byte || t == FieldType::Integer || t == FieldType::Long || t == FieldType::BigInt;
}

struct StoredValue {
  StoredKind kind = StoredKind::Null;
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes;  // UTF-8 text, or a blob's bytes
};

// A value read from the storage; `real` is set for integers too, and
// `bytes` only for texts and blobs (valid while the row is).
struct StoredView {
  StoredKind kind = StoredKind::Null;
  std::int64_t integer = 0;
  double real = 0;
  std::string_view bytes;
};

// Narrows a text of plain ASCII (the usual case) into `out`, reusing its
// room; false, leaving `out` unspecified, when the text needs UTF-8.
bool narrowAscii(std::u16string_view text, std::string& out);

// The stored form of an engine value for a field of `type` (a reference is
// followed). Errors: 6 for a number too large for an integer field, 13 for
// a value that is no number, date or yes/no where the type needs one.
StoredValue storedValue(const Variant& value, FieldType type);

// A stored text as a value.
Variant textValue(std::string_view utf8);
// A stored whole number as the value of a whole-number field of `type`
// (one out of the type's range, from other programs, is handed out whole).
Variant integerVariant(std::int64_t n, FieldType type);

// A stored value as the value of a field of `type`. A value whose storage
// does not fit its field's type (written by other programs) is handed out
// as it is kept rather than refused.
Variant fieldValue(const StoredView& stored, FieldType type);

}  // namespace tarnwick::engine
