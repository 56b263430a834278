// The state of a combo box or a data combo on a QComboBox.
#include "WidgetStates.h"

#include <QComboBox>
#include <QLineEdit>

namespace tarnwick::qt::impl {

namespace {

class ComboState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  QComboBox* box() const { return qobject_cast<QComboBox*>(object()); }
  std::optional<Variant> read(Property p) const override {
    if (p == Property::Text && box()->isEditable()) return Variant(utext(box()->currentText()));
    return WidgetState::read(p);
  }
  void write(Property p, const Variant& value) override {
    QComboBox* b = box();
    switch (p) {
      case Property::Style:
        b->setEditable(intOf(value) != 2);
        if (live()) listenToTyping();
        return sync();
      case Property::ListIndex:
      case Property::Text: return sync();
      case Property::Locked: return;
      default: return WidgetState::write(p, value);
    }
  }
  // The widget shows the stored selection and text.
  void sync() {
    QComboBox* b = box();
    const int index = intOf(store().get(Property::ListIndex));
    if (b->currentIndex() != index) b->setCurrentIndex(index < b->count() ? index : -1);
    if (b->isEditable() && b->currentText() != qtextOf(store().get(Property::Text)))
      b->setEditText(qtextOf(store().get(Property::Text)));
  }
  void itemsChanged(Edit edit, std::size_t at) override {
    QComboBox* b = box();
    const int i = static_cast<int>(at);
    switch (edit) {
      case Edit::Insert: b->insertItem(i, qtext(store().item(at))); break;
      case Edit::Set: b->setItemText(i, qtext(store().item(at))); break;
      case Edit::Remove: b->removeItem(i); break;
      default: {
        b->clear();
        QStringList items;
        for (std::size_t n = 0; n < store().itemCount(); ++n) items.push_back(qtext(store().item(n)));
        b->addItems(items);
      }
    }
    sync();
  }
  void adopt() override {
    WidgetState::adopt();
    QComboBox* b = box();
    store().clearItems();
    for (int i = 0; i < b->count(); ++i) store().insertItem(static_cast<std::size_t>(i), utext(b->itemText(i)));
    store().set(Property::Style, Variant(static_cast<std::int16_t>(b->isEditable() ? 0 : 2)));
    store().set(Property::ListIndex, Variant(static_cast<std::int32_t>(b->currentIndex())));
    store().set(Property::Text, Variant(utext(b->currentText())));
  }
  void listen() override {
    QComboBox* b = box();
    // The list is the control's: what the user types is its text, never a new item.
    b->setInsertPolicy(QComboBox::NoInsert);
    // Choosing an item (by the user or the program's own Qt code) goes
    // through ListIndex; typing through Text.
    keep(QObject::connect(b, &QComboBox::currentIndexChanged, [this](int index) {
      userPut(u"ListIndex", Variant(static_cast<std::int32_t>(index)));
    }));
    listenToTyping();
  }

 private:
  // An editable combo box types into a line edit of its own, made anew
  // whenever the box becomes editable.
  void listenToTyping() {
    QLineEdit* e = box()->lineEdit();
    if (!e || e == typing_) return;
    typing_ = e;
    keep(QObject::connect(e, &QLineEdit::textEdited, [this](const QString& text) {
      userPut(u"Text", Variant(utext(text)));
    }));
  }
  QPointer<QLineEdit> typing_;
};

}  // namespace

std::unique_ptr<WidgetState> newComboState(QObject* object, bool designed) {
  return std::make_unique<ComboState>(object, designed);
}

}  // namespace tarnwick::qt::impl
