#include "SqlDialect.h"

#include "Dialect.h"
#include "SqlLexer.h"

#include <algorithm>
#include <limits>

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

namespace tarnwick::engine {

namespace {

// A condition's shape: operands joined by operators, each operator between
// two operands (or before one, for Not and a sign), parentheses and
// function calls balanced. The writer turns tokens into the storage's
// words one by one, so a stray operator ("Qty < 0 * *", "Qty + Or 1")
// would otherwise reach the storage and be refused there in its words,
// not the dialect's. The words that begin or join a statement's clauses
// (From, Union, Join ...) fit nowhere in it, so they cannot carry a
// statement of their own into the storage's WHERE. A subquery,
// "(Select ...)", is a statement: its words are left to the storage's
// parser, as a statement's are.
class ConditionGrammar {
 public:
  ConditionGrammar(std::u16string_view text, const std::vector<Token>& tokens) : text_(text), t_(tokens) {}

  void check() {
    disjunction();
    if (t_[at_].kind != Tok::End) fail();
  }

 private:
  [[noreturn]] void fail() const { syntaxErrorAt(text_, t_[at_]); }
  const Token& peek(std::size_t ahead = 0) const {
    const std::size_t i = std::min(at_ + ahead, t_.size() - 1);  // the End token closes the list
    return t_[i];
  }
  void expectPunct(std::u16string_view p) {
    if (!isPunct(peek(), p)) fail();
    ++at_;
  }

  void disjunction() {
    conjunction();
    while (isWord(peek(), u"OR")) ++at_, conjunction();
  }
  void conjunction() {
    negation();
    while (isWord(peek(), u"AND")) ++at_, negation();
  }
  void negation() {
    if (isWord(peek(), u"NOT")) {
      ++at_;
      negation();
    } else {
      predicate();
    }
  }
  // Comparisons may follow one another, as the storage allows.
  void predicate() {
    sum();
    for (;;) {
      const bool negated = isWord(peek(), u"NOT") &&
                           (isWord(peek(1), u"LIKE") || isWord(peek(1), u"BETWEEN") || isWord(peek(1), u"IN"));
      if (negated) ++at_;
      const Token& op = peek();
      if (!negated && isComparison(op)) {
        ++at_, sum();
      } else if (isWord(op, u"LIKE")) {
        ++at_, sum();
      } else if (isWord(op, u"BETWEEN")) {
        ++at_, sum();
        if (!isWord(peek(), u"AND")) fail();
        ++at_, sum();
      } else if (isWord(op, u"IN")) {
        ++at_;
        if (isPunct(peek(), u"(") && isWord(peek(1), u"SELECT")) {
          subquery();
        } else {
          expectPunct(u"(");
          list();
          expectPunct(u")");
        }
      } else if (!negated && isWord(op, u"IS")) {
        ++at_;
        if (isWord(peek(), u"NOT")) ++at_;
        if (!isWord(peek(), u"NULL")) fail();
        ++at_;
      } else {
        if (negated) fail();
        return;
      }
    }
  }
  void sum() {
    product();
    while (isPunct(peek(), u"+") || isPunct(peek(), u"-") || isPunct(peek(), u"&")) ++at_, product();
  }
  void product() {
    signedOperand();
    while (isPunct(peek(), u"*") || isPunct(peek(), u"/") || isWord(peek(), u"MOD")) ++at_, signedOperand();
  }
  void signedOperand() {
    while (isPunct(peek(), u"-") || isPunct(peek(), u"+")) ++at_;
    operand();
  }
  void list() {
    disjunction();
    while (isPunct(peek(), u",")) ++at_, disjunction();
  }
  // From "(" before SELECT to its closing parenthesis.
  void subquery() {
    int depth = 0;
    do {
      if (peek().kind == Tok::End) fail();
      if (isPunct(peek(), u"(")) ++depth;
      if (isPunct(peek(), u")")) --depth;
      ++at_;
    } while (depth > 0);
  }
  void operand() {
    const Token& tok = peek();
    switch (tok.kind) {
      case Tok::Number:
        // The lexer takes a run of digits and points; a number has one point at most.
        if (std::count(tok.text.begin(), tok.text.end(), u'.') > 1) fail();
        ++at_;
        return;
      case Tok::Text:
      case Tok::Date: ++at_; return;
      case Tok::Punct:
        if (tok.text != u"(") fail();
        if (isWord(peek(1), u"SELECT")) return subquery();
        ++at_;
        disjunction();
        expectPunct(u")");
        return;
      case Tok::End: fail();
      case Tok::Word:
        if (isWord(tok, u"EXISTS")) {
          ++at_;
          if (!isPunct(peek(), u"(") || !isWord(peek(1), u"SELECT")) fail();
          return subquery();
        }
        if (isWord(tok, u"NULL") || isWord(tok, u"TRUE") || isWord(tok, u"FALSE")) {
          ++at_;
          return;
        }
        if (isKeyword(tok) || isWord(tok, u"MOD")) fail();
        if (isPunct(peek(1), u"(")) {
          at_ += 2;
          if (isPunct(peek(), u"*") && isPunct(peek(1), u")")) ++at_;
          else if (!isPunct(peek(), u")")) list();
          expectPunct(u")");
          return;
        }
        break;
      case Tok::Name: break;
    }
    ++at_;  // a field, possibly qualified
    if ((isPunct(peek(), u".") || isPunct(peek(), u"!")) && isNameToken(peek(1))) at_ += 2;
  }

  std::u16string_view text_;
  const std::vector<Token>& t_;
  std::size_t at_ = 0;
};

std::string translateTokens(std::u16string_view condition, const std::vector<Token>& tokens, const Resolver& resolve,
                            std::vector<RawValue>* parameters, std::vector<std::size_t>* sources,
                            const Dialect& dialect) {
  if (tokens.size() == 1) syntaxErrorAt(condition, tokens[0]);
  ConditionGrammar(condition, tokens).check();
  ExpressionWriter writer(tokens, condition, resolve, dialect);
  writer.collectParameters(parameters, sources);
  std::size_t at = 0;
  std::string sql = "(";
  sql += writer.expression(at, tokens.size() - 1);
  sql += ')';
  return sql;
}

}  // namespace

std::string translateCondition(std::u16string_view condition, const Resolver& resolve,
                               std::vector<RawValue>* parameters, const Dialect& dialect) {
  return translateTokens(condition, tokenize(condition), resolve, parameters, nullptr, dialect);
}

namespace {

// A value's kind as a parameter's SQL may depend on it: a whole number that
// fits 32 bits, a larger one and a fraction may be cast apart.
std::size_t parameterKind(const RawValue& value) {
  if (const auto* whole = std::get_if<std::int64_t>(&value))
    return *whole >= std::numeric_limits<std::int32_t>::min() && *whole <= std::numeric_limits<std::int32_t>::max()
               ? 1
               : 4;
  return value.index();
}

}  // namespace

// The SQL depends on the tokens' kinds and on the texts of all but the
// literals that became parameters, whose values depend on nothing but
// their own text: a condition that matches the kept one there has its SQL.
const std::string& ConditionShape::translate(std::u16string_view condition, const TableInfo& table,
                                             std::vector<RawValue>& values, const Dialect& dialect) {
  std::vector<Token> tokens = tokenize(condition);
  if (!sql_.empty() && tokens.size() == tokens_.size()) {
    bool same = true;
    for (std::size_t i = 0; i < tokens.size() && same; ++i)
      same = tokens[i].kind == tokens_[i].kind && (literal_[i] || tokens[i].text == tokens_[i].text);
    values.clear();
    for (std::size_t i = 0; i < sources_.size() && same; ++i) {
      const std::size_t at = sources_[i] & ~ExpressionWriter::kPatternSource;
      if (sources_[i] != at) {
        values.emplace_back(dialect.likePattern(tokens[at].text));
        continue;
      }
      auto value = literalParameter(tokens[at]);
      if (value && tokens[at].kind == Tok::Date) value = dialect.dateParameter(std::get<double>(*value));
      // A number the storage would refuse stays in the SQL: a shape of its own.
      if (!value || parameterKind(*value) != kinds_[i]) same = false;
      else values.push_back(std::move(*value));
    }
    if (same) return sql_;
  }
  sql_.clear();
  values.clear();
  sources_.clear();
  std::string sql = translateTokens(condition, tokens, tableResolver(table), &values, &sources_, dialect);
  literal_.assign(tokens.size(), false);
  for (const std::size_t at : sources_) literal_[at & ~ExpressionWriter::kPatternSource] = true;
  kinds_.clear();
  for (const RawValue& value : values) kinds_.push_back(parameterKind(value));
  tokens_ = std::move(tokens);
  sql_ = std::move(sql);
  return sql_;
}

std::vector<SortItem> parseSort(std::u16string_view sort) {
  const auto tokens = tokenize(sort);
  std::vector<SortItem> items;
  std::size_t at = 0;
  while (tokens[at].kind != Tok::End) {
    SortItem item;
    if (tokens[at].kind != Tok::Word && tokens[at].kind != Tok::Name) syntaxErrorAt(sort, tokens[at]);
    item.field = tokens[at++].text;
    if ((isPunct(tokens[at], u".") || isPunct(tokens[at], u"!")) &&
        (tokens[at + 1].kind == Tok::Word || tokens[at + 1].kind == Tok::Name)) {
      item.qualifier = std::move(item.field);
      item.field = tokens[at + 1].text;
      at += 2;
    }
    if (isWord(tokens[at], u"ASC")) ++at;
    else if (isWord(tokens[at], u"DESC")) item.descending = true, ++at;
    items.push_back(std::move(item));
    if (tokens[at].kind == Tok::End) break;
    if (!isPunct(tokens[at], u",")) syntaxErrorAt(sort, tokens[at]);
    ++at;
    if (tokens[at].kind == Tok::End) syntaxErrorAt(sort, tokens[at]);
  }
  if (items.empty()) syntaxErrorAt(sort, tokens[at]);
  return items;
}

Resolver tableResolver(const TableInfo& table, std::u16string_view alias) {
  return [&table, alias = std::u16string(alias)](std::u16string_view qualifier,
                                                  std::u16string_view name) -> std::optional<ColumnRef> {
    const auto ref = [](const FieldInfo& f) { return ColumnRef{f.column, f.type}; };
    if (!qualifier.empty()) {
      for (const FieldInfo& f : table.fields)
        if (equalsIgnoreCase(f.sourceTable, qualifier) && equalsIgnoreCase(f.sourceField, name)) return ref(f);
      if (equalsIgnoreCase(qualifier, table.name) || (!alias.empty() && equalsIgnoreCase(qualifier, alias))) {
        const int at = table.fieldIndex(name);
        if (at >= 0) return ref(table.fields[static_cast<std::size_t>(at)]);
      }
      std::u16string dotted(qualifier);
      dotted += u'.';
      dotted += name;
      const int at = table.fieldIndex(dotted);
      if (at >= 0) return ref(table.fields[static_cast<std::size_t>(at)]);
      return std::nullopt;
    }
    const int at = table.fieldIndex(name);
    if (at >= 0) return ref(table.fields[static_cast<std::size_t>(at)]);
    return std::nullopt;
  };
}

namespace {

// 3251: the record source is not one whose shown records a statement names.
[[noreturn]] void unsupported() { raise(errc::OperationNotSupported); }

}  // namespace

std::u16string shownRecordsDeletion(std::u16string_view source) {
  Lexed lexed = lex(source);
  if (!lexed.ok()) unsupported();
  std::vector<Token>& list = lexed.tokens;
  list.pop_back();  // the end
  if (!list.empty() && isPunct(list.back(), u";")) list.pop_back();
  if (list.empty()) unsupported();
  const auto written = [&](const Token& t) { return source.substr(t.begin, t.end - t.begin); };
  std::u16string statement = u"Delete * From ";
  // A table name alone: every record of the table.
  if (list.size() == 1) {
    if (!isNameToken(list[0])) unsupported();
    statement += written(list[0]);
    return statement;
  }
  if (!isWord(list[0], u"SELECT")) unsupported();
  // The words that make a selection show other rows than whole records of
  // one table, wherever they stand outside parentheses.
  constexpr std::u16string_view refused[] = {u"DISTINCT", u"DISTINCTROW", u"TOP",  u"JOIN",  u"UNION",
                                             u"GROUP",    u"HAVING",      u"INTO", u"PIVOT", u"TRANSFORM"};
  std::size_t from = 0;
  std::size_t where = 0;
  std::size_t order = list.size();
  int depth = 0;
  for (std::size_t i = 1; i < list.size(); ++i) {
    const Token& t = list[i];
    if (isPunct(t, u"(")) ++depth;
    else if (isPunct(t, u")")) --depth;
    if (depth < 0) unsupported();
    if (depth > 0) continue;
    if (isPunct(t, u";")) unsupported();  // a second statement
    for (std::u16string_view word : refused)
      if (isWord(t, word)) unsupported();
    if (isWord(t, u"FROM") && from == 0) from = i;
    else if (isWord(t, u"WHERE") && from != 0 && where == 0) where = i;
    else if (isWord(t, u"ORDER") && from != 0 && order == list.size()) order = i;
  }
  if (depth != 0 || from == 0) unsupported();
  // Exactly one table after FROM, and nothing else before WHERE or ORDER BY.
  const std::size_t tableEnd = where ? where : order;
  if (tableEnd != from + 2 || !isNameToken(list[from + 1])) unsupported();
  if (where && order < where) unsupported();
  statement += written(list[from + 1]);
  if (where) {
    if (where + 1 >= order) unsupported();  // WHERE without a condition
    statement += u" WHERE ";
    statement += source.substr(list[where + 1].begin, list[order - 1].end - list[where + 1].begin);
  }
  return statement;
}

}  // namespace tarnwick::engine
