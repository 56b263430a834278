#pragma once
// Private to the engine: what the engine knows of a table's fields and
// indexes. A field's engine type, size and rules are kept in a small table
// of the engine's own inside the database (tarnwick_fields, the same on
// every backend), since the storage's column types cannot tell every engine
// type apart; a table made by another program has no rows there, and its
// fields' types are derived from its column types instead (the backend's
// part of the catalogue does that).
#include "Dialect.h"
#include "EngineTypes.h"
#include "Storage.h"

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

// A field's description as the engine recorded it in its own table (type,
// size, required, allow_zero_length, attributes), over what the storage says.
void applyRecordedField(FieldInfo& field, std::int64_t type, std::int64_t size, bool required, bool allowZeroLength,
                        std::int64_t attributes);

// Binds a field's record in the engine's table (parameters 1 to 7, in the
// table's column order).
void bindRecordedField(Statement& s, std::string_view table, const FieldInfo& f);

// The catalogue of a database: what the storage says of its tables
// (CatalogueStore, the backend's part), with the engine's own record of the
// fields read over it, kept until the schema changes.
class SchemaCatalogue {
 public:
  explicit SchemaCatalogue(Session& session);
  SchemaCatalogue(const SchemaCatalogue&) = delete;
  SchemaCatalogue& operator=(const SchemaCatalogue&) = delete;
  virtual ~SchemaCatalogue();
  const Dialect& dialect() const noexcept;

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
  Session& session_;
  std::unique_ptr<CatalogueStore> store_;
  std::int64_t schemaVersion_ = -1;
  std::vector<std::shared_ptr<const TableInfo>> cache_;
};

}  // namespace tarnwick::engine
