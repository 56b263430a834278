#pragma once
// Private to the engine: the dialect of a database file.
#include "../Dialect.h"

namespace tarnwick::engine {

class SqliteDialect final : public Dialect {
 public:
  std::string_view temporaryPrefix() const noexcept override { return "temp."; }

  bool insertReturnsKey() const noexcept override { return false; }
  std::string_view insertKeyClause() const noexcept override { return {}; }
  bool savepointPerSave() const noexcept override { return false; }
  bool locksRecordBeforeSave() const noexcept override { return false; }
  bool countersFromSequence() const noexcept override { return false; }
  std::string nextCounter(std::string_view quotedTable, std::string_view column) const override;
  std::string counterRestart(std::string_view quotedTable, std::string_view field) const override;

  std::string columnType(const FieldInfo& field) const override;
  FieldInfo fieldOfType(std::u16string name, std::string_view type) const override;
  bool rowKeyIsColumn() const noexcept override { return false; }
  Copy temporaryCopy(const std::string& name, const std::string& qualified, const std::vector<std::string>& declarations,
                     const std::string& columns, const std::string& sql) const override;

  bool searchesBringRows() const noexcept override { return false; }
  bool batchesBringRows() const noexcept override { return false; }
  std::string_view orderDirection(bool descending) const noexcept override { return descending ? " DESC" : ""; }

  // --- The SQL writer ---
};

// The one dialect of every database file.
const Dialect& sqliteDialect() noexcept;

}  // namespace tarnwick::engine
