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

  bool searchesBringRows() const noexcept override { return false; }
  bool batchesKeepRows() const noexcept override { return false; }

  // --- The SQL writer ---
};

// The one dialect of every database file.
const Dialect& sqliteDialect() noexcept;

}  // namespace tarnwick::engine
