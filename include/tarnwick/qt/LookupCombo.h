#pragma once
// A lookup combo box for Qt forms: as a control of the host it is
// "DBCombo" (BoundText, ListField, BoundColumn, RowSource).
#include <tarnwick/automation/Export.h>

#include <QComboBox>

namespace tarnwick::qt {

class TARNWICK_API LookupCombo : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
};

}  // namespace tarnwick::qt
