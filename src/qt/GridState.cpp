// The state of a data grid on a QTableView over the bound recordset.
#include "RecordsetModel.h"
#include "WidgetStates.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/BoundRows.h>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

namespace tarnwick::qt::impl {

namespace {

// Width of the record selectors at the left of a data grid, in twips.
constexpr double kRecordSelectorWidth = 285;

class GridState final : public WidgetState {
 public:
  using WidgetState::WidgetState;
  ~GridState() override {
    if (model_) model_->detach();
  }

  void recordsChanged() override {
    rowKeys_.clear();
    if (!model_ || model_->saving()) return;
    model_->reset();
    followCurrentRecord();
  }

  // The view selects the rows that the selected bookmarks name.
  void bookmarksChanged() override { selectBookmarkedRows(); }

 protected:
  QTableView* view() const { return qobject_cast<QTableView*>(object()); }
  void write(Property p, const Variant& value) override {
    QTableView* v = view();
    switch (p) {
      case Property::RecordSelectors: v->verticalHeader()->setVisible(flagOf(value)); return;
      case Property::ColumnHeaders:
        v->horizontalHeader()->setVisible(flagOf(value));
        return;
      case Property::RowHeight:
        // Rows stand exactly as high as the grid says, so that VisibleRows
        // counts the rows the view shows.
        v->verticalHeader()->setMinimumSectionSize(1);
        v->verticalHeader()->setDefaultSectionSize(std::max(1, pixels(toDouble(value), false)));
        v->horizontalHeader()->setFixedHeight(std::max(1, pixels(toDouble(value), false)));
        return;
      default: WidgetState::write(p, value);
    }
  }
  void columnsChanged() override {
    if (!model_) return;
    model_->columnsChanged();
    for (std::size_t c = 0; c < store().columnCount(); ++c) {
      const host::GridColumn column = store().column(c);
      view()->setColumnWidth(static_cast<int>(c), pixels(column.width, true));
      view()->setColumnHidden(static_cast<int>(c), !column.visible);
    }
  }
  void listen() override {
    QTableView* v = view();
    model_ = new RecordsetModel(*owner(), v);
    {
      Writing w(*this);
      v->setModel(model_);
      columnsChanged();
    }
    // The record selectors: a narrow column that marks the current record.
    v->verticalHeader()->setFixedWidth(pixels(kRecordSelectorWidth, true));
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // The rows the user selects are the grid's selected bookmarks; clicking
    // a row makes its record the current one.
    keep(QObject::connect(v->selectionModel(), &QItemSelectionModel::selectionChanged, [this] {
      if (writing() || !model_) return;
      std::vector<Variant>& marks = selectedBookmarks();
      marks.clear();
      for (const QModelIndex& row : view()->selectionModel()->selectedRows()) marks.push_back(model_->bookmarkOf(row.row()));
    }));
    // Code that moves the grid's row moves the view's; a row the user chose
    // in the view is there already.
    owner()->onChange([this](host::Control&, Property p) {
      if (p == Property::Row && !reporting()) followCurrentRecord();
    });
    keep(QObject::connect(v->selectionModel(), &QItemSelectionModel::currentRowChanged,
                          [this](const QModelIndex& current) {
                            if (!current.isValid()) return;
                            if (model_) model_->setCurrentRow(current.row());
                            userPut(u"Row", Variant(static_cast<std::int32_t>(current.row())));
                          }));
  }
  void adopt() override {
    // A designed view brings its record selectors, headings and row height.
    WidgetState::adopt();
    const QTableView* v = view();
    store().set(Property::RecordSelectors, Variant(!v->verticalHeader()->isHidden()));
    store().set(Property::ColumnHeaders, Variant(!v->horizontalHeader()->isHidden()));
    store().set(Property::RowHeight,
                Variant(static_cast<float>(pixelsToTwips(v->verticalHeader()->defaultSectionSize(), false))));
  }

 private:
  // The view's current row is the row of the recordset's current record.
  void followCurrentRecord() {
    if (!live() || !model_ || !owner()) return;
    std::int32_t row = -1;
    try {
      row = toInt32(Object(static_cast<IDispatch*>(owner())).get(u"Row"));
    } catch (const std::exception&) {
      return;  // no records to follow
    }
    while (row >= model_->rowCount() && model_->canFetchMore(QModelIndex())) model_->fetchMore(QModelIndex());
    if (row < 0 || row >= model_->rowCount()) return;
    Writing w(*this);
    view()->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
    model_->setCurrentRow(row);
  }

  // Selecting many rows one bookmark at a time stays linear: the rows' keys
  // are kept until the records change, the marks are looked up in a hash, and
  // runs of neighbouring rows go to the view as one range.
  void selectBookmarkedRows() {
    if (!live() || !model_) return;
    std::unordered_set<std::u16string> marks;
    for (const Variant& m : selectedBookmarks()) marks.insert(host::bookmarkKey(m));
    const int rows = model_->rowCount();
    const int lastColumn = std::max(0, model_->columnCount() - 1);
    QItemSelection selection;
    int runStart = -1;
    for (int r = 0; r <= rows; ++r) {
      const bool selected = r < rows && !marks.empty() && marks.contains(rowKey(r));
      if (selected && runStart < 0) runStart = r;
      if (!selected && runStart >= 0) {
        selection.select(model_->index(runStart, 0), model_->index(r - 1, lastColumn));
        runStart = -1;
      }
    }
    Writing w(*this);
    view()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }

  const std::u16string& rowKey(int row) {
    while (rowKeys_.size() <= static_cast<std::size_t>(row))
      rowKeys_.push_back(host::bookmarkKey(model_->bookmarkOf(static_cast<int>(rowKeys_.size()))));
    return rowKeys_[static_cast<std::size_t>(row)];
  }

  QPointer<RecordsetModel> model_;
  std::vector<std::u16string> rowKeys_;  // bookmarkKey of each row the model shows
};

}  // namespace

std::unique_ptr<WidgetState> newGridState(QObject* object, bool designed) {
  return std::make_unique<GridState>(object, designed);
}

}  // namespace tarnwick::qt::impl
