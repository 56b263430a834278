// The Orders front end on real widgets (Qt's offscreen platform), a real
// sample database and real INI files: the rules the front end adds to the
// library's routines.
#include "EditForm.h"
#include "SearchForm.h"
#include "Session.h"
#include "ViewForm.h"
#include "WindowPlace.h"

#include "../engine/EngineTesting.h"
#include "../engine/PgTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Progress.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/qt/QtHost.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace orders {
namespace {

using namespace tarnwick;

void settle() {
  for (int i = 0; i < 8; ++i) QApplication::processEvents();
}

class FrontEnd : public ::testing::Test {
 protected:
  void SetUp() override { start({}); }
  // The session on `database` (empty: the data folder's own file).
  void start(const std::u16string& database) {
    std::string pattern = (std::filesystem::temp_directory_path() / "orders-front-XXXXXX").string();
    folder = ::mkdtemp(pattern.data());
    session = std::make_unique<Session>(folder / "data", ORDERS_FORMS_DIR, database);
    host::setMessageBox(box);
  }
  void TearDown() override {
    session.reset();
    host::setMessageBox(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }

  std::vector<std::u16string> prompts() const {
    std::vector<std::u16string> out;
    for (const auto& p : box->prompts()) out.push_back(p.prompt);
    return out;
  }
  std::int32_t count(const std::u16string& statement) const {
    const Object rs = session->open(statement, kSnapshot);
    if (toBool(rs.get(u"EOF"))) return 0;
    rs.call(u"MoveLast");
    return toInt32(rs.get(u"RecordCount"));
  }
  Variant orderField(std::int32_t order, const char16_t* field) const {
    std::u16string statement = u"Select * From Orders WHERE OrderId = ";
    statement += toText(Variant(order));
    return session->open(statement, kSnapshot).get(u"Collect", {Variant(field)});
  }
  static void type(const FormBase& form, const char16_t* name, std::int16_t index, const char16_t* text) {
    qobject_cast<QLineEdit*>(form.widget(name, index))->setText(QString::fromUtf16(text));
  }

  std::filesystem::path folder;
  std::unique_ptr<Session> session;
  std::shared_ptr<host::ScriptedMessageBox> box = std::make_shared<host::ScriptedMessageBox>();
};

// The front end's work on its data, on a database file and on a server's
// database (a schema of its own, where the session makes the sample
// database as it does a missing file).
class FrontEndData : public FrontEnd, public ::testing::WithParamInterface<tarnwick::testing::Backend> {
 protected:
  void SetUp() override {
    if (!database_.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
    start(GetParam() == tarnwick::testing::Backend::File ? std::u16string() : database_.name());
  }
  tarnwick::testing::TestDatabase database_{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Backends, FrontEndData,
                         ::testing::Values(tarnwick::testing::Backend::File, tarnwick::testing::Backend::Server),
                         tarnwick::testing::backendName);

TEST_P(FrontEndData, TheSearchSelectsExactlyTheOrdersAskedFor) {
  SearchForm search(*session);
  EXPECT_EQ(*search.orderStatement(), u"Select * From Orders Order By OrderDate");

  // Customers by name and city, orders by date: the orders of exactly those customers, in the range.
  type(search, u"txtCustomerFind", 0, u"Smith*");
  type(search, u"txtCustomerFind", 1, u"B*");
  type(search, u"txtDateRange", 0, u"1/1/1999");
  type(search, u"txtDateRange", 1, u"12/31/2000");
  const std::u16string statement = *search.orderStatement();
  std::set<std::int32_t> customers;
  const Object c = session->open(u"Select * From Customers", kSnapshot);
  for (; !toBool(c.get(u"EOF")); c.call(u"MoveNext")) {
    const std::u16string name(toText(c.get(u"Collect", {Variant(u"Name")})));
    const std::u16string city(toText(c.get(u"Collect", {Variant(u"City")})));
    if (name.starts_with(u"Smith") && city.starts_with(u"B")) customers.insert(toInt32(c.get(u"Collect", {Variant(u"CustomerId")})));
  }
  const DATE from = *makeDate(1999, 1, 1), to = *makeDate(2000, 12, 31);
  std::int32_t expected = 0;
  const Object o = session->open(u"Select * From Orders", kSnapshot);
  for (; !toBool(o.get(u"EOF")); o.call(u"MoveNext")) {
    const DATE day = toDate(o.get(u"Collect", {Variant(u"OrderDate")}));
    if (customers.count(toInt32(o.get(u"Collect", {Variant(u"CustomerId")}))) && day >= from && day <= to) ++expected;
  }
  ASSERT_GT(expected, 0);
  EXPECT_EQ(count(statement), expected);

  // One search value alone, a number: the orders' own condition.
  search.clear();
  type(search, u"txtOrderFind", 0, u"<=3");
  EXPECT_EQ(*search.orderStatement(), u"Select * From Orders WHERE Orders.[OrderId]<=3 Order By OrderDate");

  // No customer of that name: no order can match, and the view is not opened.
  search.clear();
  type(search, u"txtCustomerFind", 0, u"Nobody*");
  EXPECT_EQ(*search.orderStatement(), u"");
  search.search();
  EXPECT_EQ(search.status(), u"No matching Records");
  EXPECT_EQ(search.view(), nullptr);

  // A quantity that is no number: the library says why, and nothing is searched.
  search.clear();
  type(search, u"txtOrderFind", 1, u"many");
  EXPECT_FALSE(search.orderStatement().has_value());
  EXPECT_EQ(prompts(), std::vector<std::u16string>{u"Type mismatch"});
  EXPECT_TRUE(box->prompts()[0].title.empty());
}

TEST_F(FrontEnd, CustomisationIsWrittenOnceAndTheFilesWin) {
  const auto ini = [&](const char16_t* section, const char16_t* key) {
    return std::u16string(
        session->library().api.call(u"GetIniValue", section, key, u"Captions.ini").text());
  };
  {
    SearchForm first(*session);
    EXPECT_EQ(first.text(u"lblName"), u"Customer name");
    EXPECT_EQ(first.text(u"cmdSearch"), u"&Find orders");
    EXPECT_EQ(ini(u"frmSearch", u"CustomCaption"), u"True");
    EXPECT_EQ(ini(u"frmSearch", u"Name"), u"Customer name");
  }
  EXPECT_TRUE(std::filesystem::exists(folder / "data" / "Captions.ini"));  // in the data folder, nowhere else
  EXPECT_TRUE(std::filesystem::exists(folder / "data" / "IniTips.ini"));
  // A user's edit survives the next start; the front end's own entries are not written again.
  session->library().api.call(u"WriteIniValue", u"frmSearch", u"Name", u"Client", u"Captions.ini");
  {
    SearchForm second(*session);
    EXPECT_EQ(second.text(u"lblName"), u"Client");
  }
  // Switched off: the captions of the designed form.
  session->library().api.call(u"WriteIniValue", u"frmSearch", u"CustomCaption", u"False", u"Captions.ini");
  SearchForm third(*session);
  EXPECT_EQ(third.text(u"lblName"), u"Name");
  EXPECT_EQ(third.text(u"cmdSearch"), u"&Search");
}

TEST_P(FrontEndData, TheEditFormChecksWhatIsTypedAndSavesInATransaction) {
  int saves = 0;
  EditForm edit(*session, [&] { ++saves; });
  ASSERT_TRUE(edit.open(5));
  edit.show();
  edit.window()->activateWindow();
  settle();
  EXPECT_EQ(edit.value(Field::OrderNo), u"5");
  const std::int32_t customer = toInt32(orderField(5, u"CustomerId"));
  std::u16string byId = u"Select * From Customers WHERE CustomerId = ";
  byId += toText(Variant(customer));
  EXPECT_EQ(edit.value(Field::Customer), toText(session->open(byId, kSnapshot).get(u"Collect", {Variant(u"Name")})));
  EXPECT_FALSE(edit.open(5000));
  EXPECT_EQ(edit.status(), u"There is no order 5000");
  ASSERT_TRUE(edit.open(5));

  // Leaving a box with a value its field cannot take: the message, and the focus stays.
  edit.type(Field::OrderDate, u"2/30/1999");
  edit.box(Field::Quantity)->setFocus(Qt::TabFocusReason);
  settle();
  EXPECT_EQ(prompts(), std::vector<std::u16string>{u"Not a valid Date format. Please retype."});
  EXPECT_EQ(QApplication::focusWidget(), edit.box(Field::OrderDate));
  // A valid date is shown in the user's pattern.
  edit.type(Field::OrderDate, u"1999-03-04");
  edit.box(Field::Quantity)->setFocus(Qt::TabFocusReason);
  settle();
  EXPECT_EQ(edit.value(Field::OrderDate), u"3/4/1999");
  EXPECT_EQ(prompts().size(), 1u);

  // Save checks every box first: nothing is saved while one is wrong.
  const Variant quantityBefore = orderField(5, u"Qty");
  edit.type(Field::Quantity, u"40000");
  EXPECT_FALSE(edit.save());
  EXPECT_EQ(prompts().back(), u"Not a valid Number format. Please retype.");
  EXPECT_EQ(toInt32(orderField(5, u"Qty")), toInt32(quantityBefore));
  EXPECT_EQ(saves, 0);
  edit.type(Field::Quantity, u"7");
  ASSERT_TRUE(edit.save());
  EXPECT_EQ(toInt32(orderField(5, u"Qty")), 7);
  EXPECT_EQ(toDate(orderField(5, u"OrderDate")), *makeDate(1999, 3, 4));
  EXPECT_EQ(saves, 1);

  // The mail-merge file: the boxes with a merge field, in their order.
  const std::u16string letter = edit.writeLetter();
  std::ifstream in(toUtf8(letter), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string expected = "OrderNo;Customer;City;OrderDate;Note\r\n\"5\";\"";
  expected += toUtf8(edit.value(Field::Customer));
  expected += "\";\"";
  expected += toUtf8(edit.value(Field::City));
  expected += "\";\"3/4/1999\";\"";
  EXPECT_EQ(bytes.str().substr(0, expected.size()), expected);

  // A new order from the defaults; a value kept as a default serves the next one.
  const std::int32_t orders = count(u"Select * From Orders");
  edit.newOrder();
  EXPECT_EQ(edit.value(Field::OrderNo), u"1001");
  EXPECT_EQ(edit.value(Field::Quantity), u"1");
  EXPECT_EQ(edit.value(Field::CustomerNo), u"1");
  ASSERT_TRUE(edit.save());
  EXPECT_EQ(count(u"Select * From Orders"), orders + 1);
  EXPECT_EQ(toInt32(orderField(1001, u"Qty")), 1);
  EXPECT_FALSE(edit.adding());
  edit.type(Field::Quantity, u"3");
  edit.box(Field::Note)->setFocus(Qt::TabFocusReason);
  settle();
  EXPECT_TRUE(edit.keepAsDefault());
  edit.newOrder();
  EXPECT_EQ(edit.value(Field::Quantity), u"3");
  EXPECT_EQ(edit.value(Field::OrderNo), u"1002");
}

// Two instances of the front end on one database, side by side: a save over
// the other user's change is refused with the engine's message and keeps
// what the user typed; asked, the form shows the order as the other user
// left it.
TEST_P(FrontEndData, TwoInstancesNeverOverwriteEachOthersSaves) {
  Session otherSession(folder / "data", ORDERS_FORMS_DIR, session->databaseName());
  // The first session made the sample database; the second uses it.
  EXPECT_TRUE(session->firstRun());
  EXPECT_FALSE(otherSession.firstRun());
  // A server's database is shown without the URI's password.
  EXPECT_EQ(otherSession.shownDatabaseName(),
            GetParam() == tarnwick::testing::Backend::Server ? database_.shown() : session->databaseName());
  EditForm mine(*session, [] {});
  EditForm theirs(otherSession, [] {});
  ASSERT_TRUE(mine.open(5));
  ASSERT_TRUE(theirs.open(5));
  theirs.type(Field::Quantity, u"11");
  ASSERT_TRUE(theirs.save());

  // Reload: the other user's values.
  mine.type(Field::Quantity, u"22");
  box->answer({host::mb::OK, host::mb::Yes});
  EXPECT_FALSE(mine.save());
  const std::u16string conflict = standardDescription(errc::WriteConflict);
  EXPECT_EQ(prompts(), (std::vector<std::u16string>{conflict, std::u16string(EditForm::kReloadQuestion)}));
  EXPECT_EQ(mine.value(Field::Quantity), u"11");
  EXPECT_EQ(toInt32(orderField(5, u"Qty")), 11);

  // Keep: what the user typed stays, and only a second Save writes it.
  theirs.type(Field::Note, u"theirs");
  ASSERT_TRUE(theirs.save());
  mine.type(Field::Quantity, u"23");
  box->answer({host::mb::OK, host::mb::No});
  EXPECT_FALSE(mine.save());
  EXPECT_EQ(prompts().size(), 4u);
  EXPECT_EQ(prompts()[2], conflict);
  EXPECT_EQ(mine.value(Field::Quantity), u"23");
  EXPECT_EQ(toInt32(orderField(5, u"Qty")), 11);
  EXPECT_EQ(toText(orderField(5, u"Note")), u"theirs");
  ASSERT_TRUE(mine.save());
  EXPECT_EQ(toInt32(orderField(5, u"Qty")), 23);
  EXPECT_EQ(prompts().size(), 4u);
}

// A server database that holds tables of its own but no orders is not
// written into.
TEST(FrontEndOnAServer, MakesTheSampleOnlyInAnEmptyDatabase) {
  tarnwick::testing::TestDatabase database(tarnwick::testing::Backend::Server);
  if (!database.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
  {
    Object db(tarnwick::testing::engineObject().call(u"CreateDatabase", database.name()));
    db.call(u"Execute", u"CREATE TABLE Other (Id LONG PRIMARY KEY)");
    db.call(u"Close");
  }
  try {
    Session session(database.dir().path() / "data", ORDERS_FORMS_DIR, database.name());
    ADD_FAILURE() << "the sample database was made beside another table";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::DatabaseExists);
  }
}

// The program itself, by its command line: the scripted tour on a server's
// database, which it makes the sample database in; what it prints names the
// database without the URI's password.
TEST(FrontEndOnAServer, TheProgramTakesItsTourOnADatabaseNamedByItsUri) {
  tarnwick::testing::TestDatabase database(tarnwick::testing::Backend::Server);
  if (!database.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
  const std::filesystem::path shots = database.dir().path() / "shots", out = database.dir().path() / "out.txt";
  const std::string command = std::string("QT_QPA_PLATFORM=offscreen ") + ORDERS_PROGRAM + " --database '" +
                              toUtf8(database.name()) + "' --tour " + shots.string() + " >" + out.string() + " 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  const std::string printed = text.str();
  EXPECT_EQ(status, 0) << printed;
  const std::string shown = toUtf8(database.shown());
  EXPECT_NE(printed.find("tour: on the database " + shown + ", settings in "), std::string::npos) << printed;
  EXPECT_NE(printed.find("ok   data        " + shown + ": the sample database, just created"), std::string::npos)
      << printed;
  const std::string password = tarnwick::engine::testServer()->password;
  EXPECT_EQ(printed.find(password), std::string::npos) << printed;
  EXPECT_NE(printed.find("tour: 13 steps done"), std::string::npos) << printed;
  // The view's export and print of the server's orders, beside the screenshots.
  for (const char* shot : {"search-form.png", "view-form.png", "edit-form.png", "customised.png", "orders.csv",
                           "orders.xlsx", "orders.pdf", "view-form.pdf"})
    EXPECT_TRUE(std::filesystem::exists(shots / shot)) << shot;
  // The tour's save is in the server's database.
  Object db(tarnwick::testing::engineObject().call(u"OpenDatabase", database.name()));
  const Object saved(db.call(u"OpenRecordset", u"SELECT Count(*) AS N FROM Orders WHERE Qty = 12", kSnapshot));
  EXPECT_GE(toInt32(saved.get(u"Collect", {Variant(u"N")})), 1);
  db.call(u"Close");
}

TEST_P(FrontEndData, TheViewCopiesDeletesAndPastesTheSelectedRows) {
  SearchForm search(*session);
  type(search, u"txtCustomerFind", 0, u"Smith*");
  search.search();
  ViewForm* view = search.view();
  ASSERT_NE(view, nullptr);
  const std::int32_t found = view->recordCount();
  ASSERT_GT(found, 2);
  EXPECT_EQ(search.status(), toText(Variant(found)) + u" orders found");
  // The customised headings, and the lines of the row the user moves to.
  EXPECT_EQ(toText(Object(objectOf(view->control(u"grdOrders"), u"Columns").get(u"Item", {Variant(2)})).get(u"Caption")),
            u"Ordered on");
  view->goToRow(1);
  const std::int32_t second = *view->currentOrder();
  EXPECT_EQ(view->lineCount(), 2);
  std::u16string caption = u"Lines of order ";
  caption += toText(Variant(second));
  EXPECT_EQ(view->text(u"lblLines"), caption);

  // The user selects the first two rows.
  auto* grid = qobject_cast<QTableView*>(view->widget(u"grdOrders"));
  grid->selectionModel()->select(QItemSelection(grid->model()->index(0, 0), grid->model()->index(1, 0)),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->goToRow(0);
  const std::int32_t first = *view->currentOrder();
  EXPECT_EQ(view->copyRows(), 0);
  const std::u16string copied = host::clipboard()->text();
  EXPECT_EQ(std::count(copied.begin(), copied.end(), u'\r'), 2);

  // No: nothing deleted. Yes: the two orders.
  box->answer({host::mb::No});
  EXPECT_EQ(view->deleteRows(), 0);
  EXPECT_EQ(view->recordCount(), found);
  grid->selectionModel()->select(QItemSelection(grid->model()->index(0, 0), grid->model()->index(1, 0)),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  box->answer({host::mb::Yes});
  EXPECT_EQ(view->deleteRows(), 0);
  EXPECT_EQ(view->recordCount(), found - 2);
  EXPECT_EQ(prompts().back(), u"You are about to Delete  2 record(s). Do You want to continue?");
  std::u16string both = u"Select * From Orders WHERE OrderId = ";
  both += toText(Variant(first));
  both += u" Or OrderId = ";
  both += toText(Variant(second));
  EXPECT_EQ(count(both), 0);
  // Pasted back, as they were.
  EXPECT_EQ(view->pasteRows(), 0);
  EXPECT_EQ(view->recordCount(), found);
  EXPECT_EQ(count(both), 2);
}

TEST_F(FrontEnd, AWindowComesBackWhereTheUserLeftIt) {
  const auto place = [&](const char16_t* key) {
    return std::u16string(session->library().api.call(u"GetIniValue", u"frmSearch", key, kPlacesFile).text());
  };
  const auto write = [&](const char16_t* key, const char16_t* value) {
    session->library().api.call(u"WriteIniValue", u"frmSearch", key, value, kPlacesFile);
  };
  QSize designed;
  {
    // Moved, resized and closed by the user.
    SearchForm search(*session);
    designed = search.window()->size();
    search.show();
    settle();
    search.window()->move(60, 70);
    search.window()->resize(designed + QSize(37, 23));
    settle();
    search.window()->close();
    settle();
  }
  EXPECT_TRUE(std::filesystem::exists(folder / "data" / "Windows.ini"));
  EXPECT_EQ(place(u"Left"), u"60");
  EXPECT_EQ(place(u"Width"), toText(Variant(designed.width() + 37)));
  {
    SearchForm again(*session);
    again.show();
    settle();
    EXPECT_EQ(again.window()->pos(), QPoint(60, 70));
    EXPECT_EQ(again.window()->size(), designed + QSize(37, 23));
    // Closed by the program, somewhere else: that place is the next one.
    again.window()->move(90, 20);
    settle();
    again.close();
  }
  {
    SearchForm third(*session);
    EXPECT_EQ(third.window()->pos(), QPoint(90, 20));
  }

  // A place that is no place, or off every screen: the designed window.
  const QRect screens = QGuiApplication::primaryScreen()->availableGeometry();
  const std::u16string beyond = toText(Variant(screens.right() + 500));
  const std::pair<const char16_t*, std::u16string> spoilt[] = {
      {u"Width", u"wide"}, {u"Width", u"-300"}, {u"Height", u""}, {u"Top", u"12.5"},
      {u"Left", beyond}, {u"Left", u"99999999999999999999"}};
  for (const auto& [key, value] : spoilt) {
    SCOPED_TRACE(toUtf8(value));
    write(u"Left", u"60");
    write(u"Top", u"70");
    write(u"Width", u"500");
    write(u"Height", u"400");
    write(key, value.c_str());
    SearchForm search(*session);
    EXPECT_EQ(search.window()->size(), designed);
    EXPECT_NE(search.window()->pos(), QPoint(60, 70));
  }
}

// Reports what the long work tells the host, and lets it go on.
class RecordedProgress final : public host::Progress {
 public:
  bool report(const std::u16string& task, std::int32_t done, std::int32_t total) override {
    reports.push_back({task, done, total});
    return true;
  }
  void finish(const std::u16string&) override { ++finished; }

  struct Report {
    std::u16string task;
    std::int32_t done, total;
  };
  std::vector<Report> reports;
  int finished = 0;
};

TEST_P(FrontEndData, TheViewsLongWorkReportsItsProgress) {
  auto progress = std::make_shared<RecordedProgress>();
  host::setProgress(progress);
  SearchForm search(*session);
  search.search();
  ViewForm* view = search.view();
  ASSERT_NE(view, nullptr);
  auto* grid = qobject_cast<QTableView*>(view->widget(u"grdOrders"));
  grid->selectAll();  // the rows the grid has read so far
  const std::int32_t selected = toInt32(objectOf(view->control(u"grdOrders"), u"SelBookmarks").get(u"Count"));
  ASSERT_GT(selected, 100);
  progress->reports.clear();
  EXPECT_EQ(view->copyRows(), 0);
  host::setProgress(nullptr);
  ASSERT_FALSE(progress->reports.empty());
  EXPECT_EQ(progress->reports.back().total, selected);
  EXPECT_GE(progress->finished, 1);
}

}  // namespace
}  // namespace orders

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The tests type dates in the month/day/year order.
  tarnwick::setProcessLocale(tarnwick::Locale::enUS());
  QApplication app(argc, argv);
  // Real windows and widgets; the services stay the headless ones, so
  // that the tests answer the message boxes and read the clipboard.
  tarnwick::qt::installForms();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  tarnwick::host::resetServices();
  return result;
}
