// The file's part of the schema catalogue: its tables as SQLite describes
// them, and the engine's field types for declared column types.
#include "SqliteCatalogue.h"

#include "SqliteSession.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <tuple>

namespace tarnwick::engine {

namespace {

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The number in "(n)" or "(n,m)" of a declared type, or 0.
std::int32_t declaredLength(std::string_view declared) {
  const auto open = declared.find('(');
  if (open == std::string_view::npos) return 0;
  return static_cast<std::int32_t>(std::atoi(std::string(declared.substr(open + 1)).c_str()));
}

}  // namespace

FieldInfo fieldFromDeclaration(std::u16string name, std::string_view declared) {
  FieldInfo f;
  f.name = std::move(name);
  f.column = quoteName(std::u16string_view(f.name));
  const std::string d = upper(declared);
  const auto has = [&](std::string_view word) { return d.find(word) != std::string::npos; };
  const std::int32_t length = declaredLength(d);
  // Programs that write these files are lenient about empty texts.
  f.allowZeroLength = true;
  if (has("BOOL") || has("BIT") || has("YESNO") || has("LOGICAL")) {
    f.type = FieldType::Boolean, f.size = 1;
  } else if (has("TINYINT") || has("BYTE")) {
    f.type = FieldType::Byte, f.size = 1;
  } else if (has("SMALLINT") || has("SHORT") || has("INT2")) {
    f.type = FieldType::Integer, f.size = 2;
  } else if (has("BIGINT") || has("INT8")) {
    f.type = FieldType::BigInt, f.size = 8;
  } else if (has("INT") || has("COUNTER") || (has("LONG") && !has("TEXT") && !has("BINARY"))) {
    f.type = FieldType::Long, f.size = 4;
  } else if (has("MONEY") || has("CURRENCY")) {
    f.type = FieldType::Currency, f.size = 8;
  } else if (has("DATE") || has("TIME")) {
    f.type = FieldType::Date, f.size = 8;
  } else if (has("CHAR") && length > 0) {
    f.type = has("VARCHAR") || has("VARYING") ? FieldType::Text : FieldType::Char, f.size = length;
  } else if (has("TEXT") && length > 0) {
    f.type = FieldType::Text, f.size = length;
  } else if (has("CHAR") || has("TEXT") || has("CLOB") || has("MEMO")) {
    f.type = FieldType::Memo, f.size = 0;
  } else if (has("BLOB") || has("BINARY") || d.empty()) {
    f.type = d.empty() ? FieldType::Memo : FieldType::LongBinary, f.size = 0;
  } else if (has("SINGLE") || has("FLOAT4")) {
    f.type = FieldType::Single, f.size = 4;
  } else if (has("DOUB") || has("FLOA") || has("REAL")) {
    f.type = FieldType::Double, f.size = 8;
  } else if (has("DEC")) {
    f.type = FieldType::Decimal, f.size = 16;
  } else if (has("NUM")) {
    f.type = FieldType::Numeric, f.size = 16;
  } else {
    f.type = FieldType::Memo, f.size = 0;
  }
  return f;
}

std::string declarationOf(const FieldInfo& f) {
  switch (f.type) {
    case FieldType::Boolean: return "BOOLEAN";
    case FieldType::Byte: return "TINYINT";
    case FieldType::Integer: return "SMALLINT";
    case FieldType::Long: return "INTEGER";
    case FieldType::BigInt: return "BIGINT";
    case FieldType::Currency: return "CURRENCY";
    case FieldType::Single: return "SINGLE";
    case FieldType::Double: case FieldType::Float: return "DOUBLE";
    case FieldType::Numeric: return "NUMERIC";
    case FieldType::Decimal: return "DECIMAL";
    case FieldType::Date: return "DATETIME";
    // The engine compares and orders texts without regard to letter case.
    case FieldType::Text: return "VARCHAR(" + std::to_string(f.size) + ") COLLATE NOCASE";
    case FieldType::Char: return "CHAR(" + std::to_string(f.size) + ") COLLATE NOCASE";
    case FieldType::Memo: return "TEXT COLLATE NOCASE";
    case FieldType::Binary: case FieldType::LongBinary: return "BLOB";
  }
  return "TEXT";
}

SqliteCatalogue::SqliteCatalogue(SqliteSession& session) : session_(session) {}

std::vector<std::u16string> SqliteCatalogue::tableNames() {
  Statement& s = session_.cached(
      "SELECT name FROM sqlite_master WHERE type = 'table' AND substr(name, 1, 7) <> 'sqlite_' "
      "AND name <> 'tarnwick_fields' ORDER BY rowid");
  std::vector<std::u16string> names;
  while (s.step()) names.push_back(fromUtf8(s.text(0)));
  return names;
}

std::int64_t SqliteCatalogue::schemaVersion() {
  Statement& version = session_.cached("PRAGMA schema_version");
  version.step();
  const std::int64_t current = version.int64(0);
  version.reset();
  return current;
}

bool SqliteCatalogue::hasCatalogue() {
  SqliteStatement exists(session_, "SELECT 1 FROM sqlite_master WHERE name = 'tarnwick_fields'");
  return exists.step();
}

void SqliteCatalogue::ensureCatalogue() {
  session_.exec(
      "CREATE TABLE IF NOT EXISTS tarnwick_fields (table_name TEXT NOT NULL, field_name TEXT NOT NULL, "
      "type INTEGER NOT NULL, size INTEGER NOT NULL, required INTEGER NOT NULL, "
      "allow_zero_length INTEGER NOT NULL, attributes INTEGER NOT NULL, "
      "PRIMARY KEY (table_name, field_name))");
}

std::optional<StoredTable> SqliteCatalogue::describe(std::u16string_view name) {
  Statement& find = session_.cached(
      "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
  find.bind(1, std::string_view(toUtf8(name)));
  if (!find.step()) return std::nullopt;
  auto info = std::make_shared<TableInfo>();
  const std::string storedName(find.text(0));
  const std::string createSql = upper(find.text(1));
  find.reset();
  if (storedName == kCatalogueTable || storedName.rfind("sqlite_", 0) == 0) return std::nullopt;
  info->name = fromUtf8(storedName);
  info->quoted = quoteName(std::string_view(storedName));

  std::vector<std::pair<int, std::u16string>> primary;
  std::vector<std::string> declared;
  {
    SqliteStatement columns(session_, "PRAGMA table_info(" + info->quoted + ")");
    while (columns.step()) {
      FieldInfo f = fieldFromDeclaration(fromUtf8(columns.text(1)), columns.text(2));
      f.required = columns.int64(3) != 0;
      declared.push_back(upper(columns.text(2)));
      if (columns.int64(5) > 0) primary.emplace_back(static_cast<int>(columns.int64(5)), f.name);
      info->fields.push_back(std::move(f));
    }
  }
  // A single INTEGER PRIMARY KEY is the row's own number: the storage
  // assigns it, so the field counts as automatic.
  if (primary.size() == 1) {
    FieldInfo& f = info->fields[static_cast<std::size_t>(info->fieldIndex(primary[0].second))];
    const auto at = static_cast<std::size_t>(info->fieldIndex(primary[0].second));
    if (declared[at] == "INTEGER" && createSql.find("WITHOUT ROWID") == std::string::npos)
      f.autoIncrement = true, f.required = true, f.rowNumber = true;
  }

  bool primaryIndexed = false;
  {
    SqliteStatement list(session_, "PRAGMA index_list(" + info->quoted + ")");
    std::vector<std::tuple<std::string, bool, std::string>> found;
    while (list.step()) found.emplace_back(std::string(list.text(1)), list.int64(2) != 0, std::string(list.text(3)));
    for (const auto& [indexName, unique, origin] : found) {
      IndexInfo index;
      index.unique = unique;
      index.primary = origin == "pk";
      primaryIndexed = primaryIndexed || index.primary;
      const std::string prefix = storedName + ".";
      if (index.primary) index.name = u"PrimaryKey";
      else if (indexName.rfind(prefix, 0) == 0) index.name = fromUtf8(indexName.substr(prefix.size()));
      else index.name = fromUtf8(indexName);
      SqliteStatement keys(session_, "PRAGMA index_xinfo(" + quoteName(std::string_view(indexName)) + ")");
      while (keys.step()) {
        if (keys.int64(5) == 0 || keys.isNull(2)) continue;
        index.fields.push_back(fromUtf8(keys.text(2)));
        index.descending.push_back(keys.int64(3) != 0);
      }
      info->indexes.push_back(std::move(index));
    }
  }
  if (!primary.empty() && !primaryIndexed) {
    std::sort(primary.begin(), primary.end());
    IndexInfo index;
    index.name = u"PrimaryKey";
    index.primary = index.unique = true;
    for (const auto& p : primary) {
      index.fields.push_back(p.second);
      index.descending.push_back(false);
    }
    info->indexes.insert(info->indexes.begin(), std::move(index));
  }
  StoredTable stored;
  stored.name = storedName;
  stored.requiredByKey.assign(info->fields.size(), false);
  stored.info = std::move(info);
  return stored;
}


}  // namespace tarnwick::engine
