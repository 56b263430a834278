#pragma once
// Private to the Qt host: the state of a control or form kept on a Qt
// widget. Every value is kept in a stored state as on the headless host;
// what the widget shows is written through to it, and read back from it
// where the user can change it (typed text, a ticked box, a chosen item,
// a moved window). When the widget is gone (its window was closed and
// deleted) the control goes on with the values it kept.
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Control.h>
#include <tarnwick/host/ControlState.h>
#include <tarnwick/host/Form.h>

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::qt::impl {

using host::Property;

QString qtext(std::u16string_view text);
std::u16string utext(const QString& text);
// The text a value shows ("" for Empty and Null).
QString qtextOf(const Variant& value);

class WidgetState : public host::ControlState {
 public:
  // `designed`: the widget comes with values of its own (a .ui file) that
  // the control takes over; otherwise it shows the control's defaults.
  WidgetState(QObject* object, bool designed);
  ~WidgetState() override;
  WidgetState(const WidgetState&) = delete;
  WidgetState& operator=(const WidgetState&) = delete;

  Variant get(Property property) const override;
  void set(Property property, const Variant& value) override;

  std::size_t itemCount() const override { return store_->itemCount(); }
  std::u16string item(std::size_t at) const override { return store_->item(at); }
  void setItem(std::size_t at, std::u16string text) override;
  void insertItem(std::size_t at, std::u16string text) override;
  void removeItem(std::size_t at) override;
  void clearItems() override;

  std::size_t rows() const override { return store_->rows(); }
  std::size_t cols() const override { return store_->cols(); }
  void resize(std::size_t rows, std::size_t cols) override;
  const std::u16string& cell(std::size_t row, std::size_t col) const override { return store_->cell(row, col); }
  void setCell(std::size_t row, std::size_t col, std::u16string text) override;
  void insertRow(std::size_t at) override;
  void removeRow(std::size_t at) override;
  double colWidth(std::size_t col) const override { return store_->colWidth(col); }
  void setColWidth(std::size_t col, double width) override;
  double rowHeight(std::size_t row) const override { return store_->rowHeight(row); }
  void setRowHeight(std::size_t row, double height) override;

  std::size_t columnCount() const override { return store_->columnCount(); }
  host::GridColumn column(std::size_t at) const override { return store_->column(at); }
  void setColumn(std::size_t at, host::GridColumn column) override;
  void insertColumn(std::size_t at, host::GridColumn column) override;
  void clearColumns() override;
  std::vector<Variant>& selectedBookmarks() override { return store_->selectedBookmarks(); }

  void focus() override;
  void raise(bool toFront) override;
  void attached(host::Control& owner) override;
  void attached(host::Form& owner) override;

  QObject* object() const noexcept { return object_.data(); }
  QWidget* widget() const noexcept { return qobject_cast<QWidget*>(object_.data()); }
  host::Control* owner() const noexcept { return owner_; }

 protected:
  // Is the widget there and showing the control's values?
  bool live() const noexcept { return attached_ && object_; }
  host::ControlState& store() noexcept { return *store_; }
  const host::ControlState& store() const noexcept { return *store_; }

  // What the widget shows of a property, where it may differ from the
  // value stored (the user changed it); nullopt: the stored value holds.
  virtual std::optional<Variant> read(Property property) const;
  // Shows a property's new value on the widget.
  virtual void write(Property property, const Variant& value);
  // Reads the values designed into the widget (a .ui file) into the store.
  virtual void adopt();
  // Shows every stored value on the widget.
  void showStored();
  // Connects the widget's signals that report the user's changes.
  virtual void listen() {}
  // Items, cells and columns changed: shows them on the widget. `Reset`
  // shows them all again; `Shape` tells the rows and columns the cells had
  // before a change of shape; the others name the item, cell, row or column.
  enum class Edit { Reset, Shape, Set, Insert, Remove, Width, Height };
  virtual void itemsChanged(Edit edit, std::size_t at) {
    (void)edit;
    (void)at;
  }
  virtual void cellsChanged(Edit edit, std::size_t row, std::size_t col) {
    (void)edit;
    (void)row;
    (void)col;
  }
  virtual void columnsChanged() {}
  // Runs a widget update with the state's own signals marked as such.
  template <typename F>
  void show(F&& update) {
    if (!live()) return;
    Writing w(*this);
    update();
  }

  // The user changed a value on the widget: it goes through the control's
  // member, with the member's rules and change handlers; a value the
  // member refuses puts the widget back to the stored value.
  void userPut(std::u16string_view member, const Variant& value);
  // Stores a value the widget already shows and tells the change handlers.
  void userStore(Property property, const Variant& value);
  void keep(QMetaObject::Connection connection) { connections_.push_back(std::move(connection)); }
  // True while the state writes to the widget: signals from it are ours.
  bool writing() const noexcept { return writing_ > 0; }
  // True while a change the user made on the widget is told to the owner.
  bool reporting() const noexcept { return reporting_ > 0; }

  // Counts a nesting of work while it runs.
  class Counting {
   public:
    explicit Counting(int& n) : n_(n) { ++n_; }
    ~Counting() { --n_; }
    Counting(const Counting&) = delete;
    Counting& operator=(const Counting&) = delete;

   private:
    int& n_;
  };
  class Writing : Counting {
   public:
    explicit Writing(WidgetState& s) : Counting(s.writing_) {}
  };

 private:
  std::unique_ptr<host::ControlState> store_;
  QPointer<QObject> object_;
  host::Control* owner_ = nullptr;
  bool designed_;
  bool attached_ = false;
  int writing_ = 0;
  // While a user's change goes to the owner, reads answer from the store, so
  // that the owner sees the old value, finds it changed and tells its handlers.
  int reporting_ = 0;
  std::vector<QMetaObject::Connection> connections_;
};

// The state of a control of `kind` kept on `object` (a widget or an action).
std::unique_ptr<WidgetState> makeWidgetState(host::ControlKind kind, QObject* object, bool designed);
// The state of a form kept on its window; `owned`: the window is deleted with the form.
std::unique_ptr<WidgetState> makeWindowState(QWidget* window, bool designed, bool owned);
// The widget a new control of `kind` gets on a Qt form.
QObject* makeWidget(host::ControlKind kind, QWidget* parent);

// Widgets need the application object of Qt Widgets; without it Qt would end
// the process, so the host refuses the call instead (error 5).
bool hasApplication();
void requireApplication();

// Twips and pixels of the screen.
double twipsToPixels(double twips, bool horizontal);
double pixelsToTwips(double pixels, bool horizontal);

// Windows of the Qt host by their forms' window handles (for the window stack).
void registerWindow(std::int32_t handle, QWidget* window);
QWidget* windowOfHandle(std::int32_t handle);

}  // namespace tarnwick::qt::impl
