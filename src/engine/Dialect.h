#pragma once
// Private to the engine: where the backends differ in SQL or in the rules
// of a save, the code above the storage asks its backend's dialect, one
// object per backend (sqlite/SqliteDialect.cpp, postgres/PgDialect.cpp),
// instead of asking which backend it has. A question is either a capability
// ("does an insert give back its key") or a piece of SQL the backend writes
// ("how are two texts joined").
#include "EngineTypes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::engine {

class Dialect {
 public:
  virtual ~Dialect() = default;

  // --- Names ---------------------------------------------------------------

  // How a temporary table's name is qualified ("temp.").
  virtual std::string_view temporaryPrefix() const noexcept = 0;

  // --- The rules of a save ---------------------------------------------------

  // An INSERT gives back the new record's row key as its one result column
  // when `insertKeyClause()` follows it; otherwise the session tells it
  // (Session::lastRowid).
  virtual bool insertReturnsKey() const noexcept = 0;
  virtual std::string_view insertKeyClause() const noexcept = 0;
  // Inside an open transaction, each save (an addition or a deletion) takes
  // a savepoint of its own, so that a refused statement is undone alone and
  // leaves the transaction usable.
  virtual bool savepointPerSave() const noexcept = 0;
  // The record read again before an edit is saved stays locked until the
  // write (a file is held whole by the write scope instead).
  virtual bool locksRecordBeforeSave() const noexcept = 0;
  // Counters number from the storage's own sequence: a record is saved with
  // the number it showed at AddNew, and an addition refused as a duplicate
  // (a number written by a statement passed the sequence by) is undone,
  // numbered again and saved again. Otherwise the engine numbers counters
  // itself, after the highest ever given, and renumbers a refused addition
  // in place a few times over.
  virtual bool countersFromSequence() const noexcept = 0;

  // --- Reading ---------------------------------------------------------------

  // A search brings the record's values with it rather than its key alone
  // (a second read would cost a second round trip).
  virtual bool searchesBringRows() const noexcept = 0;
  // A walk forward keeps the rows of its batches (Statement::keepRows) and
  // sends its next batch ahead.
  virtual bool batchesKeepRows() const noexcept = 0;

  // --- The SQL writer ----------------------------------------------------------
  // (the questions of ExpressionWriter and the statement writer)
};

}  // namespace tarnwick::engine
