// The widgets and states that stand for the host's controls on Qt, by kind.
#include "WidgetStates.h"

#include <tarnwick/qt/DataControl.h>
#include <tarnwick/qt/LookupCombo.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>

namespace tarnwick::qt::impl {

using host::ControlKind;

std::unique_ptr<WidgetState> makeWidgetState(ControlKind kind, QObject* object, bool designed) {
  switch (kind) {
    case ControlKind::TextBox: return newTextState(object, designed);
    case ControlKind::ComboBox:
    case ControlKind::DBCombo: return newComboState(object, designed);
    case ControlKind::CheckBox: return newCheckState(object, designed);
    case ControlKind::ListBox: return newListState(object, designed);
    case ControlKind::TabStrip: return newTabState(object, designed);
    case ControlKind::Menu: return newMenuState(object, designed);
    case ControlKind::MSFlexGrid:
    case ControlKind::Grid: return newFlexState(object, designed);
    case ControlKind::DBGrid: return newGridState(object, designed);
    case ControlKind::Data: return newDataState(object, designed);
    default: return newCaptionState(object, designed);
  }
}

QObject* makeWidget(ControlKind kind, QWidget* parent) {
  switch (kind) {
    case ControlKind::TextBox: return new QLineEdit(parent);
    case ControlKind::ComboBox: {
      auto* box = new QComboBox(parent);
      box->setEditable(true);  // a new combo box is a drop-down combo (Style 0)
      return box;
    }
    case ControlKind::DBCombo: {
      auto* box = new LookupCombo(parent);
      box->setEditable(true);
      return box;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(parent);
      box->setTristate(true);
      return box;
    }
    case ControlKind::Label: return new QLabel(parent);
    case ControlKind::CommandButton: return new QPushButton(parent);
    case ControlKind::Frame: return new QGroupBox(parent);
    case ControlKind::ListBox: return new QListWidget(parent);
    case ControlKind::Menu: {
      auto* action = new QAction(parent);
      parent->addAction(action);
      return action;
    }
    case ControlKind::TabStrip: return new QTabBar(parent);
    case ControlKind::Panel: return new QFrame(parent);
    case ControlKind::MSFlexGrid:
    case ControlKind::Grid: return new QTableWidget(parent);
    case ControlKind::DBGrid: return new QTableView(parent);
    case ControlKind::Data: return new DataControl(parent);
  }
  return new QWidget(parent);
}

}  // namespace tarnwick::qt::impl
