// The backend's SQL, written from a parsed statement: one writer per kind
// of statement, asking the backend's dialect where backends differ.
#include "Dialect.h"
#include "SqlDialect.h"
#include "SqlExpression.h"
#include "SqlStatement.h"

#include <tarnwick/automation/String.h>

namespace tarnwick::engine {

namespace {

// Resolves names against the tables of a FROM clause, qualified by a
// table's name or alias, or unqualified when one of them has the field.
Resolver sourcesResolver(const std::vector<SourceTable>& sources, bool qualify) {
  return [&sources, qualify](std::u16string_view qualifier, std::u16string_view name) -> std::optional<ColumnRef> {
    for (const SourceTable& s : sources) {
      const bool named = equalsIgnoreCase(qualifier, s.info->name) || (!s.alias.empty() && equalsIgnoreCase(qualifier, s.alias));
      if (!qualifier.empty() && !named) continue;
      const int at = s.info->fieldIndex(name);
      if (at < 0) continue;
      const FieldInfo& f = s.info->fields[static_cast<std::size_t>(at)];
      if (!qualify) return ColumnRef{f.column, f.type};
      const std::string owner = quoteName(std::u16string_view(s.alias.empty() ? s.info->name : s.alias));
      return ColumnRef{owner + "." + f.column, f.type};
    }
    return std::nullopt;
  };
}

// "(a, b, ...)" after INSERT INTO's table, from its "(" at `at` on: the
// columns, each resolved, and their types in `types`; `at` ends after the
// ")". A list that is no plain list of names is left to the expression
// writer, which names the fault.
std::string insertedFields(const ParsedStatement& st, const Resolver& resolve, std::size_t& at,
                           std::vector<FieldType>& types) {
  const auto& t = st.tokens;
  std::string out = "(";
  std::size_t i = at + 1;
  for (;; i += 2) {
    if (!isNameToken(t[i]) || isKeyword(t[i])) return {};
    const auto column = resolve({}, t[i].text);
    types.push_back(column ? column->type : FieldType::Memo);
    out += (i == at + 1 ? " " : " , ") + (column ? column->sql : quoteName(std::u16string_view(t[i].text)));
    if (isPunct(t[i + 1], u")")) break;
    if (!isPunct(t[i + 1], u",")) return {};
  }
  at = i + 2;
  return out + " )";
}

// The parts of a statement that reads or changes records, in order.
// Statements that change one table name its columns unqualified.
// The places of a select list's date extremes go to `dateColumns`.
std::string writeParts(const ParsedStatement& st, bool qualify, const Dialect& dialect,
                       std::vector<int>* dateColumns = nullptr) {
  const Resolver resolve = sourcesResolver(st.sources, qualify);
  ExpressionWriter expressions(st.tokens, st.text, resolve, dialect);
  if (dialect.expandsStars()) {
    // "*" stands for the fields of the tables read (after FROM and JOIN),
    // not of the table an INSERT fills.
    expressions.expandStars([&st](std::u16string_view qualifier) {
      std::string list;
      for (const StatementPart& part : st.parts) {
        if (part.kind != StatementPart::Kind::Tables ||
            !(equalsIgnoreCase(part.word, u"FROM") || equalsIgnoreCase(part.word, u"JOIN")))
          continue;
        for (const StatementPart::Table& read : part.tables) {
          const std::u16string& owner = read.alias.empty() ? read.name : read.alias;
          if (!qualifier.empty() && !equalsIgnoreCase(qualifier, owner)) continue;
          for (const SourceTable& s : st.sources) {
            if (!equalsIgnoreCase(s.info->name, read.name) || !equalsIgnoreCase(s.alias, read.alias)) continue;
            for (const FieldInfo& f : s.info->fields)
              list += (list.empty() ? "" : ", ") + quoteName(std::u16string_view(owner)) + "." + f.column;
            break;
          }
        }
      }
      return list.empty() ? std::string("*") : list;
    });
  }
  std::string sql;
  const auto append = [&](const std::string& piece) {
    if (!sql.empty()) sql += ' ';
    sql += piece;
  };
  for (const StatementPart& part : st.parts) {
    switch (part.kind) {
      case StatementPart::Kind::Word: append(toUtf8(part.word)); break;
      case StatementPart::Kind::Expression: {
        std::size_t at = part.begin;
        if (st.kind == StatementKind::Insert && &part != &st.parts.front() &&
            (&part - 1)->kind == StatementPart::Kind::Tables && isPunct(st.tokens[at], u"(")) {
          // The fields an INSERT fills are named as they are stored,
          // whatever their type: only values are read as values.
          std::vector<FieldType> types;
          const std::string fields = insertedFields(st, resolve, at, types);
          if (!fields.empty()) append(fields);
          expressions.fill(std::move(types));
        } else if (st.kind == StatementKind::Insert && !st.sources.empty()) {
          // Without a list of fields, the values fill all of them in order.
          std::vector<FieldType> types;
          for (const FieldInfo& f : st.sources[0].info->fields) types.push_back(f.type);
          expressions.fill(std::move(types));
        }
        if (dateColumns && at < part.end && isWord(st.tokens[at], u"SELECT")) {
          // The first select list names the result's columns.
          *dateColumns = expressions.dateExtremes(at + 1, part.end);
          dateColumns = nullptr;
        }
        if (at < part.end) append(expressions.expression(at, part.end));
        break;
      }
      case StatementPart::Kind::Tables: {
        append(toUtf8(part.word));
        for (std::size_t i = 0; i < part.tables.size(); ++i) {
          if (i) sql += ',';
          sql += ' ';
          sql += quoteName(std::u16string_view(part.tables[i].name));
          if (!part.tables[i].alias.empty()) sql += " AS " + quoteName(std::u16string_view(part.tables[i].alias));
        }
        break;
      }
    }
  }
  const std::string rest = expressions.finish();
  if (!rest.empty()) append(rest);
  return sql;
}

// A grouped query that names no order of its own, ordered by its groups.
std::string groupOrder(const ParsedStatement& st, const Dialect& dialect) {
  const auto& t = st.tokens;
  int depth = 0;
  std::size_t groupAt = std::string::npos, groupEnd = std::string::npos;
  for (std::size_t i = 0; i < t.size() && t[i].kind != Tok::End; ++i) {
    if (isPunct(t[i], u"(")) ++depth;
    if (isPunct(t[i], u")")) --depth;
    if (depth != 0) continue;
    if (isWord(t[i], u"UNION") || (isWord(t[i], u"ORDER") && isWord(t[i + 1], u"BY"))) return {};
    if (isWord(t[i], u"GROUP") && isWord(t[i + 1], u"BY")) groupAt = i + 2;
    if (groupAt != std::string::npos && groupEnd == std::string::npos && i >= groupAt &&
        (isWord(t[i], u"HAVING") || isPunct(t[i], u";")))
      groupEnd = i;
  }
  if (groupAt == std::string::npos) return {};
  if (groupEnd == std::string::npos) {
    groupEnd = groupAt;
    while (groupEnd < t.size() && t[groupEnd].kind != Tok::End) ++groupEnd;
  }
  const Resolver resolve = sourcesResolver(st.sources, true);
  ExpressionWriter expressions(t, st.text, resolve, dialect);
  return " ORDER BY " + expressions.expression(groupAt, groupEnd);
}

std::string writeSelect(const ParsedStatement& st, const Dialect& dialect, std::vector<int>& dateColumns) {
  std::string sql = writeParts(st, true, dialect, &dateColumns);
  if (dialect.ordersGroups()) sql += groupOrder(st, dialect);
  return sql;
}

std::string writeDropTable(const ParsedStatement& st) {
  return "DROP TABLE " + quoteName(std::u16string_view(st.table));
}

// An index is stored under its table's name and its own, so that two
// tables may each have an index of the same name.
std::string storedIndexName(const ParsedStatement& st) {
  return quoteName(std::u16string_view(st.table + u"." + st.index));
}

std::string writeCreateIndex(const ParsedStatement& st, const Dialect& dialect) {
  return std::string("CREATE ") + (st.unique ? "UNIQUE " : "") + "INDEX " + storedIndexName(st) + " ON " +
         st.sources[0].info->quoted + " (" + dialect.nameList(st.indexFields, &st.descending) + ")";
}

std::string writeDropIndex(const ParsedStatement& st) { return "DROP INDEX " + storedIndexName(st); }

}  // namespace

TranslatedStatement translateStatement(std::u16string_view text, SchemaCatalogue& catalogue) {
  return translateStatement(
      text, [&catalogue](std::u16string_view name) { return catalogue.table(name); }, catalogue.dialect());
}

TranslatedStatement translateStatement(std::u16string_view text, const TableLookup& tables, const Dialect& dialect) {
  const ParsedStatement st = parseStatement(text, tables);
  TranslatedStatement result;
  using Kind = TranslatedStatement::Kind;
  switch (st.kind) {
    case StatementKind::Select:
      result.kind = Kind::Select;
      result.sql = writeSelect(st, dialect, result.dateColumns);
      result.singleTable = st.singleTable;
      result.table = st.table;
      result.where = st.where;
      result.orderBy = st.orderBy;
      break;
    case StatementKind::Insert:
    case StatementKind::Update:
    case StatementKind::Delete: result.sql = writeParts(st, false, dialect); break;
    case StatementKind::CreateTable:
      result.kind = Kind::CreateTable;
      result.sql = dialect.createTable(st.table, st.fields, st.primary, st.uniques);
      result.table = st.table;
      result.fields = st.fields;
      break;
    case StatementKind::DropTable:
      result.kind = Kind::DropTable;
      result.sql = writeDropTable(st);
      result.table = st.table;
      break;
    case StatementKind::CreateIndex:
      result.kind = Kind::Index;
      result.sql = writeCreateIndex(st, dialect);
      break;
    case StatementKind::DropIndex:
      result.kind = Kind::Index;
      result.sql = writeDropIndex(st);
      break;
  }
  return result;
}

}  // namespace tarnwick::engine
