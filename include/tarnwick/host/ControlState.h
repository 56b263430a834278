#pragma once
// What a control or form shows, behind a small interface. The members of
// each kind (Control, Form) hold every rule and act only through this
// interface; the headless host stores the values (makeStoredState), a
// widget host maps them onto its widgets. A state never refuses a value:
// the members have checked it before they store it.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Variant.h>
#include <tarnwick/host/ControlKind.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::host {

// One column of a data grid.
struct GridColumn {
  std::u16string caption;
  std::u16string dataField;
  double width = 0;
  bool visible = true;
};

class TARNWICK_API ControlState {
 public:
  virtual ~ControlState() = default;

  // Scalar properties (Property); Empty until first set.
  virtual Variant get(Property property) const = 0;
  virtual void set(Property property, const Variant& value) = 0;

  // The items of a list (combo box, list box) or the captions of a tab strip's tabs.
  virtual std::size_t itemCount() const = 0;
  virtual std::u16string item(std::size_t at) const = 0;
  virtual void setItem(std::size_t at, std::u16string text) = 0;
  virtual void insertItem(std::size_t at, std::u16string text) = 0;
  virtual void removeItem(std::size_t at) = 0;
  virtual void clearItems() = 0;

  // The cells of a flex grid, rows and columns from 0; sizes in twips.
  virtual std::size_t rows() const = 0;
  virtual std::size_t cols() const = 0;
  // Changes the shape, keeping the cells that stay inside it.
  virtual void resize(std::size_t rows, std::size_t cols) = 0;
  virtual const std::u16string& cell(std::size_t row, std::size_t col) const = 0;
  virtual void setCell(std::size_t row, std::size_t col, std::u16string text) = 0;
  // Inserts a row of empty cells before `at` (at == rows() appends).
  virtual void insertRow(std::size_t at) = 0;
  // Inserts a row before `at` whose first cells hold `texts`, one a cell
  // (no more than cols()); the others stay empty. A grid filled with many
  // rows takes each in one call.
  virtual void insertFilledRow(std::size_t at, std::span<const std::u16string_view> texts) {
    insertRow(at);
    for (std::size_t c = 0; c < texts.size(); ++c) setCell(at, c, std::u16string(texts[c]));
  }
  virtual void removeRow(std::size_t at) = 0;
  virtual double colWidth(std::size_t col) const = 0;
  virtual void setColWidth(std::size_t col, double width) = 0;
  virtual double rowHeight(std::size_t row) const = 0;
  virtual void setRowHeight(std::size_t row, double height) = 0;

  // The columns of a data grid and its selected bookmarks.
  virtual std::size_t columnCount() const = 0;
  virtual GridColumn column(std::size_t at) const = 0;
  virtual void setColumn(std::size_t at, GridColumn column) = 0;
  virtual void insertColumn(std::size_t at, GridColumn column) = 0;
  virtual void clearColumns() = 0;
  virtual std::vector<Variant>& selectedBookmarks() = 0;

  // The control takes the keyboard focus, or moves in the stacking order.
  virtual void focus() {}
  virtual void raise(bool toFront) { (void)toFront; }

  // The owner (the control or form that keeps this state) has written its
  // starting values. A widget host reads what its widget already shows from
  // here on (values designed into it win over the defaults) and reports the
  // user's changes to the owner.
  virtual void attached(class Control& owner) { (void)owner; }
  virtual void attached(class Form& owner) { (void)owner; }

  // A data grid's records were read anew (bound, refreshed) or one changed;
  // its selected bookmarks were changed by a member (Add, Remove).
  virtual void recordsChanged() {}
  virtual void bookmarksChanged() {}
};

// The headless state: every value kept in memory.
TARNWICK_API std::unique_ptr<ControlState> makeStoredState();

// Default sizes of a flex grid's cells, in twips.
inline constexpr double kDefaultColWidth = 960;
inline constexpr double kDefaultRowHeight = 240;

}  // namespace tarnwick::host
