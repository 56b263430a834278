#pragma once
// Private to the engine: the engine's SQL dialect, translated into the
// storage's SQL. One lexer (SqlLexer.h) and one expression writer
// (SqlExpression.h) serve conditions (Find, Filter, WHERE), sort texts and
// whole statements; statements are parsed (SqlStatement.h) and then written.
//
// The dialect: names in brackets ([Order Date]) and qualified names
// (Orders.[Qty], Orders!Qty); texts in single or double quotes; dates
// between # written month/day/year (#1/2/98#); True and False (-1 and 0);
// Like with *, ?, #, [list] and [!list], ignoring letter case;
// DateValue('text') read under the user's locale; & joins texts; Mod;
// "Delete * From T" as well as "Delete From T"; "Select * From A,B WHERE".
// Exactly one statement per text: a second one is refused, never run.
#include <tarnwick/automation/Export.h>
#include "EngineTypes.h"
#include "SchemaCatalogue.h"
#include "SqlExpression.h"
#include "SqlLexer.h"
#include "SqlStatement.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::engine {

// A condition: the storage's expression. Errors: 3075 naming the text and
// the token at fault for a syntax error, 3464 for a text compared with a number field.
// With `parameters`, its values are parameters, collected there in order.
std::string translateCondition(std::u16string_view condition, const Resolver& resolve,
                               std::vector<RawValue>* parameters, const Dialect& dialect);

// Conditions that differ only in the values of their texts, numbers and
// dates (FindFirst with a new value on every call): the first is
// translated, the others read their values from their own tokens and share
// its SQL. Errors as translateCondition's.
class ConditionShape {
 public:
  // The storage's expression for `condition` over `table`, with its values
  // as parameters in `values`.
  const std::string& translate(std::u16string_view condition, const TableInfo& table, std::vector<RawValue>& values,
                               const Dialect& dialect);

 private:
  std::vector<Token> tokens_;
  std::vector<bool> literal_;  // per token: one of the parameters
  std::vector<std::size_t> sources_;  // per parameter: its token
  // Per parameter: the kind of its value (a dialect may cast a number by it).
  std::vector<std::size_t> kinds_;
  std::string sql_;
};

struct SortItem {
  std::u16string qualifier;
  std::u16string field;
  bool descending = false;
};
// A sort text: field references separated by commas, each optionally
// followed by ASC or DESC. 3075 naming the text and the token at fault when
// it does not parse.
std::vector<SortItem> parseSort(std::u16string_view sort);

struct TranslatedStatement {
  enum class Kind { Select, Action, CreateTable, DropTable, Index };
  Kind kind = Kind::Action;
  std::string sql;
  // A table created or dropped, and the fields of a created one.
  std::u16string table;
  std::vector<FieldInfo> fields;
  // "Select * From T [Where c] [Order By s]" over one table: the parts, in
  // the dialect, so that a recordset can keep its records by key.
  bool singleTable = false;
  std::u16string where;
  std::u16string orderBy;
  // The places of the result's columns that hold dates though they are
  // expressions (the least or greatest value of a date field).
  std::vector<int> dateColumns;
};

// A whole statement, parsed and written as the catalogue's backend's SQL
// (StatementWriter.cpp). Errors: see parseStatement.
TranslatedStatement translateStatement(std::u16string_view text, SchemaCatalogue& catalogue);
// The same in the SQL of `dialect`, with the tables found by `tables`.
TranslatedStatement translateStatement(std::u16string_view text, const TableLookup& tables, const Dialect& dialect);

// The statement that deletes exactly the records a recordset opened on
// `recordSource` shows, in the dialect: "Delete * From " and the table, with
// the selection's condition when it has one. A record source that is not a
// table name or a selection of whole records from one table (a join, a
// grouping, DISTINCT or TOP, an alias, a union, INTO, a second statement, a
// text the dialect cannot read) is 3251: no statement names those records.
// Exported for the engine's tests.
TARNWICK_API std::u16string shownRecordsDeletion(std::u16string_view recordSource);

// The resolver of one table: the table's name (or `alias`) may qualify.
Resolver tableResolver(const TableInfo& table, std::u16string_view alias = {});

}  // namespace tarnwick::engine
