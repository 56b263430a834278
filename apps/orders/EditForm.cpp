#include "EditForm.h"

#include "Text.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/String.h>

#include <QDate>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>

#include <array>
#include <filesystem>

namespace orders {

using namespace tarnwick;

namespace {

// The boxes the user types into; the others show what the order refers to.
constexpr std::array kTyped = {Field::CustomerNo, Field::OrderDate, Field::Quantity, Field::Note};

// Default values for new orders, written when the front end first needs
// them: one unit for the first customer.
struct Default {
  Field field;
  std::u16string_view value;
};
constexpr Default kDefaults[] = {{Field::CustomerNo, u"1"}, {Field::Quantity, u"1"}};

// The key of a box's default value, as the library reads it back: the
// control's name and its index by the number-to-text rule ("txtField 5").
std::u16string defaultKey(Field f) { return concat(u"txtField", numberToText(static_cast<std::int16_t>(f))); }

}  // namespace

// Watches the typed boxes. Leaving a box, by Tab, by a click or a
// shortcut, has it checked; the focus going to another window (a message
// box, for instance) does not. The check runs once the focus has moved, so
// that the library may give the focus back to a box that failed.
class FocusWatch final : public QObject {
 public:
  explicit FocusWatch(std::function<void(QWidget*)> left) : left_(std::move(left)) {}
  void watch(QWidget* box) { box->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut && !checking_) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
          reason != Qt::MenuBarFocusReason) {
        QPointer<QWidget> box = qobject_cast<QWidget*>(watched);
        QTimer::singleShot(0, this, [this, box] {
          if (!box || checking_) return;
          checking_ = true;
          left_(box);
          checking_ = false;
        });
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(QWidget*)> left_;
  bool checking_ = false;
};

EditForm::EditForm(Session& session, std::function<void()> saved)
    : FormBase(session, "edit.ui"),
      saved_(std::move(saved)),
      watch_(std::make_unique<FocusWatch>([this](QWidget* w) { left(w); })),
      orders_(session.open(u"Orders", kTable)),
      customers_(session.open(u"Customers", kTable)) {
  customise();
  for (Field f : kTyped) watch_->watch(box(f));
  startIn(box(kTyped.front()));
  if (!std::filesystem::exists(session.dataFolder() / "defaults.ini"))
    for (const Default& d : kDefaults) {
      library().ocx.call(u"SetAsDefaultValue", name(), defaultKey(d.field), std::u16string(d.value),
                         session.defaultsFile());
    }
  onClick(u"cmdSave", [this] { save(); });
  onClick(u"cmdNew", [this] { newOrder(); });
  onClick(u"cmdDefault", [this] { keepAsDefault(); });
  onClick(u"cmdLetter", [this] { writeLetter(); });
  onClick(u"cmdClose", [this] { close(); });
}

EditForm::~EditForm() {
  // No check may start while the boxes go away.
  watch_.reset();
}

QWidget* EditForm::box(Field f) const { return widget(u"txtField", static_cast<std::int16_t>(f)); }

std::u16string EditForm::value(Field f) const { return toText(field(f).get(u"Text")); }

void EditForm::type(Field f, std::u16string_view typed) const {
  auto* edit = qobject_cast<QLineEdit*>(box(f));
  edit->setFocus(Qt::TabFocusReason);
  edit->selectAll();
  edit->insert(QString::fromUtf16(typed.data(), static_cast<qsizetype>(typed.size())));
}

void EditForm::left(QWidget* w) {
  // A box left while a message of another check waits for the user (Save
  // clicked from a wrong box) was checked by that check already; a box of
  // a form just closed is not checked at all.
  if (checking_ || !window()->isVisible()) return;
  for (Field f : kTyped)
    if (box(f) == w) {
      lastLeft_ = f;
      guarded([&] { check(f); });
    }
}

std::u16string EditForm::check(Field f) const {
  checking_ = true;
  const struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{checking_};
  const std::u16string message(library()
                                   .dataAccess
                                   .call(u"ValidateDataTypeOnLostFocus_s", orders_.get(), field(f).get(),
                                         session().datePattern(), false)
                                   .text());
  if (!message.empty()) tell(message);
  setStatus(message);
  return message;
}

bool EditForm::open(std::int32_t orderId) {
  if (!toBool(library().dataAccess.call(u"MakeCurrentRecord_b", orders_.get(), u"PrimaryKey", orderId))) {
    setStatus(concat(u"There is no order ", orderId));
    return false;
  }
  adding_ = false;
  readOrder();
  setStatus(u"");
  return true;
}

void EditForm::readOrder() {
  library().dataAccess.call(u"ReadFromRecordToControls", form().get(), orders_.get());
  showCustomer();
  // The edit starts from the order as the user sees it: a save after
  // another user changed it since is refused instead of overwriting theirs.
  orders_.call(u"Edit");
}

void EditForm::showCustomer() const {
  const std::u16string number = value(Field::CustomerNo);
  const bool found = isNumericText(number) &&
                     toBool(library().dataAccess.call(u"MakeCurrentRecord_b", customers_.get(), u"PrimaryKey",
                                               static_cast<std::int32_t>(leadingNumber(number))));
  if (found) {
    library().dataAccess.call(u"ReadFromRecordToControls", form().get(), customers_.get());
  } else {
    field(Field::Customer).put(u"Text", Variant(u""));
    field(Field::City).put(u"Text", Variant(u""));
  }
}

void EditForm::showOnTop() const {
  show();
  library().ocx.call(u"Center", form().get());
  library().api.call(u"StayOnTop", form().get(), true);
}

bool EditForm::save() {
  // Nothing is saved while a box holds a value its field cannot take.
  for (Field f : kTyped)
    if (!check(f).empty()) return false;
  const std::u16string orderNo = value(Field::OrderNo);
  // After a refused save the edit starts again from the order as stored.
  if (adding_) orders_.call(u"AddNew");
  else if (toInt32(orders_.get(u"EditMode")) == 0) orders_.call(u"Edit");
  const bool saved =
      toBool(library().dataAccess.call(u"SaveRecordFromControlArray_b", true, form().get(u"txtField"), orders_.get()));
  if (!saved) {
    // A save the engine refused has been shown and rolled back. Refused
    // because another user changed or deleted the order, the edit is over:
    // the boxes keep what the user typed until the user asks for the order
    // as it is now.
    if (toInt32(orders_.get(u"EditMode")) != 0) {
      orders_.call(u"CancelUpdate");
    } else if (ask(kReloadQuestion)) {
      if (!open(static_cast<std::int32_t>(leadingNumber(orderNo)))) library().ocx.call(u"ClearAllControlValues", form().get());
    }
    return false;
  }
  open(static_cast<std::int32_t>(leadingNumber(orderNo)));
  setStatus(concat(u"Order ", orderNo, u" saved."));
  if (saved_) saved_();
  return true;
}

std::int32_t EditForm::nextOrderNo() const {
  const Object last = session().open(u"Select * From Orders Order By OrderId Desc", kSnapshot);
  return toBool(last.get(u"EOF")) ? 1 : toInt32(last.get(u"Collect", {Variant(u"OrderId")})) + 1;
}

void EditForm::newOrder() {
  library().ocx.call(u"ClearAllControlValues", form().get());
  library().ocx.call(u"GetDefaultValues", form().get(), session().defaultsFile());
  // A new order gets the next number and, unless a default says otherwise, today's date.
  field(Field::OrderNo).put(u"Text", Variant(concat(nextOrderNo())));
  if (value(Field::OrderDate).empty()) {
    const QDate today = QDate::currentDate();
    if (const auto serial = makeDate(today.year(), today.month(), today.day()))
      field(Field::OrderDate).put(u"Text", Variant(formatDate(*serial, session().datePattern())));
  }
  adding_ = true;
  showCustomer();
  setStatus(u"A new order: Save adds it.");
}

bool EditForm::keepAsDefault() const {
  if (!lastLeft_) {
    setStatus(u"Leave a box first: its value becomes the default.");
    return false;
  }
  const bool kept = toInt32(library().ocx.call(u"SetAsDefaultValue", name(), defaultKey(*lastLeft_),
                                               value(*lastLeft_), session().defaultsFile())) != 0;
  setStatus(kept ? u"Kept as the default for new orders." : u"The default could not be written.");
  return kept;
}

std::u16string EditForm::writeLetter() const {
  std::string file = "letter-";
  file += toUtf8(value(Field::OrderNo));
  file += ".txt";
  const std::u16string path = pathText(session().dataFolder() / file);
  const Variant boxes = makeVariantArray({form().get(u"txtField")});
  const std::int16_t result = toInt16(library().ocx.call(u"SaveMergeFieldsFromTags", boxes, path));
  setStatus(result == 0 ? concat(u"Mail-merge file written: ", path)
                        : concat(u"No mail-merge file, error ", std::int32_t{result}));
  return result == 0 ? path : std::u16string();
}

}  // namespace orders
