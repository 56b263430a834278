#pragma once
// The search form: search fields whose tags name the table and field each
// one restricts, and a date range. The library turns what the user typed
// into conditions; the front end joins them into the statement that the
// view form shows.
#include "FormBase.h"

#include <memory>
#include <optional>
#include <string>

namespace orders {

class ViewForm;

class SearchForm : public FormBase {
 public:
  explicit SearchForm(Session& session);
  ~SearchForm() override;

  // The statement that selects the orders asked for. nullopt when the
  // library refused a typed value (it has told the user why); "" when no
  // customer matches, so that no order can.
  std::optional<std::u16string> orderStatement() const;

  // The Search button: shows the orders in the view form, or says why not.
  void search();
  // The Clear button: empties every search field.
  void clear() const;

  ViewForm* view() const { return view_.get(); }

 private:
  // The condition of one control array of search fields, "" when none of
  // them is filled in; nullopt when the library refused a value.
  std::optional<std::u16string> condition(std::u16string_view fields) const;
  std::optional<std::u16string> dateRange() const;
  // The numbers of the customers the condition selects, separated by ",".
  std::u16string customerIds(const std::u16string& condition) const;
  bool anyFilledIn(std::u16string_view fields) const;

  std::unique_ptr<ViewForm> view_;
};

}  // namespace orders
