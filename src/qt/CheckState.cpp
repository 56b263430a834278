// The state of a check box on a QCheckBox.
#include "WidgetStates.h"

#include <QCheckBox>

namespace tarnwick::qt::impl {

namespace {

class CheckState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  QCheckBox* box() const { return qobject_cast<QCheckBox*>(object()); }
  static std::int16_t valueOf(int state) {
    return static_cast<std::int16_t>(state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0);
  }
  std::optional<Variant> read(Property p) const override {
    if (p == Property::Value) return Variant(valueOf(box()->checkState()));
    return WidgetState::read(p);
  }
  void write(Property p, const Variant& value) override {
    if (p == Property::Value) {
      // 0 clear, 1 ticked, 2 greyed: Qt's unchecked, checked and partly checked.
      const int v = intOf(value);
      box()->setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
      return;
    }
    if (p == Property::Caption) return box()->setText(qtextOf(value));
    WidgetState::write(p, value);
  }
  void adopt() override {
    WidgetState::adopt();
    store().set(Property::Caption, Variant(utext(box()->text())));
    store().set(Property::Value, Variant(valueOf(box()->checkState())));
  }
  void listen() override {
    box()->setTristate(true);
    keep(QObject::connect(box(), &QCheckBox::stateChanged,
                          [this](int state) { userStore(Property::Value, Variant(valueOf(state))); }));
  }
};

}  // namespace

std::unique_ptr<WidgetState> newCheckState(QObject* object, bool designed) {
  return std::make_unique<CheckState>(object, designed);
}

}  // namespace tarnwick::qt::impl
