#include "SqlLexer.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

namespace tarnwick::engine {

namespace {

bool isWordStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c >= 0x80;
}
bool isWordPart(char16_t c) { return isWordStart(c) || (c >= u'0' && c <= u'9'); }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

constexpr std::u16string_view kKeywords[] = {
    u"AND", u"OR", u"NOT", u"LIKE", u"BETWEEN", u"IN", u"IS", u"NULL", u"SELECT", u"DISTINCT", u"FROM",
    u"WHERE", u"ORDER", u"BY", u"ASC", u"DESC", u"GROUP", u"HAVING", u"AS", u"INSERT", u"INTO", u"VALUES",
    u"UPDATE", u"SET", u"DELETE", u"INNER", u"LEFT", u"RIGHT", u"OUTER", u"JOIN", u"ON", u"EXISTS", u"UNION",
    u"ALL"};

}  // namespace

Lexed lex(std::u16string_view s) {
  Lexed out;
  // Room for a short condition's tokens at once (FindFirst lexes one per call).
  out.tokens.reserve(8);
  const auto fault = [&](std::size_t begin, std::size_t end) {
    out.faultBegin = begin;
    out.faultEnd = end;
    return out;
  };
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
      if (close == std::u16string_view::npos) return fault(begin, s.size());
      // No name of the storage holds a NUL character.
      if (close == i + 1 || s.substr(i + 1, close - i - 1).find(u'\0') != std::u16string_view::npos)
        return fault(begin, close + 1);
      out.tokens.push_back({Tok::Name, std::u16string(s.substr(i + 1, close - i - 1)), begin, close + 1});
      i = close + 1;
    } else if (c == u'\'' || c == u'"') {
      std::u16string text;
      std::size_t k = i + 1;
      for (;; ++k) {
        if (k >= s.size()) return fault(begin, s.size());
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
      out.tokens.push_back({Tok::Text, std::move(text), begin, k + 1});
      i = k + 1;
    } else if (c == u'#') {
      const auto close = s.find(u'#', i + 1);
      if (close == std::u16string_view::npos) return fault(begin, s.size());
      out.tokens.push_back({Tok::Date, std::u16string(s.substr(i + 1, close - i - 1)), begin, close + 1});
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
      if (k < s.size() && isWordStart(s[k])) {
        std::size_t w = k;
        while (w < s.size() && isWordPart(s[w])) ++w;
        return fault(begin, w);
      }
      out.tokens.push_back({Tok::Number, std::u16string(s.substr(i, k - i)), begin, k});
      i = k;
    } else if (isWordStart(c)) {
      std::size_t k = i;
      while (k < s.size() && isWordPart(s[k])) ++k;
      out.tokens.push_back({Tok::Word, std::u16string(s.substr(i, k - i)), begin, k});
      i = k;
    } else {
      std::u16string op(1, c);
      if ((c == u'<' || c == u'>') && i + 1 < s.size() && (s[i + 1] == u'=' || (c == u'<' && s[i + 1] == u'>')))
        op += s[i + 1];
      if (std::u16string_view(u"<>=(),.*+-/&;!\\^").find(c) == std::u16string_view::npos) return fault(begin, i + 1);
      out.tokens.push_back({Tok::Punct, op, begin, i + op.size()});
      i += op.size();
    }
  }
  out.tokens.push_back({Tok::End, u"", s.size(), s.size()});
  return out;
}

std::vector<Token> tokenize(std::u16string_view text) {
  Lexed lexed = lex(text);
  if (!lexed.ok()) raise(errc::SyntaxError, text, positionNote(text, lexed.faultBegin, lexed.faultEnd));
  return std::move(lexed.tokens);
}

bool isWord(const Token& t, std::u16string_view word) { return t.kind == Tok::Word && equalsIgnoreCase(t.text, word); }
bool isPunct(const Token& t, std::u16string_view p) { return t.kind == Tok::Punct && t.text == p; }
bool isNameToken(const Token& t) noexcept { return t.kind == Tok::Word || t.kind == Tok::Name; }
bool isComparison(const Token& t) {
  return t.kind == Tok::Punct && (t.text == u"=" || t.text == u"<" || t.text == u">" || t.text == u"<=" ||
                                  t.text == u">=" || t.text == u"<>");
}

bool isKeyword(const Token& t) {
  if (t.kind != Tok::Word) return false;
  for (auto k : kKeywords)
    if (equalsIgnoreCase(t.text, k)) return true;
  return false;
}

std::u16string positionNote(std::u16string_view text, std::size_t begin, std::size_t end) {
  if (begin >= text.size()) return u"(at the end of the text)";
  std::u16string note = u"(at character ";
  note += fromUtf8(std::to_string(begin + 1));
  note += u": '";
  note += text.substr(begin, end - begin);
  note += u"')";
  return note;
}

std::u16string positionNote(std::u16string_view text, const Token& at) { return positionNote(text, at.begin, at.end); }

void raiseAt(std::int32_t number, std::u16string_view detail, std::u16string_view text, const Token& at) {
  raise(number, detail, positionNote(text, at));
}

void syntaxErrorAt(std::u16string_view text, const Token& at) { raiseAt(errc::SyntaxError, text, text, at); }

}  // namespace tarnwick::engine
