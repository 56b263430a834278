#include "RecordsetModel.h"

#include "WidgetState.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/Services.h>

namespace tarnwick::qt::impl {

namespace {

constexpr int kBatch = 256;
// Rows whose values are kept; beyond it the cache starts again.
constexpr int kCachedRows = 4096;

bool isObject(const Variant& v) { return v.valueType() == VT_DISPATCH && v.dispatch(); }

}  // namespace

RecordsetModel::RecordsetModel(host::Control& grid, QObject* parent) : QAbstractTableModel(parent), grid_(&grid) {}

Object RecordsetModel::recordset() const {
  if (!grid_) return Object();
  try {
    const Variant source = grid_->state().get(host::Property::DataSource);
    if (!isObject(source)) return Object();
    const Variant rs = Object(source).get(u"Recordset");
    return isObject(rs) ? Object(rs) : Object();
  } catch (const std::exception&) {
    return Object();
  }
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int RecordsetModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || !grid_) return 0;
  return static_cast<int>(grid_->state().columnCount());
}

Variant RecordsetModel::bookmarkOf(int row) const {
  if (!grid_ || row < 0 || row >= shown_) return Variant();
  return grid_->boundRows().at(static_cast<std::size_t>(row));
}

const QStringList& RecordsetModel::rowValues(int row) const {
  if (auto it = cache_.constFind(row); it != cache_.constEnd()) return *it;
  if (cache_.size() >= kCachedRows) cache_.clear();
  QStringList values;
  const Object rs = recordset();
  const int columns = columnCount();
  try {
    if (!rs) raise(errc::ObjectNotSet);
    // Reading a row moves the recordset to it; its current record is put back.
    const host::CurrentRecord kept(rs);
    rs.put(u"Bookmark", bookmarkOf(row));
    for (int c = 0; c < columns; ++c) {
      try {
        Variant name(grid_->state().column(static_cast<std::size_t>(c)).dataField);
        Variant v = rs.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {&name, 1}, nullptr);
        if (isObject(v)) v = Object(v).get(u"Value");
        values.push_back(qtextOf(v));
      } catch (const std::exception&) {
        values.push_back(QStringLiteral("#Error"));  // a column bound to no field of the records
      }
    }
    kept.restore();
  } catch (const std::exception&) {
    // A record another user deleted, or a grid no longer bound: the row shows as such.
    values.clear();
    for (int c = 0; c < columns; ++c) values.push_back(c == 0 ? QStringLiteral("#Deleted") : QString());
  }
  return *cache_.insert(row, std::move(values));
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !grid_ || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  if (index.row() >= shown_ || index.column() >= columnCount()) return {};
  const QStringList& values = rowValues(index.row());
  return index.column() < values.size() ? QVariant(values[index.column()]) : QVariant();
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || !grid_) return {};
  if (orientation == Qt::Vertical) return section == current_ ? QVariant(QStringLiteral("\u25B8")) : QVariant();
  if (section < 0 || section >= columnCount()) return {};
  return qtext(grid_->state().column(static_cast<std::size_t>(section)).caption);
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
  const Qt::ItemFlags base = QAbstractTableModel::flags(index);
  return grid_ && index.isValid() ? base | Qt::ItemIsEditable : base;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!grid_ || !index.isValid() || role != Qt::EditRole || index.row() >= shown_) return false;
  saving_ = true;
  try {
    const Object grid(static_cast<IDispatch*>(grid_));
    grid.put(u"Row", Variant(static_cast<std::int32_t>(index.row())));
    grid.put(u"Col", Variant(static_cast<std::int32_t>(index.column())));
    grid.put(u"Text", Variant(utext(value.toString())));
  } catch (const Error& e) {
    saving_ = false;
    // The user learns why the value was refused; the cell keeps the record's value.
    try {
      host::messageBox()->show(e.description(), host::mb::Exclamation, u"");
    } catch (const std::exception&) {
    }
    return false;
  } catch (const std::exception&) {
    saving_ = false;
    return false;
  }
  saving_ = false;
  cache_.remove(index.row());
  emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
  return true;
}

bool RecordsetModel::canFetchMore(const QModelIndex& parent) const {
  if (parent.isValid() || !grid_) return false;
  const host::BoundRows& rows = grid_->boundRows();
  return static_cast<std::size_t>(shown_) < rows.fetched() || (!rows.complete() && recordset());
}

void RecordsetModel::showFetched() {
  const auto fetched = static_cast<int>(std::min<std::size_t>(grid_->boundRows().fetched(), 0x7FFFFFFF));
  if (fetched <= shown_) return;
  beginInsertRows(QModelIndex(), shown_, fetched - 1);
  shown_ = fetched;
  endInsertRows();
}

void RecordsetModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || !grid_) return;
  if (static_cast<std::size_t>(shown_) == grid_->boundRows().fetched()) {
    if (const Object rs = recordset()) {
      try {
        grid_->boundRows().fetchMore(rs, kBatch);
      } catch (const std::exception&) {
        // The recordset cannot be read: the view shows what it has.
      }
    }
  }
  showFetched();
}

void RecordsetModel::setCurrentRow(int row) {
  if (row == current_) return;
  const int before = current_;
  current_ = row;
  if (before >= 0 && before < shown_) emit headerDataChanged(Qt::Vertical, before, before);
  if (row >= 0 && row < shown_) emit headerDataChanged(Qt::Vertical, row, row);
}

void RecordsetModel::reset() {
  beginResetModel();
  cache_.clear();
  shown_ = 0;
  current_ = -1;
  columns_ = columnCount();
  endResetModel();
  if (grid_) showFetched();
}

void RecordsetModel::columnsChanged() {
  if (columnCount() != columns_) {
    const int current = current_;
    reset();
    current_ = current;
    return;
  }
  cache_.clear();
  if (columns_ == 0) return;
  emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
  if (shown_ > 0) emit dataChanged(index(0, 0), index(shown_ - 1, columns_ - 1));
}

void RecordsetModel::detach() {
  // The control is being destroyed: nothing of it may be read from here on,
  // not even by the view while it learns of the reset.
  grid_ = nullptr;
  beginResetModel();
  cache_.clear();
  shown_ = 0;
  current_ = -1;
  endResetModel();
}

}  // namespace tarnwick::qt::impl
