#include "SqlExpression.h"

#include "Connection.h"
#include "postgres/PgDialect.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <type_traits>

namespace tarnwick::engine {

namespace {

struct FunctionName {
  std::u16string_view dialect;
  std::string_view storage;
};
constexpr FunctionName kFunctions[] = {
    {u"DateValue", "tw_datevalue"}, {u"Date", "tw_today"}, {u"Now", "tw_now"},     {u"UCase", "tw_ucase"},
    {u"LCase", "tw_lcase"},        {u"Len", "tw_len"},    {u"Trim", "tw_trim"},   {u"LTrim", "tw_ltrim"},
    {u"RTrim", "tw_rtrim"},        {u"Mid", "tw_mid"},    {u"Abs", "abs"},        {u"Nz", "ifnull"},
    {u"Count", "count"},           {u"Sum", "sum"},       {u"Min", "min"},        {u"Max", "max"},
    {u"Avg", "avg"},               {u"CDate", "tw_date"}, {u"Round", "round"},
};

// A text as the storage's literal. The storage reads a statement only up to
// a NUL character, so a text holding one is written as pieces joined around
// char(0): written whole, the NUL would cut the statement short.
std::string textLiteral(std::u16string_view text) {
  const std::string utf8 = toUtf8(text);
  const bool pieces = utf8.find('\0') != std::string::npos;
  std::string out = pieces ? "('" : "'";
  for (char c : utf8) {
    if (c == '\0') {
      out += "' || char(0) || '";
      continue;
    }
    if (c == '\'') out += '\'';
    out += c;
  }
  out += pieces ? "')" : "'";
  return out;
}

std::string numberLiteral(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

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

// A number as the server's truth it stands for: 0 is No, any other Yes.
std::string_view truthOf(const Token& number) {
  const auto value = numberValue(number.text);
  const bool zero = value && std::visit([](const auto& v) { return isZero(v); }, *value);
  return zero ? "FALSE" : "TRUE";
}

bool isNumberType(FieldType t) { return !isTextType(t) && t != FieldType::Date && t != FieldType::Binary && t != FieldType::LongBinary; }

// The operand from `at` to the end of `out` as the server compares texts
// in a database file's order.
void keyText(std::string& out, std::size_t at) {
  out.replace(at, std::string::npos, serverOrderKey(std::string_view(out).substr(at), FieldType::Text));
}

// What an operand of a comparison is, for the type test of criteria.
enum class Operand { Other, Text, NumberField };

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

std::string ExpressionWriter::expression(std::size_t& at, std::size_t end) {
  std::string out;
  int depth = 0;
  Operand left = Operand::Other;
  bool afterComparison = false;
  const Token* previous = nullptr;
  // The last field reference: where it starts in `out`, the token after
  // it, and whether it is a text (the server matches patterns in texts).
  std::size_t columnAt = std::string::npos;
  std::size_t columnEnd = 0;
  bool columnText = true;
  bool columnBoolean = false;
  bool columnAlone = false;
  bool columnAssigned = false;
  bool columnDate = false;
  // The last date standing alone as an operand: where it starts in `out`
  // and the token after it.
  std::size_t dateAt = std::string::npos;
  std::size_t dateEnd = 0;
  // Inside an UPDATE's SET list, where fields are assigned.
  bool setList = false;
  // Inside an INSERT's VALUES list, at the value of its field `valueItem`.
  bool valuesList = false;
  std::size_t valueItem = 0;
  // The clause being written, for the server's order and groups.
  enum class Clause { Other, Order, Group } clause = Clause::Other;
  // An item of an ORDER BY list on the server: a yes/no field sorts the
  // other way round (Yes is -1 in a database file); Nulls come first.
  bool flipItem = false;
  bool itemOpen = false;
  // What the server writes after the next operand, and before the closing
  // parenthesis of a call at a depth.
  std::string closer;
  std::vector<std::pair<int, std::string>> callEnds;
  // The operands still to come that the server compares as texts.
  int keyed = 0;
  // The operands still to come that a date field meets: a text among them
  // is read as a date, the user's way. And a number that a text field
  // meets on the server, which is written as a text.
  int dated = 0;
  bool numberAsText = false;
  // The last text literal standing alone: where it starts in `out`, the
  // token after it.
  std::size_t textAt = std::string::npos;
  std::size_t textEnd = 0;
  // Whether a date field stands alone just before token `op`.
  const auto dateFieldBefore = [&](std::size_t op) {
    return columnDate && columnAlone && !columnAssigned && columnEnd == op;
  };
  // Where the text field just before token `op` starts in `out`, when it
  // stands alone as the left side of a comparison on the server.
  const auto textFieldBefore = [&](std::size_t op) {
    return server_ && columnText && columnAlone && !columnAssigned && columnEnd == op ? columnAt
                                                                                      : std::string::npos;
  };
  // Whether this piece is a statement's select list (up to its FROM).
  const bool selectList = isWord(t_[at], u"SELECT") || (at > 0 && isWord(t_[at - 1], u"DISTINCTROW"));
  const auto emit = [&](std::string_view piece) {
    if (!out.empty()) out += ' ';
    out += piece;
  };
  const auto closeItem = [&](bool descending) {
    if (!server_ || !itemOpen) return;
    if (descending != flipItem) emit("DESC");
    emit(descending ? "NULLS LAST" : "NULLS FIRST");
    itemOpen = false;
    flipItem = false;
  };
  while (at < end) {
    const Token& tok = t_[at];
    const std::size_t start = at;
    Operand operand = Operand::Other;
    bool isOperand = false;
    if (tok.kind == Tok::Punct) {
      if (tok.text == u";") syntaxErrorAt(whole_, tok);
      if (tok.text == u"(") ++depth;
      if (tok.text == u")") {
        if (!callEnds.empty() && callEnds.back().first == depth) {
          out += callEnds.back().second;
          callEnds.pop_back();
        }
        if (--depth < 0) syntaxErrorAt(whole_, tok);
      }
      if (tok.text == u"," && depth == 0 && clause == Clause::Order) {
        closeItem(false);
        itemOpen = true;
      }
      if (isComparison(tok)) {
        if (previous && (isComparison(*previous) || isPunct(*previous, u"("))) syntaxErrorAt(whole_, tok);
        // The server compares texts as a database file does: letter case
        // ignored in ASCII only, otherwise by the characters' numbers. A
        // file compares two literals as they are: a field takes part.
        std::size_t leftAt = textFieldBefore(at);
        if (leftAt != std::string::npos && !singleText(at + 1)) leftAt = std::string::npos;
        if (server_ && leftAt == std::string::npos && textAt != std::string::npos && textEnd == at &&
            singleText(at + 1, true))
          leftAt = textAt;
        const bool numberMet = t_[at + 1].kind == Tok::Number && !joinsOperands(t_[at + 2]);
        if (leftAt == std::string::npos && numberMet && textFieldBefore(at) != std::string::npos) {
          leftAt = textFieldBefore(at);
          numberAsText = true;
        }
        if (leftAt != std::string::npos) {
          keyText(out, leftAt);
          keyed = 1;
        }
        if (dateFieldBefore(at)) dated = 1;
        emit(toUtf8(tok.text));
        afterComparison = true;
        lastWasOperand_ = false;
        previous = &tok;
        ++at;
        // The server's yes/no fields are truth values, not the numbers -1
        // and 0: a number compared with (or assigned to) one is written as
        // the truth it stands for.
        const std::size_t sign = isPunct(t_[at], u"-") ? 1 : 0;
        if (server_ && columnBoolean && columnEnd + 1 == at && at + sign < end &&
            t_[at + sign].kind == Tok::Number) {
          emit(truthOf(t_[at + sign]));
          at += sign + 1;
          previous = &t_[at - 1];
          lastWasOperand_ = true;
          afterComparison = false;
          left = Operand::Other;
        }
        continue;
      }
      lastWasOperand_ = false;
      const bool item = !previous || isWord(*previous, u"SELECT") || isWord(*previous, u"DISTINCT") ||
                        isWord(*previous, u"ALL") || isPunct(*previous, u",");
      if (tok.text == u"*" && star_ && selectList && depth == 0 && item) {
        emit(star_({}));
        ++at;
        previous = &tok;
        lastWasOperand_ = true;
        continue;
      }
      if (tok.text == u"(" && depth == 1 && previous && isWord(*previous, u"VALUES")) valuesList = true;
      if (tok.text == u")" && depth == 0) valuesList = false;
      if (valuesList && depth == 1 && tok.text == u",") ++valueItem;
      // A number alone, signed or not, as a value for a yes/no field.
      const std::size_t sign = isPunct(t_[at + 1], u"-") ? 1 : 0;
      if (server_ && valuesList && depth == 1 && (tok.text == u"(" || tok.text == u",") &&
          t_[at + 1 + sign].kind == Tok::Number &&
          (isPunct(t_[at + 2 + sign], u",") || isPunct(t_[at + 2 + sign], u")")) &&
          valueItem < filled_.size() && filled_[valueItem] == FieldType::Boolean) {
        emit(toUtf8(tok.text));
        emit(truthOf(t_[at + 1 + sign]));
        at += 2 + sign;
        previous = &t_[at - 1];
        lastWasOperand_ = true;
        continue;
      }
      // Date minus date is a number of days, fractional, as with the day
      // serials of a database file.
      const bool days = server_ && tok.text == u"-" && dateAt != std::string::npos && dateEnd == at &&
                        singleDate(at + 1);
      if (days) out.insert(dateAt, "tarnwick.days(");
      // The server joins a text to anything, but not two numbers: an empty
      // text between them makes them texts, whatever each side is.
      if (tok.text == u"&") emit(server_ ? "|| '' ||" : "||");
      else if (tok.text == u"!" || tok.text == u"\\" || tok.text == u"^" || tok.text == u".") syntaxErrorAt(whole_, tok);
      else emit(toUtf8(tok.text));
      if (days) closer = ")";
      ++at;
      previous = &tok;
      if (tok.text != u"(" && tok.text != u")") afterComparison = false;
      continue;
    }
    if (server_ && (isWord(tok, u"LIKE") || (isWord(tok, u"NOT") && isWord(t_[at + 1], u"LIKE")))) {
      const bool leftColumn = columnAt != std::string::npos && columnEnd == at;
      serverLike(out, at, end, leftColumn ? columnAt : std::string::npos, columnText);
      lastWasOperand_ = true;
      previous = &t_[at - 1];
      left = Operand::Other;
      afterComparison = false;
      continue;
    }
    // A text field compared with a range or a list of texts; a date field
    // with a range or a list.
    if (isWord(tok, u"NOT") || isWord(tok, u"BETWEEN") || isWord(tok, u"IN")) {
      const std::size_t leftAt = textFieldBefore(at);
      const int texts = leftAt == std::string::npos ? 0 : textsMet(at);
      if (texts) {
        keyText(out, leftAt);
        keyed = texts;
      }
      if (dateFieldBefore(at)) dated = operandsMet(at);
    }
    const bool operandStarts = (tok.kind == Tok::Text || tok.kind == Tok::Name || tok.kind == Tok::Word ||
                                tok.kind == Tok::Number || tok.kind == Tok::Date) &&
                               !isKeyword(tok);
    const bool keyedOperand = keyed > 0 && operandStarts;
    if (keyedOperand) --keyed;
    const bool datedOperand = dated > 0 && operandStarts;
    if (datedOperand) --dated;
    const std::size_t operandAt = out.empty() ? 0 : out.size() + 1;
    bool isDate = false;
    if (datedOperand && tok.kind == Tok::Text) {
      // Written as the date it reads as, never as a parameter: the text's
      // value is not the date's.
      const auto date = tryParseDate(tok.text);
      if (!date) raise(errc::CriteriaMismatch);
      emit(server_ ? "TIMESTAMP '" + timestampText(*date) + "'" : numberLiteral(*date));
      isOperand = true;
      isDate = true;
      ++at;
    } else if (numberAsText && tok.kind == Tok::Number) {
      // A file compares a text field with a number as with its text.
      emit(serverTextLiteral(tok.text));
      numberAsText = false;
      isOperand = true;
      ++at;
    } else if (tok.kind == Tok::Text) {
      emit(parameters_ ? parameter(*literalParameter(tok), at)
                       : server_ ? serverTextLiteral(tok.text) : textLiteral(tok.text));
      operand = Operand::Text;
      isOperand = true;
      ++at;
      if (!previous || !joinsOperands(*previous)) {
        textAt = operandAt;
        textEnd = at;
      }
    } else if (tok.kind == Tok::Number) {
      const auto number = parameters_ ? literalParameter(tok) : std::nullopt;
      // The server reads a parameter as the type its place asks for, or
      // none at all ("-$1"): a number says what it is.
      std::string cast;
      if (server_ && number) {
        const auto* whole = std::get_if<std::int64_t>(&*number);
        const bool small = whole && *whole >= std::numeric_limits<std::int32_t>::min() &&
                           *whole <= std::numeric_limits<std::int32_t>::max();
        cast = !whole ? "::double precision" : small ? "::integer" : "::bigint";
      }
      emit(number ? parameter(*number, at) + cast : toUtf8(tok.text));
      isOperand = true;
      ++at;
    } else if (tok.kind == Tok::Date) {
      const auto date = dateSerial(tok);
      if (!date) syntaxErrorAt(whole_, tok);
      if (!server_) emit(parameters_ ? parameter(*date, at) : numberLiteral(*date));
      else if (parameters_) emit(parameter(timestampText(*date), at) + "::timestamp");
      else emit("TIMESTAMP '" + timestampText(*date) + "'");
      isOperand = true;
      isDate = true;
      ++at;
    } else if (isWord(tok, u"True") || isWord(tok, u"False")) {
      if (server_) emit(isWord(tok, u"True") ? "TRUE" : "FALSE");
      else emit(isWord(tok, u"True") ? "-1" : "0");
      isOperand = true;
      ++at;
    } else if (isWord(tok, u"Mod")) {
      emit("%");
      ++at;
    } else if (isWord(tok, u"Xor") || isWord(tok, u"Eqv") || isWord(tok, u"Imp")) {
      syntaxErrorAt(whole_, tok);
    } else if (server_ && clause == Clause::Order && depth == 0 && (isWord(tok, u"ASC") || isWord(tok, u"DESC"))) {
      closeItem(isWord(tok, u"DESC"));
      ++at;
    } else if (isKeyword(tok)) {
      if (depth == 0 && (isWord(tok, u"SET") || isWord(tok, u"WHERE"))) setList = isWord(tok, u"SET");
      if (isWord(tok, u"DISTINCT") && server_ && selectList && depth == 0) {
        groups_ = distinctGroups(at + 1, end);
        if (!groups_.empty()) {
          ++at;
          previous = &tok;
          continue;
        }
      }
      if (isWord(tok, u"DISTINCT")) distinct_ = true;
      if (isWord(tok, u"UNION") && depth == 0) union_ = true;
      if (isWord(tok, u"ORDER") && depth == 0 && !groups_.empty()) emit(finish());
      if (depth == 0 && isWord(tok, u"BY") && previous) {
        clause = isWord(*previous, u"ORDER") ? Clause::Order : Clause::Group;
        itemOpen = clause == Clause::Order;
      } else if (depth == 0 && !isWord(tok, u"ASC") && !isWord(tok, u"DESC") &&
                 (isWord(tok, u"WHERE") || isWord(tok, u"HAVING") || isWord(tok, u"ORDER") ||
                  isWord(tok, u"GROUP") || isWord(tok, u"UNION") || isWord(tok, u"FROM"))) {
        closeItem(false);
        clause = Clause::Other;
      }
      emit(toUtf8(tok.text));
      ++at;
    } else if (tok.kind == Tok::Word && isPunct(t_[at + 1], u"(")) {
      const ServerCall call = server_ ? serverCall(at) : ServerCall{};
      if (call.tokens) {
        // The whole call, worked out here.
        emit(call.sql);
        at += call.tokens;
        isOperand = true;
        isDate = call.date;
      } else {
        emit(call.sql.empty() ? functionName(tok) : call.sql);
        if (!call.lastArgument.empty()) callEnds.emplace_back(depth + 1, call.lastArgument);
        ++at;
      }
    } else if (selectList && depth == 0 && previous && isWord(*previous, u"AS") &&
               (tok.kind == Tok::Word || tok.kind == Tok::Name)) {
      // The name a select list gives an item: a name of its own, even where
      // it is also the name of a field ("Sum(Qty) AS Qty").
      emit(quoteName(std::u16string_view(tok.text)));
      ++at;
      previous = &tok;
      lastWasOperand_ = true;
      continue;
    } else {
      // A field reference, possibly qualified.
      std::u16string qualifier;
      std::u16string name = tok.text;
      ++at;
      if ((isPunct(t_[at], u".") || isPunct(t_[at], u"!")) &&
          (t_[at + 1].kind == Tok::Word || t_[at + 1].kind == Tok::Name || isPunct(t_[at + 1], u"*"))) {
        qualifier = name;
        if (isPunct(t_[at + 1], u"*")) {
          emit(star_ && selectList && depth == 0 ? star_(qualifier) : quoteName(std::u16string_view(qualifier)) + ".*");
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
        // A field that a SET list assigns is named as it is stored.
        const bool assigned = setList && depth == 0 && previous &&
                              (isWord(*previous, u"SET") || isPunct(*previous, u",")) && isPunct(t_[at], u"=");
        columnAt = out.empty() ? 0 : out.size() + 1;
        columnEnd = at;
        columnText = isTextType(column->type);
        columnBoolean = column->type == FieldType::Boolean;
        columnAlone = !previous || !joinsOperands(*previous);
        columnAssigned = assigned;
        columnDate = column->type == FieldType::Date;
        std::string sql = column->sql;
        if (server_) {
          const bool item = depth == 0 && previous && (isWord(*previous, u"BY") || isPunct(*previous, u",")) &&
                            endsOrderItem(t_[at]);
          const bool orderItem = item && clause == Clause::Order;
          // The order of a union names the columns of its result.
          const auto dot = sql.find("\".\"");
          if (orderItem && union_ && dot != std::string::npos) sql.erase(0, dot + 2);
          // A text groups with the texts equal to it in a file's order;
          // grouped by itself too, it may still be selected.
          if (columnText && item && clause == Clause::Group) sql = serverOrderKey(sql, column->type) + ", " + sql;
          if (columnBoolean && !listItem && !assigned && clause != Clause::Group &&
              !truthPlace(t_, start, at)) {
            // A yes/no field counted or compared as a number is -1 or 0.
            if (orderItem) flipItem = true;
            else sql = serverOrderKey(sql, FieldType::Boolean);
          } else if (columnText && orderItem && !distinct_ && !union_) {
            sql = serverOrderKey(sql, column->type);
          }
          if (column->type == FieldType::Date && columnAlone) isDate = true;
        }
        // A number joined to a text is joined as the engine shows it: a
        // file's real number without ".0", the server's exact one without
        // its trailing zeros.
        const bool joined = (previous && isPunct(*previous, u"&")) || isPunct(t_[at], u"&");
        if (joined && isNumberType(column->type) && column->type != FieldType::Boolean)
          sql = (server_ ? "tarnwick.shown(" : "tw_text(") + sql + ")";
        // The server keeps dates as timestamps, which compare as dates.
        emit(column->type == FieldType::Date && !listItem && !assigned && !server_ ? "tw_date(" + sql + ")" : sql);
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
      if (previous && !afterComparison && lastWasOperand_) syntaxErrorAt(whole_, tok);
      left = operand;
      afterComparison = false;
      if (keyedOperand) keyText(out, operandAt);
      if (!closer.empty()) {
        out += closer;
        closer.clear();
      }
      if (isDate && (!previous || !joinsOperands(*previous))) {
        dateAt = operandAt;
        dateEnd = at;
      }
    }
    lastWasOperand_ = isOperand;
    previous = &t_[at - 1];
    if (!isOperand) left = Operand::Other;
  }
  if (depth != 0) syntaxErrorAt(whole_, t_[at]);
  closeItem(false);
  return out;
}

std::string ExpressionWriter::parameter(RawValue value, std::size_t token) {
  parameters_->push_back(std::move(value));
  if (sources_) sources_->push_back(token);
  // The server reads "$n"; its session numbers the marks in order.
  return "?";
}

// On the server, X Like P is a case-blind match of X against P as a regular
// expression; a literal pattern is made one here, any other by the engine's
// function on the server. A field that holds no text is matched by its text.
void ExpressionWriter::serverLike(std::string& out, std::size_t& at, std::size_t end, std::size_t leftColumn,
                                  bool leftText) {
  const bool negated = isWord(t_[at], u"NOT");
  at += negated ? 2 : 1;
  if (leftColumn != std::string::npos && !leftText) {
    out.insert(leftColumn, "CAST(");
    out += " AS text)";
  }
  out += negated ? " !~* " : " ~* ";
  const auto joins = [](const Token& t) {
    return t.kind == Tok::Punct && (t.text == u"&" || t.text == u"+" || t.text == u"-" || t.text == u"*" ||
                                    t.text == u"/" || t.text == u"." || t.text == u"!");
  };
  // A number as a pattern is its text.
  if (at < end && (t_[at].kind == Tok::Text || t_[at].kind == Tok::Number) &&
      !(at + 1 < end && (joins(t_[at + 1]) || isWord(t_[at + 1], u"Mod")))) {
    const std::string regex = likeRegex(t_[at].text);
    out += parameters_ ? parameter(regex, at | kPatternSource) : serverTextLiteral(fromUtf8(regex));
    out += ' ';
    out += kPatternCollation;
    ++at;
    return;
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
  const std::string pattern = expression(at, stop);
  out += "tarnwick.like_regex(" + pattern + ") ";
  out += kPatternCollation;
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
  if (server_) {
    const std::string_view name = serverFunctionName(tok.text);
    if (name.empty()) raise(errc::UndefinedFunction, tok.text);
    return std::string(name);
  }
  for (const FunctionName& f : kFunctions)
    if (equalsIgnoreCase(f.dialect, tok.text)) return std::string(f.storage);
  raise(errc::UndefinedFunction, tok.text);
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
