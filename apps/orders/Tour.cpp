#include "Tour.h"

#include "EditForm.h"
#include "SearchForm.h"
#include "Text.h"
#include "ViewForm.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/MessageLog.h>
#include <tarnwick/host/Services.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orders {

using namespace tarnwick;

namespace {

constexpr std::u16string_view kCustomer = u"Smith*";
constexpr std::u16string_view kFrom = u"1/1/1999";
constexpr std::u16string_view kTo = u"12/31/1999";
constexpr std::u16string_view kNoDate = u"2/30/1999";
constexpr std::u16string_view kDateMessage = u"Not a valid Date format. Please retype.";
constexpr std::u16string_view kTown = u"Town";

// The tour's message box. A modal box cannot be photographed with its
// form, so each message goes into the status line of the form in front,
// where the screenshot catches it; it is logged (MessageLog.h) like any
// box that nobody answers, and answered as a user who agrees would: with
// the box's first button, Yes to a question.
class StatusMessageBox final : public host::MessageBox {
 public:
  std::int32_t show(const std::u16string& prompt, std::int32_t buttons, const std::u16string& title) override {
    if (front_) front_->setStatus(prompt);
    const std::vector<std::int32_t> offered = host::buttonsOf(buttons);
    const std::int32_t answer = offered.empty() ? host::mb::OK : offered.front();
    host::messageLog().record(host::LoggedMessage{prompt, buttons, title, answer, {}, true});
    return answer;
  }
  void setFront(const FormBase* form) { front_ = form; }
  std::u16string last() const { return host::messageLog().lastPrompt(); }

 private:
  const FormBase* front_ = nullptr;
};

// A check of the tour that did not hold.
struct StepFailed {
  std::u16string why;
};

void expect(bool holds, std::u16string_view why) {
  if (!holds) throw StepFailed{std::u16string(why)};
}

// Clipboard rows as one line: cells between bars, rows between slashes.
std::u16string oneLine(std::u16string_view rows) {
  std::u16string out;
  for (char16_t c : rows) {
    if (c == u'\t') out += u" | ";
    else if (c == u'\r') out += u" / ";
    else out += c;
  }
  return out;
}

// Lets Qt deliver what the last action posted: focus changes, layouts, deferred checks.
void settle() {
  for (int i = 0; i < 8; ++i) QApplication::processEvents();
}

void typeInto(QWidget* widget, std::u16string_view text) {
  auto* edit = qobject_cast<QLineEdit*>(widget);
  expect(edit != nullptr, u"a search field is missing");
  edit->setFocus(Qt::TabFocusReason);
  edit->setText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
}

void click(const FormBase& form, std::u16string_view button) {
  auto* b = qobject_cast<QAbstractButton*>(form.widget(button));
  expect(b != nullptr, u"a button is missing");
  b->click();
  settle();
}

class Tour {
 public:
  Tour(Session& session, std::filesystem::path shots)
      : session_(session), shots_(std::move(shots)), box_(std::make_shared<StatusMessageBox>()),
        previous_(host::messageBox()) {
    host::setMessageBox(box_);
  }
  ~Tour() {
    // The forms go before the message box they report to.
    search_.reset();
    host::setMessageBox(previous_);
  }
  Tour(const Tour&) = delete;
  Tour& operator=(const Tour&) = delete;

  int run() {
    std::error_code ec;
    std::filesystem::create_directories(shots_, ec);
    const std::vector<std::pair<const char*, std::function<std::u16string()>>> steps = {
        {"data", [this] { return data(); }},
        {"search form", [this] { return fillSearch(); }},
        {"search", [this] { return search(); }},
        {"copy", [this] { return copy(); }},
        {"delete", [this] { return remove(); }},
        {"paste", [this] { return paste(); }},
        {"export", [this] { return exportAndPrint(); }},
        {"edit form", [this] { return openEdit(); }},
        {"validation", [this] { return validate(); }},
        {"save", [this] { return save(); }},
        {"defaults", [this] { return defaults(); }},
        {"mail merge", [this] { return letter(); }},
        {"customised", [this] { return customised(); }},
    };
    for (const auto& [title, body] : steps)
      if (!step(title, body)) {
        std::printf("tour stopped at \"%s\"; screenshots so far in %s\n", title, shots_.string().c_str());
        return 1;
      }
    std::printf("tour: %zu steps done; screenshots in %s\n", steps.size(), shots_.string().c_str());
    return 0;
  }

 private:
  bool step(const char* title, const std::function<std::u16string()>& body) {
    std::u16string said;
    bool ok = false;
    try {
      said = body();
      ok = true;
    } catch (const StepFailed& f) {
      said = f.why;
    } catch (const Error& e) {
      said = concat(e.number(), u" ", e.description());
    }
    std::printf("%-4s %-11s %s\n", ok ? "ok" : "FAIL", title, toUtf8(said).c_str());
    std::fflush(stdout);
    return ok;
  }

  std::u16string screenshot(const FormBase& form, const char* file) {
    settle();
    const QPixmap shot = form.window()->grab();
    const std::filesystem::path path = shots_ / file;
    expect(shot.width() > 100 && shot.height() > 100 && shot.save(QString::fromStdString(path.string()), "PNG"),
           u"the screenshot was not written");
    return concat(u" -> ", pathText(path));
  }

  std::u16string data() {
    return concat(session_.shownDatabaseName(),
                  session_.firstRun() ? u": the sample database, just created" : u": the database as it was");
  }

  std::u16string fillSearch() {
    search_ = std::make_unique<SearchForm>(session_);
    box_->setFront(search_.get());
    search_->show();
    search_->window()->activateWindow();
    typeInto(search_->widget(u"txtCustomerFind", 0), kCustomer);
    typeInto(search_->widget(u"txtDateRange", 0), kFrom);
    typeInto(search_->widget(u"txtDateRange", 1), kTo);
    return concat(u"customer ", kCustomer, u", ordered from ", kFrom, u" to ", kTo,
                  screenshot(*search_, "search-form.png"));
  }

  std::u16string search() {
    click(*search_, u"cmdSearch");
    view_ = search_->view();
    expect(view_ && view_->window()->isVisible(), search_->status().empty() ? u"no view form" : search_->status());
    box_->setFront(view_);
    const std::int32_t found = view_->recordCount();
    expect(found > 0, u"no order found");
    const std::optional<std::int32_t> first = view_->currentOrder();
    expect(first.has_value(), u"the grid has no current row");
    return concat(view_->text(u"lblPanel"), u" -> ", found, u" orders; order ", *first, u" has ",
                  view_->lineCount(), u" lines", screenshot(*view_, "view-form.png"));
  }

  std::u16string copy() {
    view_->goToRow(0);
    order_ = view_->currentOrder().value_or(0);
    expect(view_->copyRows() == 0, u"CopyFromDbGrid failed");
    const std::u16string copied = host::clipboard()->text();
    expect(!copied.empty(), u"the clipboard is empty");
    return concat(u"order ", order_, u" to the clipboard: ", oneLine(copied));
  }

  std::u16string remove() {
    before_ = view_->recordCount();
    expect(view_->deleteRows() == 0, u"DeleteSelectedRecordsFromDbGrid failed");
    const std::u16string asked = box_->last();
    expect(asked.starts_with(u"You are about to Delete"), u"no question before the delete");
    const std::int32_t left = view_->recordCount();
    expect(left == before_ - 1 && !orderExists(order_), u"the order was not deleted");
    return concat(u"order ", order_, u" after '", asked, u"' (Yes): ", left, u" orders left");
  }

  std::u16string paste() {
    expect(view_->pasteRows() == 0, u"PasteToDbGrid failed");
    const std::int32_t now = view_->recordCount();
    expect(now == before_ && orderExists(order_), u"the order did not come back");
    return concat(u"order ", order_, u" back from the clipboard: ", now, u" orders");
  }

  // The orders shown, to a CSV file, a spreadsheet and a printed PDF.
  std::u16string exportAndPrint() {
    const std::int32_t shown = view_->recordCount();
    std::u16string said;
    for (const char* file : {"orders.csv", "orders.xlsx"}) {
      const std::filesystem::path path = shots_ / file;
      const std::int32_t rows = view_->exportRows(pathText(path));
      expect(rows == shown && std::filesystem::file_size(path) > 0, concat(u"the export wrote ", rows, u" rows"));
      said += concat(pathText(path), u": ", rows, u" rows; ");
    }
    const std::filesystem::path pdf = shots_ / "orders.pdf";
    expect(view_->printRows(pathText(pdf)) == shown, u"the print wrote another count of rows");
    // The form itself, as it shows.
    const std::filesystem::path form = shots_ / "view-form.pdf";
    Object(frame::createObject(u"Tarnwick.Printer")).call(u"PrintFile", view_->form().get(), pathText(form));
    expect(std::filesystem::file_size(form) > 0, u"the form was not printed");
    return said + pathText(pdf) + u", " + pathText(form);
  }

  std::u16string openEdit() {
    view_->goToRow(0);
    edit_ = view_->editOrder();
    expect(edit_ != nullptr, u"no edit form");
    order_ = view_->currentOrder().value_or(0);
    box_->setFront(edit_);
    settle();
    const Object form = edit_->form();
    const double left = toDouble(form.get(u"Left")), top = toDouble(form.get(u"Top"));
    const double expectedLeft = (host::screen()->width() - toDouble(form.get(u"Width"))) / 2;
    expect(std::abs(left - expectedLeft) < 16, u"the form is not centred");
    const bool onTop = edit_->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    expect(onTop && edit_->window()->isVisible(), u"the form does not stay on top");
    return concat(u"order ", edit_->value(Field::OrderNo), u" of ", edit_->value(Field::Customer), u", ",
                  edit_->value(Field::City), u"; centred at ", toText(Variant(left)), u", ", toText(Variant(top)),
                  u" twips, staying on top");
  }

  // Types into a box and leaves it with Tab, as the user does.
  void typeAndLeave(Field field, std::u16string_view text, Field next) {
    edit_->window()->activateWindow();
    settle();
    edit_->type(field, text);
    edit_->box(next)->setFocus(Qt::TabFocusReason);
    settle();
  }

  std::u16string validate() {
    date_ = edit_->value(Field::OrderDate);
    typeAndLeave(Field::OrderDate, kNoDate, Field::Quantity);
    expect(box_->last() == kDateMessage, u"no message for the date");
    expect(QApplication::focusWidget() == edit_->box(Field::OrderDate), u"the focus did not go back to the date");
    return concat(u"typed ", kNoDate, u" as the order date and left it: '", kDateMessage,
                  u"', the focus back in the box", screenshot(*edit_, "edit-form.png"));
  }

  std::u16string save() {
    const std::u16string was = edit_->value(Field::Quantity);
    const std::u16string quantity = was == u"12" ? u"13" : u"12";
    typeAndLeave(Field::OrderDate, date_, Field::Quantity);
    typeAndLeave(Field::Quantity, quantity, Field::Note);
    expect(edit_->save(), edit_->status());
    const Object stored = session_.open(concat(u"Select * From Orders WHERE OrderId = ", order_), kSnapshot);
    const std::u16string readBack = toText(stored.get(u"Collect", {Variant(u"Qty")}));
    expect(readBack == quantity, u"the database holds another quantity");
    return concat(u"quantity of order ", order_, u" from ", was, u" to ", quantity,
                  u", saved in a transaction; the database holds ", readBack);
  }

  std::u16string defaults() {
    click(*edit_, u"cmdNew");
    expect(edit_->adding() && edit_->value(Field::Quantity) == u"1" && edit_->value(Field::CustomerNo) == u"1",
           u"the defaults were not applied");
    const std::u16string said =
        concat(u"new order ", edit_->value(Field::OrderNo), u" from the defaults: customer 1 (",
               edit_->value(Field::Customer), u"), quantity 1, dated ", edit_->value(Field::OrderDate), u"; not saved");
    expect(edit_->open(order_), u"the order did not open again");
    return said;
  }

  std::u16string letter() {
    const std::u16string path = edit_->writeLetter();
    expect(!path.empty(), edit_->status());
    std::ifstream in(toUtf8(path), std::ios::binary);
    std::string header;
    std::getline(in, header);
    if (!header.empty() && header.back() == '\r') header.pop_back();
    expect(header == "OrderNo;Customer;City;OrderDate;Note", u"the file has another header");
    return concat(path, u": ", fromUtf8(header));
  }

  // The captions come from "Captions.ini": those the front end wrote on
  // the first run, and one more that a user writes into the file now.
  std::u16string customised() {
    const std::u16string column =
        toText(Object(objectOf(view_->control(u"grdOrders"), u"Columns").get(u"Item", {Variant(0)})).get(u"Caption"));
    expect(search_->text(u"lblName") == u"Customer name" && column == u"Order no.",
           u"the stored captions were not applied");
    for (const char* file : {"Captions.ini", "IniTips.ini", "ColWidths.ini"})
      expect(std::filesystem::exists(session_.dataFolder() / file), u"a customisation file is missing");
    session_.library().api.call(u"WriteIniValue", search_->name(), u"City", kTown, u"Captions.ini");
    search_->customise();
    expect(search_->text(u"lblCity") == kTown, u"the edited caption was not applied");
    box_->setFront(search_.get());
    search_->window()->raise();
    return concat(u"Captions.ini, IniTips.ini, ColWidths.ini in ", pathText(session_.dataFolder()),
                  u"; the grid's OrderId shows as '", column, u"', 'Name' as 'Customer name', and 'City' as '", kTown,
                  u"' once written into Captions.ini", screenshot(*search_, "customised.png"));
  }

  bool orderExists(std::int32_t order) const {
    return !toBool(session_.open(concat(u"Select * From Orders WHERE OrderId = ", order), kSnapshot).get(u"EOF"));
  }

  Session& session_;
  std::filesystem::path shots_;
  std::shared_ptr<StatusMessageBox> box_;
  std::shared_ptr<host::MessageBox> previous_;
  std::unique_ptr<SearchForm> search_;
  ViewForm* view_ = nullptr;
  EditForm* edit_ = nullptr;
  std::int32_t order_ = 0;
  std::int32_t before_ = 0;
  std::u16string date_;
};

}  // namespace

int runTour(Session& session, const std::filesystem::path& shots) {
  Tour tour(session, std::filesystem::absolute(shots));
  return tour.run();
}

}  // namespace orders
