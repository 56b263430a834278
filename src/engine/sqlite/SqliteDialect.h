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

  // --- The SQL writer ---
  std::string textLiteral(std::u16string_view text) const override;
  std::string_view truthLiteral(bool yes) const noexcept override { return yes ? "-1" : "0"; }
  // A date is its day serial.
  std::string dateLiteral(double serial) const override;
  std::string_view noDateLiteral() const noexcept override { return "NULL"; }
  RawValue dateParameter(double serial) const override { return serial; }
  std::string_view dateParameterCast() const noexcept override { return {}; }
  std::string_view numberParameterCast(const RawValue&) const noexcept override { return {}; }

  std::string_view textJoin() const noexcept override { return "||"; }
  std::string_view functionName(std::u16string_view name) const noexcept override;
  // A real number without ".0".
  std::string shownText(std::string_view column) const override;
  // A date column compares as a date whatever form it is stored in.
  std::string dateColumn(std::string column) const override;
  std::string_view daysBetweenCall() const noexcept override { return {}; }
  // The engine's functions run in the engine, under the user's locale.
  bool functionsReadUserDates() const noexcept override { return true; }
  std::string_view dateOrderArgument() const override { return {}; }

  // The file's own order is the engine's.
  bool keysTexts() const noexcept override { return false; }
  std::string orderKey(std::string_view column, FieldType) const override { return std::string(column); }
  std::string_view textExtremeFunction(bool greatest) const noexcept override { return greatest ? "max" : "min"; }
  bool yesNoAreTruths() const noexcept override { return false; }
  bool writesNullOrder() const noexcept override { return false; }
  std::string_view nullOrder(bool) const noexcept override { return {}; }
  bool unionOrderUnqualified() const noexcept override { return false; }
  bool groupsDistinct() const noexcept override { return false; }
  // The file gives groups in the order of their values.
  bool ordersGroups() const noexcept override { return false; }
  bool expandsStars() const noexcept override { return false; }

  // The engine's own LIKE of the file matches as the dialect does.
  bool likeByPattern() const noexcept override { return false; }
  std::string likePattern(std::u16string_view pattern) const override;
  std::string_view likeOperator(bool negated) const noexcept override { return negated ? " NOT LIKE " : " LIKE "; }
  std::string likePatternOperand(std::string_view pattern, bool) const override { return std::string(pattern); }
  std::string textOf(std::string_view operand) const override;

  std::string createTable(std::u16string_view table, const std::vector<FieldInfo>& fields,
                          const std::vector<std::u16string>& primary,
                          const std::vector<std::vector<std::u16string>>& uniques) const override;
};

// The one dialect of every database file.
const Dialect& sqliteDialect() noexcept;

}  // namespace tarnwick::engine
