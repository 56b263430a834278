#include "SqlStatement.h"

#include "SqlExpression.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <algorithm>
#include <cstdlib>

namespace tarnwick::engine {

namespace {

// A statement's tokens, never read past their end: any position beyond the
// closing End token reads as that token, so a statement that stops short
// fails where it stops, whatever the reader skipped.
class Tokens {
 public:
  explicit Tokens(const std::vector<Token>& tokens) noexcept : tokens_(tokens) {}
  const Token& operator[](std::size_t at) const noexcept { return tokens_[std::min(at, tokens_.size() - 1)]; }
  std::size_t size() const noexcept { return tokens_.size(); }

 private:
  const std::vector<Token>& tokens_;
};

// The statement being read: its tokens and the text they come from.
struct Reader {
  ParsedStatement& st;
  Tokens t;

  [[noreturn]] void fail(std::int32_t number, std::size_t at, std::u16string_view detail = {}) const {
    raiseAt(number, detail, st.text, t[at]);
  }
  [[noreturn]] void ddlError(std::size_t at) const { fail(errc::SyntaxErrorDdl, at); }

  std::size_t nameAt(std::size_t& at) const {
    if (!isNameToken(t[at])) ddlError(at);
    return at++;
  }
  // "(name [ASC|DESC], ...)": the tokens of the names.
  std::vector<std::size_t> nameList(std::size_t& at, std::vector<bool>* descending = nullptr) const {
    if (!isPunct(t[at], u"(")) ddlError(at);
    ++at;
    std::vector<std::size_t> names;
    for (;;) {
      names.push_back(nameAt(at));
      bool desc = false;
      if (isWord(t[at], u"ASC")) ++at;
      else if (isWord(t[at], u"DESC")) desc = true, ++at;
      if (descending) descending->push_back(desc);
      if (isPunct(t[at], u")")) break;
      if (!isPunct(t[at], u",")) ddlError(at);
      ++at;
    }
    ++at;
    return names;
  }
  std::vector<std::u16string> textsOf(const std::vector<std::size_t>& at) const {
    std::vector<std::u16string> texts;
    for (std::size_t i : at) texts.push_back(t[i].text);
    return texts;
  }
  // The end of the statement: an optional ";" and nothing after it.
  void end(std::size_t at) const {
    if (isPunct(t[at], u";")) ++at;
    if (t[at].kind != Tok::End) fail(errc::TrailingCharacters, at);
  }
};

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

// One field of CREATE TABLE: name, type, optional size and rules.
FieldInfo fieldDefinition(const Reader& r, std::size_t& at, ParsedStatement& st) {
  const auto& t = r.t;
  FieldInfo f;
  f.name = t[r.nameAt(at)].text;
  f.column = quoteName(std::u16string_view(f.name));
  if (t[at].kind != Tok::Word) r.ddlError(at);
  const DdlType* type = nullptr;
  for (const DdlType& d : kDdlTypes)
    if (equalsIgnoreCase(d.word, t[at].text)) type = &d;
  if (!type) r.ddlError(at);
  ++at;
  f.type = type->type;
  f.size = type->size;
  f.autoIncrement = type->counter;
  if (isPunct(t[at], u"(")) {
    ++at;
    if (t[at].kind != Tok::Number) r.ddlError(at);
    const int size = std::atoi(toUtf8(t[at].text).c_str());
    if (isTextType(f.type) || f.type == FieldType::Binary) {
      if (size < 1 || size > 255) r.ddlError(at);
      f.size = size;
    }
    ++at;
    if (isPunct(t[at], u",")) {  // a scale, taken and not used
      ++at;
      if (t[at].kind != Tok::Number) r.ddlError(at);
      ++at;
    }
    if (!isPunct(t[at], u")")) r.ddlError(at);
    ++at;
  }
  for (;;) {
    if (isWord(t[at], u"NOT") && isWord(t[at + 1], u"NULL")) {
      f.required = true;
      at += 2;
    } else if (isWord(t[at], u"NULL")) {
      ++at;
    } else if (isWord(t[at], u"PRIMARY") && isWord(t[at + 1], u"KEY")) {
      st.primary = {f.name};
      at += 2;
    } else if (isWord(t[at], u"UNIQUE")) {
      st.uniques.push_back({f.name});
      ++at;
    } else if (isWord(t[at], u"CONSTRAINT")) {
      ++at;
      r.nameAt(at);
    } else {
      break;
    }
  }
  return f;
}

void parseCreateTable(const Reader& r, std::size_t at) {
  ParsedStatement& st = r.st;
  const auto& t = r.t;
  st.kind = StatementKind::CreateTable;
  st.table = t[r.nameAt(at)].text;
  if (!isPunct(t[at], u"(")) r.ddlError(at);
  ++at;
  std::vector<std::size_t> primaryAt;
  for (;;) {
    if (isWord(t[at], u"CONSTRAINT") || isWord(t[at], u"PRIMARY") || isWord(t[at], u"UNIQUE")) {
      if (isWord(t[at], u"CONSTRAINT")) {
        ++at;
        r.nameAt(at);
      }
      if (isWord(t[at], u"PRIMARY") && isWord(t[at + 1], u"KEY")) {
        at += 2;
        primaryAt = r.nameList(at);
        st.primary = r.textsOf(primaryAt);
      } else if (isWord(t[at], u"UNIQUE")) {
        ++at;
        st.uniques.push_back(r.textsOf(r.nameList(at)));
      } else {
        r.ddlError(at);
      }
    } else {
      const std::size_t fieldAt = at;
      st.fields.push_back(fieldDefinition(r, at, st));
      if (st.primary.size() == 1 && equalsIgnoreCase(st.primary[0], st.fields.back().name)) primaryAt = {fieldAt};
    }
    if (isPunct(t[at], u")")) break;
    if (!isPunct(t[at], u",")) r.ddlError(at);
    ++at;
  }
  const std::size_t closeAt = at++;
  r.end(at);
  if (st.fields.empty()) r.ddlError(closeAt);
  for (std::size_t i = 0; i < st.primary.size(); ++i) {
    bool known = false;
    for (FieldInfo& f : st.fields)
      if (equalsIgnoreCase(st.primary[i], f.name)) f.required = known = true;
    if (!known) r.ddlError(primaryAt.at(i));
  }
}

void parseCreateIndex(const Reader& r, const TableLookup& catalogue) {
  ParsedStatement& st = r.st;
  const auto& t = r.t;
  std::size_t at = 1;
  if (isWord(t[at], u"UNIQUE")) st.unique = true, ++at;
  if (!isWord(t[at], u"INDEX")) r.fail(errc::InvalidStatement, at);
  ++at;
  st.kind = StatementKind::CreateIndex;
  st.index = t[r.nameAt(at)].text;
  if (!isWord(t[at], u"ON")) r.ddlError(at);
  ++at;
  const std::u16string table = t[r.nameAt(at)].text;
  st.indexFields = r.textsOf(r.nameList(at, &st.descending));
  if (isWord(t[at], u"WITH")) {
    ++at;
    while (t[at].kind == Tok::Word) ++at;
  }
  r.end(at);
  auto info = catalogue(table);
  if (!info) raise(errc::TableNotFound, table);
  st.table = info->name;
  st.sources.push_back({std::move(info), {}});
}

void parseDropTable(const Reader& r, const TableLookup& catalogue) {
  std::size_t at = 2;
  r.st.kind = StatementKind::DropTable;
  r.st.table = r.t[r.nameAt(at)].text;
  if (!catalogue(r.st.table)) raise(errc::TableNotFound, r.st.table);
  r.end(at);
}

void parseDropIndex(const Reader& r, const TableLookup& catalogue) {
  std::size_t at = 2;
  r.st.kind = StatementKind::DropIndex;
  r.st.index = r.t[r.nameAt(at)].text;
  if (!isWord(r.t[at], u"ON")) r.fail(errc::SyntaxErrorFrom, at);
  ++at;
  const std::u16string table = r.t[r.nameAt(at)].text;
  auto info = catalogue(table);
  if (!info) raise(errc::TableNotFound, table);
  r.st.table = info->name;
  r.st.sources.push_back({std::move(info), {}});
  r.end(at);
}


// --- statements that read or change records --------------------------------

// The text between two tokens, as written.
std::u16string between(std::u16string_view text, const Token& first, const Token& last) {
  if (last.begin <= first.begin) return {};
  return std::u16string(text.substr(first.begin, last.begin - first.begin));
}

void addSource(ParsedStatement& st, const TableLookup& catalogue, std::u16string_view name, std::u16string alias) {
  auto info = catalogue(name);
  if (!info) raise(errc::TableNotFound, name);
  st.sources.push_back({std::move(info), std::move(alias)});
}

// The tables of the first FROM clause, with their aliases; 3131 where the
// list breaks off. Returns the FROM's token, 0 when there is none.
std::size_t fromClause(const Reader& r, const TableLookup& catalogue, bool required) {
  const auto& t = r.t;
  std::size_t fromAt = 0;
  for (std::size_t i = 0; i < t.size(); ++i)
    if (isWord(t[i], u"FROM")) {
      fromAt = i;
      break;
    }
  if (fromAt == 0) {
    if (required) r.fail(errc::SyntaxErrorFrom, t.size() - 1);
    return 0;
  }
  std::size_t i = fromAt + 1;
  const auto isJoin = [&](std::size_t k) {
    return isWord(t[k], u"JOIN") || isWord(t[k], u"INNER") || isWord(t[k], u"LEFT") || isWord(t[k], u"RIGHT");
  };
  for (;;) {
    if (!isNameToken(t[i]) || isKeyword(t[i])) r.fail(errc::SyntaxErrorFrom, i);
    const std::u16string name = t[i++].text;
    std::u16string alias;
    if (isWord(t[i], u"AS")) ++i;
    if ((t[i].kind == Tok::Word && !isKeyword(t[i])) || t[i].kind == Tok::Name) alias = t[i++].text;
    addSource(r.st, catalogue, name, alias);
    if (isPunct(t[i], u",")) {
      ++i;
      continue;
    }
    if (isWord(t[i], u"ON")) {
      // A join's condition: written with the rest of the statement.
      while (t[i].kind != Tok::End && !isPunct(t[i], u";") && !isWord(t[i], u"WHERE") && !isWord(t[i], u"ORDER") &&
             !isWord(t[i], u"GROUP") && !isJoin(i))
        ++i;
    }
    if (isJoin(i)) {
      while (!isWord(t[i], u"JOIN")) {
        if (t[i].kind == Tok::End) r.fail(errc::SyntaxErrorFrom, i);
        ++i;
      }
      ++i;
      continue;
    }
    break;
  }
  if (!(t[i].kind == Tok::End || isPunct(t[i], u";") || isWord(t[i], u"WHERE") || isWord(t[i], u"ORDER") ||
        isWord(t[i], u"GROUP") || isWord(t[i], u"HAVING") || isWord(t[i], u"UNION")))
    r.fail(errc::SyntaxErrorFrom, i);
  return fromAt;
}

// The parts of the statement from token `at` on: the tables named after
// FROM, JOIN, INSERT INTO and UPDATE, and the expressions between them.
void splitParts(const Reader& r, std::size_t at) {
  const auto& t = r.t;
  const bool insert = r.st.kind == StatementKind::Insert;
  const auto stop = [](const Token& tok) {
    return isPunct(tok, u";") || isWord(tok, u"FROM") || isWord(tok, u"JOIN") || isWord(tok, u"INTO");
  };
  while (t[at].kind != Tok::End && !isPunct(t[at], u";")) {
    const Token& tok = t[at];
    StatementPart part;
    if ((isWord(tok, u"FROM") || isWord(tok, u"JOIN") || (isWord(tok, u"INTO") && insert) ||
         (isWord(tok, u"UPDATE") && at == 0)) &&
        isNameToken(t[at + 1])) {
      part.kind = StatementPart::Kind::Tables;
      part.word = tok.text;
      ++at;
      for (;;) {
        StatementPart::Table table{t[at].text, {}};
        ++at;
        if (isWord(t[at], u"AS")) ++at;
        if ((t[at].kind == Tok::Word && !isKeyword(t[at]) && !isWord(t[at], u"SET")) || t[at].kind == Tok::Name)
          table.alias = t[at++].text;
        part.tables.push_back(std::move(table));
        if (!isWord(tok, u"FROM") || !isPunct(t[at], u",")) break;
        ++at;
      }
    } else if (const std::size_t end = expressionEnd(r.st.tokens, at, stop); end != at) {
      part.begin = at;
      part.end = end;
      at = end;
    } else {
      // A stop word that is not followed by a table.
      if (isWord(tok, u"FROM") || isWord(tok, u"JOIN")) r.fail(errc::SyntaxErrorFrom, at);
      part.kind = StatementPart::Kind::Word;
      part.word = tok.text;
      ++at;
    }
    r.st.parts.push_back(std::move(part));
  }
}

void leadingWord(ParsedStatement& st, std::u16string word) {
  StatementPart part;
  part.kind = StatementPart::Kind::Word;
  part.word = std::move(word);
  st.parts.push_back(std::move(part));
}

// "Select * From T [Where ...] [Order By ...]" (or "Select T.* ...") over
// one table without an alias: its condition and order, as written.
void singleTableParts(ParsedStatement& st, std::size_t fromAt) {
  const Tokens t(st.tokens);
  if (st.sources.size() != 1 || !st.sources[0].alias.empty()) return;
  if (!((fromAt == 2 && isPunct(t[1], u"*")) ||
        (fromAt == 4 && isNameToken(t[1]) && isPunct(t[2], u".") && isPunct(t[3], u"*"))))
    return;
  const std::size_t i = fromAt + 2;
  std::size_t whereAt = 0, orderAt = 0, endAt = t.size() - 1;
  for (std::size_t k = i; k < t.size(); ++k) {
    if (isPunct(t[k], u";")) endAt = std::min(endAt, k);
    if (isWord(t[k], u"GROUP") || isWord(t[k], u"HAVING") || isWord(t[k], u"UNION") || isWord(t[k], u"SELECT") ||
        isWord(t[k], u"JOIN"))
      return;
  }
  if (isWord(t[i], u"WHERE")) whereAt = i;
  for (std::size_t k = i; k < endAt; ++k)
    if (isWord(t[k], u"ORDER") && isWord(t[k + 1], u"BY")) orderAt = k;
  if (!whereAt && !orderAt && i != endAt) return;
  if (orderAt && !whereAt && orderAt != i) return;
  st.singleTable = true;
  st.table = st.sources[0].info->name;
  if (whereAt) st.where = between(st.text, t[whereAt + 1], t[orderAt ? orderAt : endAt]);
  if (orderAt) st.orderBy = between(st.text, t[orderAt + 2], t[endAt]);
}

void parseSelect(const Reader& r, const TableLookup& catalogue) {
  r.st.kind = StatementKind::Select;
  const std::size_t fromAt = fromClause(r, catalogue, true);
  singleTableParts(r.st, fromAt);
  // DISTINCTROW picks whole records, as the storage's SELECT does anyway.
  std::size_t at = 0;
  if (isWord(r.t[1], u"DISTINCTROW")) {
    leadingWord(r.st, u"SELECT");
    at = 2;
  }
  splitParts(r, at);
}

// "Delete * From T", "Delete T.* From T" and "Delete From T".
void parseDelete(const Reader& r, const TableLookup& catalogue) {
  r.st.kind = StatementKind::Delete;
  const std::size_t fromAt = fromClause(r, catalogue, true);
  leadingWord(r.st, u"DELETE");
  splitParts(r, fromAt);
}

void parseInsert(const Reader& r, const TableLookup& catalogue) {
  r.st.kind = StatementKind::Insert;
  fromClause(r, catalogue, false);
  if (!isWord(r.t[1], u"INTO")) r.fail(errc::SyntaxError, 1, r.st.text);
  std::size_t at = 2;
  addSource(r.st, catalogue, r.t[r.nameAt(at)].text, u"");
  splitParts(r, 0);
}

void parseUpdate(const Reader& r, const TableLookup& catalogue) {
  r.st.kind = StatementKind::Update;
  fromClause(r, catalogue, false);
  std::size_t at = 1;
  addSource(r.st, catalogue, r.t[r.nameAt(at)].text, u"");
  splitParts(r, 0);
}

}  // namespace

ParsedStatement parseStatement(std::u16string_view text, const TableLookup& catalogue) {
  ParsedStatement st;
  st.text = std::u16string(text);
  st.tokens = tokenize(st.text);
  const Reader r{st, Tokens(st.tokens)};
  const Tokens& t = r.t;
  // One statement per text: a ";" may only close it.
  for (std::size_t i = 0; i + 1 < t.size(); ++i)
    if (isPunct(t[i], u";") && t[i + 1].kind != Tok::End) r.fail(errc::TrailingCharacters, i + 1);

  if (isWord(t[0], u"CREATE")) {
    if (isWord(t[1], u"TABLE")) parseCreateTable(r, 2);
    else parseCreateIndex(r, catalogue);
  } else if (isWord(t[0], u"DROP")) {
    if (isWord(t[1], u"TABLE")) parseDropTable(r, catalogue);
    else if (isWord(t[1], u"INDEX")) parseDropIndex(r, catalogue);
    else r.fail(errc::InvalidStatement, 1);
  } else if (isWord(t[0], u"SELECT")) {
    parseSelect(r, catalogue);
  } else if (isWord(t[0], u"DELETE")) {
    parseDelete(r, catalogue);
  } else if (isWord(t[0], u"INSERT")) {
    parseInsert(r, catalogue);
  } else if (isWord(t[0], u"UPDATE")) {
    parseUpdate(r, catalogue);
  } else {
    r.fail(errc::InvalidStatement, 0);
  }
  return st;
}

ParsedStatement parseStatement(std::u16string_view text, SchemaCatalogue& catalogue) {
  return parseStatement(text, [&catalogue](std::u16string_view name) { return catalogue.table(name); });
}

}  // namespace tarnwick::engine
