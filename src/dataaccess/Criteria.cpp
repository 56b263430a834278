#include "Criteria.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Number.h>

namespace tarnwick::dataaccess {

namespace {

bool isOperatorCharacter(char16_t c) noexcept { return c == u'<' || c == u'>' || c == u'='; }

// A typed number in the statement's own form.
std::u16string numberLiteral(std::u16string_view typed) {
  if (!isNumericText(typed)) raise(errc::TypeMismatch);
  std::u16string text = numberToText(parseNumber(typed));
  if (!text.empty() && text.front() == u' ') text.erase(0, 1);
  // The rule writes no zero before the point; SQL and formulas accept
  // ".5", but a leading zero reads better and means the same.
  if (!text.empty() && text.front() == u'.') text.insert(0, u"0");
  if (text.size() > 1 && text[0] == u'-' && text[1] == u'.') text.insert(1, u"0");
  return text;
}

// A typed date, checked, as the quoted argument of DateValue.
std::u16string dateValue(std::u16string_view typed) {
  if (!isDateText(typed)) raise(errc::TypeMismatch);
  return u"DateValue(" + quoted(typed) + u")";
}

std::u16string reference(Syntax syntax, std::u16string_view table, std::u16string_view field) {
  std::u16string ref;
  if (syntax == Syntax::Formula) ref += u'{';
  if (!table.empty()) {
    ref += table;
    ref += u'.';
  }
  ref += field;
  if (syntax == Syntax::Formula) ref += u'}';
  return ref;
}

}  // namespace

std::u16string_view operatorPrefix(std::u16string_view value) noexcept {
  if (value.empty() || !isOperatorCharacter(value[0])) return {};
  if (value.size() > 1 && isOperatorCharacter(value[1])) return value.substr(0, 2);
  return value.substr(0, 1);
}

std::u16string quoted(std::u16string_view text) {
  std::u16string out = u"'";
  for (char16_t c : text) {
    if (c == u'\'') out += u'\'';
    out += c;
  }
  out += u'\'';
  return out;
}

std::u16string searchCriterion(CriterionKind kind, Syntax syntax, std::u16string_view table, std::u16string_view field,
                               std::u16string_view value) {
  const std::u16string_view op = operatorPrefix(value);
  const std::u16string_view rest = value.substr(op.size());
  const std::u16string ref = reference(syntax, table, field);
  switch (kind) {
    case CriterionKind::Text:
      if (op.empty()) return syntax == Syntax::Sql ? ref + u" Like " + quoted(value) : quoted(value) + u" IN " + ref;
      return ref + std::u16string(op) + quoted(rest);
    case CriterionKind::Number:
      return ref + std::u16string(op.empty() ? u"=" : op) + numberLiteral(rest);
    case CriterionKind::Date:
      if (op.empty()) return ref + u" = " + dateValue(value);
      return ref + std::u16string(op) + dateValue(rest);
  }
  return {};
}

std::u16string rangeCriterion(Syntax syntax, std::u16string_view field, std::u16string_view from,
                              std::u16string_view to) {
  const std::u16string ref = reference(syntax, {}, field);
  if (!from.empty() && !to.empty()) return ref + u" BETWEEN " + dateValue(from) + u" AND " + dateValue(to);
  if (!from.empty()) return ref + u" > " + dateValue(from);
  return ref + u" < " + dateValue(to);
}

void addTable(std::u16string& list, std::u16string_view table) {
  std::u16string_view rest = list;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(u',');
    if (rest.substr(0, comma) == table) return;
    if (comma == std::u16string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (!list.empty()) list += u',';
  list += table;
}

}  // namespace tarnwick::dataaccess
