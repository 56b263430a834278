#include "FieldValues.h"

#include "Functions.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/SafeArray.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace tarnwick::engine {

namespace {

std::int64_t integerOf(const Variant& v) {
  switch (v.valueType()) {
    case VT_UI1: case VT_I2: case VT_I4: case VT_I8: case VT_BOOL: {
      const Variant wide = changeType(v, VT_I8);
      return wide.llVal;
    }
    default: {
      const double d = toDouble(v);
      if (!(std::fabs(d) < 9.2e18)) raise(errc::Overflow);
      return static_cast<std::int64_t>(std::llround(d));
    }
  }
}

StoredValue integer(std::int64_t n) {
  StoredValue s;
  s.kind = StoredKind::Integer;
  s.integer = n;
  return s;
}

StoredValue real(double d) {
  StoredValue s;
  s.kind = StoredKind::Real;
  s.real = d;
  return s;
}

StoredValue bytes(StoredKind kind, std::string value) {
  StoredValue s;
  s.kind = kind;
  s.bytes = std::move(value);
  return s;
}

// A text to bind: plain ASCII, the usual case, is narrowed in one pass.
std::string utf8Of(std::u16string_view text) {
  std::string out;
  if (!narrowAscii(text, out)) return toUtf8(text);
  return out;
}

}  // namespace

// A stored text as a value: plain ASCII, the usual case, is widened
// straight into the value's own text, without a string between.
Variant textValue(std::string_view utf8) {
  constexpr std::size_t kWidened = 64;
  if (utf8.size() <= kWidened) {
    char16_t units[kWidened];
    std::size_t n = 0;
    for (; n < utf8.size() && static_cast<unsigned char>(utf8[n]) < 0x80; ++n) units[n] = static_cast<char16_t>(utf8[n]);
    if (n == utf8.size()) return Variant(std::u16string_view(units, n));
  }
  return Variant(fromUtf8(utf8));
}

Variant integerVariant(std::int64_t n, FieldType type) {
  switch (type) {
    case FieldType::Byte:
      if (n >= 0 && n <= 255) return Variant(static_cast<std::uint8_t>(n));
      break;
    case FieldType::Integer:
      if (n >= -32768 && n <= 32767) return Variant(static_cast<std::int16_t>(n));
      break;
    case FieldType::Long:
      if (n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(n));
      break;
    default:
      break;
  }
  // A value outside the field's range (a file written by other programs)
  // is handed out whole rather than cut.
  if (n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<std::int32_t>(n));
  return Variant(n);
}

bool narrowAscii(std::u16string_view text, std::string& out) {
  out.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 0x80) return false;
    out[i] = static_cast<char>(text[i]);
  }
  return true;
}

StoredValue storedValue(const Variant& input, FieldType type) {
  // Only a reference is copied to reach its value.
  Variant followed;
  if (input.vt & VT_BYREF) followed = input.value();
  const Variant& v = (input.vt & VT_BYREF) ? followed : input;
  const VARTYPE vt = v.valueType();
  if (vt == VT_NULL || vt == VT_EMPTY) return {};
  // The values an assignment leaves for each type go straight in.
  if (vt == VT_BOOL && type == FieldType::Boolean) return integer(v.boolVal ? -1 : 0);
  if (vt == VT_I4 && isIntegerType(type)) return integer(v.lVal);
  if (vt == VT_R8 && (type == FieldType::Double || type == FieldType::Numeric || type == FieldType::Decimal ||
                      type == FieldType::Float || type == FieldType::Single))
    return real(v.dblVal);
  if (type == FieldType::Boolean) return integer(toBool(v) ? -1 : 0);
  if (isIntegerType(type)) return integer(integerOf(v));
  if (isTextType(type)) return bytes(StoredKind::Text, vt == VT_BSTR ? utf8Of(v.text()) : toUtf8(toText(v)));
  if (type == FieldType::Date) return real(static_cast<double>(toDate(v)));
  if (type == FieldType::Binary || type == FieldType::LongBinary) {
    if (vt == (VT_ARRAY | VT_UI1)) {
      const SAFEARRAY* array = v.array();
      const std::size_t n = array->cDims == 1 ? array->rgsabound[0].cElements : 0;
      return bytes(StoredKind::Blob, n ? std::string(static_cast<const char*>(array->pvData), n) : std::string());
    }
    return bytes(StoredKind::Text, toUtf8(toText(v)));
  }
  if (vt == VT_CY) return real(currencyToDouble(v.cyVal));
  return real(toDouble(v));
}

Variant fieldValue(const StoredView& stored, FieldType type) {
  const StoredKind kind = stored.kind;
  if (kind == StoredKind::Null) return Variant::null();
  const bool number = kind == StoredKind::Integer || kind == StoredKind::Real;
  switch (type) {
    case FieldType::Boolean:
      if (number) return Variant(stored.real != 0.0);
      break;
    case FieldType::Byte: case FieldType::Integer: case FieldType::Long: case FieldType::BigInt:
      if (kind == StoredKind::Integer) return integerVariant(stored.integer, type);
      if (kind == StoredKind::Real) return Variant(stored.real);
      break;
    case FieldType::Currency:
      if (number) {
        try {
          return Variant(doubleToCurrency(stored.real));
        } catch (const Error&) {
          return Variant(stored.real);
        }
      }
      break;
    case FieldType::Single:
      if (number) return Variant(static_cast<float>(stored.real));
      break;
    case FieldType::Double: case FieldType::Numeric: case FieldType::Decimal: case FieldType::Float:
      if (number) return Variant(stored.real);
      break;
    case FieldType::Date:
      if (number) return Variant::date(stored.real);
      if (kind == StoredKind::Text) {
        if (const auto d = parseStoredDate(stored.bytes)) return Variant::date(*d);
      }
      break;
    case FieldType::Binary: case FieldType::LongBinary:
      if (kind == StoredKind::Blob) {
        const auto n = static_cast<std::uint32_t>(stored.bytes.size());
        SafeArray array(VT_UI1, 0, n);
        if (n > 0) std::memcpy(array.get()->pvData, stored.bytes.data(), n);
        return std::move(array).toVariant();
      }
      break;
    default:
      break;
  }
  // Text fields, and values whose storage does not fit their field's type.
  if (kind == StoredKind::Integer && !isTextType(type)) return integerVariant(stored.integer, FieldType::BigInt);
  if (kind == StoredKind::Real && !isTextType(type)) return Variant(stored.real);
  if (kind == StoredKind::Real) return Variant(fromUtf8(storedNumberText(stored.real)));
  if (kind == StoredKind::Integer) return Variant(fromUtf8(std::to_string(stored.integer)));
  return textValue(stored.bytes);
}

}  // namespace tarnwick::engine
