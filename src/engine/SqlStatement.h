#pragma once
// Private to the engine: a statement of the dialect, parsed into its parts.
// Reading a statement and writing a backend's SQL are two steps: the
// parser checks the statement's form and finds its tables in the schema;
// the writer (StatementWriter.cpp) makes the backend's text from the parts,
// asking its dialect. Expressions stay as token ranges, written by the
// expression writer.
#include "SchemaCatalogue.h"
#include "SqlLexer.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::engine {

enum class StatementKind { Select, Insert, Update, Delete, CreateTable, DropTable, CreateIndex, DropIndex };

// A table a statement reads or changes, with the alias it has there.
struct SourceTable {
  std::shared_ptr<const TableInfo> info;
  std::u16string alias;
};

// A part of a SELECT, INSERT, UPDATE or DELETE, in the order written.
struct StatementPart {
  enum class Kind {
    Tables,      // FROM, JOIN, INTO or UPDATE with the tables it names
    Expression,  // the tokens [begin, end), written by the storage's writer
    Word,        // a word that leads to no table, kept as written
  };
  Kind kind = Kind::Expression;
  std::u16string word;
  struct Table {
    std::u16string name;  // as written
    std::u16string alias;
  };
  std::vector<Table> tables;
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct ParsedStatement {
  StatementKind kind = StatementKind::Select;
  std::u16string text;
  std::vector<Token> tokens;

  // SELECT, INSERT, UPDATE, DELETE: the tables, and the parts to write.
  std::vector<SourceTable> sources;
  std::vector<StatementPart> parts;
  // "Select * From T [Where c] [Order By s]" over one table: the parts, in
  // the dialect, so that a recordset can keep its records by key.
  bool singleTable = false;
  std::u16string where;
  std::u16string orderBy;

  // The table created or dropped (or an index's table, as the schema names it).
  std::u16string table;
  // CREATE TABLE: its fields, primary key and unique constraints.
  std::vector<FieldInfo> fields;
  std::vector<std::u16string> primary;
  std::vector<std::vector<std::u16string>> uniques;
  // CREATE INDEX and DROP INDEX.
  std::u16string index;
  bool unique = false;
  std::vector<std::u16string> indexFields;
  std::vector<bool> descending;
};

// Errors: 3075 (syntax), 3131 (FROM clause), 3142 (a second statement),
// 3129 (not a statement), 3290 (CREATE TABLE), each at the token at fault;
// 3078 for a table the schema lacks.
ParsedStatement parseStatement(std::u16string_view text, SchemaCatalogue& catalogue);
// The same, with the tables found by `tables` (nullptr for a table the
// database lacks), for a database whose schema is kept elsewhere.
using TableLookup = std::function<std::shared_ptr<const TableInfo>(std::u16string_view)>;
ParsedStatement parseStatement(std::u16string_view text, const TableLookup& tables);

}  // namespace tarnwick::engine
