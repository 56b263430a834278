// The PostgreSQL session's typed values: engine values in and out in the
// forms the server's column types read and write.
#include "../FieldValues.h"
#include "PgConnection.h"
#include "PgDialect.h"
#include "../SchemaCatalogue.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/String.h>

#include <libpq-fe.h>

#include <charconv>
#include <cmath>
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

bool isDigit(char c) noexcept { return static_cast<unsigned>(c - '0') <= 9; }

// A number as the server writes it (a boolean reads as 1 or 0): what
// from_chars reads, except that a plain decimal of at most 2^53 in its
// digits and at most 22 decimals is one division of two exact doubles,
// which rounds the same way and costs a fraction of a general reading.
double realOf(std::string_view text) noexcept {
  static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  const char* const whole = p;
  std::uint64_t digits = 0;
  for (; p != end && isDigit(*p); ++p) digits = digits * 10 + static_cast<unsigned>(*p - '0');
  const char* const point = p;
  if (p != end && *p == '.') {
    for (++p; p != end && isDigit(*p); ++p) digits = digits * 10 + static_cast<unsigned>(*p - '0');
  }
  const auto decimals = p - point - (p != point ? 1 : 0);
  // Nineteen digits cannot overflow the sum.
  const bool plain = p == end && point != whole && (p == point || decimals > 0) && (point - whole) + decimals <= 19 &&
                     digits <= (std::uint64_t{1} << 53);
  if (plain) {
    const double magnitude = static_cast<double>(digits) / kTens[decimals];
    return negative ? -magnitude : magnitude;
  }
  if (text == "t") return 1;
  if (text == "Infinity") return HUGE_VAL;
  if (text == "-Infinity") return -HUGE_VAL;
  double d = 0;
  std::from_chars(text.data(), text.data() + text.size(), d);
  return d;
}

// An integer as the server writes it (a boolean reads as 1 or 0; a number
// with decimals is rounded).
std::int64_t integerOf(std::string_view text) noexcept {
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  // Eighteen digits cannot overflow.
  if (p != end && end - p <= 18) {
    std::int64_t n = 0;
    for (; p != end && isDigit(*p); ++p) n = n * 10 + (*p - '0');
    if (p == end) return negative ? -n : n;
  }
  if (text == "t" || text == "f") return text == "t";
  std::int64_t n = 0;
  const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error == std::errc() && last == text.data() + text.size()) return n;
  const double d = realOf(text);
  return std::fabs(d) < 9.2e18 ? static_cast<std::int64_t>(std::llround(d)) : 0;
}

std::string numberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

}  // namespace

std::string timestampText(double serial) {
  const DateParts p = splitDate(serial);
  // Every part is in its range (years 100 to 9999): fixed places.
  std::string text = "0000-00-00 00:00:00";
  const auto put = [&text](std::size_t at, std::size_t width, int n) {
    for (std::size_t i = at + width; i > at; n /= 10) text[--i] = static_cast<char>('0' + n % 10);
  };
  put(0, 4, p.year);
  put(5, 2, p.month);
  put(8, 2, p.day);
  put(11, 2, p.hour);
  put(14, 2, p.minute);
  put(17, 2, p.second);
  return text;
}

void PgStatement::bindNull(int index) {
  if (index < 1) raise(errc::InvalidArgument);
  if (values_.size() < static_cast<std::size_t>(index)) values_.resize(static_cast<std::size_t>(index));
  values_[static_cast<std::size_t>(index) - 1].reset();
}

void PgStatement::bind(int index, std::string_view utf8) {
  bindNull(index);
  values_[static_cast<std::size_t>(index) - 1].emplace(utf8);
}

void PgStatement::bind(int index, std::int64_t value) { bind(index, std::string_view(std::to_string(value))); }
void PgStatement::bind(int index, double value) { bind(index, std::string_view(numberText(value))); }

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

void PgStatement::adopt(impl::PgResult result) noexcept {
  row_ = std::move(result);
  kept_.reset();
  result_ = row_.get();
  columns_ = PQnfields(result_);
  // A prepared statement's rows have the columns it was described with.
  if (static_cast<std::size_t>(columns_) != types_.size()) {
    types_.resize(static_cast<std::size_t>(columns_));
    for (int i = 0; i < columns_; ++i) types_[static_cast<std::size_t>(i)] = PQftype(result_, i);
  }
}

void PgStatement::dropRows() noexcept {
  row_.reset();
  kept_.reset();
  result_ = nullptr;
  rowIndex_ = 0;
}

std::shared_ptr<const KeptRows> PgStatement::keepRows() {
  if (!result_) return nullptr;
  if (!kept_) kept_ = std::make_shared<PgRows>(std::move(row_), types_);
  return kept_;
}

namespace {

impl::PgCell cellAt(const pg_result* result, int row, int column) noexcept {
  // Values come as text, each ending with a NUL (libpq's length of a text
  // value is its strlen); only an empty one can be Null.
  const char* value = PQgetvalue(result, row, column);
  if (*value == '\0' && PQgetisnull(result, row, column)) return {};
  return {std::string_view(value), false};
}

// A value of the server's type `server` as an engine value of `type`.
// Inline: a kept row's values are decoded one after another in one loop.
[[gnu::always_inline]] inline Variant decodedValue(const impl::PgCell& c, unsigned server, FieldType type) {
  if (c.null) return Variant::null();
  // The usual pairs of a column's type and its field's type, straight to
  // the value fieldValue would make of them.
  switch (server) {
    case kInt2Type: case kInt4Type: case kInt8Type:
      if (isIntegerType(type)) return integerVariant(integerOf(c.text), type);
      break;
    case kBoolType:
      if (type == FieldType::Boolean) return Variant(c.text == "t");
      break;
    case kFloat8Type:
      if (type == FieldType::Double) return Variant(realOf(c.text));
      break;
    case kTimestampType: case kNumericType: case kByteaType: case kFloat4Type: case kOidType:
      break;
    default:
      if (isTextType(type)) return textValue(c.text);
      break;
  }
  StoredView stored;
  std::string bytes;
  switch (server) {
    case kBoolType: case kInt2Type: case kInt4Type: case kInt8Type: case kOidType:
      stored.kind = StoredKind::Integer;
      // A boolean is written "t" or "f".
      stored.integer = server == kBoolType ? c.text == "t" : integerOf(c.text);
      stored.real = static_cast<double>(stored.integer);
      break;
    case kNumericType:
      if (type == FieldType::Currency) {
        if (const auto exact = exactCurrency(c.text)) return Variant(*exact);
      }
      [[fallthrough]];
    case kFloat4Type: case kFloat8Type:
      stored.kind = StoredKind::Real;
      stored.real = realOf(c.text);
      break;
    case kTimestampType:
      if (type == FieldType::Date) {
        if (const auto date = sessionTimestamp(c.text)) return Variant::date(*date);
      }
      stored.kind = StoredKind::Text;
      stored.bytes = c.text;
      break;
    case kByteaType:
      bytes = byteaBytes(c.text);
      stored.kind = StoredKind::Blob;
      stored.bytes = bytes;
      break;
    default:
      stored.kind = StoredKind::Text;
      stored.bytes = c.text;
      break;
  }
  return fieldValue(stored, type);
}

}  // namespace

impl::PgCell PgStatement::cell(int column) const noexcept {
  if (!result_ || column < 0 || column >= columns_) return {};
  return cellAt(result_, rowIndex_, column);
}

PgRows::PgRows(impl::PgResult result, std::vector<unsigned> types) noexcept
    : result_(std::move(result)), types_(std::move(types)), rows_(PQntuples(result_.get())) {}

void PgRows::readRow(int row, int first, const FieldInfo* fields, std::size_t count, Variant* out) const {
  const bool there = row >= 0 && row < rows_ && first >= 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t column = static_cast<std::size_t>(first) + i;
    if (there && column < types_.size()) {
      out[i] = decodedValue(cellAt(result_.get(), row, static_cast<int>(column)), types_[column], fields[i].type);
    } else {
      out[i] = Variant::null();
    }
  }
}

bool PgStatement::isNull(int column) const noexcept { return cell(column).null; }

std::string_view PgStatement::text(int column) const noexcept { return cell(column).text; }

std::int64_t PgStatement::int64(int column) const noexcept { return integerOf(cell(column).text); }

double PgStatement::real(int column) const noexcept { return realOf(cell(column).text); }

std::string PgStatement::image(int first, int count) const {
  std::string out;
  for (int i = first; i < first + count; ++i) {
    const impl::PgCell c = cell(i);
    if (c.null) {
      out += 'N';
      continue;
    }
    out += std::to_string(c.text.size()) + ':';
    out += c.text;
  }
  return out;
}

StoredKind PgStatement::kind(int column) const noexcept {
  const impl::PgCell c = cell(column);
  if (c.null) return StoredKind::Null;
  switch (types_[static_cast<std::size_t>(column)]) {
    case kBoolType: case kInt2Type: case kInt4Type: case kInt8Type: case kOidType: return StoredKind::Integer;
    case kFloat4Type: case kFloat8Type: case kNumericType: return StoredKind::Real;
    default: return StoredKind::Text;
  }
}

void PgStatement::raw(int column, RawValue& value) const {
  const impl::PgCell c = cell(column);
  switch (kind(column)) {
    case StoredKind::Null: value.emplace<std::monostate>(); return;
    case StoredKind::Integer:
      value.emplace<std::int64_t>(types_[static_cast<std::size_t>(column)] == kBoolType ? std::int64_t{c.text == "t"}
                                                                                        : integerOf(c.text));
      return;
    case StoredKind::Real: value.emplace<double>(realOf(c.text)); return;
    default:
      if (auto* kept = std::get_if<std::string>(&value)) kept->assign(c.text);
      else value.emplace<std::string>(c.text);
  }
}

Variant PgStatement::value(int column, FieldType type) const {
  const impl::PgCell c = cell(column);
  return decodedValue(c, c.null ? 0 : types_[static_cast<std::size_t>(column)], type);
}

}  // namespace tarnwick::engine
