// The state of a list box on a QListWidget.
#include "WidgetStates.h"

#include <QListWidget>

namespace tarnwick::qt::impl {

namespace {

class ListState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  QListWidget* list() const { return qobject_cast<QListWidget*>(object()); }
  void write(Property p, const Variant& value) override {
    if (p == Property::ListIndex) return list()->setCurrentRow(intOf(value));
    WidgetState::write(p, value);
  }
  void itemsChanged(Edit edit, std::size_t at) override {
    QListWidget* l = list();
    const int i = static_cast<int>(at);
    switch (edit) {
      case Edit::Insert: l->insertItem(i, qtext(store().item(at))); break;
      case Edit::Set: l->item(i)->setText(qtext(store().item(at))); break;
      case Edit::Remove: delete l->takeItem(i); break;
      default: {
        l->clear();
        for (std::size_t n = 0; n < store().itemCount(); ++n) l->addItem(qtext(store().item(n)));
      }
    }
    l->setCurrentRow(intOf(store().get(Property::ListIndex)));
  }
  void adopt() override {
    WidgetState::adopt();
    store().clearItems();
    for (int i = 0; i < list()->count(); ++i) store().insertItem(static_cast<std::size_t>(i), utext(list()->item(i)->text()));
    store().set(Property::ListIndex, Variant(static_cast<std::int32_t>(list()->currentRow())));
  }
  void listen() override {
    keep(QObject::connect(list(), &QListWidget::currentRowChanged, [this](int row) {
      userPut(u"ListIndex", Variant(static_cast<std::int32_t>(row)));
    }));
  }
};

}  // namespace

std::unique_ptr<WidgetState> newListState(QObject* object, bool designed) {
  return std::make_unique<ListState>(object, designed);
}

}  // namespace tarnwick::qt::impl
