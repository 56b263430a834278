// Field values and table descriptions on the server, side by side with a
// database file: the same values go in through both backends and must come
// out alike, and the same CREATE TABLE must read back alike.
#include "../../src/engine/Connection.h"
#include "../../src/engine/FieldValues.h"
#include "../../src/engine/postgres/PgCatalogue.h"
#include "../../src/engine/postgres/PgConnection.h"
#include "../../src/engine/SchemaCatalogue.h"
#include "../../src/engine/SqlDialect.h"
#include "../../src/engine/SqlStatement.h"
#include "EngineTesting.h"
#include "PgBackends.h"
#include "PgTesting.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/SafeArray.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace tarnwick::engine {
namespace {

using testing::TempDir;

// One table on both backends, made from one statement of the dialect. The
// server's table is named per test (the tests share the server) and dropped
// before and after.
struct Backends : BothBackends {
  explicit Backends(const std::string& uri) : BothBackends(uri, "values.db") {}

  void run(std::u16string_view statement) {
    const ParsedStatement parsed = parseStatement(statement, fileSchema);
    const TranslatedStatement translated = translateStatement(statement, fileSchema);
    file.exec(translated.sql);
    if (parsed.kind == StatementKind::CreateTable) {
      fileSchema.record(translated.table, translated.fields);
      drop(parsed.table);
      made.push_back(parsed.table);
      serverSchema.createTable(parsed.table, parsed.fields, parsed.primary, parsed.uniques);
    } else {
      IndexInfo index;
      index.name = parsed.index;
      index.unique = parsed.unique;
      index.fields = parsed.indexFields;
      index.descending = parsed.descending;
      serverSchema.createIndex(parsed.table, index);
    }
    fileSchema.invalidate();
  }
};

// A value with its type, exactly (floating values by all their digits).
std::string described(const Variant& v) {
  char buffer[64];
  switch (v.vt) {
    case VT_NULL: return "Null";
    case VT_R4: std::snprintf(buffer, sizeof buffer, "Single %.9g", static_cast<double>(v.fltVal)); return buffer;
    case VT_R8: std::snprintf(buffer, sizeof buffer, "Double %.17g", v.dblVal); return buffer;
    case VT_DATE: std::snprintf(buffer, sizeof buffer, "Date %.17g", static_cast<const VARIANT&>(v).date); return buffer;
    case VT_CY: return "Currency " + std::to_string(v.cyVal.int64);
    case VT_ARRAY | VT_UI1: {
      const SAFEARRAY* a = v.array();
      std::string out = "Bytes";
      const auto* p = static_cast<const unsigned char*>(a->pvData);
      for (std::uint32_t i = 0; i < a->rgsabound[0].cElements; ++i) {
        std::snprintf(buffer, sizeof buffer, " %02x", p[i]);
        out += buffer;
      }
      return out;
    }
    default: return "vt" + std::to_string(v.vt) + ' ' + toUtf8(toText(v));
  }
}

Variant bytes(std::string_view data) {
  SafeArray array(VT_UI1, 0, static_cast<std::uint32_t>(data.size()));
  if (!data.empty()) std::memcpy(array.get()->pvData, data.data(), data.size());
  return std::move(array).toVariant();
}

// A date with its time, built the way a stored date text is read back.
Variant stamp(int year, int month, int day, int hour, int minute, int second) {
  const DATE d = *makeDate(year, month, day), t = *makeTime(hour, minute, second);
  return Variant::date(d >= 0 ? d + t : d - t);
}

CY currency(std::int64_t tenThousandths) {
  CY c;
  c.int64 = tenThousandths;
  return c;
}

constexpr std::u16string_view kAllTypes =
    u"CREATE TABLE %s (Id COUNTER PRIMARY KEY, Flag YESNO, Small BYTE, Short SHORT, Whole LONG NOT NULL, "
    u"Money CURRENCY, Float4 SINGLE, Float8 DOUBLE, Stamp DATETIME, Name TEXT(20), Code CHAR(5), Notes MEMO, "
    u"Raw BINARY(16), Blob LONGBINARY, Big BIGINT, Dec DECIMAL, Num NUMERIC)";

std::u16string allTypes(std::u16string_view table) {
  std::u16string text(kAllTypes);
  text.replace(text.find(u"%s"), 2, table);
  return text;
}

// Writes `value` into `field` of a fresh record through both backends and
// reads it back: what each reads.
std::pair<Variant, Variant> roundTrip(Backends& b, std::u16string_view table, std::u16string_view field,
                                      FieldType type, const Variant& value) {
  const std::string t = quoteName(table), f = quoteName(field);
  b.file.exec("DELETE FROM " + t);
  b.server.exec("DELETE FROM " + t);
  // Whole is required: a record always has it.
  const bool whole = field == u"Whole";
  Statement& fileInsert = b.file.cached("INSERT INTO " + t + (whole ? " (" : " (Whole, ") + f + ") VALUES (" +
                                        (whole ? "" : "0, ") + "?1)");
  fileInsert.bind(1, value, type);
  fileInsert.step();
  PgStatement& serverInsert = b.server.cached("INSERT INTO " + t + (whole ? " (" : " (\"Whole\", ") + f +
                                              ") VALUES (" + (whole ? "" : "0, ") + "$1)");
  serverInsert.bind(1, value, type);
  serverInsert.step();
  Statement& fileRead = b.file.cached("SELECT " + f + " FROM " + t);
  EXPECT_TRUE(fileRead.step());
  Variant fromFile = fileRead.value(0, type);
  fileRead.reset();
  PgStatement& serverRead = b.server.cached("SELECT " + f + " FROM " + t);
  EXPECT_TRUE(serverRead.step());
  Variant fromServer = serverRead.value(0, type);
  serverRead.rewind();
  return {std::move(fromFile), std::move(fromServer)};
}

TEST(PgValues, EveryFieldTypeRoundTripsAsOnTheFileBackend) {
  REQUIRE_SERVER(server);
  Backends b(server->uri());
  b.run(allTypes(u"tw_values"));
  std::string everyByte;
  for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
  const std::u16string memo(10000, u'm');
  struct Case {
    std::u16string_view field;
    FieldType type;
    Variant in;
    Variant out;
  };
  const Case cases[] = {
      {u"Flag", FieldType::Boolean, Variant(true), Variant(true)},
      {u"Flag", FieldType::Boolean, Variant(false), Variant(false)},
      {u"Flag", FieldType::Boolean, Variant(std::int32_t{5}), Variant(true)},
      {u"Flag", FieldType::Boolean, Variant::null(), Variant::null()},
      {u"Small", FieldType::Byte, Variant(std::uint8_t{0}), Variant(std::uint8_t{0})},
      {u"Small", FieldType::Byte, Variant(std::int32_t{255}), Variant(std::uint8_t{255})},
      {u"Short", FieldType::Integer, Variant(std::int16_t{-32768}), Variant(std::int16_t{-32768})},
      {u"Short", FieldType::Integer, Variant(std::int32_t{32767}), Variant(std::int16_t{32767})},
      {u"Short", FieldType::Integer, Variant(-2.75), Variant(std::int16_t{-3})},
      {u"Whole", FieldType::Long, Variant(std::numeric_limits<std::int32_t>::min()),
       Variant(std::numeric_limits<std::int32_t>::min())},
      {u"Whole", FieldType::Long, Variant(u"42"), Variant(std::int32_t{42})},
      {u"Big", FieldType::BigInt, Variant(std::numeric_limits<std::int64_t>::max()),
       Variant(std::numeric_limits<std::int64_t>::max())},
      {u"Big", FieldType::BigInt, Variant(std::numeric_limits<std::int64_t>::min()),
       Variant(std::numeric_limits<std::int64_t>::min())},
      {u"Money", FieldType::Currency, Variant(currency(12345678)), Variant(currency(12345678))},
      {u"Money", FieldType::Currency, Variant(currency(-1)), Variant(currency(-1))},
      {u"Money", FieldType::Currency, Variant(2.5), Variant(currency(25000))},
      {u"Money", FieldType::Currency, Variant(currency(1234567890123456789)), Variant(currency(1234567890123456789))},
      {u"Float4", FieldType::Single, Variant(3.25f), Variant(3.25f)},
      {u"Float4", FieldType::Single, Variant(FLT_MAX), Variant(FLT_MAX)},
      {u"Float4", FieldType::Single, Variant(-FLT_MIN), Variant(-FLT_MIN)},
      {u"Float8", FieldType::Double, Variant(0.1), Variant(0.1)},
      {u"Float8", FieldType::Double, Variant(DBL_MAX), Variant(DBL_MAX)},
      {u"Float8", FieldType::Double, Variant(-DBL_MIN), Variant(-DBL_MIN)},
      {u"Stamp", FieldType::Date, stamp(2024, 2, 29, 13, 45, 30), stamp(2024, 2, 29, 13, 45, 30)},
      {u"Stamp", FieldType::Date, stamp(1850, 6, 15, 6, 0, 0), stamp(1850, 6, 15, 6, 0, 0)},
      {u"Stamp", FieldType::Date, stamp(100, 1, 1, 0, 0, 0), stamp(100, 1, 1, 0, 0, 0)},
      {u"Stamp", FieldType::Date, stamp(9999, 12, 31, 23, 59, 59), stamp(9999, 12, 31, 23, 59, 59)},
      {u"Name", FieldType::Text, Variant(u"Grüße, 日本 \U0001F389"), Variant(u"Grüße, 日本 \U0001F389")},
      {u"Name", FieldType::Text, Variant(u""), Variant(u"")},
      {u"Name", FieldType::Text, Variant(std::int32_t{7}), Variant(u"7")},
      {u"Code", FieldType::Char, Variant(u"AB"), Variant(u"AB")},
      {u"Notes", FieldType::Memo, Variant(memo), Variant(memo)},
      {u"Raw", FieldType::Binary, bytes(std::string("\0\1\0\xff\0", 5)), bytes(std::string("\0\1\0\xff\0", 5))},
      {u"Raw", FieldType::Binary, bytes(""), bytes("")},
      {u"Blob", FieldType::LongBinary, bytes(everyByte), bytes(everyByte)},
      {u"Dec", FieldType::Decimal, Variant(12345.678), Variant(12345.678)},
      {u"Num", FieldType::Numeric, Variant(-0.5), Variant(-0.5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.field) + " <- " + described(c.in));
    const auto [fromFile, fromServer] = roundTrip(b, u"tw_values", c.field, c.type, c.in);
    EXPECT_EQ(described(fromServer), described(c.out));
    // Currency beyond a double's fifteen digits keeps all of them only on
    // the server (the file keeps currency as a real number).
    if (c.type != FieldType::Currency || c.out.cyVal.int64 < 1'000'000'000'000'000) {
      EXPECT_EQ(described(fromServer), described(fromFile));
    }
  }
  // Null, and an empty value, in every field but the required one.
  const auto info = b.serverSchema.table(u"tw_values");
  ASSERT_TRUE(info);
  for (const FieldInfo& f : info->fields) {
    if (f.required) continue;
    for (const Variant& nothing : {Variant::null(), Variant()}) {
      SCOPED_TRACE(toUtf8(f.name) + " <- " + described(nothing));
      const auto [fromFile, fromServer] = roundTrip(b, u"tw_values", f.name, f.type, nothing);
      EXPECT_EQ(described(fromServer), "Null");
      EXPECT_EQ(described(fromFile), "Null");
    }
  }
  // A counter is numbered by the server.
  b.server.exec("DELETE FROM tw_values");
  b.server.exec("INSERT INTO tw_values (\"Whole\") VALUES (1), (2)");
  PgStatement& ids = b.server.cached("SELECT \"Id\" FROM tw_values ORDER BY \"Id\"");
  ASSERT_TRUE(ids.step());
  const Variant first = ids.value(0, FieldType::Long);
  ASSERT_TRUE(ids.step());
  EXPECT_EQ(described(ids.value(0, FieldType::Long)), described(Variant(first.lVal + 1)));
  ids.rewind();
}

// The server's text of every value of an array parameter of `type`, as
// the statement reads it: the number from the text by the general reading
// of a decimal, against what the statement makes of it.
void expectNumbersReadAsTheirText(PgConnection& server, const std::string& type, const std::string& values,
                                  FieldType field) {
  PgStatement& s = server.cached("SELECT v FROM unnest($1::" + type + "[]) AS v");
  s.bind(1, std::string_view(values));
  int rows = 0;
  while (s.step()) {
    ++rows;
    const std::string text(s.text(0));
    SCOPED_TRACE(type + " " + text);
    ASSERT_FALSE(s.isNull(0));
    double expected = 0;
    if (text == "Infinity" || text == "-Infinity") {
      expected = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    } else {
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), expected);
      ASSERT_TRUE(error == std::errc() && end == text.data() + text.size());
    }
    const auto bits = [](double d) { return std::isnan(d) ? 0x7ff8000000000000u : std::bit_cast<std::uint64_t>(d); };
    EXPECT_EQ(bits(s.real(0)), bits(expected));
    const RawValue raw = s.raw(0);
    ASSERT_EQ(raw.index(), 2u);
    EXPECT_EQ(bits(std::get<double>(raw)), bits(expected));
    const Variant v = s.value(0, field);
    if (field == FieldType::Single) {
      ASSERT_EQ(v.vt, VT_R4);
      EXPECT_EQ(bits(v.fltVal), bits(static_cast<float>(expected)));
    } else {
      ASSERT_EQ(v.vt, VT_R8);
      EXPECT_EQ(bits(v.dblVal), bits(expected));
    }
  }
  EXPECT_GT(rows, 0);
}

TEST(PgValues, NumbersReadToTheLastBitAsTheirTextsSay) {
  REQUIRE_SERVER(server);
  PgConnection c(server->uri());
  std::mt19937_64 random(19);
  const auto shortest = [](double d) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, d).ptr);
  };
  // Doubles of every size (any bits but NaN's and the infinities'), the
  // ends of the range, and decimals about the point where one division of
  // their digits stops being exact.
  std::string doubles = "{NaN,Infinity,-Infinity,-0,0,0.1,1e22,1e23,9007199254740992,9007199254740993,"
                        "9007199254740994,18446744073709551616,5e-324,2.2250738585072014e-308";
  for (const double d : {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_EPSILON, 0.30000000000000004, 123456789.125})
    doubles += ',' + shortest(d);
  for (int i = 0; i < 3000; ++i) {
    const double d = std::bit_cast<double>(random());
    if (std::isfinite(d)) doubles += ',' + shortest(d);
    const double decimal = static_cast<double>(random() % 100000000000000000u) /
                           std::pow(10.0, static_cast<double>(random() % 24));
    doubles += ',' + shortest(i % 2 ? decimal : -decimal);
  }
  doubles += '}';
  expectNumbersReadAsTheirText(c, "float8", doubles, FieldType::Double);
  expectNumbersReadAsTheirText(c, "float4", doubles.substr(0, doubles.find(",1e23")) + ",3.4028235e+38,1.17549435e-38}",
                               FieldType::Single);
  // Numeric keeps every digit it is given: long fractions, trailing zeros,
  // more digits than a double holds.
  std::string numerics = "{0.0000000000000000000000001,1234567890.123456789,12345.2500,-0.5000,"
                         "9007199254740993.0,99999999999999999999.5,0.1000000000000000055511151231257827,"
                         "123456789012345678901234567890.000000000000000000001";
  for (int i = 0; i < 2000; ++i) {
    const std::string digits = std::to_string(random() % 10000000000000000000u);
    const std::size_t point = random() % digits.size();
    numerics += ',' + (i % 3 ? std::string() : std::string("-")) + digits.substr(0, point + 1) + "." +
                digits.substr(point + 1) + "0";
  }
  numerics += '}';
  expectNumbersReadAsTheirText(c, "numeric", numerics, FieldType::Decimal);

  // Whole numbers to both ends, and yes/no.
  PgStatement& whole = c.cached("SELECT v, v::text FROM unnest($1::int8[]) AS v");
  std::vector<std::int64_t> integers = {0, -1, 999999999999999999, -999999999999999999, 1000000000000000000,
                                        std::numeric_limits<std::int64_t>::max(),
                                        std::numeric_limits<std::int64_t>::min()};
  for (int i = 0; i < 500; ++i) integers.push_back(static_cast<std::int64_t>(random()) >> (random() % 64));
  std::string list = "{";
  for (const std::int64_t n : integers) list += std::to_string(n) + ',';
  list.back() = '}';
  whole.bind(1, std::string_view(list));
  for (const std::int64_t n : integers) {
    ASSERT_TRUE(whole.step());
    EXPECT_EQ(whole.int64(0), n);
    EXPECT_EQ(std::get<std::int64_t>(whole.raw(0)), n);
    StoredView stored;
    stored.kind = StoredKind::Integer;
    stored.integer = n;
    stored.real = static_cast<double>(n);
    EXPECT_EQ(described(whole.value(0, FieldType::BigInt)), described(fieldValue(stored, FieldType::BigInt)));
    // A whole number read from a text column is its text's number.
    EXPECT_EQ(whole.int64(1), n);
  }
  EXPECT_FALSE(whole.step());
  PgStatement& flags = c.cached("SELECT true, false, NULL::boolean, 2.5::float8, -2.5::numeric, '-'::text, ''::text");
  ASSERT_TRUE(flags.step());
  EXPECT_EQ(flags.int64(0), 1);
  EXPECT_EQ(flags.int64(1), 0);
  EXPECT_EQ(flags.real(0), 1.0);
  EXPECT_EQ(described(flags.value(0, FieldType::Boolean)), described(Variant(true)));
  EXPECT_EQ(described(flags.value(1, FieldType::Boolean)), described(Variant(false)));
  EXPECT_TRUE(flags.isNull(2));
  EXPECT_EQ(described(flags.value(2, FieldType::Boolean)), "Null");
  EXPECT_EQ(flags.int64(3), 3);
  EXPECT_EQ(flags.int64(4), -3);
  EXPECT_EQ(flags.int64(5), 0);
  EXPECT_FALSE(flags.isNull(6));
  EXPECT_EQ(flags.text(6), "");
  EXPECT_TRUE(flags.isNull(7));
  flags.rewind();
}

// Dates go to the server as timestamp texts: every date of the range, to
// the second, is the timestamp of its parts, and reads back as itself.
TEST(PgValues, DatesTravelAsTheTimestampsOfTheirParts) {
  REQUIRE_SERVER(server);
  PgConnection c(server->uri());
  std::mt19937_64 random(7);
  std::vector<DATE> dates = {*makeDate(100, 1, 1), *makeDate(9999, 12, 31) + 86399.0 / 86400, 0.0, -1.25, 2.5,
                             *makeDate(1000, 10, 10) - 3723.0 / 86400};
  for (int i = 0; i < 400; ++i) {
    const auto year = static_cast<int>(100 + random() % 9900), month = static_cast<int>(1 + random() % 12);
    const DATE day = *makeDate(year, month, static_cast<int>(1 + random() % 28));
    const DATE time = *makeTime(static_cast<int>(random() % 24), static_cast<int>(random() % 60),
                                static_cast<int>(random() % 60));
    dates.push_back(day >= 0 ? day + time : day - time);
  }
  PgStatement& s = c.cached("SELECT $1::timestamp, $1::timestamp::text");
  for (const DATE date : dates) {
    const DateParts p = splitDate(date);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    SCOPED_TRACE(expected);
    s.bind(1, Variant::date(date), FieldType::Date);
    ASSERT_TRUE(s.step());
    EXPECT_EQ(s.text(1), expected);
    EXPECT_EQ(described(s.value(0, FieldType::Date)), described(Variant::date(date)));
    s.rewind();
  }
}

// A walk forward keeps its batch's result and decodes each record's values
// only when it takes the record: what it then reads must be what the
// statement read while standing on the row, for every type, Null and text
// beyond plain ASCII, after the statement has moved on to other runs and
// after the session has ended.
TEST(PgValues, RowsKeptPastTheirStatementReadAsTheStatementReadThem) {
  REQUIRE_SERVER(server);
  Backends b(server->uri());
  b.run(allTypes(u"tw_kept"));
  b.server.exec(
      "INSERT INTO tw_kept (\"Flag\", \"Small\", \"Short\", \"Whole\", \"Money\", \"Float4\", \"Float8\", "
      "\"Stamp\", \"Name\", \"Code\", \"Notes\", \"Raw\", \"Blob\", \"Big\", \"Dec\", \"Num\") "
      "SELECT CASE WHEN i % 7 = 0 THEN NULL ELSE i % 2 = 0 END, i % 256, i - 150, i * 1000 - 7, i * 1.2345, i / 3.0, "
      "CASE WHEN i % 11 = 0 THEN NULL ELSE i / 7.0 END, timestamp '1899-12-29 06:00:00' + i * interval '41 days 1 second', "
      "CASE WHEN i % 13 = 0 THEN NULL WHEN i % 3 = 0 THEN 'Grüße ' || i ELSE 'name ' || i END, 'c' || i % 10, "
      "repeat('m', i), decode(lpad(to_hex(i), 4, '0'), 'hex'), CASE WHEN i % 5 = 0 THEN NULL ELSE '\\x00ff'::bytea END, "
      "i::bigint * 1000000000000, i / 8.0, -i / 4.0 FROM generate_series(1, 300) AS i");
  const auto info = b.serverSchema.table(u"tw_kept");
  ASSERT_TRUE(info);
  const auto& fields = info->fields;
  PgConnection reader(server->uri());
  PgStatement& s = reader.cached("SELECT * FROM tw_kept ORDER BY \"Id\" LIMIT 1000");
  std::vector<std::vector<std::string>> read;
  std::vector<std::pair<std::shared_ptr<const KeptRows>, int>> kept;
  while (s.step()) {
    std::vector<std::string>& row = read.emplace_back();
    for (std::size_t i = 0; i < fields.size(); ++i) row.push_back(described(s.value(static_cast<int>(i), fields[i].type)));
    kept.emplace_back(s.keepRows(), s.rowIndex());
    // Kept once: the rows stepped over after it come from the same result.
    EXPECT_EQ(kept.back().first, kept.front().first);
  }
  ASSERT_EQ(read.size(), 300u);
  // The statement runs again and stands on other rows; then the session ends.
  ASSERT_TRUE(s.step());
  s.reset();
  reader.close();
  // Read into values that hold texts of earlier rows, as a walk's row does.
  std::vector<Variant> values(fields.size(), Variant(u"earlier"));
  for (std::size_t r = 0; r < kept.size(); ++r) {
    const auto& [rows, at] = kept[r];
    rows->readRow(at, 0, fields.data(), fields.size(), values.data());
    for (std::size_t i = 0; i < fields.size(); ++i) {
      SCOPED_TRACE("row " + std::to_string(r) + " " + toUtf8(fields[i].name));
      EXPECT_EQ(described(values[i]), read[r][i]);
    }
  }
  // The rows hold what was meant: text beyond ASCII, and Nulls.
  EXPECT_EQ(read[11][9], "vt8 " + toUtf8(u"Grüße 12"));
  EXPECT_EQ(read[12][9], "Null");
  EXPECT_EQ(read[6][1], "Null");
  // Places that are not there read as Null.
  const auto& [rows, at] = kept.front();
  for (const int row : {-1, 300}) {
    rows->readRow(row, 0, fields.data(), 2, values.data());
    EXPECT_EQ(described(values[0]) + described(values[1]), "NullNull");
  }
  rows->readRow(at, static_cast<int>(fields.size()) + 1000, fields.data(), 1, values.data());
  EXPECT_EQ(described(values[0]), "Null");
  rows->readRow(at, -1, fields.data(), 1, values.data());
  EXPECT_EQ(described(values[0]), "Null");
  // A file's statement reads its values while it stands on the row: it keeps nothing.
  Statement& local = b.file.cached("SELECT 1");
  ASSERT_TRUE(local.step());
  EXPECT_EQ(local.keepRows(), nullptr);
  local.reset();
}

TEST(PgValues, RefusalsAreTheFileBackendsAndTheServersOwnHaveTheEnginesNumbers) {
  REQUIRE_SERVER(server);
  Backends b(server->uri());
  b.run(allTypes(u"tw_refusals"));
  struct Case {
    std::u16string_view field;
    FieldType type;
    Variant in;
    std::int32_t number;
  };
  const Case refused[] = {
      {u"Whole", FieldType::Long, Variant(1e19), errc::Overflow},
      {u"Big", FieldType::BigInt, Variant(-1e300), errc::Overflow},
      {u"Whole", FieldType::Long, Variant(u"abc"), errc::TypeMismatch},
      {u"Float8", FieldType::Double, Variant(u"x1"), errc::TypeMismatch},
      {u"Stamp", FieldType::Date, Variant(u"no date at all"), errc::TypeMismatch},
      {u"Flag", FieldType::Boolean, Variant(u"maybe"), errc::TypeMismatch},
  };
  Statement& fileInsert = b.file.cached("INSERT INTO tw_refusals (Whole) VALUES (?1)");
  PgStatement& serverInsert = b.server.cached("INSERT INTO tw_refusals (\"Whole\") VALUES ($1)");
  for (const Case& c : refused) {
    SCOPED_TRACE(toUtf8(c.field) + " <- " + described(c.in));
    const Error onFile = errorOf([&] { fileInsert.bind(1, c.in, c.type); });
    const Error onServer = errorOf([&] { serverInsert.bind(1, c.in, c.type); });
    EXPECT_EQ(onFile.number(), c.number) << shown(onFile);
    EXPECT_EQ(onServer.number(), onFile.number()) << shown(onServer);
  }
  // What only the server's types refuse: a text longer than its field, a
  // number beyond its column, a text with a NUL character. Nothing of a
  // refused record is kept.
  const auto insert = [&](std::string_view field, FieldType type, const Variant& value) {
    return errorOf([&] {
      PgStatement& s = b.server.cached("INSERT INTO tw_refusals (\"Whole\", \"" + std::string(field) + "\") VALUES (1, $1)");
      s.bind(1, value, type);
      s.step();
    });
  };
  EXPECT_EQ(insert("Name", FieldType::Text, Variant(std::u16string(21, u'x'))).number(), errc::FieldTooSmall);
  EXPECT_EQ(insert("Short", FieldType::Integer, Variant(std::int32_t{40000})).number(), errc::Overflow);
  const Error nul = insert("Notes", FieldType::Memo, Variant(std::u16string(u"a\0b", 3)));
  EXPECT_EQ(nul.number(), errc::OdbcCallFailed);
  EXPECT_NE(toUtf8(nul.description()).find("0x00"), std::string::npos) << shown(nul);
  EXPECT_EQ(insert("Name", FieldType::Text, Variant(std::u16string(20, u'x'))).number(), 0);
  PgStatement& count = b.server.cached("SELECT count(*) FROM tw_refusals");
  ASSERT_TRUE(count.step());
  EXPECT_EQ(count.int64(0), 1);
  count.rewind();
}

TEST(PgValues, TextsCompareAndOrderWithoutRegardToLetterCaseOnBothBackends) {
  REQUIRE_SERVER(server);
  Backends b(server->uri());
  b.run(u"CREATE TABLE tw_case (Code TEXT(10), Notes MEMO)");
  b.run(u"CREATE UNIQUE INDEX ByCode ON tw_case (Code)");
  const auto insertBoth = [&](std::u16string_view code, std::u16string_view notes) {
    Statement& f = b.file.cached("INSERT INTO tw_case VALUES (?1, ?2)");
    PgStatement& p = b.server.cached("INSERT INTO tw_case VALUES ($1, $2)");
    const Error onFile = errorOf([&] {
      f.bind(1, Variant(code), FieldType::Text);
      f.bind(2, Variant(notes), FieldType::Memo);
      f.step();
    });
    const Error onServer = errorOf([&] {
      p.bind(1, Variant(code), FieldType::Text);
      p.bind(2, Variant(notes), FieldType::Memo);
      p.step();
    });
    EXPECT_EQ(onServer.number(), onFile.number()) << shown(onServer) << " / " << shown(onFile);
    return onServer.number();
  };
  EXPECT_EQ(insertBoth(u"Smith", u"First Note"), 0);
  EXPECT_EQ(insertBoth(u"SMITH", u"other"), errc::DuplicateKey);
  EXPECT_EQ(insertBoth(u"b", u"x"), 0);
  EXPECT_EQ(insertBoth(u"A", u"y"), 0);
  const auto both = [&](const std::string& fileSql, const std::string& serverSql, std::u16string_view parameter) {
    std::string fromFile, fromServer;
    Statement& f = b.file.cached(fileSql);
    f.bind(1, Variant(parameter), FieldType::Text);
    while (f.step()) fromFile += toUtf8(toText(f.value(0, FieldType::Text))) + ";";
    f.reset();
    PgStatement& p = b.server.cached(serverSql);
    p.bind(1, Variant(parameter), FieldType::Text);
    while (p.step()) fromServer += toUtf8(toText(p.value(0, FieldType::Text))) + ";";
    EXPECT_EQ(fromServer, fromFile);
    return fromServer;
  };
  EXPECT_EQ(both("SELECT Code FROM tw_case WHERE Code = ?1", "SELECT \"Code\" FROM tw_case WHERE \"Code\" = $1", u"smith"),
            "Smith;");
  EXPECT_EQ(both("SELECT Code FROM tw_case WHERE Notes = ?1", "SELECT \"Code\" FROM tw_case WHERE \"Notes\" = $1",
                 u"FIRST NOTE"),
            "Smith;");
  EXPECT_EQ(both("SELECT Code FROM tw_case WHERE Code <> ?1 ORDER BY Code",
                 "SELECT \"Code\" FROM tw_case WHERE \"Code\" <> $1 ORDER BY \"Code\"", u""),
            "A;b;Smith;");
}

// A TableInfo as text, its indexes in the order of their names.
std::string described(const TableInfo& t) {
  std::string out = toUtf8(t.name) + "\n";
  for (const FieldInfo& f : t.fields) {
    out += toUtf8(f.name) + " type " + std::to_string(static_cast<int>(f.type)) + " size " + std::to_string(f.size) +
           (f.required ? " required" : "") + (f.allowZeroLength ? " zero-length" : "") +
           (f.autoIncrement ? " counter" : "") + "\n";
  }
  std::vector<std::string> indexes;
  for (const IndexInfo& i : t.indexes) {
    std::string line = "index " + toUtf8(i.name) + (i.primary ? " primary" : "") + (i.unique ? " unique" : "") + " (";
    for (std::size_t k = 0; k < i.fields.size(); ++k) line += toUtf8(i.fields[k]) + (i.descending[k] ? " desc " : " ");
    indexes.push_back(line + ")");
  }
  std::sort(indexes.begin(), indexes.end());
  for (const std::string& line : indexes) out += line + "\n";
  return out;
}

TEST(PgValues, TablesCreatedThroughTheMappingReadBackAsOnTheFileBackend) {
  REQUIRE_SERVER(server);
  Backends b(server->uri());
  b.run(allTypes(u"tw_Schema"));
  b.run(u"CREATE INDEX ByName ON tw_Schema (Name DESC, Whole)");
  b.run(u"CREATE UNIQUE INDEX ByCode ON tw_Schema (Code)");
  b.run(u"CREATE TABLE tw_pairs (Left LONG, Right TEXT(10) NOT NULL, Note TEXT, PRIMARY KEY (Left, Right))");
  b.run(u"CREATE TABLE tw_keyed (Code TEXT(8) PRIMARY KEY, Amount CURRENCY NOT NULL)");
  for (const std::u16string_view table : {u"tw_Schema", u"tw_pairs", u"tw_keyed"}) {
    const auto onFile = b.fileSchema.table(table);
    const auto onServer = b.serverSchema.table(table);
    ASSERT_TRUE(onFile && onServer) << toUtf8(table);
    EXPECT_EQ(described(*onServer), described(*onFile));
  }
  // Names are found without regard to letter case; the engine's own table
  // is no user table.
  ASSERT_TRUE(b.serverSchema.table(u"TW_SCHEMA"));
  EXPECT_EQ(b.serverSchema.table(u"TW_SCHEMA")->name, u"tw_Schema");
  EXPECT_EQ(b.serverSchema.table(u"tw_no_such_table"), nullptr);
  EXPECT_EQ(b.serverSchema.table(u"tarnwick_fields"), nullptr);
  const auto names = b.serverSchema.tableNames();
  EXPECT_NE(std::find(names.begin(), names.end(), u"tw_pairs"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), u"tarnwick_fields"), names.end());

  // A table made by another program is described from the server's types.
  b.drop(u"tw_foreign");
  b.made.push_back(u"tw_foreign");
  b.server.exec(
      "CREATE TABLE tw_foreign (id serial PRIMARY KEY, flag boolean, small smallint, money numeric(19,4), "
      "amount numeric(10,2), at timestamp, label varchar(12) NOT NULL, code char(3), body text, data bytea, "
      "ratio real, big bigint)");
  const auto foreign = b.serverSchema.table(u"tw_foreign");
  ASSERT_TRUE(foreign);
  EXPECT_EQ(described(*foreign),
            "tw_foreign\n"
            "id type 4 size 4 required zero-length counter\n"
            "flag type 1 size 1 zero-length\n"
            "small type 3 size 2 zero-length\n"
            "money type 5 size 8 zero-length\n"
            "amount type 20 size 16 zero-length\n"
            "at type 8 size 8 zero-length\n"
            "label type 10 size 12 required zero-length\n"
            "code type 18 size 3 zero-length\n"
            "body type 12 size 0 zero-length\n"
            "data type 11 size 0 zero-length\n"
            "ratio type 6 size 4 zero-length\n"
            "big type 16 size 8 zero-length\n"
            "index PrimaryKey primary unique (id )\n");
  // Its values, written by plain SQL, read as those types.
  b.server.exec(
      "INSERT INTO tw_foreign (flag, small, money, amount, at, label, code, body, data, ratio, big) VALUES "
      "(true, -7, 12.3456, 99.99, '2001-02-03 04:05:06.789', 'x', 'ab', 'body', '\\x00ff', 0.5, 5000000000)");
  PgStatement& row = b.server.cached("SELECT * FROM tw_foreign");
  ASSERT_TRUE(row.step());
  const Variant expected[] = {Variant(std::int32_t{1}), Variant(true), Variant(std::int16_t{-7}),
                              Variant(currency(123456)), Variant(99.99), stamp(2001, 2, 3, 4, 5, 6),
                              Variant(u"x"), Variant(u"ab "), Variant(u"body"), bytes(std::string("\0\xff", 2)),
                              Variant(0.5f), Variant(std::int64_t{5000000000})};
  for (std::size_t i = 0; i < foreign->fields.size(); ++i)
    EXPECT_EQ(described(row.value(static_cast<int>(i), foreign->fields[i].type)), described(expected[i]))
        << toUtf8(foreign->fields[i].name);
  row.rewind();
}

}  // namespace
}  // namespace tarnwick::engine
