// What the expression writer looks ahead at, where a dialect's SQL must
// know what comes later to give a database file's results.
#include "Dialect.h"
#include "Functions.h"
#include "SqlExpression.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <cmath>

namespace tarnwick::engine {

namespace {

// Today's date and the moment now, as the dialect's calls without
// arguments.
bool isClockCall(const std::vector<Token>& t, std::size_t at) {
  return (isWord(t[at], u"Date") || isWord(t[at], u"Now")) && isPunct(t[at + 1], u"(") && isPunct(t[at + 2], u")");
}

}  // namespace

bool joinsOperands(const Token& t) {
  return (t.kind == Tok::Punct && (t.text == u"+" || t.text == u"-" || t.text == u"*" || t.text == u"/" ||
                                   t.text == u"&" || t.text == u"\\" || t.text == u"^")) ||
         isWord(t, u"Mod");
}

bool isTruthLiteral(const Token& t) { return isWord(t, u"True") || isWord(t, u"False"); }

std::optional<ColumnRef> ExpressionWriter::fieldAt(std::size_t at, std::size_t& next) const {
  const Token& tok = t_[at];
  if (!resolve_ || !isNameToken(tok) || isKeyword(tok) || isTruthLiteral(tok) || isPunct(t_[at + 1], u"("))
    return std::nullopt;
  next = at + 1;
  if ((isPunct(t_[next], u".") || isPunct(t_[next], u"!")) && isNameToken(t_[next + 1])) {
    next += 2;
    return resolve_(tok.text, t_[at + 2].text);
  }
  return resolve_({}, tok.text);
}

std::size_t ExpressionWriter::singleText(std::size_t at, bool fieldOnly) const {
  std::size_t next = at + 1;
  if (t_[at].kind != Tok::Text || fieldOnly) {
    const auto column = fieldAt(at, next);
    if (!column || !isTextType(column->type)) return 0;
  }
  return !joinsOperands(t_[next]) && !isPunct(t_[next], u"(") ? next : 0;
}

int ExpressionWriter::textsMet(std::size_t at) const {
  if (isWord(t_[at], u"NOT")) ++at;
  if (isWord(t_[at], u"BETWEEN")) {
    const std::size_t low = singleText(at + 1);
    return low && isWord(t_[low], u"AND") && singleText(low + 1) ? 2 : 0;
  }
  if (!isWord(t_[at], u"IN") || !isPunct(t_[at + 1], u"(")) return 0;
  int items = 0;
  for (std::size_t k = at + 2;; ++items) {
    const std::size_t next = singleText(k);
    if (!next) return 0;
    if (isPunct(t_[next], u")")) return items + 1;
    if (!isPunct(t_[next], u",")) return 0;
    k = next + 1;
  }
}

// A date followed by an operator that binds it more closely than the
// minus before it does not stand alone.
bool ExpressionWriter::singleDate(std::size_t at) const {
  std::size_t next = at + 1;
  if (isClockCall(t_, at)) {
    next = at + 3;
  } else if (t_[at].kind != Tok::Date) {
    const auto column = fieldAt(at, next);
    if (!column || column->type != FieldType::Date) return false;
  }
  const Token& after = t_[next];
  return !(joinsOperands(after) && !isPunct(after, u"+") && !isPunct(after, u"-") && !isPunct(after, u"&"));
}

int ExpressionWriter::operandsMet(std::size_t at) const {
  if (isWord(t_[at], u"NOT")) ++at;
  if (isWord(t_[at], u"BETWEEN")) return 2;
  if (!isWord(t_[at], u"IN") || !isPunct(t_[at + 1], u"(") || isWord(t_[at + 2], u"SELECT")) return 0;
  int items = 1;
  for (std::size_t k = at + 2, depth = 1; t_[k].kind != Tok::End; ++k) {
    if (isPunct(t_[k], u"(")) ++depth;
    if (isPunct(t_[k], u")") && --depth == 0) return items;
    if (depth == 1 && isPunct(t_[k], u",")) ++items;
  }
  return 0;
}

std::string ExpressionWriter::distinctGroups(std::size_t at, std::size_t end) const {
  for (std::size_t k = at, depth = 0; t_[k].kind != Tok::End; ++k) {
    if (isPunct(t_[k], u"(")) ++depth;
    if (isPunct(t_[k], u")")) --depth;
    if (depth == 0 && (isWord(t_[k], u"GROUP") || isWord(t_[k], u"HAVING") || isWord(t_[k], u"UNION"))) return {};
  }
  std::string groups = "GROUP BY ";
  for (std::size_t k = at;;) {
    std::size_t next = 0;
    const auto column = fieldAt(k, next);
    if (!column) return {};
    groups +=
        isTextType(column->type) ? dialect_.orderKey(column->sql, column->type) + ", " + column->sql : column->sql;
    if (next == end) return groups;
    if (!isPunct(t_[next], u",")) return {};
    groups += ", ";
    k = next + 1;
  }
}

std::vector<int> ExpressionWriter::dateExtremes(std::size_t at, std::size_t end) const {
  std::vector<int> found;
  int item = 0, depth = 0;
  bool itemStarts = true;
  for (std::size_t i = at; i < end && t_[i].kind != Tok::End; ++i) {
    const Token& tok = t_[i];
    if (depth == 0 && itemStarts && (isWord(tok, u"DISTINCT") || isWord(tok, u"DISTINCTROW") || isWord(tok, u"ALL")))
      continue;
    if (depth == 0 && itemStarts && isWord(tok, u"TOP")) {
      i += isWord(t_[i + 2], u"PERCENT") ? 2 : 1;
      continue;
    }
    if (depth == 0 && isPunct(tok, u"*")) return {};
    if (isPunct(tok, u"(")) ++depth;
    if (isPunct(tok, u")")) --depth;
    if (depth == 0 && isPunct(tok, u",")) {
      ++item;
      itemStarts = true;
      continue;
    }
    if (depth == 0 && itemStarts && (isWord(tok, u"Min") || isWord(tok, u"Max")) && isPunct(t_[i + 1], u"(")) {
      std::size_t next = 0;
      const auto column = fieldAt(i + 2, next);
      const Token& after = t_[next + 1];
      if (column && column->type == FieldType::Date && isPunct(t_[next], u")") &&
          (next + 1 >= end || isPunct(after, u",") || isWord(after, u"AS") || isWord(after, u"FROM") ||
           after.kind == Tok::End))
        found.push_back(item);
    }
    itemStarts = false;
  }
  return found;
}

ExpressionWriter::Call ExpressionWriter::callAt(std::size_t at) const {
  const Token& name = t_[at];
  Call call;
  if (!dialect_.daysBetweenCall().empty() && isClockCall(t_, at)) {
    // A date as an operand, one a date may be taken from.
    call.sql = std::string(dialect_.functionName(name.text)) + "()";
    call.tokens = 3;
    call.date = true;
    return call;
  }
  const bool dateValue = isWord(name, u"DateValue");
  if (!dialect_.functionsReadUserDates() && (dateValue || isWord(name, u"CDate"))) {
    if (t_[at + 2].kind == Tok::Text && isPunct(t_[at + 3], u")")) {
      // A text read as a date now, the user's way, as a database file
      // reads it when the statement runs.
      const std::u16string& text = t_[at + 2].text;
      const auto date = dateValue ? tryParseDate(text) : parseStoredDate(toUtf8(text));
      if (!date && dateValue) raise(errc::CriteriaMismatch);
      call.sql = date ? dialect_.dateLiteral(dateValue ? std::trunc(*date) : *date)
                      : std::string(dialect_.noDateLiteral());
      call.tokens = 4;
      call.date = true;
      return call;
    }
    call.lastArgument = dialect_.dateOrderArgument();
    return call;
  }
  if (dialect_.keysTexts() && (isWord(name, u"Min") || isWord(name, u"Max"))) {
    // The least and greatest texts in the order of a database file.
    std::size_t next = 0;
    const auto column = fieldAt(at + 2, next);
    if (column && isTextType(column->type) && isPunct(t_[next], u")"))
      call.sql = dialect_.textExtremeFunction(isWord(name, u"Max"));
  }
  return call;
}

}  // namespace tarnwick::engine
