// The states of the widget classes that stand for the host's controls.
// Each maps the properties its widget shows; the rules stay with the
// host's members.
#include "RecordsetModel.h"
#include "WidgetState.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/qt/DataControl.h>
#include <tarnwick/qt/LookupCombo.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QValidator>

#include <cmath>

namespace tarnwick::qt::impl {

namespace {

using host::ControlKind;

std::int32_t intOf(const Variant& v) { return v.isEmpty() || v.isNull() ? 0 : toInt32(v); }
bool flagOf(const Variant& v) { return !v.isEmpty() && !v.isNull() && toBool(v); }
int pixels(double twips, bool horizontal) {
  return static_cast<int>(std::lround(twipsToPixels(twips, horizontal)));
}

// --- captions: labels, buttons, frames, panels -------------------------------

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

// --- text boxes ----------------------------------------------------------------

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

// --- combo boxes (and lookup combos) ---------------------------------------------

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

// --- check boxes ---------------------------------------------------------------------

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

// --- list boxes -------------------------------------------------------------------------

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

// --- tab strips: a tab bar, or the tab bar of a tab widget -------------------------------

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

// --- menus: actions ------------------------------------------------------------------------

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

// --- flex grids: a table widget ---------------------------------------------------------------

class FlexState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  QTableWidget* table() const { return qobject_cast<QTableWidget*>(object()); }
  void write(Property p, const Variant& value) override {
    switch (p) {
      case Property::Row:
      case Property::Col: {
        const int row = intOf(store().get(Property::Row)), col = intOf(store().get(Property::Col));
        if (row < table()->rowCount() && col < table()->columnCount()) table()->setCurrentCell(row, col);
        return;
      }
      case Property::FixedRows:
      case Property::FixedCols: return cellsChanged(Edit::Reset, 0, 0);
      case Property::Redraw: table()->setUpdatesEnabled(flagOf(value)); return;
      default: WidgetState::write(p, value);
    }
  }
  bool fixed(std::size_t row, std::size_t col) const {
    return row < static_cast<std::size_t>(intOf(store().get(Property::FixedRows))) ||
           col < static_cast<std::size_t>(intOf(store().get(Property::FixedCols)));
  }
  void showCell(std::size_t row, std::size_t col) {
    QTableWidget* t = table();
    const int r = static_cast<int>(row), c = static_cast<int>(col);
    QTableWidgetItem* item = t->item(r, c);
    const std::u16string& text = store().cell(row, col);
    if (!item) {
      if (text.empty()) return;  // an empty cell needs no item
      item = new QTableWidgetItem;
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      t->setItem(r, c, item);
    }
    item->setText(qtext(text));
    // Fixed rows and columns look like headings.
    item->setBackground(fixed(row, col) ? t->palette().button() : t->palette().base());
  }
  void cellsChanged(Edit edit, std::size_t row, std::size_t col) override {
    QTableWidget* t = table();
    switch (edit) {
      case Edit::Set: return showCell(row, col);
      case Edit::Insert:
        t->insertRow(static_cast<int>(row));
        if (store().rowHeight(row) != host::kDefaultRowHeight)
          t->setRowHeight(static_cast<int>(row), pixels(store().rowHeight(row), false));
        return;
      case Edit::Remove: return t->removeRow(static_cast<int>(row));
      case Edit::Width: return t->setColumnWidth(static_cast<int>(col), pixels(store().colWidth(col), true));
      case Edit::Height: return t->setRowHeight(static_cast<int>(row), pixels(store().rowHeight(row), false));
      case Edit::Shape:
        // Cells that stay keep their text; only the rows and columns the
        // new shape adds are shown (a column added keeps every row's cell).
        if (col == store().cols() || row == store().rows()) return reshape(row, col);
        break;
      default: break;
    }
    t->clearContents();
    reshape(0, 0);
  }
  // Shows the cells outside the first `keptRows` rows and `keptCols` columns.
  void reshape(std::size_t keptRows, std::size_t keptCols) {
    QTableWidget* t = table();
    t->horizontalHeader()->setDefaultSectionSize(pixels(host::kDefaultColWidth, true));
    t->verticalHeader()->setMinimumSectionSize(1);
    t->verticalHeader()->setDefaultSectionSize(pixels(host::kDefaultRowHeight, false));
    t->setRowCount(static_cast<int>(store().rows()));
    t->setColumnCount(static_cast<int>(store().cols()));
    // Sizes other than the default are set one by one.
    for (std::size_t c = keptCols; c < store().cols(); ++c)
      if (store().colWidth(c) != host::kDefaultColWidth)
        t->setColumnWidth(static_cast<int>(c), pixels(store().colWidth(c), true));
    for (std::size_t r = keptRows; r < store().rows(); ++r)
      if (store().rowHeight(r) != host::kDefaultRowHeight)
        t->setRowHeight(static_cast<int>(r), pixels(store().rowHeight(r), false));
    for (std::size_t r = 0; r < store().rows(); ++r)
      for (std::size_t c = r < keptRows ? keptCols : 0; c < store().cols(); ++c) showCell(r, c);
  }
  void adopt() override {
    WidgetState::adopt();
    // A designed table brings its cells; its fixed rows and columns are
    // its headings, shown in the grid's cells.
    QTableWidget* t = table();
    const auto rows = static_cast<std::size_t>(t->rowCount()), cols = static_cast<std::size_t>(t->columnCount());
    const bool heading = t->horizontalHeaderItem(0) != nullptr;
    store().resize(rows + (heading ? 1 : 0), cols);
    for (std::size_t c = 0; c < cols; ++c) {
      if (const QTableWidgetItem* h = t->horizontalHeaderItem(static_cast<int>(c))) store().setCell(0, c, utext(h->text()));
      for (std::size_t r = 0; r < rows; ++r)
        if (const QTableWidgetItem* i = t->item(static_cast<int>(r), static_cast<int>(c)))
          store().setCell(r + (heading ? 1 : 0), c, utext(i->text()));
    }
    store().set(Property::FixedRows, Variant(static_cast<std::int32_t>(heading ? 1 : 0)));
    store().set(Property::FixedCols, Variant(0));
    store().set(Property::Row, Variant(static_cast<std::int32_t>(heading && rows > 0 ? 1 : 0)));
    store().set(Property::Col, Variant(0));
  }
  void listen() override {
    QTableWidget* t = table();
    t->horizontalHeader()->hide();
    t->verticalHeader()->hide();

    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A cell the client's own Qt code writes is the grid's cell too.
    keep(QObject::connect(t, &QTableWidget::itemChanged, [this](QTableWidgetItem* item) {
      if (writing() || !item) return;
      const auto row = static_cast<std::size_t>(item->row()), col = static_cast<std::size_t>(item->column());
      if (row >= store().rows() || col >= store().cols()) return;
      const std::u16string text = utext(item->text());
      if (store().cell(row, col) == text) return;
      store().setCell(row, col, text);
      if (owner()) owner()->notifyChanged(Property::Text);
    }));
    keep(QObject::connect(t, &QTableWidget::currentCellChanged, [this](int row, int col, int, int) {
      if (row < 0 || col < 0) return;
      userStore(Property::Row, Variant(static_cast<std::int32_t>(row)));
      userStore(Property::Col, Variant(static_cast<std::int32_t>(col)));
    }));
  }
};

// --- data grids: a table view over the bound recordset -------------------------------------------

// Width of the record selectors at the left of a data grid, in twips.
constexpr double kRecordSelectorWidth = 285;

class GridState final : public WidgetState {
 public:
  using WidgetState::WidgetState;
  ~GridState() override {
    if (model_) model_->detach();
  }

  void recordsChanged() override {
    if (!model_ || model_->saving()) return;
    model_->reset();
    followCurrentRecord();
  }

  // The view selects the rows that the selected bookmarks name.
  void bookmarksChanged() override { selectBookmarkedRows(); }

 protected:
  QTableView* view() const { return qobject_cast<QTableView*>(object()); }
  void write(Property p, const Variant& value) override {
    QTableView* v = view();
    switch (p) {
      case Property::RecordSelectors: v->verticalHeader()->setVisible(flagOf(value)); return;
      case Property::ColumnHeaders:
        v->horizontalHeader()->setVisible(flagOf(value));
        return;
      case Property::RowHeight:
        // Rows stand exactly as high as the grid says, so that VisibleRows
        // counts the rows the view shows.
        v->verticalHeader()->setMinimumSectionSize(1);
        v->verticalHeader()->setDefaultSectionSize(std::max(1, pixels(toDouble(value), false)));
        v->horizontalHeader()->setFixedHeight(std::max(1, pixels(toDouble(value), false)));
        return;
      default: WidgetState::write(p, value);
    }
  }
  void columnsChanged() override {
    if (!model_) return;
    model_->columnsChanged();
    for (std::size_t c = 0; c < store().columnCount(); ++c) {
      const host::GridColumn column = store().column(c);
      view()->setColumnWidth(static_cast<int>(c), pixels(column.width, true));
      view()->setColumnHidden(static_cast<int>(c), !column.visible);
    }
  }
  void listen() override {
    QTableView* v = view();
    model_ = new RecordsetModel(*owner(), v);
    {
      Writing w(*this);
      v->setModel(model_);
      columnsChanged();
    }
    // The record selectors: a narrow column that marks the current record.
    v->verticalHeader()->setFixedWidth(pixels(kRecordSelectorWidth, true));
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // The rows the user selects are the grid's selected bookmarks; clicking
    // a row makes its record the current one.
    keep(QObject::connect(v->selectionModel(), &QItemSelectionModel::selectionChanged, [this] {
      if (writing() || !model_) return;
      std::vector<Variant>& marks = selectedBookmarks();
      marks.clear();
      for (const QModelIndex& row : view()->selectionModel()->selectedRows()) marks.push_back(model_->bookmarkOf(row.row()));
    }));
    // Code that moves the grid's row moves the view's; a row the user chose
    // in the view is there already.
    owner()->onChange([this](host::Control&, Property p) {
      if (p == Property::Row && !reporting()) followCurrentRecord();
    });
    keep(QObject::connect(v->selectionModel(), &QItemSelectionModel::currentRowChanged,
                          [this](const QModelIndex& current) {
                            if (!current.isValid()) return;
                            if (model_) model_->setCurrentRow(current.row());
                            userPut(u"Row", Variant(static_cast<std::int32_t>(current.row())));
                          }));
  }
  void adopt() override {
    // A designed view brings its record selectors, headings and row height.
    WidgetState::adopt();
    const QTableView* v = view();
    store().set(Property::RecordSelectors, Variant(!v->verticalHeader()->isHidden()));
    store().set(Property::ColumnHeaders, Variant(!v->horizontalHeader()->isHidden()));
    store().set(Property::RowHeight,
                Variant(static_cast<float>(pixelsToTwips(v->verticalHeader()->defaultSectionSize(), false))));
  }

 private:
  // The view's current row is the row of the recordset's current record.
  void followCurrentRecord() {
    if (!live() || !model_ || !owner()) return;
    std::int32_t row = -1;
    try {
      row = toInt32(Object(static_cast<IDispatch*>(owner())).get(u"Row"));
    } catch (const std::exception&) {
      return;  // no records to follow
    }
    while (row >= model_->rowCount() && model_->canFetchMore(QModelIndex())) model_->fetchMore(QModelIndex());
    if (row < 0 || row >= model_->rowCount()) return;
    Writing w(*this);
    view()->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
    model_->setCurrentRow(row);
  }

  void selectBookmarkedRows() {
    if (!live() || !model_) return;
    const std::vector<Variant>& marks = selectedBookmarks();
    QItemSelection rows;
    for (int r = 0; r < model_->rowCount(); ++r) {
      const Variant mark = model_->bookmarkOf(r);
      for (const Variant& m : marks)
        if (host::sameBookmark(m, mark)) {
          rows.select(model_->index(r, 0), model_->index(r, std::max(0, model_->columnCount() - 1)));
          break;
        }
    }
    Writing w(*this);
    view()->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }

  QPointer<RecordsetModel> model_;
};

// --- data controls ----------------------------------------------------------------------------------

class DataState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  DataControl* data() const { return qobject_cast<DataControl*>(object()); }
  void write(Property p, const Variant& value) override {
    switch (p) {
      case Property::Caption: return data()->setCaption(qtextOf(value));
      case Property::DatabaseName: return data()->setDatabaseName(qtextOf(value));
      case Property::RecordSource: return data()->setRecordSource(qtextOf(value));
      default: WidgetState::write(p, value);
    }
  }
  void adopt() override {
    WidgetState::adopt();
    DataControl* d = data();
    store().set(Property::Caption, Variant(utext(d->caption())));
    store().set(Property::DatabaseName, Variant(utext(d->databaseName())));
    store().set(Property::RecordSource, Variant(utext(d->recordSource())));
    if (const QVariant type = d->property("RecordsetType"); type.isValid())
      store().set(Property::RecordsetType, Variant(static_cast<std::int16_t>(std::clamp(type.toInt(), 0, 2))));
  }
  void listen() override {
    // The navigator's buttons move the recordset; moving before the first
    // or after the last record stays on it.
    keep(QObject::connect(data(), &DataControl::navigate, [this](int move) {
      if (!owner()) return;
      try {
        const Variant rs = Object(static_cast<IDispatch*>(owner())).get(u"Recordset");
        if (rs.valueType() != VT_DISPATCH || !rs.dispatch()) return;
        Object recordset(rs);
        static constexpr std::u16string_view kMoves[] = {u"MoveFirst", u"MovePrevious", u"MoveNext", u"MoveLast"};
        recordset.call(kMoves[std::clamp(move, 0, 3)]);
        if (move == 1 && toBool(recordset.get(u"BOF"))) recordset.call(u"MoveFirst");
        if (move == 2 && toBool(recordset.get(u"EOF"))) recordset.call(u"MoveLast");
        // The controls bound to the data control show the record reached.
        Object(static_cast<IDispatch*>(owner())).call(u"UpdateControls");
      } catch (const std::exception&) {
        // An empty recordset has nowhere to go.
      }
    }));
  }
};

// --- forms: top-level windows --------------------------------------------------------------------------

class WindowState final : public WidgetState {
 public:
  WindowState(QWidget* window, bool designed, bool owned) : WidgetState(window, designed), owned_(owned) {}
  ~WindowState() override {
    // A form released after Qt's application object (a client's static, say)
    // finds its window's resources gone with Qt: the window is left alone.
    if (owned_ && hasApplication()) delete widget();
  }

 protected:
  std::optional<Variant> read(Property p) const override {
    QWidget* w = widget();
    switch (p) {
      case Property::Visible: return Variant(w->isVisible());
      case Property::WindowState: {
        const Qt::WindowStates s = w->windowState();
        return Variant(static_cast<std::int16_t>(s & Qt::WindowMinimized ? 1 : s & Qt::WindowMaximized ? 2 : 0));
      }
      case Property::Caption: return Variant(utext(w->windowTitle()));
      case Property::Left:
      case Property::Top:
      case Property::Width:
      case Property::Height:
        // A minimised or maximised window keeps its normal place and size as the form's.
        if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) return std::nullopt;
        return WidgetState::read(p);
      default: return WidgetState::read(p);
    }
  }
  void write(Property p, const Variant& value) override {
    QWidget* w = widget();
    switch (p) {
      case Property::Caption: return w->setWindowTitle(qtextOf(value));
      case Property::WindowState: {
        const int s = intOf(value);
        w->setWindowState(s == 1 ? Qt::WindowMinimized : s == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
        // Back to normal, the window takes the place and size the form kept.
        if (s == 0)
          for (Property g : {Property::Left, Property::Top, Property::Width, Property::Height})
            WidgetState::write(g, store().get(g));
        return;
      }
      case Property::Left:
      case Property::Top:
      case Property::Width:
      case Property::Height:
        // Moving a minimised or maximised window would make it normal again:
        // the form keeps the values until it is.
        if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) return;
        return WidgetState::write(p, value);
      case Property::Tag: w->setProperty("Tag", qtextOf(value)); return;
      case Property::Name: return;
      default: WidgetState::write(p, value);
    }
  }
  void adopt() override {
    WidgetState::adopt();
    QWidget* w = widget();
    if (!w->windowTitle().isEmpty()) store().set(Property::Caption, Variant(utext(w->windowTitle())));
    store().set(Property::Visible, Variant(w->isVisible()));
  }
  void focus() override {
    if (QWidget* w = widget()) {
      w->activateWindow();
      w->setFocus(Qt::OtherFocusReason);
    }
  }

 private:
  bool owned_;
};

}  // namespace

std::unique_ptr<WidgetState> makeWidgetState(ControlKind kind, QObject* object, bool designed) {
  switch (kind) {
    case ControlKind::TextBox: return std::make_unique<TextState>(object, designed);
    case ControlKind::ComboBox:
    case ControlKind::DBCombo: return std::make_unique<ComboState>(object, designed);
    case ControlKind::CheckBox: return std::make_unique<CheckState>(object, designed);
    case ControlKind::ListBox: return std::make_unique<ListState>(object, designed);
    case ControlKind::TabStrip: return std::make_unique<TabState>(object, designed);
    case ControlKind::Menu: return std::make_unique<MenuState>(object, designed);
    case ControlKind::MSFlexGrid:
    case ControlKind::Grid: return std::make_unique<FlexState>(object, designed);
    case ControlKind::DBGrid: return std::make_unique<GridState>(object, designed);
    case ControlKind::Data: return std::make_unique<DataState>(object, designed);
    default: return std::make_unique<CaptionState>(object, designed);
  }
}

std::unique_ptr<WidgetState> makeWindowState(QWidget* window, bool designed, bool owned) {
  return std::make_unique<WindowState>(window, designed, owned);
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
