#pragma once
// Private to the engine: the pieces of the server's SQL that the dialect's
// writer needs where the server's words differ from a database file's, and
// the functions of the engine's own that the server lacks.
//
// The engine's functions live in a schema of its own (tarnwick), made when a
// session first needs them. Like is written as a case-blind regular
// expression match: the server's LIKE has no lists, and text columns carry
// a case-blind collation that the server's pattern matching refuses, so the
// pattern names a deterministic collation (kPatternCollation) that then
// governs the match.
#include "../Dialect.h"
#include "../EngineTypes.h"
#include "PgConnection.h"

#include <string>
#include <string_view>

namespace tarnwick::engine {

class PgDialect final : public Dialect {
 public:
  // `pooled`: the session's server connection may change between
  // transactions (a transaction pooler), so copies of records cannot be
  // temporary tables, which live in one connection: they are unlogged
  // tables of the session's own name, dropped when done.
  constexpr explicit PgDialect(bool pooled = false) noexcept : pooled_(pooled) {}
  std::string_view temporaryPrefix() const noexcept override { return pooled_ ? "" : "pg_temp."; }

  // A server tells the new record's key only this way.
  bool insertReturnsKey() const noexcept override { return true; }
  std::string_view insertKeyClause() const noexcept override { return " RETURNING rowid"; }
  bool savepointPerSave() const noexcept override { return true; }
  bool locksRecordBeforeSave() const noexcept override { return true; }
  bool countersFromSequence() const noexcept override { return true; }
  std::string nextCounter(std::string_view quotedTable, std::string_view column) const override;
  std::string counterRestart(std::string_view quotedTable, std::string_view field) const override;

  std::string columnType(const FieldInfo& field) const override;
  FieldInfo fieldOfType(std::u16string name, std::string_view type) const override;
  bool rowKeyIsColumn() const noexcept override { return true; }
  Copy temporaryCopy(const std::string& name, const std::string& qualified, const std::vector<std::string>& declarations,
                     const std::string& columns, const std::string& sql) const override;

  bool searchesBringRows() const noexcept override { return true; }
  bool batchesBringRows() const noexcept override { return true; }

  // --- The SQL writer ---
  std::string textLiteral(std::u16string_view text) const override;
  std::string_view truthLiteral(bool yes) const noexcept override { return yes ? "TRUE" : "FALSE"; }
  std::string dateLiteral(double serial) const override;
  std::string_view noDateLiteral() const noexcept override { return "CAST(NULL AS timestamp)"; }
  // The server reads a date parameter as its timestamp text.
  RawValue dateParameter(double serial) const override;
  std::string_view dateParameterCast() const noexcept override { return "::timestamp"; }
  std::string_view numberParameterCast(const RawValue& number) const noexcept override;

  // The server joins a text to anything, but not two numbers: an empty text
  // between them makes them texts.
  std::string_view textJoin() const noexcept override { return "|| '' ||"; }
  std::string_view functionName(std::u16string_view name) const noexcept override;
  // An exact number without its trailing zeros.
  std::string shownText(std::string_view column) const override;
  // Dates are timestamps, which compare as dates.
  std::string dateColumn(std::string column) const override { return column; }
  // A date minus a date is an interval: its days are fractional, as with
  // the day serials of a database file.
  std::string_view daysBetweenCall() const noexcept override { return "tarnwick.days("; }
  // The server cannot know the user's locale.
  bool functionsReadUserDates() const noexcept override { return false; }
  std::string_view dateOrderArgument() const override;

  bool keysTexts() const noexcept override { return true; }
  std::string orderKey(std::string_view column, FieldType type) const override;
  std::string_view textExtremeFunction(bool greatest) const noexcept override;
  bool yesNoAreTruths() const noexcept override { return true; }
  bool writesNullOrder() const noexcept override { return true; }
  std::string_view nullOrder(bool descending) const noexcept override;
  bool unionOrderUnqualified() const noexcept override { return true; }
  // The server orders a selection of distinct rows by its own columns only,
  // and gives groups as it finds them.
  bool groupsDistinct() const noexcept override { return true; }
  bool ordersGroups() const noexcept override { return true; }
  bool expandsStars() const noexcept override { return true; }

  bool likeByPattern() const noexcept override { return true; }
  std::string likePattern(std::u16string_view pattern) const override;
  std::string_view likeOperator(bool negated) const noexcept override;
  std::string likePatternOperand(std::string_view pattern, bool literal) const override;
  std::string textOf(std::string_view operand) const override;

  std::string createTable(std::u16string_view table, const std::vector<FieldInfo>& fields,
                          const std::vector<std::u16string>& primary,
                          const std::vector<std::vector<std::u16string>>& uniques) const override;

 private:
  bool pooled_ = false;
};

// The one dialect of every server database.
const Dialect& postgresDialect() noexcept;
// The same, for a session behind a transaction pooler.
const Dialect& pooledPostgresDialect() noexcept;


inline constexpr std::string_view kPatternCollation = "COLLATE \"und-x-icu\"";

// The server's name of one of the dialect's functions; empty when the
// dialect has no such function.
std::string_view serverFunctionName(std::u16string_view dialect) noexcept;

// The server's refusal of a text holding a NUL character (3146), which its
// texts cannot keep.
[[noreturn]] void refuseNul();

// A text as the server's literal. The server's texts cannot hold a NUL
// character: such a text is refused (3146), as a value holding one is.
std::string serverTextLiteral(std::u16string_view text);

// A date serial as the server's timestamp text (to the second).
std::string timestampText(double serial);

// A field's values as the server orders them to match a database file's
// order, for ORDER BY and for comparing keys: a text by its key under the
// "C" collation (ASCII letter case ignored, otherwise the characters'
// numbers), a yes/no field as -1 and 0 (Yes first); others as they are.
// The file puts Nulls first in ascending order: the server needs NULLS
// FIRST (NULLS LAST descending) written out.
std::string serverOrderKey(std::string_view column, FieldType type);

// A Like pattern as the server's regular expression, anchored at both ends;
// a pattern with an unclosed "[" becomes one that matches nothing.
std::string likeRegex(std::u16string_view pattern);

// Creates the engine's functions on the server unless the database has them
// already; safe when several sessions do it at once.
void ensureServerFunctions(PgConnection& connection);

}  // namespace tarnwick::engine
