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
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace tarnwick::engine {

namespace {

// The server's type numbers (from its own catalogue; they never change).
constexpr Oid kBoolType = 16, kByteaType = 17, kInt8Type = 20, kInt2Type = 21, kInt4Type = 23, kOidType = 26;
constexpr Oid kFloat4Type = 700, kFloat8Type = 701, kNumericType = 1700, kTimestampType = 1114;

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

// The digits of text[from, from + count), or -1.
int digits(std::string_view text, std::size_t from, std::size_t count) noexcept {
  int n = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

// A timestamp as the session writes it ("yyyy-mm-dd hh:mm:ss", its date
// style set at connection); other forms (years past 9999, BC, fractions of
// a second) are left to the general reading of a date's text.
std::optional<DATE> sessionTimestamp(std::string_view text) noexcept {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
    return std::nullopt;
  const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
  const int hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
  if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) return std::nullopt;
  const auto date = makeDate(year, month, day);
  const auto time = makeTime(hour, minute, second);
  if (!date || !time) return std::nullopt;
  return *date >= 0 ? *date + *time : *date - *time;
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

std::int64_t PgStatement::int64(int column) const noexcept {
  const std::string_view value = text(column);
  if (value == "t") return 1;
  std::int64_t n = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (error == std::errc() && end == value.data() + value.size()) return n;
  const double d = real(column);
  return std::fabs(d) < 9.2e18 ? static_cast<std::int64_t>(std::llround(d)) : 0;
}

double PgStatement::real(int column) const noexcept {
  const std::string_view value = text(column);
  if (value == "t") return 1;
  if (value == "Infinity") return HUGE_VAL;
  if (value == "-Infinity") return -HUGE_VAL;
  double d = 0;
  std::from_chars(value.data(), value.data() + value.size(), d);
  return d;
}

std::string PgStatement::image(int first, int count) const {
  std::string out;
  for (int i = first; i < first + count; ++i) {
    if (isNull(i)) {
      out += 'N';
      continue;
    }
    const std::string_view value = text(i);
    out += std::to_string(value.size()) + ':';
    out += value;
  }
  return out;
}

RawValue PgStatement::raw(int column) const {
  if (isNull(column)) return std::monostate{};
  switch (PQftype(row_.get(), column)) {
    case kBoolType: case kInt2Type: case kInt4Type: case kInt8Type: case kOidType: return int64(column);
    case kFloat4Type: case kFloat8Type: case kNumericType: return real(column);
    default: return std::string(text(column));
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
    case kTimestampType:
      if (type == FieldType::Date) {
        if (const auto date = sessionTimestamp(text(column))) return Variant::date(*date);
      }
      stored.kind = StoredKind::Text;
      stored.bytes = text(column);
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
