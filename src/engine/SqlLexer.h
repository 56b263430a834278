#pragma once
// Private to the engine: the one lexer of the engine's SQL dialect. Every
// reader of dialect text (conditions, sort texts, statements, the record
// sources whose shown records are deleted) cuts it into these tokens.
//
// Names in brackets ([Order Date]) are one token without the brackets;
// texts in single or double quotes are one token, unquoted, a doubled quote
// standing for itself; dates between # are one token; numbers may carry a
// fraction and an exponent; <=, >= and <> are one token.
//
// A syntax error names the token at fault after the platform's text, by its
// character position in the text (counted from 1) and as written:
//   Syntax error in FROM clause. (at character 15: 'WHERE')
// and, when the text ends too early:
//   Syntax error in CREATE TABLE statement. (at the end of the text)
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::engine {

enum class Tok { Word, Name, Text, Number, Date, Punct, End };

struct Token {
  Tok kind;
  std::u16string text;  // words and names as written; texts unquoted
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct Lexed {
  std::vector<Token> tokens;  // closed by a Tok::End token
  // Where the text stops being readable: an unclosed bracket, quote or
  // date, empty brackets or a name holding a NUL, a number run into a word,
  // a character the dialect does not use. npos when the whole text reads.
  std::size_t faultBegin = std::u16string_view::npos;
  std::size_t faultEnd = std::u16string_view::npos;
  bool ok() const noexcept { return faultBegin == std::u16string_view::npos; }
};

// The tokens of `text`, as far as it reads.
Lexed lex(std::u16string_view text);
// The tokens of `text`; 3075 naming `text` and the place it stops reading.
std::vector<Token> tokenize(std::u16string_view text);

bool isWord(const Token& t, std::u16string_view word);
bool isPunct(const Token& t, std::u16string_view p);
bool isNameToken(const Token& t) noexcept;  // a word or a bracketed name
bool isComparison(const Token& t);
// Words that keep their meaning in the storage's SQL.
bool isKeyword(const Token& t);

// The note that places a syntax error at a token of `text` (see above).
std::u16string positionNote(std::u16string_view text, const Token& at);
std::u16string positionNote(std::u16string_view text, std::size_t begin, std::size_t end);
// Raises `number` with `detail` and the note of the token at fault.
[[noreturn]] void raiseAt(std::int32_t number, std::u16string_view detail, std::u16string_view text, const Token& at);
// 3075 naming `text`, at the token at fault.
[[noreturn]] void syntaxErrorAt(std::u16string_view text, const Token& at);

}  // namespace tarnwick::engine
