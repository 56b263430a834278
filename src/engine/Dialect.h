#pragma once
// Private to the engine: where the backends differ in SQL or in the rules
// of a save, the code above the storage asks its backend's dialect, one
// object per backend (sqlite/SqliteDialect.cpp, postgres/PgDialect.cpp),
// instead of asking which backend it has. A question is either a capability
// ("does an insert give back its key") or a piece of SQL the backend writes
// ("how are two texts joined").
#include "Storage.h"
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

  // --- Reading ---------------------------------------------------------------

  // A search brings the record's values with it rather than its key alone
  // (a second read would cost a second round trip).
  virtual bool searchesBringRows() const noexcept = 0;
  // A batch of a walk brings its records' values with their keys (each
  // record read alone would cost a round trip of its own), and a walk
  // forward sends the statement for its next batch ahead.
  virtual bool batchesBringRows() const noexcept = 0;

  // --- The SQL writer ----------------------------------------------------------
  // (the questions of ExpressionWriter and the statement writer)

  // Literals: a text, True or False, a date serial, and a date that reads
  // as none.
  virtual std::string textLiteral(std::u16string_view text) const = 0;
  virtual std::string_view truthLiteral(bool yes) const noexcept = 0;
  virtual std::string dateLiteral(double serial) const = 0;
  virtual std::string_view noDateLiteral() const noexcept = 0;
  // A date serial as a parameter's value, and what follows the parameter's
  // mark so that the backend reads it as a date; what follows the mark of a
  // number (the backend reads a parameter as its place asks, or not at all
  // in "-?", unless told).
  virtual RawValue dateParameter(double serial) const = 0;
  virtual std::string_view dateParameterCast() const noexcept = 0;
  virtual std::string_view numberParameterCast(const RawValue& number) const noexcept = 0;

  // The operator that joins two texts (&), whatever each side is.
  virtual std::string_view textJoin() const noexcept = 0;
  // The backend's name of one of the dialect's functions; empty when it has
  // no such function.
  virtual std::string_view functionName(std::u16string_view name) const noexcept = 0;
  // A number column joined to a text: the number as the engine shows it.
  virtual std::string shownText(std::string_view column) const = 0;
  // A date column where it compares (not where it is selected or assigned).
  virtual std::string dateColumn(std::string column) const = 0;
  // The call around "a - b" of two dates that gives the days between them
  // ("name(", closed after b); empty when the backend's minus gives them.
  // With it, Date() and Now() are written whole, as dates.
  virtual std::string_view daysBetweenCall() const noexcept = 0;
  // The backend's functions read a date text the user's way. Otherwise the
  // writer reads a literal given to DateValue or CDate itself, and gives
  // the functions the order of the user's locale (dateOrderArgument, the
  // last argument with its comma).
  virtual bool functionsReadUserDates() const noexcept = 0;
  virtual std::string_view dateOrderArgument() const = 0;

  // Texts compare, group and order by their order key (orderKey), as a
  // database file orders them, rather than as the backend does: on the left
  // of a comparison with texts, in GROUP BY, in ORDER BY, in Min and Max
  // (textExtremeFunction).
  virtual bool keysTexts() const noexcept = 0;
  virtual std::string orderKey(std::string_view column, FieldType type) const = 0;
  virtual std::string_view textExtremeFunction(bool greatest) const noexcept = 0;
  // Yes/no fields are truths, not the numbers -1 and 0: a number compared
  // with or given to one is written as the truth it stands for, and one
  // counted, compared or ordered as a number goes by its order key.
  virtual bool yesNoAreTruths() const noexcept = 0;
  // The backend puts Nulls last in ascending order: the writer closes each
  // item of an ORDER BY and of an index with where Nulls go (nullOrder).
  virtual bool writesNullOrder() const noexcept = 0;
  virtual std::string_view nullOrder(bool descending) const noexcept = 0;
  // The ORDER BY of a union names the columns of its result, unqualified.
  virtual bool unionOrderUnqualified() const noexcept = 0;
  // A selection of distinct fields is written as a grouping by them (see
  // ExpressionWriter::distinctGroups); a grouped selection without an
  // order of its own is ordered by its groups.
  virtual bool groupsDistinct() const noexcept = 0;
  virtual bool ordersGroups() const noexcept = 0;
  // A table holds the engine's row key, which "*" must not select: a select
  // list's stars are written out as the fields.
  virtual bool expandsStars() const noexcept = 0;

  // Like, where the backend's own does not match as the dialect's does: X
  // Like P as X, likeOperator and P as a pattern (likePatternOperand), the
  // pattern of a literal made by likePattern, any other by the backend; X
  // that is no text as its text (textOf).
  virtual bool likeByPattern() const noexcept = 0;
  virtual std::string likePattern(std::u16string_view pattern) const = 0;
  virtual std::string_view likeOperator(bool negated) const noexcept = 0;
  virtual std::string likePatternOperand(std::string_view pattern, bool literal) const = 0;
  virtual std::string textOf(std::string_view operand) const = 0;

  // CREATE TABLE with the backend's column types.
  virtual std::string createTable(std::u16string_view table, const std::vector<FieldInfo>& fields,
                                  const std::vector<std::u16string>& primary,
                                  const std::vector<std::vector<std::u16string>>& uniques) const = 0;
  // Names as a key or an index lists them, each after `descending` (when
  // given) with its direction and where its Nulls go: an index keeps Nulls
  // where the engine orders them, so that walking the index is walking the
  // records.
  std::string nameList(const std::vector<std::u16string>& names, const std::vector<bool>* descending = nullptr) const;

 protected:
  // CREATE TEMP TABLE `name` with the columns' declarations.
  static std::string createTemporary(const std::string& name, const std::vector<std::string>& declarations);
};

}  // namespace tarnwick::engine
