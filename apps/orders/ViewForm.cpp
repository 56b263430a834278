#include "ViewForm.h"

#include "Customisation.h"
#include "EditForm.h"
#include "Text.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/Control.h>
#include <tarnwick/host/Form.h>

#include <QFileDialog>

namespace orders {

using namespace tarnwick;

namespace {

// The lines grid: a heading row, and the line number hidden in column 0.
constexpr const char16_t* kLineHeadings[] = {u"LineId", u"Product", u"Quantity", u"Price"};
constexpr std::int32_t kLineColumns = 4;

}  // namespace

ViewForm::ViewForm(Session& session) : FormBase(session, "view.ui") {
  prepareLines();
  onClick(u"cmdCopy", [this] { copyRows(); });
  onClick(u"cmdPaste", [this] { pasteRows(); });
  onClick(u"cmdDelete", [this] { deleteRows(); });
  onClick(u"cmdExport", [this] { exportRows(); });
  onClick(u"cmdPrint", [this] { printRows(); });
  onClick(u"cmdEdit", [this] { editOrder(); });
  onClick(u"cmdClose", [this] { closeView(); });
  // The lines follow the grid's current row, however the user moves it.
  if (host::Control* orders = hostForm().find(u"grdOrders"))
    orders->onChange([this](host::Control&, host::Property changed) {
      if (changed == host::Property::Row) guarded([this] { showLines(); });
    });
}

ViewForm::~ViewForm() {
  // The edit form goes first: it may still tell this form about a save.
  edit_.reset();
}

void ViewForm::prepareLines() const {
  const Object grid = lines();
  grid.put(u"Cols", Variant(kLineColumns));
  grid.put(u"Rows", Variant(1));
  grid.put(u"FixedRows", Variant(1));
  grid.put(u"FixedCols", Variant(0));
  for (std::int32_t c = 0; c < kLineColumns; ++c)
    grid.put(u"TextMatrix", {Variant(0), Variant(c)}, Variant(kLineHeadings[c]));
}

Object ViewForm::recordset() const { return objectOf(dataControl(), u"Recordset"); }

std::u16string ViewForm::showResult(const std::u16string& statement) {
  statement_ = statement;
  const Object data = dataControl();
  // The data control keeps the statement, so that Refresh reads the
  // records again after a paste or a delete.
  data.put(u"DatabaseName", Variant(session().databaseName()));
  data.put(u"RecordSource", Variant(statement));
  const Object found = session().open(statement, kDynaset);
  const std::u16string answer(library()
                                  .ocx
                                  .call(u"ShowResultInGrid_s", form().get(), data.get(), grid().get(), found.get(),
                                        statement, Variant())
                                  .text());
  if (!answer.empty()) return answer;
  fitGrids();
  // The panel names the statement only now: as a caption it would have
  // become a key of the customisation files.
  setText(u"lblPanel", std::nullopt, statement);
  showLines();
  setStatus(u"");
  return answer;
}

void ViewForm::fitGrids() const {
  // The columns share the grid's width; stored widths then win, and so do
  // stored captions.
  const Object orders = grid();
  const std::int16_t columns = toInt16(objectOf(orders, u"Columns").get(u"Count"));
  library().ocx.call(u"SizeGridColumns", orders.get(), true, columns);
  library().ocx.call(u"SizeGridFromWidth", lines().get());
  const bool firstUse = !hasCustomisation(library(), name());
  if (firstUse) {
    storeColumnWidths(library(), orders, name());
    storeColumnWidths(library(), lines(), name());
  }
  customise();
  applyColumnWidths(library(), orders, name());
  applyColumnWidths(library(), lines(), name());
}

std::int32_t ViewForm::recordCount() const {
  if (statement_.empty()) return 0;
  const Object all = session().open(statement_, kSnapshot);
  if (toBool(all.get(u"EOF"))) return 0;
  all.call(u"MoveLast");
  return toInt32(all.get(u"RecordCount"));
}

std::optional<std::int32_t> ViewForm::currentOrder() const {
  const Variant rs = dataControl().get(u"Recordset");
  if (rs.valueType() != VT_DISPATCH || !rs.dispatch()) return std::nullopt;
  const Object records(rs);
  if (toBool(records.get(u"EOF")) || toBool(records.get(u"BOF"))) return std::nullopt;
  return toInt32(records.get(u"Collect", {Variant(u"OrderId")}));
}

void ViewForm::goToRow(std::int32_t row) const {
  grid().put(u"Row", Variant(row));
  showLines();
}

std::int32_t ViewForm::lineCount() const { return toInt32(lines().get(u"Rows")) - 1; }

void ViewForm::showLines() const {
  const std::optional<std::int32_t> order = currentOrder();
  if (!order) {
    lines().put(u"Rows", Variant(1));
    return;
  }
  const Object found =
      session().open(concat(u"Select * From OrderLines WHERE OrderId = ", *order, u" Order By LineId"), kSnapshot);
  library().ocx.call(u"FillGridWithRecords", lines().get(), found.get(), u"OrderId");
  setText(u"lblLines", std::nullopt, concat(u"Lines of order ", *order));
}

void ViewForm::selectCurrentRowIfNone() const {
  const Object marks = objectOf(grid(), u"SelBookmarks");
  if (toInt32(marks.get(u"Count")) > 0 || !currentOrder()) return;
  marks.call(u"Add", recordset().get(u"Bookmark"));
}

std::int16_t ViewForm::copyRows() const {
  selectCurrentRowIfNone();
  const std::int16_t result = toInt16(library().ocx.call(u"CopyFromDbGrid", grid().get(), recordset().get()));
  setStatus(result == 0 ? u"The selected orders are on the clipboard." : u"");
  return result;
}

std::int16_t ViewForm::pasteRows() {
  const std::int16_t result = toInt16(library().ocx.call(u"PasteToDbGrid", recordset().get()));
  refresh();
  return result;
}

std::int16_t ViewForm::deleteRows() {
  selectCurrentRowIfNone();
  const std::int16_t result = toInt16(library().ocx.call(u"DeleteSelectedRecordsFromDbGrid", grid().get(),
                                                         dataControl().get(), session().database().get()));
  refresh();
  return result;
}

void ViewForm::refresh() {
  dataControl().call(u"Refresh");
  fitGrids();
  showLines();
}

std::int32_t ViewForm::exportRows(const std::optional<std::u16string>& file) const {
  std::u16string chosen = file.value_or(u"");
  if (!file) {
    const QString name = QFileDialog::getSaveFileName(
        window(), QStringLiteral("Export the orders"), QStringLiteral("orders.csv"),
        QStringLiteral("CSV (*.csv);;Spreadsheet (*.xlsx);;PDF (*.pdf)"));
    if (name.isEmpty()) return 0;
    chosen = name.toStdU16String();
  }
  const Object exporter(frame::createObject(u"Tarnwick.Export"));
  exporter.put(u"SelectedOnly", Variant(toInt32(objectOf(grid(), u"SelBookmarks").get(u"Count")) > 0));
  exporter.put(u"Title", Variant(u"Orders"));
  const std::int32_t rows = toInt32(exporter.call(u"ExportFile", grid().get(), chosen));
  setStatus(concat(rows, u" orders written to ", chosen));
  return rows;
}

std::int32_t ViewForm::printRows(const std::optional<std::u16string>& pdf) const {
  const Object printer(frame::createObject(u"Tarnwick.Printer"));
  const bool selected = toInt32(objectOf(grid(), u"SelBookmarks").get(u"Count")) > 0;
  const std::int32_t rows =
      pdf ? toInt32(printer.call(u"PrintFile", grid().get(), *pdf, u"Orders", selected))
          : toInt32(printer.call(u"PrintDialog", grid().get(), u"Orders", selected));
  if (rows > 0) setStatus(concat(rows, u" orders printed"));
  return rows;
}

EditForm* ViewForm::editOrder() {
  const std::optional<std::int32_t> order = currentOrder();
  if (!order) {
    setStatus(u"Select an order first.");
    return nullptr;
  }
  if (!edit_) edit_ = std::make_unique<EditForm>(session(), [this] { refresh(); });
  edit_->open(*order);
  edit_->showOnTop();
  return edit_.get();
}

void ViewForm::closeView() const {
  // The widths the user leaves are the widths he gets next time.
  storeColumnWidths(library(), grid(), name());
  storeColumnWidths(library(), lines(), name());
  close();
}

}  // namespace orders
