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
#include <vector>

namespace tarnwick::engine {

struct FieldInfo;

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
  // With counters from a sequence: the statement that gives a counter's
  // next number, one past the highest number of the table's records if the
  // sequence is behind them (the table's quoted name and the field's name
  // bound as parameters 1 and 2, and again as 3 and 4).
  virtual std::string nextCounter(std::string_view quotedTable, std::string_view column) const = 0;
  // The statement that makes a counter's sequence go on after the number
  // bound as parameter 1.
  virtual std::string counterRestart(std::string_view quotedTable, std::string_view field) const = 0;

  // --- Copies ---------------------------------------------------------------

  // A column's type for a field in the storage's own words, and the field
  // the engine sees in a column of a type so written (a table made by
  // another program, a query's result).
  virtual std::string columnType(const FieldInfo& field) const = 0;
  virtual FieldInfo fieldOfType(std::u16string name, std::string_view type) const = 0;
  // The row key is a column of its own (which a copy of a result leaves
  // out of the copy's fields), not the storage's number of the row.
  virtual bool rowKeyIsColumn() const noexcept = 0;
  // The statements that copy the rows of `sql` into a temporary table
  // named `name` (quoted; `qualified` with the prefix) with the engine's
  // row key: the table's creation from the columns' declarations, the
  // filling (run again to read the rows anew) and what follows the first
  // filling (empty when nothing does).
  struct Copy {
    std::string create, fill, after;
  };
  virtual Copy temporaryCopy(const std::string& name, const std::string& qualified,
                             const std::vector<std::string>& declarations, const std::string& columns,
                             const std::string& sql) const = 0;

 protected:
  // CREATE TEMP TABLE `name` with the columns' declarations.
  static std::string createTemporary(const std::string& name, const std::vector<std::string>& declarations);

 public:

  // --- Reading ---------------------------------------------------------------

  // A search brings the record's values with it rather than its key alone
  // (a second read would cost a second round trip).
  virtual bool searchesBringRows() const noexcept = 0;
  // A batch of a walk brings its records' values with their keys (each
  // record read alone would cost a round trip of its own), and a walk
  // forward sends the statement for its next batch ahead.
  virtual bool batchesBringRows() const noexcept = 0;
  // What follows a column in ORDER BY for the engine's order, Null before
  // every value ascending and after them descending.
  virtual std::string_view orderDirection(bool descending) const noexcept = 0;

  // --- The SQL writer ----------------------------------------------------------
  // (the questions of ExpressionWriter and the statement writer)
};

}  // namespace tarnwick::engine
