// The state of a tab strip on a QTabBar, or on the tab bar of a QTabWidget.
#include "WidgetStates.h"

#include <QTabBar>
#include <QTabWidget>

namespace tarnwick::qt::impl {

namespace {

class TabState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  QTabBar* bar() const {
    if (auto* w = qobject_cast<QTabWidget*>(object())) return w->tabBar();
    return qobject_cast<QTabBar*>(object());
  }
  void write(Property p, const Variant& value) override {
    if (p == Property::SelectedTab) return select();
    WidgetState::write(p, value);
  }
  // SelectedTab counts tabs from 1; 0 is no tab.
  void select() {
    const int tab = intOf(store().get(Property::SelectedTab)) - 1;
    if (tab >= 0 && tab < bar()->count() && bar()->currentIndex() != tab) bar()->setCurrentIndex(tab);
  }
  void itemsChanged(Edit edit, std::size_t at) override {
    auto* pages = qobject_cast<QTabWidget*>(object());
    const int i = static_cast<int>(at);
    switch (edit) {
      case Edit::Insert:
        if (pages) pages->insertTab(i, new QWidget(pages), qtext(store().item(at)));
        else bar()->insertTab(i, qtext(store().item(at)));
        break;
      case Edit::Set: bar()->setTabText(i, qtext(store().item(at))); break;
      case Edit::Remove:
        if (pages) {
          QWidget* page = pages->widget(i);
          pages->removeTab(i);
          delete page;
        } else {
          bar()->removeTab(i);
        }
        break;
      default: {
        // Tabs that stay keep their pages (and the controls on them); only
        // captions change, and tabs are added or removed at the end.
        const auto wanted = static_cast<int>(store().itemCount());
        while (bar()->count() > wanted) itemsChanged(Edit::Remove, static_cast<std::size_t>(bar()->count() - 1));
        for (int n = 0; n < wanted; ++n) {
          if (n < bar()->count()) bar()->setTabText(n, qtext(store().item(static_cast<std::size_t>(n))));
          else itemsChanged(Edit::Insert, static_cast<std::size_t>(n));
        }
      }
    }
    select();
  }
  void adopt() override {
    WidgetState::adopt();
    store().clearItems();
    for (int i = 0; i < bar()->count(); ++i) store().insertItem(static_cast<std::size_t>(i), utext(bar()->tabText(i)));
    store().set(Property::SelectedTab, Variant(static_cast<std::int32_t>(bar()->currentIndex() + 1)));
  }
  void listen() override {
    keep(QObject::connect(bar(), &QTabBar::currentChanged, [this](int index) {
      userStore(Property::SelectedTab, Variant(static_cast<std::int32_t>(index + 1)));
    }));
  }
};

}  // namespace

std::unique_ptr<WidgetState> newTabState(QObject* object, bool designed) {
  return std::make_unique<TabState>(object, designed);
}

}  // namespace tarnwick::qt::impl
