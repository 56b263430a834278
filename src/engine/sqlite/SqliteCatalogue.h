#pragma once
// Private to the engine: the file's part of the schema catalogue.
#include "../SchemaCatalogue.h"

#include <string>
#include <string_view>

namespace tarnwick::engine {

class SqliteSession;

// The engine's view of a declared column type of a table made elsewhere:
// BOOLEAN/BIT, TINYINT, SMALLINT, INT/INTEGER, BIGINT, MONEY/CURRENCY,
// REAL/FLOAT/DOUBLE, NUMERIC/DECIMAL, DATE/TIME/DATETIME/TIMESTAMP,
// CHAR(n), VARCHAR(n), TEXT/CLOB without a length (memo), BLOB.
FieldInfo fieldFromDeclaration(std::u16string name, std::string_view declared);
// The declared type the engine writes for a field, so that other programs
// reading the file see a type of the same kind.
std::string declarationOf(const FieldInfo& field);

class SqliteCatalogue final : public CatalogueStore {
 public:
  explicit SqliteCatalogue(SqliteSession& session);
  std::vector<std::u16string> tableNames() override;
  std::int64_t schemaVersion() override;
  std::optional<StoredTable> describe(std::u16string_view name) override;
  bool hasCatalogue() override;
  void ensureCatalogue() override;

 private:
  SqliteSession& session_;
};

}  // namespace tarnwick::engine
