#include "SqlExpression.h"

#include "Connection.h"
#include "Dialect.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <charconv>
#include <cstdint>
#include <type_traits>

namespace tarnwick::engine {

namespace {

constexpr std::size_t npos = std::string::npos;

// A number as the storage reads it: digits alone are an integer (a real
// when too large for one); a point or an exponent makes a real. Nothing
// for a text the storage would refuse (two points), which stays in the SQL
// so that the storage's refusal stays the same.
std::optional<RawValue> numberValue(std::u16string_view text) {
  const std::string digits = toUtf8(text);
  const char* first = digits.data();
  const char* last = first + digits.size();
  if (digits.find_first_of(".eE") == std::string::npos) {
    std::int64_t whole = 0;
    if (const auto [end, ec] = std::from_chars(first, last, whole); ec == std::errc() && end == last) return whole;
  }
  double real = 0;
  if (const auto [end, ec] = std::from_chars(first, last, real); ec == std::errc() && end == last) return real;
  return std::nullopt;
}

std::optional<double> dateSerial(const Token& tok) { return tryParseDate(tok.text, Locale::enUS()); }

template <class T>
bool isZero(const T& value) {
  if constexpr (std::is_arithmetic_v<T>) return value == 0;
  else return false;
}

// A number as the truth it stands for: 0 is No, any other Yes.
bool isYes(const Token& number) {
  const auto value = numberValue(number.text);
  return !(value && std::visit([](const auto& v) { return isZero(v); }, *value));
}

bool isNumberType(FieldType t) { return !isTextType(t) && t != FieldType::Date && t != FieldType::Binary && t != FieldType::LongBinary; }

// What an operand of a comparison is, for the type test of criteria.
enum class Operand { Other, Text, NumberField };

// The clause being written, for the order and the groups.
enum class Clause { Other, Order, Group };

bool isClauseWord(const Token& t) {
  for (const std::u16string_view word : {u"WHERE", u"HAVING", u"ORDER", u"GROUP", u"UNION", u"FROM"})
    if (isWord(t, word)) return true;
  return false;
}

// The end of an item of an ORDER BY or GROUP BY list.
bool endsOrderItem(const Token& t) {
  return t.kind == Tok::End || isPunct(t, u",") || isPunct(t, u";") || isPunct(t, u")") || isWord(t, u"ASC") ||
         isWord(t, u"DESC") || isClauseWord(t);
}

// Whether a select list's item starts after `previous` (nothing at all).
bool startsListItem(const Token* previous) {
  return !previous || isWord(*previous, u"SELECT") || isWord(*previous, u"DISTINCT") || isWord(*previous, u"ALL") ||
         isPunct(*previous, u",");
}

// Whether the operand in tokens [start, end) is a truth of its own: a
// condition, or one side of a comparison with a truth or a number (which
// the writer then writes as a truth).
bool truthPlace(const std::vector<Token>& t, std::size_t start, std::size_t end) {
  const Token* before = start > 0 ? &t[start - 1] : nullptr;
  const Token& after = t[end];
  if (isComparison(after)) {
    const std::size_t value = end + (isPunct(t[end + 1], u"-") ? 2 : 1);
    return t[value].kind == Tok::Number || isTruthLiteral(t[value]);
  }
  if (before && isComparison(*before)) return start >= 2 && isTruthLiteral(t[start - 2]);
  bool opens = !before;
  if (before) {
    for (const std::u16string_view word : {u"WHERE", u"HAVING", u"ON", u"AND", u"OR", u"NOT"})
      if (isWord(*before, word)) opens = true;
    // A parenthesis that opens a call holds an argument, not a condition.
    if (isPunct(*before, u"(")) opens = start < 2 || !isNameToken(t[start - 2]) || isKeyword(t[start - 2]);
  }
  const bool closes = after.kind == Tok::End || isPunct(after, u")") || isPunct(after, u";") ||
                      isWord(after, u"AND") || isWord(after, u"OR") || isClauseWord(after);
  return opens && closes;
}

}  // namespace

// The SQL written so far, the places in it that a later token may still
// patch, and what the tokens before have told.
struct ExpressionWriter::State {
  std::string out;
  std::size_t end = 0;
  int depth = 0;
  const Token* previous = nullptr;
  // Whether this piece is a statement's select list (up to its FROM).
  bool selectList = false;
  Operand left = Operand::Other;
  bool afterComparison = false;
  // The last field reference: where it starts in `out`, the token after
  // it, and what it is (a text: Like matches patterns in texts).
  std::size_t columnAt = npos;
  std::size_t columnEnd = 0;
  bool columnText = true;
  bool columnBoolean = false;
  bool columnAlone = false;
  bool columnAssigned = false;
  bool columnDate = false;
  // The last date and the last text literal standing alone as an operand:
  // where each starts in `out`, and the token after it.
  std::size_t dateAt = npos;
  std::size_t dateEnd = 0;
  std::size_t textAt = npos;
  std::size_t textEnd = 0;
  // Inside an UPDATE's SET list, where fields are assigned.
  bool setList = false;
  // Inside an INSERT's VALUES list, at the value of its field `valueItem`.
  bool valuesList = false;
  std::size_t valueItem = 0;
  Clause clause = Clause::Other;
  // An open item of an ORDER BY list that the writer closes: a yes/no field
  // sorts the other way round (Yes is -1 in a database file).
  bool flipItem = false;
  bool itemOpen = false;
  // What is written after the next operand, and before the closing
  // parenthesis of a call at a depth.
  std::string closer;
  std::vector<std::pair<int, std::string>> callEnds;
  // The operands still to come that compare as texts by their keys.
  int keyed = 0;
  // The operands still to come that a date field meets: a text among them
  // is read as a date, the user's way. And a number that a text field
  // compared by its key meets, which is written as a text.
  int dated = 0;
  bool numberAsText = false;
  // The token being written: where its operand starts in `out`, and what
  // it is.
  std::size_t start = 0;
  std::size_t operandAt = 0;
  Operand operand = Operand::Other;
  bool isOperand = false;
  bool isDate = false;
  bool keyedOperand = false;
  bool datedOperand = false;

  void emit(std::string_view piece) {
    if (!out.empty()) out += ' ';
    out += piece;
  }
  // Whether a date field stands alone just before token `op`.
  bool dateFieldBefore(std::size_t op) const {
    return columnDate && columnAlone && !columnAssigned && columnEnd == op;
  }
};

std::string ExpressionWriter::expression(std::size_t& at, std::size_t end) {
  State s;
  s.end = end;
  s.selectList = isWord(t_[at], u"SELECT") || (at > 0 && isWord(t_[at - 1], u"DISTINCTROW"));
  while (at < end) {
    const Token& tok = t_[at];
    if (tok.kind == Tok::Punct) {
      punctuation(s, at);
      continue;
    }
    if (dialect_.likeByPattern() && (isWord(tok, u"LIKE") || (isWord(tok, u"NOT") && isWord(t_[at + 1], u"LIKE")))) {
      like(s, at);
      continue;
    }
    // A text field compared with a range or a list of texts; a date field
    // with a range or a list.
    if (isWord(tok, u"NOT") || isWord(tok, u"BETWEEN") || isWord(tok, u"IN")) {
      const std::size_t leftAt = textFieldBefore(s, at);
      const int texts = leftAt == npos ? 0 : textsMet(at);
      if (texts) {
        keyText(s.out, leftAt);
        s.keyed = texts;
      }
      if (s.dateFieldBefore(at)) s.dated = operandsMet(at);
    }
    beginToken(s, at);
    if (writeToken(s, at)) endToken(s, at);
  }
  if (s.depth != 0) syntaxErrorAt(whole_, t_[at]);
  closeItem(s, false);
  return std::move(s.out);
}

void ExpressionWriter::punctuation(State& s, std::size_t& at) {
  const Token& tok = t_[at];
  if (tok.text == u";") syntaxErrorAt(whole_, tok);
  if (tok.text == u"(") ++s.depth;
  if (tok.text == u")") {
    if (!s.callEnds.empty() && s.callEnds.back().first == s.depth) {
      s.out += s.callEnds.back().second;
      s.callEnds.pop_back();
    }
    if (--s.depth < 0) syntaxErrorAt(whole_, tok);
  }
  if (tok.text == u"," && s.depth == 0 && s.clause == Clause::Order) {
    closeItem(s, false);
    s.itemOpen = true;
  }
  if (isComparison(tok)) return comparison(s, at);
  lastWasOperand_ = false;
  if (tok.text == u"*" && star_ && s.selectList && s.depth == 0 && startsListItem(s.previous)) {
    s.emit(star_({}));
    ++at;
    s.previous = &tok;
    lastWasOperand_ = true;
    return;
  }
  if (tok.text == u"(" && s.depth == 1 && s.previous && isWord(*s.previous, u"VALUES")) s.valuesList = true;
  if (tok.text == u")" && s.depth == 0) s.valuesList = false;
  if (s.valuesList && s.depth == 1 && tok.text == u",") ++s.valueItem;
  if (yesNoValue(s, at)) return;
  // Date minus date is a number of days, fractional, as with the day
  // serials of a database file.
  const std::string_view daysCall = dialect_.daysBetweenCall();
  const bool days =
      !daysCall.empty() && tok.text == u"-" && s.dateAt != npos && s.dateEnd == at && singleDate(at + 1);
  if (days) s.out.insert(s.dateAt, daysCall);
  if (tok.text == u"&") s.emit(dialect_.textJoin());
  else if (tok.text == u"!" || tok.text == u"\\" || tok.text == u"^" || tok.text == u".") syntaxErrorAt(whole_, tok);
  else s.emit(toUtf8(tok.text));
  if (days) s.closer = ")";
  ++at;
  s.previous = &tok;
  if (tok.text != u"(" && tok.text != u")") s.afterComparison = false;
}

void ExpressionWriter::comparison(State& s, std::size_t& at) {
  const Token& tok = t_[at];
  if (s.previous && (isComparison(*s.previous) || isPunct(*s.previous, u"("))) syntaxErrorAt(whole_, tok);
  // Texts compared by their keys compare as a database file compares them:
  // letter case ignored in ASCII only, otherwise by the characters'
  // numbers. A file compares two literals as they are: a field takes part.
  std::size_t leftAt = textFieldBefore(s, at);
  if (leftAt != npos && !singleText(at + 1)) leftAt = npos;
  if (dialect_.keysTexts() && leftAt == npos && s.textAt != npos && s.textEnd == at && singleText(at + 1, true))
    leftAt = s.textAt;
  const bool numberMet = t_[at + 1].kind == Tok::Number && !joinsOperands(t_[at + 2]);
  if (leftAt == npos && numberMet && textFieldBefore(s, at) != npos) {
    leftAt = textFieldBefore(s, at);
    s.numberAsText = true;
  }
  if (leftAt != npos) {
    keyText(s.out, leftAt);
    s.keyed = 1;
  }
  if (s.dateFieldBefore(at)) s.dated = 1;
  s.emit(toUtf8(tok.text));
  s.afterComparison = true;
  lastWasOperand_ = false;
  s.previous = &tok;
  ++at;
  // Where yes/no fields are truths, a number compared with (or assigned
  // to) one is written as the truth it stands for.
  const std::size_t sign = isPunct(t_[at], u"-") ? 1 : 0;
  if (dialect_.yesNoAreTruths() && s.columnBoolean && s.columnEnd + 1 == at && at + sign < s.end &&
      t_[at + sign].kind == Tok::Number) {
    s.emit(dialect_.truthLiteral(isYes(t_[at + sign])));
    at += sign + 1;
    s.previous = &t_[at - 1];
    lastWasOperand_ = true;
    s.afterComparison = false;
    s.left = Operand::Other;
  }
}

// A number alone, signed or not, as the value of a yes/no field in an
// INSERT's VALUES list, where yes/no fields are truths.
bool ExpressionWriter::yesNoValue(State& s, std::size_t& at) {
  const Token& tok = t_[at];
  const std::size_t sign = isPunct(t_[at + 1], u"-") ? 1 : 0;
  if (!dialect_.yesNoAreTruths() || !s.valuesList || s.depth != 1 || (tok.text != u"(" && tok.text != u",") ||
      t_[at + 1 + sign].kind != Tok::Number ||
      !(isPunct(t_[at + 2 + sign], u",") || isPunct(t_[at + 2 + sign], u")")) || s.valueItem >= filled_.size() ||
      filled_[s.valueItem] != FieldType::Boolean)
    return false;
  s.emit(toUtf8(tok.text));
  s.emit(dialect_.truthLiteral(isYes(t_[at + 1 + sign])));
  at += 2 + sign;
  s.previous = &t_[at - 1];
  lastWasOperand_ = true;
  return true;
}

// X Like P where the dialect matches by its own pattern: a literal pattern
// is made one here, any other by the backend. A field that holds no text
// is matched by its text.
void ExpressionWriter::like(State& s, std::size_t& at) {
  const bool leftColumn = s.columnAt != npos && s.columnEnd == at;
  const bool negated = isWord(t_[at], u"NOT");
  at += negated ? 2 : 1;
  if (leftColumn && !s.columnText)
    s.out.replace(s.columnAt, npos, dialect_.textOf(std::string_view(s.out).substr(s.columnAt)));
  s.out += dialect_.likeOperator(negated);
  s.out += likePattern(at, s.end);
  lastWasOperand_ = true;
  s.previous = &t_[at - 1];
  s.left = Operand::Other;
  s.afterComparison = false;
}

std::string ExpressionWriter::likePattern(std::size_t& at, std::size_t end) {
  const auto joins = [](const Token& t) {
    return t.kind == Tok::Punct && (t.text == u"&" || t.text == u"+" || t.text == u"-" || t.text == u"*" ||
                                    t.text == u"/" || t.text == u"." || t.text == u"!");
  };
  // A number as a pattern is its text.
  if (at < end && (t_[at].kind == Tok::Text || t_[at].kind == Tok::Number) &&
      !(at + 1 < end && (joins(t_[at + 1]) || isWord(t_[at + 1], u"Mod")))) {
    const std::string pattern = dialect_.likePattern(t_[at].text);
    const std::string written =
        parameters_ ? parameter(pattern, at | kPatternSource) : dialect_.textLiteral(fromUtf8(pattern));
    ++at;
    return dialect_.likePatternOperand(written, true);
  }
  // The pattern runs to the next comparison, keyword, comma or closing
  // parenthesis of its own level.
  std::size_t stop = at;
  for (int depth = 0; stop < end && t_[stop].kind != Tok::End; ++stop) {
    const Token& t = t_[stop];
    if (depth == 0 && (isComparison(t) || isPunct(t, u",") || isPunct(t, u";") ||
                       (isKeyword(t) && !isWord(t, u"NULL"))))
      break;
    if (isPunct(t, u"(")) ++depth;
    if (isPunct(t, u")") && --depth < 0) break;
  }
  if (stop == at) syntaxErrorAt(whole_, t_[at]);
  lastWasOperand_ = false;
  return dialect_.likePatternOperand(expression(at, stop), false);
}

void ExpressionWriter::beginToken(State& s, std::size_t at) const {
  const Token& tok = t_[at];
  const bool operandStarts = (tok.kind == Tok::Text || tok.kind == Tok::Name || tok.kind == Tok::Word ||
                              tok.kind == Tok::Number || tok.kind == Tok::Date) &&
                             !isKeyword(tok);
  s.start = at;
  s.keyedOperand = s.keyed > 0 && operandStarts;
  if (s.keyedOperand) --s.keyed;
  s.datedOperand = s.dated > 0 && operandStarts;
  if (s.datedOperand) --s.dated;
  s.operandAt = s.out.empty() ? 0 : s.out.size() + 1;
  s.operand = Operand::Other;
  s.isOperand = false;
  s.isDate = false;
}

bool ExpressionWriter::writeToken(State& s, std::size_t& at) {
  const Token& tok = t_[at];
  if (s.datedOperand && tok.kind == Tok::Text) {
    // Written as the date it reads as, never as a parameter: the text's
    // value is not the date's.
    const auto date = tryParseDate(tok.text);
    if (!date) raise(errc::CriteriaMismatch);
    s.emit(dialect_.dateLiteral(*date));
    s.isOperand = true;
    s.isDate = true;
    ++at;
  } else if (s.numberAsText && tok.kind == Tok::Number) {
    // A file compares a text field with a number as with its text.
    s.emit(dialect_.textLiteral(tok.text));
    s.numberAsText = false;
    s.isOperand = true;
    ++at;
  } else if (tok.kind == Tok::Text || tok.kind == Tok::Number || tok.kind == Tok::Date || isTruthLiteral(tok)) {
    literal(s, at);
  } else if (isWord(tok, u"Mod")) {
    s.emit("%");
    ++at;
  } else if (isWord(tok, u"Xor") || isWord(tok, u"Eqv") || isWord(tok, u"Imp")) {
    syntaxErrorAt(whole_, tok);
  } else if (dialect_.writesNullOrder() && s.clause == Clause::Order && s.depth == 0 &&
             (isWord(tok, u"ASC") || isWord(tok, u"DESC"))) {
    closeItem(s, isWord(tok, u"DESC"));
    ++at;
  } else if (isKeyword(tok)) {
    return keyword(s, at);
  } else if (tok.kind == Tok::Word && isPunct(t_[at + 1], u"(")) {
    call(s, at);
  } else if (s.selectList && s.depth == 0 && s.previous && isWord(*s.previous, u"AS") &&
             (tok.kind == Tok::Word || tok.kind == Tok::Name)) {
    // The name a select list gives an item: a name of its own, even where
    // it is also the name of a field ("Sum(Qty) AS Qty").
    s.emit(quoteName(std::u16string_view(tok.text)));
    ++at;
    s.previous = &tok;
    lastWasOperand_ = true;
    return false;
  } else {
    return field(s, at);
  }
  return true;
}

void ExpressionWriter::literal(State& s, std::size_t& at) {
  const Token& tok = t_[at];
  s.isOperand = true;
  if (tok.kind == Tok::Text) {
    s.emit(parameters_ ? parameter(*literalParameter(tok), at) : dialect_.textLiteral(tok.text));
    s.operand = Operand::Text;
    ++at;
    if (!s.previous || !joinsOperands(*s.previous)) {
      s.textAt = s.operandAt;
      s.textEnd = at;
    }
  } else if (tok.kind == Tok::Number) {
    const auto number = parameters_ ? literalParameter(tok) : std::nullopt;
    s.emit(number ? parameter(*number, at) + std::string(dialect_.numberParameterCast(*number)) : toUtf8(tok.text));
    ++at;
  } else if (tok.kind == Tok::Date) {
    const auto date = dateSerial(tok);
    if (!date) syntaxErrorAt(whole_, tok);
    s.emit(parameters_ ? parameter(dialect_.dateParameter(*date), at) + std::string(dialect_.dateParameterCast())
                       : dialect_.dateLiteral(*date));
    s.isDate = true;
    ++at;
  } else {
    s.emit(dialect_.truthLiteral(isWord(tok, u"True")));
    ++at;
  }
}

bool ExpressionWriter::keyword(State& s, std::size_t& at) {
  const Token& tok = t_[at];
  const bool top = s.depth == 0;
  if (top && (isWord(tok, u"SET") || isWord(tok, u"WHERE"))) s.setList = isWord(tok, u"SET");
  if (isWord(tok, u"DISTINCT") && dialect_.groupsDistinct() && s.selectList && top) {
    groups_ = distinctGroups(at + 1, s.end);
    if (!groups_.empty()) {
      ++at;
      s.previous = &tok;
      return false;
    }
  }
  if (isWord(tok, u"DISTINCT")) distinct_ = true;
  if (isWord(tok, u"UNION") && top) union_ = true;
  if (isWord(tok, u"ORDER") && top && !groups_.empty()) s.emit(finish());
  if (top && isWord(tok, u"BY") && s.previous) {
    s.clause = isWord(*s.previous, u"ORDER") ? Clause::Order : Clause::Group;
    s.itemOpen = s.clause == Clause::Order;
  } else if (top && isClauseWord(tok)) {
    closeItem(s, false);
    s.clause = Clause::Other;
  }
  s.emit(toUtf8(tok.text));
  ++at;
  return true;
}

void ExpressionWriter::call(State& s, std::size_t& at) {
  const Call whole = callAt(at);
  if (whole.tokens) {
    s.emit(whole.sql);
    at += whole.tokens;
    s.isOperand = true;
    s.isDate = whole.date;
    return;
  }
  s.emit(whole.sql.empty() ? functionName(t_[at]) : whole.sql);
  if (!whole.lastArgument.empty()) s.callEnds.emplace_back(s.depth + 1, whole.lastArgument);
  ++at;
}

// A field reference, possibly qualified.
bool ExpressionWriter::field(State& s, std::size_t& at) {
  std::u16string qualifier;
  std::u16string name = t_[at].text;
  ++at;
  if ((isPunct(t_[at], u".") || isPunct(t_[at], u"!")) &&
      (t_[at + 1].kind == Tok::Word || t_[at + 1].kind == Tok::Name || isPunct(t_[at + 1], u"*"))) {
    qualifier = name;
    if (isPunct(t_[at + 1], u"*")) {
      s.emit(star_ && s.selectList && s.depth == 0 ? star_(qualifier)
                                                   : quoteName(std::u16string_view(qualifier)) + ".*");
      lastWasOperand_ = true;
      at += 2;
      s.previous = &t_[at - 1];
      return false;
    }
    name = t_[at + 1].text;
    at += 2;
  }
  s.isOperand = true;
  if (const auto resolved = resolve_ ? resolve_(qualifier, name) : std::nullopt) {
    column(s, *resolved, at);
    return true;
  }
  s.emit(qualifier.empty() ? quoteName(std::u16string_view(name))
                           : quoteName(std::u16string_view(qualifier)) + "." + quoteName(std::u16string_view(name)));
  return true;
}

// A field reference resolved to its column, up to token `at`.
void ExpressionWriter::column(State& s, const ColumnRef& column, std::size_t at) {
  const Token* previous = s.previous;
  const bool top = s.depth == 0;
  // A date column compares as a date whatever form it is stored in; but a
  // column that stands alone as an item of a select list is selected as it
  // is, so that it keeps its name and its type.
  const bool listItem = s.selectList && top && startsListItem(previous) &&
                        (isPunct(t_[at], u",") || isWord(t_[at], u"FROM") || isWord(t_[at], u"AS") ||
                         t_[at].kind == Tok::End);
  // A field that a SET list assigns is named as it is stored.
  const bool assigned = s.setList && top && previous && (isWord(*previous, u"SET") || isPunct(*previous, u",")) &&
                        isPunct(t_[at], u"=");
  s.columnAt = s.out.empty() ? 0 : s.out.size() + 1;
  s.columnEnd = at;
  s.columnText = isTextType(column.type);
  s.columnBoolean = column.type == FieldType::Boolean;
  s.columnAlone = !previous || !joinsOperands(*previous);
  s.columnAssigned = assigned;
  s.columnDate = column.type == FieldType::Date;
  if (s.columnDate && s.columnAlone) s.isDate = true;
  std::string sql = column.sql;
  const bool item = top && previous && (isWord(*previous, u"BY") || isPunct(*previous, u",")) && endsOrderItem(t_[at]);
  const bool orderItem = item && s.clause == Clause::Order;
  const auto dot = sql.find("\".\"");
  if (dialect_.unionOrderUnqualified() && orderItem && union_ && dot != npos) sql.erase(0, dot + 2);
  // A text groups with the texts equal to it in a file's order; grouped by
  // itself too, it may still be selected.
  if (dialect_.keysTexts() && s.columnText && item && s.clause == Clause::Group)
    sql = dialect_.orderKey(sql, column.type) + ", " + sql;
  if (dialect_.yesNoAreTruths() && s.columnBoolean && !listItem && !assigned && s.clause != Clause::Group &&
      !truthPlace(t_, s.start, at)) {
    // A yes/no field counted or compared as a number is -1 or 0.
    if (orderItem) s.flipItem = true;
    else sql = dialect_.orderKey(sql, FieldType::Boolean);
  } else if (dialect_.keysTexts() && s.columnText && orderItem && !distinct_ && !union_) {
    sql = dialect_.orderKey(sql, column.type);
  }
  // A number joined to a text is joined as the engine shows it.
  const bool joined = (previous && isPunct(*previous, u"&")) || isPunct(t_[at], u"&");
  if (joined && isNumberType(column.type) && column.type != FieldType::Boolean) sql = dialect_.shownText(sql);
  s.emit(s.columnDate && !listItem && !assigned ? dialect_.dateColumn(std::move(sql)) : sql);
  if (isNumberType(column.type)) s.operand = Operand::NumberField;
}

void ExpressionWriter::endToken(State& s, std::size_t at) {
  if (s.isOperand) {
    if (s.afterComparison && ((s.left == Operand::Text && s.operand == Operand::NumberField) ||
                              (s.left == Operand::NumberField && s.operand == Operand::Text)))
      raise(errc::CriteriaMismatch);
    if (s.previous && !s.afterComparison && lastWasOperand_) syntaxErrorAt(whole_, t_[s.start]);
    s.left = s.operand;
    s.afterComparison = false;
    if (s.keyedOperand) keyText(s.out, s.operandAt);
    if (!s.closer.empty()) {
      s.out += s.closer;
      s.closer.clear();
    }
    if (s.isDate && (!s.previous || !joinsOperands(*s.previous))) {
      s.dateAt = s.operandAt;
      s.dateEnd = at;
    }
  }
  lastWasOperand_ = s.isOperand;
  s.previous = &t_[at - 1];
  if (!s.isOperand) s.left = Operand::Other;
}

void ExpressionWriter::closeItem(State& s, bool descending) const {
  if (!dialect_.writesNullOrder() || !s.itemOpen) return;
  if (descending != s.flipItem) s.emit("DESC");
  s.emit(dialect_.nullOrder(descending));
  s.itemOpen = false;
  s.flipItem = false;
}

std::size_t ExpressionWriter::textFieldBefore(const State& s, std::size_t op) const {
  return dialect_.keysTexts() && s.columnText && s.columnAlone && !s.columnAssigned && s.columnEnd == op ? s.columnAt
                                                                                                         : npos;
}

void ExpressionWriter::keyText(std::string& out, std::size_t at) const {
  out.replace(at, npos, dialect_.orderKey(std::string_view(out).substr(at), FieldType::Text));
}

std::string ExpressionWriter::parameter(RawValue value, std::size_t token) {
  parameters_->push_back(std::move(value));
  if (sources_) sources_->push_back(token);
  // The server reads "$n"; its session numbers the marks in order.
  return "?";
}

std::optional<RawValue> literalParameter(const Token& tok) {
  switch (tok.kind) {
    case Tok::Text: return RawValue(toUtf8(tok.text));
    case Tok::Number: return numberValue(tok.text);
    case Tok::Date:
      if (const auto date = dateSerial(tok)) return RawValue(*date);
      return std::nullopt;
    default: return std::nullopt;
  }
}

std::string ExpressionWriter::functionName(const Token& tok) {
  const std::string_view name = dialect_.functionName(tok.text);
  if (name.empty()) raise(errc::UndefinedFunction, tok.text);
  return std::string(name);
}

std::size_t expressionEnd(const std::vector<Token>& tokens, std::size_t at,
                          const std::function<bool(const Token&)>& stop) {
  int depth = 0;
  for (; tokens[at].kind != Tok::End; ++at) {
    const Token& tok = tokens[at];
    if (depth == 0 && stop(tok)) break;
    if (isPunct(tok, u"(")) ++depth;
    // A closing parenthesis too many: the writer refuses it, whatever follows.
    if (isPunct(tok, u")") && --depth < 0) return tokens.size() - 1;
  }
  return at;
}

}  // namespace tarnwick::engine
