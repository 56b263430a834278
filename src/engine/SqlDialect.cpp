#include "SqlDialect.h"

#include "Functions.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <cstdio>

namespace tarnwick::engine {

namespace {

// ---------------------------------------------------------------------------
// Tokens

enum class Tok { Word, Name, Text, Number, Date, Punct, End };

struct Token {
  Tok kind;
  std::u16string text;  // words and names as written; texts unquoted
  std::size_t begin = 0;
  std::size_t end = 0;
};

bool isWordStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c >= 0x80;
}
bool isWordPart(char16_t c) { return isWordStart(c) || (c >= u'0' && c <= u'9'); }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Raised for any text the tokenizer or rewriter cannot read.
[[noreturn]] void syntaxError(std::u16string_view text) { raise(errc::SyntaxError, text); }

std::vector<Token> tokenize(std::u16string_view s, std::u16string_view whole) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
      ++i;
      continue;
    }
    const std::size_t begin = i;
    if (c == u'[') {
      const auto close = s.find(u']', i + 1);
      if (close == std::u16string_view::npos || close == i + 1) syntaxError(whole);
      out.push_back({Tok::Name, std::u16string(s.substr(i + 1, close - i - 1)), begin, close + 1});
      i = close + 1;
    } else if (c == u'\'' || c == u'"') {
      std::u16string text;
      std::size_t k = i + 1;
      for (;; ++k) {
        if (k >= s.size()) syntaxError(whole);
        if (s[k] == c) {
          if (k + 1 < s.size() && s[k + 1] == c) {
            text += c;
            ++k;
            continue;
          }
          break;
        }
        text += s[k];
      }
      out.push_back({Tok::Text, std::move(text), begin, k + 1});
      i = k + 1;
    } else if (c == u'#') {
      const auto close = s.find(u'#', i + 1);
      if (close == std::u16string_view::npos) syntaxError(whole);
      out.push_back({Tok::Date, std::u16string(s.substr(i + 1, close - i - 1)), begin, close + 1});
      i = close + 1;
    } else if (isDigit(c) || (c == u'.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
      std::size_t k = i;
      while (k < s.size() && (isDigit(s[k]) || s[k] == u'.')) ++k;
      if (k < s.size() && (s[k] == u'e' || s[k] == u'E')) {
        std::size_t e = k + 1;
        if (e < s.size() && (s[e] == u'+' || s[e] == u'-')) ++e;
        if (e < s.size() && isDigit(s[e])) {
          k = e;
          while (k < s.size() && isDigit(s[k])) ++k;
        }
      }
      if (k < s.size() && isWordStart(s[k])) syntaxError(whole);
      out.push_back({Tok::Number, std::u16string(s.substr(i, k - i)), begin, k});
      i = k;
    } else if (isWordStart(c)) {
      std::size_t k = i;
      while (k < s.size() && isWordPart(s[k])) ++k;
      out.push_back({Tok::Word, std::u16string(s.substr(i, k - i)), begin, k});
      i = k;
    } else {
      std::u16string op(1, c);
      if ((c == u'<' || c == u'>') && i + 1 < s.size() && (s[i + 1] == u'=' || (c == u'<' && s[i + 1] == u'>')))
        op += s[i + 1];
      if (std::u16string_view(u"<>=(),.*+-/&;!\\^").find(c) == std::u16string_view::npos) syntaxError(whole);
      out.push_back({Tok::Punct, op, begin, i + op.size()});
      i += op.size();
    }
  }
  out.push_back({Tok::End, u"", s.size(), s.size()});
  return out;
}

bool isWord(const Token& t, std::u16string_view word) { return t.kind == Tok::Word && equalsIgnoreCase(t.text, word); }
bool isPunct(const Token& t, std::u16string_view p) { return t.kind == Tok::Punct && t.text == p; }
bool isComparison(const Token& t) {
  return t.kind == Tok::Punct && (t.text == u"=" || t.text == u"<" || t.text == u">" || t.text == u"<=" ||
                                  t.text == u">=" || t.text == u"<>");
}

// Words that keep their meaning in the storage's SQL.
constexpr std::u16string_view kKeywords[] = {
    u"AND", u"OR", u"NOT", u"LIKE", u"BETWEEN", u"IN", u"IS", u"NULL", u"SELECT", u"DISTINCT", u"FROM",
    u"WHERE", u"ORDER", u"BY", u"ASC", u"DESC", u"GROUP", u"HAVING", u"AS", u"INSERT", u"INTO", u"VALUES",
    u"UPDATE", u"SET", u"DELETE", u"INNER", u"LEFT", u"RIGHT", u"OUTER", u"JOIN", u"ON", u"EXISTS", u"UNION",
    u"ALL"};

bool isKeyword(const Token& t) {
  if (t.kind != Tok::Word) return false;
  for (auto k : kKeywords)
    if (equalsIgnoreCase(t.text, k)) return true;
  return false;
}

struct FunctionName {
  std::u16string_view dialect;
  std::string_view storage;
};
constexpr FunctionName kFunctions[] = {
    {u"DateValue", "tw_datevalue"}, {u"Date", "tw_today"}, {u"Now", "tw_now"},   {u"UCase", "upper"},
    {u"LCase", "lower"},           {u"Len", "length"},    {u"Trim", "trim"},    {u"LTrim", "ltrim"},
    {u"RTrim", "rtrim"},           {u"Mid", "substr"},    {u"Abs", "abs"},      {u"Nz", "ifnull"},
    {u"Count", "count"},           {u"Sum", "sum"},       {u"Min", "min"},      {u"Max", "max"},
    {u"Avg", "avg"},               {u"CDate", "tw_date"}, {u"Round", "round"},
};

std::string textLiteral(std::u16string_view text) {
  std::string out = "'";
  for (char c : toUtf8(text)) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string numberLiteral(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

bool isNumberType(FieldType t) { return !isTextType(t) && t != FieldType::Date && t != FieldType::Binary && t != FieldType::LongBinary; }

// What an operand of a comparison is, for the type test of criteria.
enum class Operand { Other, Text, NumberField };

// The rewriter of an expression running from token `at` to the first token
// at nesting depth 0 that `stop` accepts (or the end).
class Rewriter {
 public:
  Rewriter(const std::vector<Token>& tokens, std::u16string_view whole, const Resolver& resolve)
      : t_(tokens), whole_(whole), resolve_(resolve) {}

  std::string expression(std::size_t& at, const std::function<bool(const Token&)>& stop) {
    std::string out;
    int depth = 0;
    Operand left = Operand::Other;
    bool afterComparison = false;
    const Token* previous = nullptr;
    // Whether this piece is a statement's select list (up to its FROM).
    const bool selectList = isWord(t_[at], u"SELECT") || (at > 0 && isWord(t_[at - 1], u"DISTINCTROW"));
    const auto emit = [&](std::string_view piece) {
      if (!out.empty()) out += ' ';
      out += piece;
    };
    while (t_[at].kind != Tok::End) {
      const Token& tok = t_[at];
      if (depth == 0 && stop && stop(tok)) break;
      Operand operand = Operand::Other;
      bool isOperand = false;
      if (tok.kind == Tok::Punct) {
        if (tok.text == u";") syntaxError(whole_);
        if (tok.text == u"(") ++depth;
        if (tok.text == u")" && --depth < 0) syntaxError(whole_);
        if (isComparison(tok)) {
          if (previous && (isComparison(*previous) || isPunct(*previous, u"("))) syntaxError(whole_);
          emit(toUtf8(tok.text));
          afterComparison = true;
          lastWasOperand_ = false;
          previous = &tok;
          ++at;
          continue;
        }
        lastWasOperand_ = false;
        if (tok.text == u"&") emit("||");
        else if (tok.text == u"!" || tok.text == u"\\" || tok.text == u"^" || tok.text == u".") syntaxError(whole_);
        else emit(toUtf8(tok.text));
        ++at;
        previous = &tok;
        if (tok.text != u"(" && tok.text != u")") afterComparison = false;
        continue;
      }
      if (tok.kind == Tok::Text) {
        emit(textLiteral(tok.text));
        operand = Operand::Text;
        isOperand = true;
        ++at;
      } else if (tok.kind == Tok::Number) {
        emit(toUtf8(tok.text));
        isOperand = true;
        ++at;
      } else if (tok.kind == Tok::Date) {
        const auto date = tryParseDate(tok.text, Locale::enUS());
        if (!date) syntaxError(whole_);
        emit(numberLiteral(*date));
        isOperand = true;
        ++at;
      } else if (isWord(tok, u"True") || isWord(tok, u"False")) {
        emit(isWord(tok, u"True") ? "-1" : "0");
        isOperand = true;
        ++at;
      } else if (isWord(tok, u"Mod")) {
        emit("%");
        ++at;
      } else if (isWord(tok, u"Xor") || isWord(tok, u"Eqv") || isWord(tok, u"Imp")) {
        syntaxError(whole_);
      } else if (isKeyword(tok)) {
        emit(toUtf8(tok.text));
        ++at;
      } else if (tok.kind == Tok::Word && isPunct(t_[at + 1], u"(")) {
        emit(functionName(tok));
        ++at;
      } else {
        // A field reference, possibly qualified.
        std::u16string qualifier;
        std::u16string name = tok.text;
        ++at;
        if ((isPunct(t_[at], u".") || isPunct(t_[at], u"!")) &&
            (t_[at + 1].kind == Tok::Word || t_[at + 1].kind == Tok::Name || isPunct(t_[at + 1], u"*"))) {
          qualifier = name;
          if (isPunct(t_[at + 1], u"*")) {
            emit(quoteName(std::u16string_view(qualifier)) + ".*");
            lastWasOperand_ = true;
            at += 2;
            previous = &t_[at - 1];
            continue;
          }
          name = t_[at + 1].text;
          at += 2;
        }
        const auto column = resolve_ ? resolve_(qualifier, name) : std::nullopt;
        if (column) {
          // A date column compares as a date whatever form it is stored in;
          // but a column that stands alone as an item of a select list is
          // selected as it is, so that it keeps its name and its type.
          const bool listItem = selectList && depth == 0 &&
                                (previous ? (isWord(*previous, u"SELECT") || isWord(*previous, u"DISTINCT") ||
                                             isWord(*previous, u"ALL") || isPunct(*previous, u","))
                                          : true) &&
                                (isPunct(t_[at], u",") || isWord(t_[at], u"FROM") || isWord(t_[at], u"AS") ||
                                 t_[at].kind == Tok::End);
          emit(column->type == FieldType::Date && !listItem ? "tw_date(" + column->sql + ")" : column->sql);
          if (isNumberType(column->type)) operand = Operand::NumberField;
        } else {
          emit(qualifier.empty() ? quoteName(std::u16string_view(name))
                                 : quoteName(std::u16string_view(qualifier)) + "." + quoteName(std::u16string_view(name)));
        }
        isOperand = true;
      }
      if (isOperand) {
        if (afterComparison && ((left == Operand::Text && operand == Operand::NumberField) ||
                                (left == Operand::NumberField && operand == Operand::Text)))
          raise(errc::CriteriaMismatch);
        if (previous && !afterComparison && lastWasOperand_) syntaxError(whole_);
        left = operand;
        afterComparison = false;
      }
      lastWasOperand_ = isOperand;
      previous = &t_[at - 1];
      if (!isOperand) left = Operand::Other;
    }
    if (depth != 0) syntaxError(whole_);
    return out;
  }

 private:
  std::string functionName(const Token& tok) {
    for (const FunctionName& f : kFunctions)
      if (equalsIgnoreCase(f.dialect, tok.text)) return std::string(f.storage);
    raise(errc::UndefinedFunction, tok.text);
  }

  const std::vector<Token>& t_;
  std::u16string_view whole_;
  const Resolver& resolve_;
  bool lastWasOperand_ = false;
};

// The text between two tokens, as written.
std::u16string between(std::u16string_view text, const Token& first, const Token& last) {
  if (last.begin <= first.begin) return {};
  return std::u16string(text.substr(first.begin, last.begin - first.begin));
}

}  // namespace

// ---------------------------------------------------------------------------

std::string translateCondition(std::u16string_view condition, const Resolver& resolve) {
  const auto tokens = tokenize(condition, condition);
  if (tokens.size() == 1) syntaxError(condition);
  Rewriter rewriter(tokens, condition, resolve);
  std::size_t at = 0;
  std::string sql = rewriter.expression(at, {});
  return "(" + sql + ")";
}

std::vector<SortItem> parseSort(std::u16string_view sort) {
  const auto tokens = tokenize(sort, sort);
  std::vector<SortItem> items;
  std::size_t at = 0;
  while (tokens[at].kind != Tok::End) {
    SortItem item;
    if (tokens[at].kind != Tok::Word && tokens[at].kind != Tok::Name) syntaxError(sort);
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
    if (!isPunct(tokens[at], u",")) syntaxError(sort);
    ++at;
    if (tokens[at].kind == Tok::End) syntaxError(sort);
  }
  if (items.empty()) syntaxError(sort);
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

// ---------------------------------------------------------------------------
// Statements

namespace {

struct SourceTable {
  std::shared_ptr<const TableInfo> info;
  std::u16string alias;
};

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

struct DdlType {
  std::u16string_view word;
  FieldType type;
  std::int32_t size;
  bool counter;
};
constexpr DdlType kDdlTypes[] = {
    {u"BIT", FieldType::Boolean, 1, false},       {u"YESNO", FieldType::Boolean, 1, false},
    {u"LOGICAL", FieldType::Boolean, 1, false},   {u"BOOLEAN", FieldType::Boolean, 1, false},
    {u"BYTE", FieldType::Byte, 1, false},         {u"TINYINT", FieldType::Byte, 1, false},
    {u"SHORT", FieldType::Integer, 2, false},     {u"SMALLINT", FieldType::Integer, 2, false},
    {u"LONG", FieldType::Long, 4, false},         {u"INT", FieldType::Long, 4, false},
    {u"INTEGER", FieldType::Long, 4, false},      {u"COUNTER", FieldType::Long, 4, true},
    {u"AUTOINCREMENT", FieldType::Long, 4, true}, {u"CURRENCY", FieldType::Currency, 8, false},
    {u"MONEY", FieldType::Currency, 8, false},    {u"SINGLE", FieldType::Single, 4, false},
    {u"REAL", FieldType::Single, 4, false},       {u"DOUBLE", FieldType::Double, 8, false},
    {u"FLOAT", FieldType::Double, 8, false},      {u"NUMBER", FieldType::Double, 8, false},
    {u"DATETIME", FieldType::Date, 8, false},     {u"DATE", FieldType::Date, 8, false},
    {u"TIME", FieldType::Date, 8, false},         {u"TIMESTAMP", FieldType::Date, 8, false},
    {u"TEXT", FieldType::Text, 255, false},       {u"VARCHAR", FieldType::Text, 255, false},
    {u"STRING", FieldType::Text, 255, false},     {u"CHAR", FieldType::Char, 255, false},
    {u"MEMO", FieldType::Memo, 0, false},         {u"LONGTEXT", FieldType::Memo, 0, false},
    {u"BINARY", FieldType::Binary, 255, false},   {u"LONGBINARY", FieldType::LongBinary, 0, false},
    {u"BIGINT", FieldType::BigInt, 8, false},     {u"DECIMAL", FieldType::Decimal, 16, false},
    {u"NUMERIC", FieldType::Numeric, 16, false},
};

[[noreturn]] void ddlError() { raise(errc::SyntaxErrorDdl); }

std::u16string nameAt(const std::vector<Token>& t, std::size_t& at) {
  if (t[at].kind != Tok::Word && t[at].kind != Tok::Name) ddlError();
  return t[at++].text;
}

std::vector<std::u16string> nameList(const std::vector<Token>& t, std::size_t& at, std::vector<bool>* descending = nullptr) {
  if (!isPunct(t[at], u"(")) ddlError();
  ++at;
  std::vector<std::u16string> names;
  for (;;) {
    names.push_back(nameAt(t, at));
    bool desc = false;
    if (isWord(t[at], u"ASC")) ++at;
    else if (isWord(t[at], u"DESC")) desc = true, ++at;
    if (descending) descending->push_back(desc);
    if (isPunct(t[at], u")")) break;
    if (!isPunct(t[at], u",")) ddlError();
    ++at;
  }
  ++at;
  return names;
}

std::string quotedList(const std::vector<std::u16string>& names, const std::vector<bool>* descending = nullptr) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i) out += ", ";
    out += quoteName(std::u16string_view(names[i]));
    if (descending && (*descending)[i]) out += " DESC";
  }
  return out;
}

TranslatedStatement createTable(const std::vector<Token>& t, std::size_t at) {
  TranslatedStatement result;
  result.kind = TranslatedStatement::Kind::CreateTable;
  result.table = nameAt(t, at);
  if (!isPunct(t[at], u"(")) ddlError();
  ++at;
  std::vector<std::u16string> primary;
  std::vector<std::vector<std::u16string>> uniques;
  for (;;) {
    if (isWord(t[at], u"CONSTRAINT") || isWord(t[at], u"PRIMARY") || isWord(t[at], u"UNIQUE")) {
      if (isWord(t[at], u"CONSTRAINT")) at += 2;
      if (isWord(t[at], u"PRIMARY") && isWord(t[at + 1], u"KEY")) {
        at += 2;
        primary = nameList(t, at);
      } else if (isWord(t[at], u"UNIQUE")) {
        ++at;
        uniques.push_back(nameList(t, at));
      } else {
        ddlError();
      }
    } else {
      FieldInfo f;
      f.name = nameAt(t, at);
      f.column = quoteName(std::u16string_view(f.name));
      if (t[at].kind != Tok::Word) ddlError();
      const DdlType* type = nullptr;
      for (const DdlType& d : kDdlTypes)
        if (equalsIgnoreCase(d.word, t[at].text)) type = &d;
      if (!type) ddlError();
      ++at;
      f.type = type->type;
      f.size = type->size;
      f.autoIncrement = type->counter;
      if (isPunct(t[at], u"(")) {
        ++at;
        if (t[at].kind != Tok::Number) ddlError();
        const int size = std::atoi(toUtf8(t[at].text).c_str());
        if (isTextType(f.type) || f.type == FieldType::Binary) {
          if (size < 1 || size > 255) ddlError();
          f.size = size;
        }
        ++at;
        if (isPunct(t[at], u",")) at += 2;
        if (!isPunct(t[at], u")")) ddlError();
        ++at;
      }
      for (;;) {
        if (isWord(t[at], u"NOT") && isWord(t[at + 1], u"NULL")) {
          f.required = true;
          at += 2;
        } else if (isWord(t[at], u"NULL")) {
          ++at;
        } else if (isWord(t[at], u"PRIMARY") && isWord(t[at + 1], u"KEY")) {
          primary = {f.name};
          at += 2;
        } else if (isWord(t[at], u"UNIQUE")) {
          uniques.push_back({f.name});
          ++at;
        } else if (isWord(t[at], u"CONSTRAINT")) {
          at += 2;
        } else {
          break;
        }
      }
      result.fields.push_back(std::move(f));
    }
    if (isPunct(t[at], u")")) break;
    if (!isPunct(t[at], u",")) ddlError();
    ++at;
  }
  ++at;
  if (isPunct(t[at], u";")) ++at;
  if (t[at].kind != Tok::End) raise(errc::TrailingCharacters);
  if (result.fields.empty()) ddlError();

  std::string sql = "CREATE TABLE " + quoteName(std::u16string_view(result.table)) + " (";
  const bool rowidKey = primary.size() == 1;
  for (std::size_t i = 0; i < result.fields.size(); ++i) {
    FieldInfo& f = result.fields[i];
    for (const auto& p : primary)
      if (equalsIgnoreCase(p, f.name)) f.required = true;
    if (i) sql += ", ";
    sql += f.column;
    // A counter that is the whole primary key is the row's own number.
    if (rowidKey && f.autoIncrement && equalsIgnoreCase(primary[0], f.name)) {
      sql += " INTEGER PRIMARY KEY AUTOINCREMENT";
      continue;
    }
    if (rowidKey && f.type == FieldType::Long && equalsIgnoreCase(primary[0], f.name)) {
      sql += " INTEGER PRIMARY KEY NOT NULL";
      continue;
    }
    sql += ' ';
    sql += declarationOf(f);
    if (f.required) sql += " NOT NULL";
  }
  const bool primaryInline = rowidKey && [&] {
    for (const FieldInfo& f : result.fields)
      if (equalsIgnoreCase(primary[0], f.name)) return f.type == FieldType::Long;
    return false;
  }();
  if (!primary.empty() && !primaryInline) sql += ", PRIMARY KEY (" + quotedList(primary) + ")";
  for (const auto& u : uniques) sql += ", UNIQUE (" + quotedList(u) + ")";
  sql += ")";
  for (const auto& p : primary) {
    bool known = false;
    for (const FieldInfo& f : result.fields) known = known || equalsIgnoreCase(p, f.name);
    if (!known) ddlError();
  }
  result.sql = std::move(sql);
  return result;
}

}  // namespace

TranslatedStatement translateStatement(std::u16string_view text, SchemaCatalogue& catalogue) {
  const auto tokens = tokenize(text, text);
  // One statement per text: a ";" may only close it.
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (isPunct(tokens[i], u";") && tokens[i + 1].kind != Tok::End) raise(errc::TrailingCharacters);
  }
  const Token& first = tokens[0];
  TranslatedStatement result;
  std::size_t at = 0;

  if (isWord(first, u"CREATE")) {
    if (isWord(tokens[1], u"TABLE")) return createTable(tokens, 2);
    at = 1;
    bool unique = false;
    if (isWord(tokens[at], u"UNIQUE")) unique = true, ++at;
    if (!isWord(tokens[at], u"INDEX")) raise(errc::InvalidStatement);
    ++at;
    const std::u16string index = nameAt(tokens, at);
    if (!isWord(tokens[at], u"ON")) ddlError();
    ++at;
    const std::u16string table = nameAt(tokens, at);
    std::vector<bool> descending;
    const auto fields = nameList(tokens, at, &descending);
    if (isWord(tokens[at], u"WITH")) {
      ++at;
      while (tokens[at].kind == Tok::Word) ++at;
    }
    if (isPunct(tokens[at], u";")) ++at;
    if (tokens[at].kind != Tok::End) raise(errc::TrailingCharacters);
    const auto info = catalogue.table(table);
    if (!info) raise(errc::TableNotFound, table);
    std::u16string stored = info->name + u"." + index;
    result.kind = TranslatedStatement::Kind::Index;
    result.sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + quoteName(std::u16string_view(stored)) +
                 " ON " + info->quoted + " (" + quotedList(fields, &descending) + ")";
    return result;
  }
  if (isWord(first, u"DROP")) {
    at = 2;
    if (isWord(tokens[1], u"TABLE")) {
      result.kind = TranslatedStatement::Kind::DropTable;
      result.table = nameAt(tokens, at);
      if (!catalogue.table(result.table)) raise(errc::TableNotFound, result.table);
      result.sql = "DROP TABLE " + quoteName(std::u16string_view(result.table));
    } else if (isWord(tokens[1], u"INDEX")) {
      const std::u16string index = nameAt(tokens, at);
      if (!isWord(tokens[at], u"ON")) raise(errc::SyntaxErrorFrom);
      ++at;
      const std::u16string table = nameAt(tokens, at);
      const auto info = catalogue.table(table);
      if (!info) raise(errc::TableNotFound, table);
      result.kind = TranslatedStatement::Kind::Index;
      result.sql = "DROP INDEX " + quoteName(std::u16string_view(info->name + u"." + index));
    } else {
      raise(errc::InvalidStatement);
    }
    if (isPunct(tokens[at], u";")) ++at;
    if (tokens[at].kind != Tok::End) raise(errc::TrailingCharacters);
    return result;
  }

  const bool isSelect = isWord(first, u"SELECT");
  const bool isDelete = isWord(first, u"DELETE");
  const bool isInsert = isWord(first, u"INSERT");
  const bool isUpdate = isWord(first, u"UPDATE");
  if (!isSelect && !isDelete && !isInsert && !isUpdate) raise(errc::InvalidStatement);
  result.kind = isSelect ? TranslatedStatement::Kind::Select : TranslatedStatement::Kind::Action;

  // The tables the statement reads or changes.
  std::vector<SourceTable> sources;
  const auto addSource = [&](std::u16string_view name, std::u16string alias) {
    auto info = catalogue.table(name);
    if (!info) raise(errc::TableNotFound, name);
    sources.push_back({std::move(info), std::move(alias)});
  };
  std::size_t fromAt = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i)
    if (isWord(tokens[i], u"FROM")) {
      fromAt = i;
      break;
    }
  if ((isSelect || isDelete) && fromAt == 0) raise(errc::SyntaxErrorFrom);
  if (fromAt) {
    std::size_t i = fromAt + 1;
    const auto isJoin = [&](std::size_t k) {
      return isWord(tokens[k], u"JOIN") || isWord(tokens[k], u"INNER") || isWord(tokens[k], u"LEFT") ||
             isWord(tokens[k], u"RIGHT");
    };
    for (;;) {
      if ((tokens[i].kind != Tok::Word && tokens[i].kind != Tok::Name) || isKeyword(tokens[i]))
        raise(errc::SyntaxErrorFrom);
      const std::u16string name = tokens[i++].text;
      std::u16string alias;
      if (isWord(tokens[i], u"AS")) ++i;
      if ((tokens[i].kind == Tok::Word && !isKeyword(tokens[i])) || tokens[i].kind == Tok::Name) alias = tokens[i++].text;
      addSource(name, alias);
      if (isPunct(tokens[i], u",")) {
        ++i;
        continue;
      }
      if (isWord(tokens[i], u"ON")) {
        // A join's condition: rewritten with the rest below.
        while (tokens[i].kind != Tok::End && !isPunct(tokens[i], u";") && !isWord(tokens[i], u"WHERE") &&
               !isWord(tokens[i], u"ORDER") && !isWord(tokens[i], u"GROUP") && !isJoin(i))
          ++i;
      }
      if (isJoin(i)) {
        while (!isWord(tokens[i], u"JOIN")) {
          if (tokens[i].kind == Tok::End) raise(errc::SyntaxErrorFrom);
          ++i;
        }
        ++i;
        continue;
      }
      break;
    }
    if (!(tokens[i].kind == Tok::End || isPunct(tokens[i], u";") || isWord(tokens[i], u"WHERE") ||
          isWord(tokens[i], u"ORDER") || isWord(tokens[i], u"GROUP") || isWord(tokens[i], u"HAVING") ||
          isWord(tokens[i], u"UNION")))
      raise(errc::SyntaxErrorFrom);
  }
  if (isUpdate) {
    at = 1;
    addSource(nameAt(tokens, at), u"");
  }
  if (isInsert) {
    if (!isWord(tokens[1], u"INTO")) syntaxError(text);
    at = 2;
    addSource(nameAt(tokens, at), u"");
  }

  // "Select * From T [Where ...] [Order By ...]" over one table.
  if (isSelect && sources.size() == 1 && fromAt &&
      ((fromAt == 2 && isPunct(tokens[1], u"*")) ||
       (fromAt == 4 && (tokens[1].kind == Tok::Word || tokens[1].kind == Tok::Name) && isPunct(tokens[2], u".") &&
        isPunct(tokens[3], u"*")))) {
    std::size_t i = fromAt + 2;
    if (!sources[0].alias.empty()) ++i;
    std::size_t whereAt = 0, orderAt = 0, endAt = tokens.size() - 1;
    bool simple = true;
    for (std::size_t k = i; k < tokens.size(); ++k) {
      if (isPunct(tokens[k], u";")) endAt = std::min(endAt, k);
      if (isWord(tokens[k], u"GROUP") || isWord(tokens[k], u"HAVING") || isWord(tokens[k], u"UNION") ||
          isWord(tokens[k], u"SELECT") || isWord(tokens[k], u"JOIN"))
        simple = false;
    }
    if (isWord(tokens[i], u"WHERE")) whereAt = i;
    for (std::size_t k = i; k < endAt; ++k)
      if (isWord(tokens[k], u"ORDER") && isWord(tokens[k + 1], u"BY")) orderAt = k;
    if (!whereAt && !orderAt && i != endAt) simple = false;
    if (orderAt && !whereAt && orderAt != i) simple = false;
    if (simple && sources[0].alias.empty()) {
      result.singleTable = true;
      result.table = sources[0].info->name;
      if (whereAt) result.where = between(text, tokens[whereAt + 1], tokens[orderAt ? orderAt : endAt]);
      if (orderAt) result.orderBy = between(text, tokens[orderAt + 2], tokens[endAt]);
    }
  }

  // The rewrite: names, literals and functions, word by word.
  // Statements that change one table name its columns unqualified.
  const Resolver resolve = sourcesResolver(sources, isSelect);
  Rewriter rewriter(tokens, text, resolve);
  std::string sql;
  at = 0;
  if (isDelete) {
    // "Delete * From T", "Delete T.* From T" and "Delete From T".
    sql = "DELETE";
    at = fromAt;
  } else if (isSelect && isWord(tokens[1], u"DISTINCTROW")) {
    sql = "SELECT";
    at = 2;
  }
  while (tokens[at].kind != Tok::End && !isPunct(tokens[at], u";")) {
    // A name in the FROM list or after INSERT INTO/UPDATE is a table.
    const Token& tok = tokens[at];
    if ((isWord(tok, u"FROM") || isWord(tok, u"JOIN") || (isWord(tok, u"INTO") && isInsert) ||
         (isWord(tok, u"UPDATE") && at == 0)) &&
        (tokens[at + 1].kind == Tok::Word || tokens[at + 1].kind == Tok::Name)) {
      sql += sql.empty() ? "" : " ";
      sql += toUtf8(tok.text);
      ++at;
      for (;;) {
        sql += ' ';
        sql += quoteName(std::u16string_view(tokens[at].text));
        ++at;
        if (isWord(tokens[at], u"AS")) ++at;
        if ((tokens[at].kind == Tok::Word && !isKeyword(tokens[at]) && !isWord(tokens[at], u"SET")) ||
            tokens[at].kind == Tok::Name) {
          sql += " AS " + quoteName(std::u16string_view(tokens[at].text));
          ++at;
        }
        if (!isWord(tok, u"FROM") || !isPunct(tokens[at], u",")) break;
        sql += ',';
        ++at;
      }
      continue;
    }
    const auto stop = [](const Token& t) {
      return (t.kind == Tok::Punct && t.text == u";") || isWord(t, u"FROM") || isWord(t, u"JOIN") ||
             isWord(t, u"INTO");
    };
    std::string piece = rewriter.expression(at, stop);
    if (piece.empty()) {
      // A stop word that is not followed by a table.
      if (isWord(tokens[at], u"FROM") || isWord(tokens[at], u"JOIN")) raise(errc::SyntaxErrorFrom);
      piece = toUtf8(tokens[at].text);
      ++at;
    }
    if (!sql.empty()) sql += ' ';
    sql += piece;
  }
  result.sql = std::move(sql);
  return result;
}

}  // namespace tarnwick::engine
