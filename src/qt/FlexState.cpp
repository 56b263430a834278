// The state of a flex grid on a QTableWidget.
#include "WidgetStates.h"

#include <QHeaderView>
#include <QTableWidget>

namespace tarnwick::qt::impl {

namespace {

class FlexState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  QTableWidget* table() const { return qobject_cast<QTableWidget*>(object()); }
  void write(Property p, const Variant& value) override {
    switch (p) {
      case Property::Row:
      case Property::Col: {
        const int row = intOf(store().get(Property::Row)), col = intOf(store().get(Property::Col));
        if (row < table()->rowCount() && col < table()->columnCount()) table()->setCurrentCell(row, col);
        return;
      }
      case Property::FixedRows:
      case Property::FixedCols: return cellsChanged(Edit::Reset, 0, 0);
      case Property::Redraw: table()->setUpdatesEnabled(flagOf(value)); return;
      default: WidgetState::write(p, value);
    }
  }
  bool fixed(std::size_t row, std::size_t col) const {
    return row < static_cast<std::size_t>(intOf(store().get(Property::FixedRows))) ||
           col < static_cast<std::size_t>(intOf(store().get(Property::FixedCols)));
  }
  void showCell(std::size_t row, std::size_t col) {
    QTableWidget* t = table();
    const int r = static_cast<int>(row), c = static_cast<int>(col);
    QTableWidgetItem* item = t->item(r, c);
    const std::u16string& text = store().cell(row, col);
    if (!item) {
      if (text.empty()) return;  // an empty cell needs no item
      item = new QTableWidgetItem;
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      t->setItem(r, c, item);
    }
    item->setText(qtext(text));
    // Fixed rows and columns look like headings.
    item->setBackground(fixed(row, col) ? t->palette().button() : t->palette().base());
  }
  void cellsChanged(Edit edit, std::size_t row, std::size_t col) override {
    QTableWidget* t = table();
    switch (edit) {
      case Edit::Set: return showCell(row, col);
      case Edit::Insert:
        t->insertRow(static_cast<int>(row));
        if (store().rowHeight(row) != host::kDefaultRowHeight)
          t->setRowHeight(static_cast<int>(row), pixels(store().rowHeight(row), false));
        return;
      case Edit::Remove: return t->removeRow(static_cast<int>(row));
      case Edit::Width: return t->setColumnWidth(static_cast<int>(col), pixels(store().colWidth(col), true));
      case Edit::Height: return t->setRowHeight(static_cast<int>(row), pixels(store().rowHeight(row), false));
      case Edit::Shape:
        // Cells that stay keep their text; only the rows and columns the
        // new shape adds are shown (a column added keeps every row's cell).
        if (col == store().cols() || row == store().rows()) return reshape(row, col);
        break;
      default: break;
    }
    t->clearContents();
    reshape(0, 0);
  }
  // Shows the cells outside the first `keptRows` rows and `keptCols` columns.
  void reshape(std::size_t keptRows, std::size_t keptCols) {
    QTableWidget* t = table();
    t->horizontalHeader()->setDefaultSectionSize(pixels(host::kDefaultColWidth, true));
    t->verticalHeader()->setMinimumSectionSize(1);
    t->verticalHeader()->setDefaultSectionSize(pixels(host::kDefaultRowHeight, false));
    t->setRowCount(static_cast<int>(store().rows()));
    t->setColumnCount(static_cast<int>(store().cols()));
    // Sizes other than the default are set one by one.
    for (std::size_t c = keptCols; c < store().cols(); ++c)
      if (store().colWidth(c) != host::kDefaultColWidth)
        t->setColumnWidth(static_cast<int>(c), pixels(store().colWidth(c), true));
    for (std::size_t r = keptRows; r < store().rows(); ++r)
      if (store().rowHeight(r) != host::kDefaultRowHeight)
        t->setRowHeight(static_cast<int>(r), pixels(store().rowHeight(r), false));
    for (std::size_t r = 0; r < store().rows(); ++r)
      for (std::size_t c = r < keptRows ? keptCols : 0; c < store().cols(); ++c) showCell(r, c);
  }
  void adopt() override {
    WidgetState::adopt();
    // A designed table brings its cells; its fixed rows and columns are
    // its headings, shown in the grid's cells.
    QTableWidget* t = table();
    const auto rows = static_cast<std::size_t>(t->rowCount()), cols = static_cast<std::size_t>(t->columnCount());
    const bool heading = t->horizontalHeaderItem(0) != nullptr;
    store().resize(rows + (heading ? 1 : 0), cols);
    for (std::size_t c = 0; c < cols; ++c) {
      if (const QTableWidgetItem* h = t->horizontalHeaderItem(static_cast<int>(c))) store().setCell(0, c, utext(h->text()));
      for (std::size_t r = 0; r < rows; ++r)
        if (const QTableWidgetItem* i = t->item(static_cast<int>(r), static_cast<int>(c)))
          store().setCell(r + (heading ? 1 : 0), c, utext(i->text()));
    }
    store().set(Property::FixedRows, Variant(static_cast<std::int32_t>(heading ? 1 : 0)));
    store().set(Property::FixedCols, Variant(0));
    store().set(Property::Row, Variant(static_cast<std::int32_t>(heading && rows > 0 ? 1 : 0)));
    store().set(Property::Col, Variant(0));
  }
  void listen() override {
    QTableWidget* t = table();
    t->horizontalHeader()->hide();
    t->verticalHeader()->hide();

    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A cell the client's own Qt code writes is the grid's cell too.
    keep(QObject::connect(t, &QTableWidget::itemChanged, [this](QTableWidgetItem* item) {
      if (writing() || !item) return;
      const auto row = static_cast<std::size_t>(item->row()), col = static_cast<std::size_t>(item->column());
      if (row >= store().rows() || col >= store().cols()) return;
      const std::u16string text = utext(item->text());
      if (store().cell(row, col) == text) return;
      store().setCell(row, col, text);
      if (owner()) owner()->notifyChanged(Property::Text);
    }));
    keep(QObject::connect(t, &QTableWidget::currentCellChanged, [this](int row, int col, int, int) {
      if (row < 0 || col < 0) return;
      userStore(Property::Row, Variant(static_cast<std::int32_t>(row)));
      userStore(Property::Col, Variant(static_cast<std::int32_t>(col)));
    }));
  }
};

}  // namespace

std::unique_ptr<WidgetState> newFlexState(QObject* object, bool designed) {
  return std::make_unique<FlexState>(object, designed);
}

}  // namespace tarnwick::qt::impl
