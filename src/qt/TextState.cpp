// The state of a text box on a QLineEdit or a QPlainTextEdit.
#include "WidgetStates.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

namespace tarnwick::qt::impl {

namespace {

// MaxLength limits what the user types (0: no limit); text the program
// writes is kept whole. A validator does exactly that: Qt checks typing
// against it but not text set by code, which the line edit's own maximum
// length would cut.
class TypingLimit final : public QValidator {
 public:
  TypingLimit(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}
  State validate(QString& input, int&) const override { return input.size() <= limit_ ? Acceptable : Invalid; }

 private:
  int limit_;
};

void limitTyping(QLineEdit& edit, int limit) {
  edit.setMaxLength(32767);
  const QValidator* old = edit.validator();
  edit.setValidator(limit > 0 ? new TypingLimit(limit, &edit) : nullptr);
  delete old;
}

class TextState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  std::optional<Variant> read(Property p) const override {
    if (auto* e = qobject_cast<QLineEdit*>(object())) {
      switch (p) {
        case Property::Text: return Variant(utext(e->text()));
        case Property::SelStart:
          return Variant(static_cast<std::int32_t>(e->hasSelectedText() ? e->selectionStart() : e->cursorPosition()));
        case Property::SelLength: return Variant(static_cast<std::int32_t>(e->selectedText().size()));
        default: break;
      }
    } else if (auto* t = qobject_cast<QPlainTextEdit*>(object()); t && p == Property::Text) {
      return Variant(utext(t->toPlainText()));
    }
    return WidgetState::read(p);
  }
  void write(Property p, const Variant& value) override {
    if (auto* e = qobject_cast<QLineEdit*>(object())) {
      switch (p) {
        case Property::Text:
          if (e->text() != qtextOf(value)) e->setText(qtextOf(value));
          return;
        case Property::MaxLength: limitTyping(*e, intOf(value)); return;
        case Property::Locked: e->setReadOnly(flagOf(value)); return;
        case Property::SelStart:
        case Property::SelLength: {
          const int start = intOf(store().get(Property::SelStart));
          const int length = intOf(store().get(Property::SelLength));
          if (length > 0) e->setSelection(start, length);
          else e->setCursorPosition(start);
          return;
        }
        default: break;
      }
    } else if (auto* t = qobject_cast<QPlainTextEdit*>(object())) {
      if (p == Property::Text) {
        if (t->toPlainText() != qtextOf(value)) t->setPlainText(qtextOf(value));
        return;
      }
      if (p == Property::Locked) return t->setReadOnly(flagOf(value));
    }
    WidgetState::write(p, value);
  }
  void adopt() override {
    WidgetState::adopt();
    if (auto* e = qobject_cast<QLineEdit*>(object())) {
      store().set(Property::Text, Variant(utext(e->text())));
      // A length designed into the line edit becomes the limit of typing alone.
      const int designed = e->maxLength() >= 32767 ? 0 : e->maxLength();
      store().set(Property::MaxLength, Variant(static_cast<std::int32_t>(designed)));
      limitTyping(*e, designed);
      store().set(Property::Locked, Variant(e->isReadOnly()));
    } else if (auto* t = qobject_cast<QPlainTextEdit*>(object())) {
      store().set(Property::Text, Variant(utext(t->toPlainText())));
      store().set(Property::Locked, Variant(t->isReadOnly()));
    }
  }
  void listen() override {
    // What the user types is the control's text, and its Change.
    if (auto* e = qobject_cast<QLineEdit*>(object()))
      keep(QObject::connect(e, &QLineEdit::textEdited, [this](const QString& text) {
        userStore(Property::Text, Variant(utext(text)));
      }));
    else if (auto* t = qobject_cast<QPlainTextEdit*>(object()))
      keep(QObject::connect(t, &QPlainTextEdit::textChanged, [this, t] {
        userStore(Property::Text, Variant(utext(t->toPlainText())));
      }));
  }
};

}  // namespace

std::unique_ptr<WidgetState> newTextState(QObject* object, bool designed) {
  return std::make_unique<TextState>(object, designed);
}

}  // namespace tarnwick::qt::impl
