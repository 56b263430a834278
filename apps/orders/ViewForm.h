#pragma once
// The view form: the orders a search found in a data grid bound to the
// form's data control, the lines of the current order in a flex grid, and
// the commands that copy, paste and delete grid rows.
#include "FormBase.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orders {

class EditForm;

class ViewForm : public FormBase {
 public:
  explicit ViewForm(Session& session);
  ~ViewForm() override;

  // Shows the orders the statement selects: "" when the form shows them,
  // otherwise the library's answer ("No matching Records", or the text of
  // the error that stopped it).
  std::u16string showResult(const std::u16string& statement);

  // How many orders the shown statement selects now.
  std::int32_t recordCount() const;
  // The order of the grid's current row; nullopt when there is none.
  std::optional<std::int32_t> currentOrder() const;
  // Moves the grid's current row (from 0) and shows that order's lines.
  void goToRow(std::int32_t row) const;
  // The lines grid: how many lines it shows (its rows below the heading).
  std::int32_t lineCount() const;

  // The buttons. Each gives the library's result: 0, or an error number.
  std::int16_t copyRows() const;
  std::int16_t pasteRows();
  std::int16_t deleteRows();
  // Export writes the orders the grid shows (its columns, captions and
  // order; the selected rows when any are selected) to `file`, in the
  // format of its extension (csv, xlsx or pdf); with no file it asks for
  // one. Print prints them to `pdf`, or with no file through the print
  // dialog. Each gives the number of rows written (0 when the user chose
  // nothing).
  std::int32_t exportRows(const std::optional<std::u16string>& file = std::nullopt) const;
  std::int32_t printRows(const std::optional<std::u16string>& pdf = std::nullopt) const;
  // Opens the edit form on the current order; nullptr when there is none.
  EditForm* editOrder();
  EditForm* editForm() const { return edit_.get(); }

  // Shows the lines of the current order in the flex grid.
  void showLines() const;

 private:
  Object dataControl() const { return control(u"objDatacontrol"); }
  Object grid() const { return control(u"grdOrders"); }
  Object lines() const { return control(u"grdLines"); }
  Object recordset() const;
  void prepareLines() const;
  void fitGrids() const;
  // Reads the records again after they changed, keeping the grid's customisation.
  void refresh();
  // With no row selected, the commands act on the current row.
  void selectCurrentRowIfNone() const;
  void closeView() const;

  std::unique_ptr<EditForm> edit_;
  std::u16string statement_;
};

}  // namespace orders
