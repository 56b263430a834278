#pragma once
// Private to the Qt host: the model a data grid's table view shows. Its
// rows are the grid's bound records, read as the view asks for more
// (canFetchMore/fetchMore), never all at once; its columns are the grid's
// columns. Values come from the data control's recordset by name, a row's
// values read once and kept while they are shown.
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Control.h>

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

namespace tarnwick::qt::impl {

class RecordsetModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  RecordsetModel(host::Control& grid, QObject* parent);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // A value typed into a cell goes through the grid's members (Row, Col,
  // Text): the record is edited and updated, or the refusal is shown.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  // The grid's records were read anew.
  void reset();
  // The grid's columns changed: a new count shows everything anew, else
  // the headings and values are read again.
  void columnsChanged();
  // The row of the current record, marked in the record selectors (-1: none).
  void setCurrentRow(int row);
  // True while a typed value is being saved: the model shows the change itself.
  bool saving() const noexcept { return saving_; }
  // The grid's control is going away: the model shows nothing from now on.
  void detach();
  // The row shown for a record's bookmark, and the bookmark of a row.
  Variant bookmarkOf(int row) const;

 private:
  Object recordset() const;
  // Rows the grid has read that the view does not show yet are shown first.
  void showFetched();
  const QStringList& rowValues(int row) const;

  host::Control* grid_;
  int shown_ = 0;
  int columns_ = 0;
  int current_ = -1;
  bool saving_ = false;
  mutable QHash<int, QStringList> cache_;
};

}  // namespace tarnwick::qt::impl
