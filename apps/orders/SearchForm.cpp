#include "SearchForm.h"

#include "Text.h"
#include "ViewForm.h"

#include <tarnwick/automation/Convert.h>

#include <vector>

namespace orders {

using namespace tarnwick;

namespace {

// The search fields: customers by name and city, orders by number and
// quantity, and the pair of dates.
constexpr std::u16string_view kCustomerFields = u"txtCustomerFind";
constexpr std::u16string_view kOrderFields = u"txtOrderFind";
constexpr std::u16string_view kDateRange = u"txtDateRange";

std::u16string joined(const std::vector<std::u16string>& parts, std::u16string_view separator) {
  std::u16string out;
  for (const std::u16string& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

}  // namespace

SearchForm::SearchForm(Session& session) : FormBase(session, "search.ui") {
  customise();
  startIn(widget(kCustomerFields, 0));
  onClick(u"cmdSearch", [this] { search(); });
  onClick(u"cmdClear", [this] { clear(); });
}

SearchForm::~SearchForm() = default;

bool SearchForm::anyFilledIn(std::u16string_view fields) const {
  const Object array = control(fields);
  const std::int32_t upper = toInt32(array.get(u"UBound"));
  for (std::int32_t i = toInt32(array.get(u"LBound")); i <= upper; ++i)
    if (!toText(Object(array.get(u"Item", {Variant(i)})).get(u"Text")).empty()) return true;
  return false;
}

std::optional<std::u16string> SearchForm::condition(std::u16string_view fields) const {
  // Conditions alone, in the engine's syntax: the front end writes the statement itself.
  const Variant arrays = makeVariantArray({form().get(fields)});
  std::u16string found(library().dataAccess.call(u"GetWhereClauseFromTags_s", arrays, true, false).text());
  if (found.empty() && anyFilledIn(fields)) return std::nullopt;
  return found;
}

std::optional<std::u16string> SearchForm::dateRange() const {
  const Variant pairs = form().get(kDateRange);
  const std::int16_t upper = toInt16(Object(pairs).get(u"UBound"));
  std::u16string found(
      library().dataAccess.call(u"GetBetweenWhereClauseFromTags_s", pairs, std::int16_t{0}, upper, true, false).text());
  if (found.empty() && anyFilledIn(kDateRange)) return std::nullopt;
  return found;
}

std::u16string SearchForm::customerIds(const std::u16string& where) const {
  const Object customers = session().open(concat(u"Select * From Customers WHERE ", where), kSnapshot);
  std::vector<std::u16string> ids;
  for (; !toBool(customers.get(u"EOF")); customers.call(u"MoveNext"))
    ids.push_back(toText(customers.get(u"Collect", {Variant(u"CustomerId")})));
  return joined(ids, u",");
}

std::optional<std::u16string> SearchForm::orderStatement() const {
  const auto customers = condition(kCustomerFields);
  const auto orders = condition(kOrderFields);
  const auto dates = dateRange();
  if (!customers || !orders || !dates) return std::nullopt;
  // Customers and orders are two tables: the customers found first, then
  // their orders, so that the view's records are orders alone, which the
  // grid can copy, paste and delete.
  std::vector<std::u16string> conditions;
  if (!customers->empty()) {
    const std::u16string ids = customerIds(*customers);
    if (ids.empty()) return std::u16string();
    conditions.push_back(concat(u"Orders.[CustomerId] In (", ids, u")"));
  }
  if (!orders->empty()) conditions.push_back(*orders);
  if (!dates->empty()) conditions.push_back(*dates);
  const std::u16string where = conditions.empty() ? u"" : concat(u" WHERE ", joined(conditions, u" and "));
  return concat(u"Select * From Orders", where, u" Order By OrderDate");
}

void SearchForm::search() {
  setStatus(u"");
  const std::optional<std::u16string> statement = orderStatement();
  if (!statement) return;
  if (statement->empty()) {
    setStatus(u"No matching Records");
    return;
  }
  if (!view_) view_ = std::make_unique<ViewForm>(session());
  const std::u16string answer = view_->showResult(*statement);
  setStatus(answer.empty() ? concat(view_->recordCount(), u" orders found") : answer);
}

void SearchForm::clear() const {
  for (std::u16string_view fields : {kCustomerFields, kOrderFields, kDateRange}) {
    const Object array = control(fields);
    library().ocx.call(u"ClearControls", Variant(array.get()), toInt16(array.get(u"LBound")),
                       toInt16(array.get(u"UBound")));
  }
  setStatus(u"");
}

}  // namespace orders
