#pragma once
// A lookup combo box for Qt forms: as a control of the host it is
// "DBCombo" (BoundText, ListField, BoundColumn, RowSource).
#include <QComboBox>

namespace tarnwick::qt {

class LookupCombo : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
};

}  // namespace tarnwick::qt
