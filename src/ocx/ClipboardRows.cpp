#include "ClipboardRows.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <cmath>
#include <vector>

namespace tarnwick::ocx {

namespace {

void appendDigits(std::u16string& out, int value, int width) {
  std::u16string digits;
  for (; value > 0 || width > 0; value /= 10, --width) digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
  out += digits;
}

void appendDate(std::u16string& out, DATE serial) {
  const DateParts d = splitDate(serial);
  appendDigits(out, d.year, 4);
  out += u'-';
  appendDigits(out, d.month, 2);
  out += u'-';
  appendDigits(out, d.day, 2);
  if (d.hour == 0 && d.minute == 0 && d.second == 0) return;
  out += u' ';
  appendDigits(out, d.hour, 2);
  out += u':';
  appendDigits(out, d.minute, 2);
  out += u':';
  appendDigits(out, d.second, 2);
}

}  // namespace

void appendCopyText(std::u16string& out, const Variant& value) {
  Variant followed;
  const Variant* p = &value;
  if (value.type() & VT_BYREF) p = &(followed = value.value());
  const Variant& plain = *p;
  switch (plain.type()) {
    case VT_NULL:
    case VT_EMPTY: return;
    case VT_DATE: return appendDate(out, plain.VARIANT::date);
    case VT_BSTR: {
      const std::u16string_view text = plain.text();
      if (isNumericText(text)) out += numberToText(parseNumber(text));
      else if (const auto date = tryParseDate(text)) appendDate(out, *date);
      else out += text;
      return;
    }
    default:
      if (isNumeric(plain)) out += numberToText(toDouble(plain));
      else out += toText(plain);
  }
}

std::size_t PasteCells::nextOf(std::size_t& cache, char16_t c) const noexcept {
  if (cache != std::u16string_view::npos && cache < pos_) cache = text_.find(c, pos_);
  return cache;
}

PasteCells::Cell PasteCells::next(bool firstOfRecord) {
  constexpr auto none = std::u16string_view::npos;
  const std::size_t t = nextOf(tab_, u'\t');
  const std::size_t r = nextOf(cr_, u'\r');
  const std::size_t start = pos_;
  if (firstOfRecord) {
    if (t == none) raise(errc::InvalidProcedureCall);
    pos_ = t + 1;
    return {text_.substr(start, t - start), false};
  }
  if (t == none) {
    // The last cell ends at the carriage return; the text stays where it is.
    if (r == none) raise(errc::InvalidProcedureCall);
    return {text_.substr(start, r - start), true};
  }
  if (r == none) raise(errc::InvalidProcedureCall);  // a tab but no carriage return left
  const std::size_t end = r < t ? r : t;
  pos_ = end + 1;
  return {text_.substr(start, end - start), false};
}

std::optional<Variant> pasteValue(std::u16string_view cell, frame::FieldType fieldType) {
  if (fieldType == frame::FieldType::Date) {
    if (const auto date = tryParseDate(cell)) return Variant::date(std::trunc(*date));
  }
  if ((fieldType != frame::FieldType::Text && isNumericText(cell)) || fieldType == frame::FieldType::Boolean) return Variant(leadingNumber(cell));
  if (cell.empty()) return std::nullopt;
  const std::size_t end = cell.find_last_not_of(u' ');
  return Variant(cell.substr(0, end == std::u16string_view::npos ? 0 : end + 1));
}

// --- the delete-all statement ----------------------------------------------

namespace {

// Error 3251: the record source is not one the delete-all can remove exactly.
[[noreturn]] void unsupported() { raise(errc::OperationNotSupported); }

struct Token {
  enum Kind { Word, Name, Literal, Symbol } kind;
  std::size_t begin;
  std::size_t end;
  std::u16string_view text;
};

bool isWordChar(char16_t c) noexcept {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c >= 0x80;
}

// The record source cut into words, bracketed names, quoted or dated
// literals and single symbols; Error 3251 for an unclosed bracket or quote.
std::vector<Token> tokens(std::u16string_view s) {
  std::vector<Token> list;
  std::size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
      ++i;
      continue;
    }
    const std::size_t begin = i;
    Token::Kind kind = Token::Symbol;
    if (isWordChar(c)) {
      while (i < s.size() && isWordChar(s[i])) ++i;
      kind = Token::Word;
    } else if (c == u'[') {
      i = s.find(u']', i + 1);
      if (i == std::u16string_view::npos) unsupported();
      ++i;
      kind = Token::Name;
    } else if (c == u'\'' || c == u'"' || c == u'#') {
      // A doubled quote inside a literal stands for itself.
      for (++i;; ++i) {
        i = s.find(c, i);
        if (i == std::u16string_view::npos) unsupported();
        if (c != u'#' && i + 1 < s.size() && s[i + 1] == c) {
          ++i;
          continue;
        }
        break;
      }
      ++i;
      kind = Token::Literal;
    } else {
      ++i;
    }
    list.push_back({kind, begin, i, s.substr(begin, i - begin)});
  }
  return list;
}

bool isKeyword(const Token& t, std::u16string_view word) {
  return t.kind == Token::Word && equalsIgnoreCase(t.text, word);
}

}  // namespace

std::u16string deleteAllStatement(std::u16string_view source) {
  // The table the data control shows is named with the "tbl" prefix.
  if (source.find(u"tbl") == std::u16string_view::npos) raise(errc::InvalidProcedureCall);
  std::vector<Token> list = tokens(source);
  if (!list.empty() && list.back().text == u";") list.pop_back();
  if (list.empty()) unsupported();
  const auto isTable = [](const Token& t) { return t.kind == Token::Name || t.kind == Token::Word; };
  std::u16string statement = u"Delete * From ";
  // A table name alone: every record of the table.
  if (list.size() == 1) {
    if (!isTable(list[0])) unsupported();
    statement += list[0].text;
    return statement;
  }
  if (!isKeyword(list[0], u"SELECT")) unsupported();
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
    if (t.text == u"(") ++depth;
    else if (t.text == u")") --depth;
    if (depth < 0) unsupported();
    if (depth > 0) continue;
    if (t.text == u";") unsupported();  // a second statement
    for (std::u16string_view word : refused)
      if (isKeyword(t, word)) unsupported();
    if (isKeyword(t, u"FROM") && from == 0) from = i;
    else if (isKeyword(t, u"WHERE") && from != 0 && where == 0) where = i;
    else if (isKeyword(t, u"ORDER") && from != 0 && order == list.size()) order = i;
  }
  if (depth != 0 || from == 0) unsupported();
  // Exactly one table after FROM, and nothing else before WHERE or ORDER BY.
  const std::size_t tableEnd = where ? where : order;
  if (tableEnd != from + 2 || !isTable(list[from + 1])) unsupported();
  if (where && order < where) unsupported();
  statement += list[from + 1].text;
  if (where) {
    if (where + 1 >= order) unsupported();  // WHERE without a condition
    statement += u" WHERE ";
    statement += source.substr(list[where + 1].begin, list[order - 1].end - list[where + 1].begin);
  }
  return statement;
}

}  // namespace tarnwick::ocx
