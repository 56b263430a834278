#pragma once
// A data control for Qt forms: a record navigator (first, previous, next,
// last) with a caption, over the recordset that its "DatabaseName" and
// "RecordSource" properties name. As a control of the host it is "Data",
// with Recordset, RecordSource, DatabaseName, RecordsetType and Refresh.
#include <tarnwick/automation/Export.h>

#include <QLabel>
#include <QWidget>

namespace tarnwick::qt {

class TARNWICK_API DataControl : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString caption READ caption WRITE setCaption)
  Q_PROPERTY(QString databaseName READ databaseName WRITE setDatabaseName)
  Q_PROPERTY(QString recordSource READ recordSource WRITE setRecordSource)

 public:
  explicit DataControl(QWidget* parent = nullptr);

  QString caption() const;
  void setCaption(const QString& text);
  QString databaseName() const { return databaseName_; }
  void setDatabaseName(const QString& name) { databaseName_ = name; }
  QString recordSource() const { return recordSource_; }
  void setRecordSource(const QString& source) { recordSource_ = source; }

 signals:
  // A navigator button: 0 first, 1 previous, 2 next, 3 last.
  void navigate(int move);

 private:
  QLabel* label_;
  QString databaseName_;
  QString recordSource_;
};

}  // namespace tarnwick::qt
