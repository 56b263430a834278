#include "PgDialect.h"

#include "PgCatalogue.h"

#include "../Functions.h"
#include "PgCatalogue.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/String.h>

#include <cstdint>
#include <limits>

namespace tarnwick::engine {

namespace {

struct ServerFunction {
  std::u16string_view dialect;
  std::string_view server;
};
constexpr ServerFunction kServerFunctions[] = {
    {u"DateValue", "tarnwick.datevalue"}, {u"Date", "tarnwick.today"}, {u"Now", "tarnwick.now"},
    {u"UCase", "tarnwick.ucase"},         {u"LCase", "tarnwick.lcase"}, {u"Len", "tarnwick.len"},
    {u"Trim", "tarnwick.trim"},           {u"LTrim", "tarnwick.ltrim"}, {u"RTrim", "tarnwick.rtrim"},
    {u"Mid", "tarnwick.mid"},             {u"Abs", "abs"},              {u"Nz", "tarnwick.nz"},
    {u"Count", "count"},                  {u"Sum", "sum"},             {u"Min", "min"},
    {u"Max", "max"},                      {u"Avg", "avg"},             {u"CDate", "tarnwick.cdate"},
    {u"Round", "tarnwick.round"},
};

// One character of a regular expression taken as itself: the server's
// expressions read a backslash before any other character than a letter or
// a digit as that character.
void appendRegexChar(std::u16string& out, char16_t c) {
  const bool plain = c > 0x7f || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
  if (!plain) out += u'\\';
  out += c;
}

// Never matches: the start of the text cannot follow a character.
constexpr std::string_view kNoMatch = "a^";

// The engine's functions. A text read as a date is read in the order the
// user's locale gives its numbers (the writer passes 'MDY', 'DMY' or 'YMD'),
// the other way round where that order makes no date ("13/1/2020"); a text
// that reads as no date is the server's error for it (which the session
// reports as a type mismatch in the criteria), and Null for CDate.
// like_regex is likeRegex on the server, for patterns that are not
// literals of the statement. A number added to or taken from a date counts
// days, as with the day serials of a database file, and a date taken from
// a date is a number of days. Texts order as a database file orders them:
// letter case ignored in ASCII only, otherwise by the characters' numbers
// (text_key under the "C" collation); text_min and text_max are Min and Max
// in that order. The text functions take numbers as their texts (the
// server's function of a text refuses a number), shown as the engine shows
// them (an exact number without its trailing zeros), and Nz of a text and
// a number gives a text.
constexpr std::string_view kFunctionsSql = R"sql(
CREATE SCHEMA IF NOT EXISTS tarnwick;
CREATE OR REPLACE FUNCTION tarnwick.cdate(t text) RETURNS timestamp(0) LANGUAGE plpgsql STABLE STRICT
  SET datestyle TO 'ISO, MDY' AS $f$
BEGIN RETURN t::timestamp(0); EXCEPTION WHEN invalid_datetime_format OR datetime_field_overflow THEN RETURN NULL; END
$f$;
CREATE OR REPLACE FUNCTION tarnwick.cdate(d timestamp) RETURNS timestamp(0) LANGUAGE sql IMMUTABLE
  AS 'SELECT d::timestamp(0)';
CREATE OR REPLACE FUNCTION tarnwick.datevalue(t text) RETURNS timestamp(0) LANGUAGE plpgsql STABLE STRICT
  SET datestyle TO 'ISO, MDY' AS $f$ BEGIN RETURN date_trunc('day', t::timestamp); END $f$;
CREATE OR REPLACE FUNCTION tarnwick.datevalue(d timestamp) RETURNS timestamp(0) LANGUAGE sql IMMUTABLE
  AS $f$SELECT date_trunc('day', d)$f$;
CREATE OR REPLACE FUNCTION tarnwick.read_mdy(t text) RETURNS timestamp LANGUAGE plpgsql STABLE STRICT
  SET datestyle TO 'ISO, MDY' AS $f$ BEGIN RETURN t::timestamp; END $f$;
CREATE OR REPLACE FUNCTION tarnwick.read_dmy(t text) RETURNS timestamp LANGUAGE plpgsql STABLE STRICT
  SET datestyle TO 'ISO, DMY' AS $f$ BEGIN RETURN t::timestamp; END $f$;
CREATE OR REPLACE FUNCTION tarnwick.read_ymd(t text) RETURNS timestamp LANGUAGE plpgsql STABLE STRICT
  SET datestyle TO 'ISO, YMD' AS $f$ BEGIN RETURN t::timestamp; END $f$;
CREATE OR REPLACE FUNCTION tarnwick.read_date(t text, o text) RETURNS timestamp LANGUAGE plpgsql STABLE STRICT
  AS $f$
BEGIN
  RETURN CASE o WHEN 'DMY' THEN tarnwick.read_dmy(t) WHEN 'YMD' THEN tarnwick.read_ymd(t) ELSE tarnwick.read_mdy(t) END;
EXCEPTION WHEN datetime_field_overflow THEN
  RETURN CASE o WHEN 'DMY' THEN tarnwick.read_mdy(t) ELSE tarnwick.read_dmy(t) END;
END $f$;
CREATE OR REPLACE FUNCTION tarnwick.datevalue(t text, o text) RETURNS timestamp(0) LANGUAGE sql STABLE STRICT
  AS $f$SELECT date_trunc('day', tarnwick.read_date(t, o))$f$;
CREATE OR REPLACE FUNCTION tarnwick.datevalue(d timestamp, o text) RETURNS timestamp(0) LANGUAGE sql IMMUTABLE
  AS $f$SELECT date_trunc('day', d)$f$;
CREATE OR REPLACE FUNCTION tarnwick.cdate(t text, o text) RETURNS timestamp(0) LANGUAGE plpgsql STABLE STRICT AS $f$
BEGIN RETURN tarnwick.read_date(t, o)::timestamp(0);
EXCEPTION WHEN invalid_datetime_format OR datetime_field_overflow THEN RETURN NULL; END
$f$;
CREATE OR REPLACE FUNCTION tarnwick.cdate(d timestamp, o text) RETURNS timestamp(0) LANGUAGE sql IMMUTABLE
  AS 'SELECT d::timestamp(0)';
CREATE OR REPLACE FUNCTION tarnwick.days(i interval) RETURNS double precision LANGUAGE sql IMMUTABLE
  AS $f$SELECT extract(epoch FROM i)::double precision / 86400$f$;
CREATE OR REPLACE FUNCTION tarnwick.text_key(t text) RETURNS text LANGUAGE sql IMMUTABLE
  AS $f$SELECT translate(t, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')$f$;
CREATE OR REPLACE FUNCTION tarnwick.text_smaller(a text, b text) RETURNS text LANGUAGE sql IMMUTABLE STRICT
  AS $f$SELECT CASE WHEN tarnwick.text_key(b) COLLATE "C" < tarnwick.text_key(a) COLLATE "C" THEN b ELSE a END$f$;
CREATE OR REPLACE FUNCTION tarnwick.text_larger(a text, b text) RETURNS text LANGUAGE sql IMMUTABLE STRICT
  AS $f$SELECT CASE WHEN tarnwick.text_key(b) COLLATE "C" > tarnwick.text_key(a) COLLATE "C" THEN b ELSE a END$f$;
CREATE OR REPLACE AGGREGATE tarnwick.text_min(text) (SFUNC = tarnwick.text_smaller, STYPE = text);
CREATE OR REPLACE AGGREGATE tarnwick.text_max(text) (SFUNC = tarnwick.text_larger, STYPE = text);
CREATE OR REPLACE FUNCTION tarnwick.shown(x anynonarray) RETURNS text LANGUAGE sql IMMUTABLE AS $f$
SELECT CASE WHEN pg_typeof(x) = 'numeric'::regtype THEN regexp_replace(x::text, '(\.[0-9]*[1-9])0+$|\.0+$', '\1')
  ELSE x::text END
$f$;
CREATE OR REPLACE FUNCTION tarnwick.nz(a anycompatible, b anycompatible) RETURNS anycompatible LANGUAGE sql IMMUTABLE
  AS 'SELECT coalesce(a, b)';
CREATE OR REPLACE FUNCTION tarnwick.nz(a text, b text) RETURNS text LANGUAGE sql IMMUTABLE AS 'SELECT coalesce(a, b)';
CREATE OR REPLACE FUNCTION tarnwick.nz(a text, b anynonarray) RETURNS text LANGUAGE sql IMMUTABLE
  AS 'SELECT coalesce(a, tarnwick.shown(b))';
CREATE OR REPLACE FUNCTION tarnwick.nz(a anynonarray, b text) RETURNS text LANGUAGE sql IMMUTABLE
  AS 'SELECT coalesce(tarnwick.shown(a), b)';
CREATE OR REPLACE FUNCTION tarnwick.today() RETURNS timestamp(0) LANGUAGE sql STABLE
  AS 'SELECT localtimestamp(0)::date::timestamp(0)';
CREATE OR REPLACE FUNCTION tarnwick.now() RETURNS timestamp(0) LANGUAGE sql STABLE AS 'SELECT localtimestamp(0)';
CREATE OR REPLACE FUNCTION tarnwick.round(x double precision, d integer DEFAULT 0) RETURNS double precision
  LANGUAGE sql IMMUTABLE AS 'SELECT round(x::numeric, d)::double precision';
CREATE OR REPLACE FUNCTION tarnwick.round(x numeric, d integer DEFAULT 0) RETURNS numeric
  LANGUAGE sql IMMUTABLE AS 'SELECT round(x, d)';
CREATE OR REPLACE FUNCTION tarnwick.like_char(c text) RETURNS text LANGUAGE sql IMMUTABLE
  AS $f$SELECT CASE WHEN c COLLATE "C" ~ '^[A-Za-z0-9]$' OR ascii(c) > 127 THEN c ELSE '\' || c END$f$;
CREATE OR REPLACE FUNCTION tarnwick.like_regex(pattern text) RETURNS text LANGUAGE plpgsql IMMUTABLE STRICT AS $f$
DECLARE
  p text COLLATE "C" := pattern; r text COLLATE "C" := '^'; i integer := 1; c text COLLATE "C";
  closing integer; body text COLLATE "C"; k integer; lo text COLLATE "C"; hi text COLLATE "C";
  list text COLLATE "C";
BEGIN
  WHILE i <= length(p) LOOP
    c := substr(p, i, 1);
    IF c = '*' THEN r := r || '.*';
    ELSIF c = '?' THEN r := r || '.';
    ELSIF c = '#' THEN r := r || '[0-9]';
    ELSIF c = '[' THEN
      closing := strpos(substr(p, i + 1), ']');
      IF closing = 0 THEN RETURN 'a^'; END IF;
      body := substr(p, i + 1, closing - 1);
      i := i + closing;
      list := '';
      k := CASE WHEN left(body, 1) = '!' THEN 2 ELSE 1 END;
      WHILE k <= length(body) LOOP
        lo := lower(substr(body, k, 1) COLLATE "und-x-icu") COLLATE "C";
        hi := lo;
        IF k + 2 <= length(body) AND substr(body, k + 1, 1) = '-' THEN
          hi := lower(substr(body, k + 2, 1) COLLATE "und-x-icu") COLLATE "C";
          k := k + 2;
        END IF;
        IF lo <= hi THEN
          list := list || tarnwick.like_char(lo) || '-' || tarnwick.like_char(hi);
        END IF;
        k := k + 1;
      END LOOP;
      IF left(body, 1) = '!' THEN r := r || CASE WHEN list = '' THEN '.' ELSE '[^' || list || ']' END;
      ELSIF list <> '' THEN r := r || '[' || list || ']';
      ELSIF body <> '' THEN RETURN 'a^';
      END IF;
    ELSE r := r || tarnwick.like_char(c);
    END IF;
    i := i + 1;
  END LOOP;
  RETURN r || '$';
END $f$;
CREATE OR REPLACE FUNCTION tarnwick.add_days(d timestamp, n double precision) RETURNS timestamp(0)
  LANGUAGE sql IMMUTABLE AS $f$SELECT (d + n * interval '1 day')::timestamp(0)$f$;
CREATE OR REPLACE FUNCTION tarnwick.add_days(n double precision, d timestamp) RETURNS timestamp(0)
  LANGUAGE sql IMMUTABLE AS $f$SELECT (d + n * interval '1 day')::timestamp(0)$f$;
CREATE OR REPLACE FUNCTION tarnwick.subtract_days(d timestamp, n double precision) RETURNS timestamp(0)
  LANGUAGE sql IMMUTABLE AS $f$SELECT (d - n * interval '1 day')::timestamp(0)$f$;
DROP OPERATOR IF EXISTS tarnwick.+ (timestamp, double precision);
CREATE OPERATOR tarnwick.+ (LEFTARG = timestamp, RIGHTARG = double precision, FUNCTION = tarnwick.add_days);
DROP OPERATOR IF EXISTS tarnwick.+ (double precision, timestamp);
CREATE OPERATOR tarnwick.+ (LEFTARG = double precision, RIGHTARG = timestamp, FUNCTION = tarnwick.add_days);
DROP OPERATOR IF EXISTS tarnwick.- (timestamp, double precision);
CREATE OPERATOR tarnwick.- (LEFTARG = timestamp, RIGHTARG = double precision, FUNCTION = tarnwick.subtract_days);
)sql";

// The text functions, each for a text and for any other value, which it
// takes as its text as the engine shows it: the dialect's name, the
// server's function, the arguments after the text and the result.
struct TextFunction {
  std::string_view name, server, arguments, result;
};
constexpr TextFunction kTextFunctions[] = {
    {"ucase", "upper", "", "text"},    {"lcase", "lower", "", "text"},   {"len", "length", "", "integer"},
    {"trim", "btrim", "", "text"},     {"ltrim", "ltrim", "", "text"},   {"rtrim", "rtrim", "", "text"},
    {"mid", "substr", ", s double precision", "text"},
    {"mid", "substr", ", s double precision, n double precision", "text"},
};

// All of the engine's functions, the text functions after shown, which
// they use, and last the one that says they are made.
std::string functionsSql() {
  std::string sql(kFunctionsSql);
  for (const TextFunction& f : kTextFunctions) {
    // Mid's start and length are whole numbers, whatever they are given as.
    std::string rest;
    if (!f.arguments.empty()) rest += ", trunc(s)::integer";
    if (f.arguments.find(" n ") != std::string_view::npos) rest += ", trunc(n)::integer";
    for (const bool text : {true, false}) {
      sql += "CREATE OR REPLACE FUNCTION tarnwick." + std::string(f.name) + (text ? "(x text" : "(x anynonarray") +
             std::string(f.arguments) + ") RETURNS " + std::string(f.result) + " LANGUAGE sql IMMUTABLE AS 'SELECT " +
             std::string(f.server) + (text ? "(x" : "(tarnwick.shown(x)") + rest + ")';\n";
    }
  }
  return sql + "CREATE OR REPLACE FUNCTION tarnwick.made_3() RETURNS integer LANGUAGE sql IMMUTABLE AS 'SELECT 1';\n";
}

// The last function made, numbered by the functions' version: when it is
// there, all of this version are. A new version replaces them all.
constexpr std::string_view kFunctionsMade = "SELECT to_regprocedure('tarnwick.made_3()') IS NOT NULL";

// Operators are found by the session's search path only: the engine's
// schema goes last on it, after the user's own.
constexpr std::string_view kFunctionsFound =
    "SELECT set_config('search_path', current_setting('search_path') || ', tarnwick', false) "
    "WHERE NOT 'tarnwick' = ANY (current_schemas(false))";

// One key for the server's advisory lock that orders the sessions making
// the functions ("twfn").
constexpr std::string_view kFunctionsLock = "SELECT pg_advisory_xact_lock(1953982062)";

}  // namespace

void refuseNul() {
  raise(Error(errc::OdbcCallFailed,
              standardDescription(errc::OdbcCallFailed) + u" invalid byte sequence for encoding \"UTF8\": 0x00"));
}

std::string_view serverFunctionName(std::u16string_view dialect) noexcept {
  for (const ServerFunction& f : kServerFunctions)
    if (equalsIgnoreCase(f.dialect, dialect)) return f.server;
  return {};
}

std::string serverTextLiteral(std::u16string_view text) {
  const std::string utf8 = toUtf8(text);
  if (utf8.find('\0') != std::string::npos) refuseNul();
  std::string out = "'";
  for (char c : utf8) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string serverOrderKey(std::string_view column, FieldType type) {
  if (isTextType(type)) return "(tarnwick.text_key(" + std::string(column) + ") COLLATE \"C\")";
  if (type == FieldType::Boolean) return "(-(" + std::string(column) + ")::integer)";
  return std::string(column);
}

std::string likeRegex(std::u16string_view pattern) {
  const auto items = compileLikePattern(pattern);
  if (!items) return std::string(kNoMatch);
  std::u16string out = u"^";
  for (const PatternItem& item : *items) {
    switch (item.kind) {
      case PatternItem::AnyRun: out += u".*"; break;
      case PatternItem::AnyOne: out += u'.'; break;
      case PatternItem::Digit: out += u"[0-9]"; break;
      case PatternItem::Literal: appendRegexChar(out, item.c); break;
      case PatternItem::Set: {
        // A range whose ends are out of order holds nothing.
        std::u16string list;
        for (std::size_t k = 0; k + 1 < item.ranges.size(); k += 2) {
          if (item.ranges[k] > item.ranges[k + 1]) continue;
          appendRegexChar(list, item.ranges[k]);
          list += u'-';
          appendRegexChar(list, item.ranges[k + 1]);
        }
        if (item.negated) out += list.empty() ? u"." : u"[^" + list + u"]";
        else if (list.empty()) return std::string(kNoMatch);
        else out += u"[" + list + u"]";
        break;
      }
    }
  }
  out += u'$';
  return toUtf8(out);
}

void ensureServerFunctions(PgConnection& connection) {
  const auto made = [&] {
    PgStatement& s = connection.cached(std::string(kFunctionsMade));
    const bool found = s.step() && s.int64(0) != 0;
    s.rewind();
    return found;
  };
  const auto find = [&] {
    // Behind a pooler the search path goes with every transaction.
    if (connection.pooled()) return;
    PgStatement& s = connection.cached(std::string(kFunctionsFound));
    while (s.step()) {
    }
  };
  if (made()) return find();
  // Replacing a function while another session replaces it fails on the
  // server; the lock makes the sessions take turns, and the later ones
  // find the functions made.
  PgConnection::WriteScope scope(connection);
  connection.exec(kFunctionsLock);
  if (!made()) connection.exec(functionsSql());
  scope.commit();
  find();
}

std::string PgDialect::nextCounter(std::string_view quotedTable, std::string_view column) const {
  return "SELECT CASE WHEN n.v > coalesce(m.v, 0) THEN n.v ELSE setval(pg_get_serial_sequence(?, ?), m.v + 1) END "
         "FROM (SELECT nextval(pg_get_serial_sequence(?, ?)) AS v) n, (SELECT max(" +
         std::string(column) + ") AS v FROM " + std::string(quotedTable) + ") m";
}

std::string PgDialect::counterRestart(std::string_view quotedTable, std::string_view field) const {
  return "SELECT setval(pg_get_serial_sequence(" + serverTextLiteral(fromUtf8(quotedTable)) + ", " +
         serverTextLiteral(fromUtf8(field)) + "), ?)";
}

std::string PgDialect::columnType(const FieldInfo& field) const { return serverColumnType(field); }

FieldInfo PgDialect::fieldOfType(std::u16string name, std::string_view type) const {
  return fieldFromServerType(std::move(name), type);
}

Dialect::Copy PgDialect::temporaryCopy(const std::string& name, const std::string& qualified,
                                       const std::vector<std::string>& declarations, const std::string& columns,
                                       const std::string& sql) const {
  // The copy numbers its rows in the order the query gives them: a counter
  // column would take a sequence's next value for every row, which costs as
  // much as the rest of the copy. The key's index is made once the rows
  // are in.
  std::vector<std::string> withKey = declarations;
  withKey.push_back("rowid bigint");
  Copy copy;
  copy.create = createTemporary(name, withKey);
  if (pooled_) copy.create.replace(0, std::string_view("CREATE TEMP TABLE").size(), "CREATE UNLOGGED TABLE IF NOT EXISTS");
  copy.fill = "DELETE FROM " + qualified + "; INSERT INTO " + qualified + " (" + columns +
              (columns.empty() ? "" : ", ") + "rowid) SELECT *, row_number() OVER () FROM (" + sql + ") AS tw_copy";
  copy.after = "CREATE UNIQUE INDEX ON " + qualified + " (rowid)";
  return copy;
}

// --- The SQL writer ---

std::string PgDialect::textLiteral(std::u16string_view text) const { return serverTextLiteral(text); }

std::string PgDialect::dateLiteral(double serial) const { return "TIMESTAMP '" + timestampText(serial) + "'"; }

RawValue PgDialect::dateParameter(double serial) const { return timestampText(serial); }

std::string_view PgDialect::numberParameterCast(const RawValue& number) const noexcept {
  const auto* whole = std::get_if<std::int64_t>(&number);
  if (!whole) return "::double precision";
  const bool small =
      *whole >= std::numeric_limits<std::int32_t>::min() && *whole <= std::numeric_limits<std::int32_t>::max();
  return small ? "::integer" : "::bigint";
}

std::string_view PgDialect::functionName(std::u16string_view name) const noexcept { return serverFunctionName(name); }

std::string PgDialect::shownText(std::string_view column) const {
  return "tarnwick.shown(" + std::string(column) + ")";
}

std::string_view PgDialect::dateOrderArgument() const {
  const DateOrder order = userLocale().dateOrder;
  return order == DateOrder::DayMonthYear ? ", 'DMY'" : order == DateOrder::YearMonthDay ? ", 'YMD'" : ", 'MDY'";
}

std::string PgDialect::orderKey(std::string_view column, FieldType type) const { return serverOrderKey(column, type); }

std::string_view PgDialect::textExtremeFunction(bool greatest) const noexcept {
  return greatest ? "tarnwick.text_max" : "tarnwick.text_min";
}

std::string_view PgDialect::nullOrder(bool descending) const noexcept {
  return descending ? "NULLS LAST" : "NULLS FIRST";
}

std::string PgDialect::likePattern(std::u16string_view pattern) const { return likeRegex(pattern); }

std::string_view PgDialect::likeOperator(bool negated) const noexcept { return negated ? " !~* " : " ~* "; }

std::string PgDialect::likePatternOperand(std::string_view pattern, bool literal) const {
  if (literal) return std::string(pattern) + ' ' + std::string(kPatternCollation);
  return "tarnwick.like_regex(" + std::string(pattern) + ") " + std::string(kPatternCollation);
}

std::string PgDialect::textOf(std::string_view operand) const { return "CAST(" + std::string(operand) + " AS text)"; }

std::string PgDialect::createTable(std::u16string_view table, const std::vector<FieldInfo>& fields,
                                   const std::vector<std::u16string>& primary,
                                   const std::vector<std::vector<std::u16string>>& uniques) const {
  return serverCreateTable(table, fields, primary, uniques);
}

namespace {

// Made before anything runs: asking for it costs no check.
constinit const PgDialect kDialect;
constinit const PgDialect kPooledDialect(true);

}  // namespace

const Dialect& postgresDialect() noexcept { return kDialect; }
const Dialect& pooledPostgresDialect() noexcept { return kPooledDialect; }

}  // namespace tarnwick::engine
