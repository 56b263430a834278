#pragma once
// Private to the engine: the schema of a server database, in the engine's
// terms (TableInfo), and the server's column types for the engine's fields.
//
// The server's types cannot tell every engine type apart: Byte and Integer
// are both smallint, Text and Char both varchar(n), Numeric and Decimal
// both numeric, Double and Float both double precision, a Binary's size and
// a field's AllowZeroLength have no place at all. So, as in a database
// file, the engine keeps its own description of the fields it creates in a
// small table of its own on the server (tarnwick_fields, the same columns);
// it is read over what the server's catalogue says. Tables made by other
// programs have no rows there and are described from their column types.
//
// The engine compares and orders texts without regard to letter case; on
// the server, text columns take a collation of the engine's own for that
// (tarnwick_nocase: case-blind, nondeterministic). Such a collation cannot
// serve the server's LIKE: a pattern match names another collation for
// its operands.
#include "PgConnection.h"
#include "../SchemaCatalogue.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::engine {

// The column that numbers a table's records for the engine (the file's
// rowid): an identity the server fills, unique, never given by a statement.
inline constexpr const char* kServerRowKey = "rowid bigint GENERATED ALWAYS AS IDENTITY UNIQUE";

// The server's column definition of a field (without its name): the type,
// an identity for a counter, NOT NULL when required.
std::string serverColumnType(const FieldInfo& field);

// CREATE TABLE on the server: the fields, the primary key and the unique
// constraints.
std::string serverCreateTable(std::u16string_view table, const std::vector<FieldInfo>& fields,
                              const std::vector<std::u16string>& primary,
                              const std::vector<std::vector<std::u16string>>& uniques);

// The engine's view of a server column type (as the server's format_type
// writes it) of a table made elsewhere.
FieldInfo fieldFromServerType(std::u16string name, std::string_view type);

// The server's part of the schema catalogue.
class PgCatalogueStore final : public CatalogueStore {
 public:
  explicit PgCatalogueStore(PgConnection& connection) : connection_(connection) {}

  // The user tables of the session's schema, in the order of creation (the
  // engine's own hidden).
  std::vector<std::u16string> tableNames() override;
  std::int64_t schemaVersion() override;
  // The table (its name matched without regard to letter case).
  std::optional<StoredTable> describe(std::u16string_view name) override;
  bool hasCatalogue() override;
  // Creates the engine's own table and collation if the database lacks them.
  void ensureCatalogue() override;

 private:
  PgConnection& connection_;
};

// A server database's catalogue, which can also make tables and indexes
// directly (as the engine's statements would).
class PgCatalogue final : public SchemaCatalogue {
 public:
  explicit PgCatalogue(PgConnection& connection) : SchemaCatalogue(connection), connection_(connection) {}

  // Creates a table and records its fields, all or nothing.
  void createTable(std::u16string_view table, const std::vector<FieldInfo>& fields,
                   const std::vector<std::u16string>& primary,
                   const std::vector<std::vector<std::u16string>>& uniques);
  // Creates an index of a table, named by the table and the index, as in a
  // database file.
  void createIndex(std::u16string_view table, const IndexInfo& index);

 private:
  PgConnection& connection_;
};

}  // namespace tarnwick::engine
