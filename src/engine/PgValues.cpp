// The PostgreSQL session's typed values: engine values in and out in the
// forms the server's column types read and write.
#include "FieldValues.h"
#include "PgConnection.h"
#include "PgDialect.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/String.h>

#include <libpq-fe.h>

#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>

namespace tarnwick::engine {

namespace {

// The server's type numbers (from its own catalogue; they never change).
constexpr Oid kBoolType = 16, kByteaType = 17, kInt8Type = 20, kInt2Type = 21, kInt4Type = 23, kOidType = 26;
constexpr Oid kFloat4Type = 700, kFloat8Type = 701, kNumericType = 1700;

bool isNumberType(Oid type) noexcept {
  return type == kInt2Type || type == kInt4Type || type == kInt8Type || type == kFloat4Type || type == kFloat8Type ||
         type == kNumericType;
}

// Currency's exact text, four decimals.
std::string currencyText(CY value) {
  const bool negative = value.int64 < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value.int64) : static_cast<std::uint64_t>(value.int64);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  return (negative ? "-" : "") + std::to_string(magnitude / 10000) + '.' + fraction;
}

// A numeric column's text as currency, when it has at most four decimals
// and fits.
std::optional<CY> exactCurrency(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (whole.empty() || fraction.size() > 4) return std::nullopt;
  std::uint64_t units = 0;
  const auto [end, error] = std::from_chars(whole.data(), whole.data() + whole.size(), units);
  if (error != std::errc() || end != whole.data() + whole.size()) return std::nullopt;
  std::uint64_t scaled = units;
  for (int i = 0; i < 4; ++i) {
    if (scaled > std::numeric_limits<std::uint64_t>::max() / 10) return std::nullopt;
    scaled *= 10;
    if (static_cast<std::size_t>(i) < fraction.size()) {
      const char c = fraction[static_cast<std::size_t>(i)];
      if (c < '0' || c > '9') return std::nullopt;
      scaled += static_cast<std::uint64_t>(c - '0');
    }
  }
  const std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  if (scaled > limit) return std::nullopt;
  CY value;
  value.int64 = negative ? static_cast<std::int64_t>(0 - scaled) : static_cast<std::int64_t>(scaled);
  return value;
}


std::string byteaText(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "\\x";
  out.reserve(2 + bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

int hexDigit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of bytea's hex output ("\x0a1b").
std::string byteaBytes(std::string_view text) {
  std::string out;
  if (text.substr(0, 2) != "\\x") return std::string(text);
  out.reserve((text.size() - 2) / 2);
  for (std::size_t i = 2; i + 1 < text.size(); i += 2)
    out += static_cast<char>((hexDigit(text[i]) << 4) | hexDigit(text[i + 1]));
  return out;
}

}  // namespace

std::string timestampText(double serial) {
  const DateParts p = splitDate(serial);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                p.second);
  return buffer;
}

void PgStatement::bind(int index, const Variant& value, FieldType type) {
  const StoredValue stored = storedValue(value, type);
  const Oid target = index >= 1 && index <= parameters_ ? PQparamtype(description_.get(), index - 1) : 0;
  switch (stored.kind) {
    case StoredKind::Null: return bindNull(index);
    case StoredKind::Integer:
      if (target == kBoolType) return bind(index, std::string_view(stored.integer ? "true" : "false"));
      return bind(index, stored.integer);
    case StoredKind::Real:
      if (type == FieldType::Date && !isNumberType(target)) return bind(index, std::string_view(timestampText(stored.real)));
      if (type == FieldType::Currency) {
        // Currency keeps all its digits on the way in too.
        const Variant followed = (value.vt & VT_BYREF) ? value.value() : Variant();
        const Variant& v = (value.vt & VT_BYREF) ? followed : value;
        if (v.valueType() == VT_CY) return bind(index, std::string_view(currencyText(v.cyVal)));
      }
      return bind(index, stored.real);
    case StoredKind::Text: case StoredKind::Blob:
      if (target == kByteaType || (stored.kind == StoredKind::Blob && target == 0))
        return bind(index, std::string_view(byteaText(stored.bytes)));
      if (stored.bytes.find('\0') != std::string::npos) refuseNul();
      return bind(index, std::string_view(stored.bytes));
  }
}

Variant PgStatement::value(int column, FieldType type) const {
  if (isNull(column)) return Variant::null();
  StoredView stored;
  std::string bytes;
  switch (PQftype(row_.get(), column)) {
    case kBoolType: case kInt2Type: case kInt4Type: case kInt8Type: case kOidType:
      stored.kind = StoredKind::Integer;
      stored.integer = int64(column);
      stored.real = static_cast<double>(stored.integer);
      break;
    case kNumericType:
      if (type == FieldType::Currency) {
        if (const auto exact = exactCurrency(text(column))) return Variant(*exact);
      }
      [[fallthrough]];
    case kFloat4Type: case kFloat8Type:
      stored.kind = StoredKind::Real;
      stored.real = real(column);
      break;
    case kByteaType:
      bytes = byteaBytes(text(column));
      stored.kind = StoredKind::Blob;
      stored.bytes = bytes;
      break;
    default:
      stored.kind = StoredKind::Text;
      stored.bytes = text(column);
      break;
  }
  return fieldValue(stored, type);
}

}  // namespace tarnwick::engine
