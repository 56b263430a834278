#pragma once
// Private to the engine: what the engine knows of a table's fields and
// indexes. A field's engine type, size and rules are kept in a small table
// of the engine's own inside the file (tarnwick_fields); a table made by
// another program has no rows there, and its fields' types are derived from
// the declared column types instead (see fieldFromDeclaration).
#include "EngineTypes.h"
#include "Connection.h"

#include <tarnwick/automation/String.h>


#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::engine {

struct FieldInfo {
  std::u16string name;
  FieldType type = FieldType::Text;
  std::int32_t size = 0;  // characters for text, bytes for numbers
  bool required = false;
  bool allowZeroLength = false;
  bool autoIncrement = false;
  // The file's own number of the row (a single INTEGER PRIMARY KEY), which
  // the storage assigns when an INSERT leaves it out.
  bool rowNumber = false;
  // Where the field's values live in the storage (a quoted column name),
  // and, for fields of a query's result, the table and field they come from.
  std::string column;
  std::u16string sourceTable;
  std::u16string sourceField;
};

struct IndexInfo {
  std::u16string name;  // "PrimaryKey" for the primary key
  std::vector<std::u16string> fields;
  std::vector<bool> descending;
  bool primary = false;
  bool unique = false;
};

struct TableInfo {
  std::u16string name;
  std::string quoted;  // the storage's name, quoted
  // Whether the table's records have the engine's row key (rowid). A file's
  // tables always do; on a server, tables that other programs made do not,
  // and are read through a copy.
  bool rowKey = true;
  std::vector<FieldInfo> fields;
  std::vector<IndexInfo> indexes;
  // Index of a field by name (letter case ignored), or -1.
  int fieldIndex(std::u16string_view field) const noexcept;
  const IndexInfo* index(std::u16string_view wanted) const noexcept;
};

inline constexpr std::string_view kCatalogueTable = "tarnwick_fields";

// The engine's view of a declared column type of a table made elsewhere:
// BOOLEAN/BIT, TINYINT, SMALLINT, INT/INTEGER, BIGINT, MONEY/CURRENCY,
// REAL/FLOAT/DOUBLE, NUMERIC/DECIMAL, DATE/TIME/DATETIME/TIMESTAMP,
// CHAR(n), VARCHAR(n), TEXT/CLOB without a length (memo), BLOB.
FieldInfo fieldFromDeclaration(std::u16string name, std::string_view declared);
// The declared type the engine writes for a field, so that other programs
// reading the file see a type of the same kind.
std::string declarationOf(const FieldInfo& field);

// A field's description as the engine recorded it in its own table (type,
// size, required, allow_zero_length, attributes), over what the storage says.
void applyRecordedField(FieldInfo& field, std::int64_t type, std::int64_t size, bool required, bool allowZeroLength,
                        std::int64_t attributes);

// Binds a field's record in the engine's table (parameters 1 to 7, in the
// table's column order) to a statement of either backend.
template <class AnyStatement>
void bindRecordedField(AnyStatement& s, std::string_view table, const FieldInfo& f) {
  s.bind(1, table);
  s.bind(2, std::string_view(toUtf8(f.name)));
  s.bind(3, static_cast<std::int64_t>(f.type));
  s.bind(4, static_cast<std::int64_t>(f.size));
  s.bind(5, static_cast<std::int64_t>(f.required ? 1 : 0));
  s.bind(6, static_cast<std::int64_t>(f.allowZeroLength ? 1 : 0));
  s.bind(7, static_cast<std::int64_t>(f.autoIncrement ? kAutoIncrField : 0));
}

class PgCatalogue;

// The catalogue of a file, or of a server's database (PgCatalogue, which
// it hands every call to).
class SchemaCatalogue {
 public:
  explicit SchemaCatalogue(Connection& connection);
  SchemaCatalogue(const SchemaCatalogue&) = delete;
  SchemaCatalogue& operator=(const SchemaCatalogue&) = delete;
  ~SchemaCatalogue();
  bool server() const noexcept { return server_ != nullptr; }
  const Dialect& dialect() const noexcept { return connection_.dialect(); }

  // The user tables, in the order of creation (the engine's own hidden).
  std::vector<std::u16string> tableNames();
  // The table's description; nullptr when there is no such table.
  std::shared_ptr<const TableInfo> table(std::u16string_view name);
  // Creates the engine's own table if the file lacks it.
  void ensureCatalogue();
  // Records the engine's types of a table's fields.
  void record(std::u16string_view table, const std::vector<FieldInfo>& fields);
  void forget(std::u16string_view table);
  // Changes one rule of a field (Required, AllowZeroLength).
  void setRule(std::u16string_view table, const FieldInfo& field);
  // Drops what is known, after the schema changed.
  void invalidate() noexcept;

 private:
  std::shared_ptr<TableInfo> load(std::u16string_view name);
  Connection& connection_;
  std::unique_ptr<PgCatalogue> server_;
  std::int64_t schemaVersion_ = -1;
  std::vector<std::shared_ptr<const TableInfo>> cache_;
};

}  // namespace tarnwick::engine
