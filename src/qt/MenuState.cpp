// The state of a menu on a QAction.
#include "WidgetStates.h"

#include <QAction>
#include <QMenu>

namespace tarnwick::qt::impl {

namespace {

class MenuState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  QAction* action() const {
    if (auto* m = qobject_cast<QMenu*>(object())) return m->menuAction();
    return qobject_cast<QAction*>(object());
  }
  std::optional<Variant> read(Property p) const override {
    switch (p) {
      case Property::Visible: return Variant(action()->isVisible());
      case Property::Enabled: return Variant(action()->isEnabled());
      case Property::Checked: return Variant(action()->isChecked());
      default: return std::nullopt;
    }
  }
  void write(Property p, const Variant& value) override {
    QAction* a = action();
    switch (p) {
      case Property::Caption: a->setText(qtextOf(value)); return;
      case Property::Visible: a->setVisible(flagOf(value)); return;
      case Property::Enabled: a->setEnabled(flagOf(value)); return;
      case Property::Checked:
        a->setCheckable(a->isCheckable() || flagOf(value));
        a->setChecked(flagOf(value));
        return;
      default: WidgetState::write(p, value);
    }
  }
  void adopt() override {
    WidgetState::adopt();
    QAction* a = action();
    store().set(Property::Caption, Variant(utext(a->text())));
    store().set(Property::Visible, Variant(a->isVisible()));
    store().set(Property::Enabled, Variant(a->isEnabled()));
    store().set(Property::Checked, Variant(a->isChecked()));
  }
  void listen() override {
    // A chosen menu item tells its handlers as a Value change (its Click).
    keep(QObject::connect(action(), &QAction::triggered, [this] {
      if (owner()) owner()->notifyChanged(Property::Value);
    }));
  }
};

}  // namespace

std::unique_ptr<WidgetState> newMenuState(QObject* object, bool designed) {
  return std::make_unique<MenuState>(object, designed);
}

}  // namespace tarnwick::qt::impl
