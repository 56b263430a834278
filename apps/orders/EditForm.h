#pragma once
// The edit form: one order in text boxes whose tags bind them to the
// fields of the Orders and Customers tables. The library reads the record
// into the boxes, checks each typed value when the user leaves its box,
// saves the boxes in a transaction, keeps per-box default values for new
// orders and writes the order's mail-merge file.
#include "FormBase.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orders {

class FocusWatch;

// The boxes: elements of the control array txtField.
enum class Field : std::int16_t { OrderNo = 0, CustomerNo, Customer, City, OrderDate, Quantity, Note };

class EditForm : public FormBase {
 public:
  // `saved` runs after a save succeeded, so that other forms show the change.
  EditForm(Session& session, std::function<void()> saved);
  ~EditForm() override;

  // Shows an order; false (and a line in the status) when there is none.
  bool open(std::int32_t orderId);
  // Centres the form on the screen and keeps it above other windows.
  void showOnTop() const;

  // The value of a box, and what typing does: the box's text.
  std::u16string value(Field field) const;
  void type(Field field, std::u16string_view text) const;
  QWidget* box(Field field) const;

  // Checks one box as leaving it does; "" when it passes, else the
  // library's message, which the user has been shown.
  std::u16string check(Field field) const;
  // The Save button: checks every box, then saves the order in a
  // transaction. True when the order was saved. When another user changed
  // or deleted the order since it was shown, the save is refused with the
  // engine's message, and the user is asked whether to show the order as
  // it is now (kReloadQuestion) or keep what was typed (a later Save then
  // writes it over the other user's change).
  static constexpr std::u16string_view kReloadQuestion =
      u"Another user changed this order since you opened it. Show the order as it is now? "
      u"(No keeps what you typed.)";
  bool save();
  // The New button: empties the boxes and fills in the default values.
  void newOrder();
  // The As default button: keeps the value of the box last left as the
  // default for new orders. False when no box was left yet.
  bool keepAsDefault() const;
  // The Letter button: writes the order's mail-merge file; its path, or
  // "" when the library refused (the number is in the status line).
  std::u16string writeLetter() const;

  bool adding() const noexcept { return adding_; }

 private:
  Object field(Field f) const { return element(u"txtField", static_cast<std::int16_t>(f)); }
  void readOrder();
  void showCustomer() const;
  std::int32_t nextOrderNo() const;
  void left(QWidget* box);

  std::function<void()> saved_;
  std::unique_ptr<FocusWatch> watch_;
  Object orders_;     // the Orders table, on the order shown
  Object customers_;  // the Customers table
  bool adding_ = false;
  mutable bool checking_ = false;
  std::optional<Field> lastLeft_;
};

}  // namespace orders
