// Search and range conditions from what the user typed into tagged controls.
#include "SearchRoutines.h"

#include "Criteria.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Operations.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/TagDirectives.h>

namespace tarnwick::dataaccess {

namespace {

// The condition alone, or the whole statement over the tables it names.
std::u16string result(const std::u16string& condition, const std::u16string& tables, bool statement) {
  if (condition.empty()) return {};
  if (statement) return u"Select * From " + tables + u" WHERE " + condition;
  return condition;
}

void append(std::u16string& condition, const std::u16string& criterion) {
  if (!condition.empty()) condition += u" and ";
  condition += criterion;
}

bool isExcluded(const std::vector<Variant>& exclusions, const std::u16string& field) {
  const Variant wanted(field);
  for (const Variant& entry : exclusions)
    if (compare(entry, wanted) == Comparison::Equal) return true;
  return false;
}

// The value a search control offers, by the control's kind.
std::u16string searchValue(const Object& control, const std::u16string& typeName) {
  if (typeName == u"DBCombo") return toText(control.get(u"BoundText"));
  if (typeName == u"TextBox") return toText(control.get(u"Text"));
  if (typeName == u"CheckBox") return toDouble(control.get(u"Value")) == 1.0 ? u"-1" : u"0";
  return toText(control.value());
}


// The condition and table list that search controls add up to.
struct SearchConditions {
  Syntax syntax;
  bool statement;
  const std::vector<Variant>& exclusions;
  std::u16string condition;
  std::u16string tables;

  // Adds the criterion of one control: a check box always, another control
  // when it holds text, each by its tag's search directive and type word.
  void add(const Object& control) {
    const std::u16string typeName = control.typeName();
    if (typeName != u"CheckBox" && toText(control.get(u"Text")).empty()) return;
    const std::u16string tag = toText(control.get(u"Tag"));
    const std::u16string value = searchValue(control, typeName);
    const auto directive = frame::tags::search(tag);
    if (!directive) return;
    if (statement) addTable(tables, directive->table);
    const std::u16string field = u"[" + directive->field + u"]";
    if (isExcluded(exclusions, field)) return;
    CriterionKind kind = CriterionKind::Text;
    if (const auto word = frame::tags::searchTypeWord(tag)) {
      if (*word == u"Number") kind = CriterionKind::Number;
      else if (*word == u"Date") kind = CriterionKind::Date;
      else return;
    }
    // The statement could not hold a NUL: the fault is the control's.
    if (kind == CriterionKind::Text && value.find(u'\0') != std::u16string::npos)
      raise(errc::InvalidPropertyValue, {}, u"(a NUL character in the search value of " + frame::controlName(control) + u")");
    append(condition, searchCriterion(kind, syntax, directive->table, field, value));
  }

  std::u16string result() const { return dataaccess::result(condition, tables, statement); }
};

}  // namespace

void getWhereClauseFromTags(Call& call) {
  const Syntax syntax = call.flag(1) ? Syntax::Sql : Syntax::Formula;
  const bool statement = call.flag(2);
  const std::vector<Variant> exclusions = frame::arrayElements(call.arg(3));
  SearchConditions search{syntax, statement, exclusions, {}, {}};
  // A bad control never stops the search: its error is recorded and the
  // next control clears it, so only an error at the very end remains.
  frame::ContinueOnError errors;
  std::vector<Variant> arrays;
  errors.run([&] { arrays = frame::arrayElements(call.arg(0)); });
  for (const Variant& arrayValue : arrays) {
    Object controls;
    std::int32_t upper = -1;
    if (!errors.run([&] {
          controls = Object(arrayValue);
          upper = frame::upperBound(controls);
        }))
      continue;
    bool more = false;
    for (std::int32_t j = 0; errors.run([&] { more = frame::indexWithin(j, upper); }) && more; ++j) {
      errors.clear();
      errors.run([&] { search.add(frame::element(controls, j)); });
    }
  }
  const bool failed = frame::finish(errors.pending());
  call.setResult(failed ? std::u16string() : search.result());
}

void getBetweenWhereClauseFromTags(Call& call) {
  const std::int16_t lower = call.int16(1);
  const std::int16_t upper = call.int16(2);
  const Syntax syntax = call.flag(3) ? Syntax::Sql : Syntax::Formula;
  const bool statement = call.flag(4);
  std::u16string condition;
  std::u16string tables;
  // The first error ends the walk; its description is shown and the
  // criteria built so far are dropped.
  const bool failed = frame::runThenFinish([&] {
    const Object controls(call.arg(0));
    for (std::int32_t i = lower; frame::indexWithin(i, upper); i += 2) {
      const Object from = frame::element(controls, i);
      const auto directive = frame::tags::search(toText(from.get(u"Tag")));
      if (!directive) continue;
      if (statement) addTable(tables, directive->table);
      const std::u16string fromValue = toText(from.value());
      const std::u16string toValue = toText(frame::element(controls, i + 1).value());
      if (fromValue.empty() && toValue.empty()) continue;
      append(condition, rangeCriterion(syntax, u"[" + directive->field + u"]", fromValue, toValue));
    }
  }).has_value();
  call.setResult(failed ? std::u16string() : result(condition, tables, statement));
}

}  // namespace tarnwick::dataaccess
