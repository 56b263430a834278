#pragma once
// Private to the engine: the engine's SQL dialect, translated into the
// storage's SQL. One tokenizer and one rewriter serve conditions (Find,
// Filter, WHERE), sort texts and whole statements.
//
// The dialect: names in brackets ([Order Date]) and qualified names
// (Orders.[Qty], Orders!Qty); texts in single or double quotes; dates
// between # written month/day/year (#1/2/98#); True and False (-1 and 0);
// Like with *, ?, #, [list] and [!list], ignoring letter case;
// DateValue('text') read under the user's locale; & joins texts; Mod;
// "Delete * From T" as well as "Delete From T"; "Select * From A,B WHERE".
// Exactly one statement per text: a second one is refused, never run.
#include "EngineTypes.h"
#include "SchemaCatalogue.h"


#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::engine {

struct ColumnRef {
  std::string sql;  // the column as the storage's SQL names it
  FieldType type = FieldType::Text;
};

// Resolves a field reference ("" as qualifier when there is none).
using Resolver = std::function<std::optional<ColumnRef>(std::u16string_view qualifier, std::u16string_view name)>;

// A condition: the storage's expression. Errors: 3075 naming the text for
// a syntax error, 3464 for a text compared with a number field.
std::string translateCondition(std::u16string_view condition, const Resolver& resolve);

struct SortItem {
  std::u16string qualifier;
  std::u16string field;
  bool descending = false;
};
// A sort text: field references separated by commas, each optionally
// followed by ASC or DESC. 3075 naming the text when it does not parse.
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
};

// A whole statement. Errors: 3075 (syntax), 3131 (FROM clause), 3142
// (a second statement), 3129 (not a statement), 3290 (CREATE TABLE).
TranslatedStatement translateStatement(std::u16string_view text, SchemaCatalogue& catalogue);

// The resolver of one table: the table's name (or `alias`) may qualify.
Resolver tableResolver(const TableInfo& table, std::u16string_view alias = {});

}  // namespace tarnwick::engine
