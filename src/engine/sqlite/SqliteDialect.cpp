#include "SqliteDialect.h"

#include "SqliteCatalogue.h"
#include "../SchemaCatalogue.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <cstdio>

namespace tarnwick::engine {

// The engine numbers a file's counters itself.
std::string SqliteDialect::nextCounter(std::string_view, std::string_view) const { raise(errc::InvalidProcedureCall); }
std::string SqliteDialect::counterRestart(std::string_view, std::string_view) const {
  raise(errc::InvalidProcedureCall);
}

std::string SqliteDialect::columnType(const FieldInfo& field) const { return declarationOf(field); }

FieldInfo SqliteDialect::fieldOfType(std::u16string name, std::string_view type) const {
  return fieldFromDeclaration(std::move(name), type);
}

Dialect::Copy SqliteDialect::temporaryCopy(const std::string& name, const std::string& qualified,
                                           const std::vector<std::string>& declarations, const std::string& columns,
                                           const std::string& sql) const {
  // The copy's rows are numbered by the file (its rowid).
  Copy copy;
  copy.create = createTemporary(name, declarations);
  copy.fill = "DELETE FROM " + qualified + "; INSERT INTO " + qualified + " " +
              (declarations.empty() ? sql : "(" + columns + ") " + sql);
  return copy;
}

// --- The SQL writer ---

namespace {

struct FunctionName {
  std::u16string_view dialect;
  std::string_view storage;
};
constexpr FunctionName kFunctions[] = {
    {u"DateValue", "tw_datevalue"}, {u"Date", "tw_today"}, {u"Now", "tw_now"},     {u"UCase", "tw_ucase"},
    {u"LCase", "tw_lcase"},        {u"Len", "tw_len"},    {u"Trim", "tw_trim"},   {u"LTrim", "tw_ltrim"},
    {u"RTrim", "tw_rtrim"},        {u"Mid", "tw_mid"},    {u"Abs", "abs"},        {u"Nz", "ifnull"},
    {u"Count", "count"},           {u"Sum", "sum"},       {u"Min", "min"},        {u"Max", "max"},
    {u"Avg", "avg"},               {u"CDate", "tw_date"}, {u"Round", "round"},
};

}  // namespace

// The file reads a statement only up to a NUL character, so a text holding
// one is written as pieces joined around char(0): written whole, the NUL
// would cut the statement short.
std::string SqliteDialect::textLiteral(std::u16string_view text) const {
  const std::string utf8 = toUtf8(text);
  const bool pieces = utf8.find('\0') != std::string::npos;
  std::string out = pieces ? "('" : "'";
  for (char c : utf8) {
    if (c == '\0') {
      out += "' || char(0) || '";
      continue;
    }
    if (c == '\'') out += '\'';
    out += c;
  }
  out += pieces ? "')" : "'";
  return out;
}

std::string SqliteDialect::dateLiteral(double serial) const {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", serial);
  return buffer;
}

std::string_view SqliteDialect::functionName(std::u16string_view name) const noexcept {
  for (const FunctionName& f : kFunctions)
    if (equalsIgnoreCase(f.dialect, name)) return f.storage;
  return {};
}

std::string SqliteDialect::shownText(std::string_view column) const { return "tw_text(" + std::string(column) + ")"; }

std::string SqliteDialect::dateColumn(std::string column) const { return "tw_date(" + column + ")"; }

std::string SqliteDialect::likePattern(std::u16string_view pattern) const { return toUtf8(pattern); }

std::string SqliteDialect::textOf(std::string_view operand) const {
  return "CAST(" + std::string(operand) + " AS TEXT)";
}

std::string SqliteDialect::createTable(std::u16string_view table, const std::vector<FieldInfo>& fields,
                                       const std::vector<std::u16string>& primary,
                                       const std::vector<std::vector<std::u16string>>& uniques) const {
  std::string sql = "CREATE TABLE " + quoteName(table) + " (";
  const bool rowidKey = primary.size() == 1;
  bool primaryInline = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldInfo& f = fields[i];
    if (i) sql += ", ";
    sql += f.column;
    const bool key = rowidKey && equalsIgnoreCase(primary[0], f.name);
    // A counter that is the whole primary key is the row's own number.
    if (key && f.autoIncrement) {
      sql += " INTEGER PRIMARY KEY AUTOINCREMENT";
      continue;
    }
    if (key && f.type == FieldType::Long) {
      sql += " INTEGER PRIMARY KEY NOT NULL";
      continue;
    }
    sql += ' ';
    sql += declarationOf(f);
    if (f.required) sql += " NOT NULL";
  }
  for (const FieldInfo& f : fields)
    if (rowidKey && equalsIgnoreCase(primary[0], f.name)) {
      primaryInline = f.type == FieldType::Long;
      break;
    }
  if (!primary.empty() && !primaryInline) sql += ", PRIMARY KEY (" + nameList(primary) + ")";
  for (const auto& u : uniques) sql += ", UNIQUE (" + nameList(u) + ")";
  sql += ")";
  return sql;
}

namespace {

// Made before anything runs: asking for it costs no check.
constinit const SqliteDialect kDialect;

}  // namespace

const Dialect& sqliteDialect() noexcept { return kDialect; }

}  // namespace tarnwick::engine
