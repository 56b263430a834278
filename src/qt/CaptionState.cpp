// The state of labels, command buttons, frames and panels: the caption their widget shows.
#include "WidgetStates.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace tarnwick::qt::impl {

namespace {

class CaptionState : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  void write(Property p, const Variant& value) override {
    if (p != Property::Caption) return WidgetState::write(p, value);
    const QString text = qtextOf(value);
    if (auto* l = qobject_cast<QLabel*>(object())) l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(object())) b->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(object())) g->setTitle(text);
  }
  void adopt() override {
    WidgetState::adopt();
    if (auto* l = qobject_cast<QLabel*>(object())) store().set(Property::Caption, Variant(utext(l->text())));
    else if (auto* b = qobject_cast<QAbstractButton*>(object())) store().set(Property::Caption, Variant(utext(b->text())));
    else if (auto* g = qobject_cast<QGroupBox*>(object())) store().set(Property::Caption, Variant(utext(g->title())));
  }
  void listen() override {
    // A pressed button tells its handlers as a Value change (its Click).
    if (auto* b = qobject_cast<QPushButton*>(object()))
      keep(QObject::connect(b, &QPushButton::clicked, [this] {
        if (owner()) owner()->notifyChanged(Property::Value);
      }));
    else if (auto* t = qobject_cast<QAbstractButton*>(object()))
      keep(QObject::connect(t, &QAbstractButton::clicked, [this] {
        if (owner()) owner()->notifyChanged(Property::Value);
      }));
  }
};

}  // namespace

std::unique_ptr<WidgetState> newCaptionState(QObject* object, bool designed) {
  return std::make_unique<CaptionState>(object, designed);
}

}  // namespace tarnwick::qt::impl
