// A data grid on the Qt host is a table view over its data control's
// recordset: records are read as the view shows them, and the form, its
// controls and the window may go away in either order.
#include "../classes/ClassTesting.h"
#include "QtTesting.h"

#include <tarnwick/engine/SampleDatabase.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/Control.h>
#include <tarnwick/qt/DataControl.h>

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

constexpr std::u16string_view kEngineClass = u"{00000010-0000-0010-8000-00AA006D2EA4}";

// The OrderId of the first and of the last order, read through the engine by name.
std::pair<std::int32_t, std::int32_t> firstAndLastOrder(const std::filesystem::path& file) {
  const Object engine(frame::createObject(kEngineClass));
  const Object db(engine.call(u"OpenDatabase", pathText(file)));
  const Object rs(db.call(u"OpenRecordset", u"Orders", 2));
  const std::int32_t first = toInt32(rs.call(u"Fields", u"OrderId"));
  rs.call(u"MoveLast");
  const std::int32_t last = toInt32(rs.call(u"Fields", u"OrderId"));
  rs.call(u"Close");
  db.call(u"Close");
  return {first, last};
}

// A window with a data control, its grid and a text box, made in code as a
// client's own window would be, then wrapped as a form.
struct ViewWindow {
  explicit ViewWindow(const std::filesystem::path& database) : window(new QWidget) {
    window->setObjectName(QStringLiteral("frmView"));
    window->resize(480, 320);
    data = new qt::DataControl(window);
    data->setObjectName(QStringLiteral("datOrders"));
    data->setDatabaseName(QString::fromStdString(database.string()));
    data->setRecordSource(QStringLiteral("Orders"));
    data->setGeometry(0, 280, 480, 30);
    view = new QTableView(window);
    view->setObjectName(QStringLiteral("grdOrders"));
    view->setProperty("DataSource", QStringLiteral("datOrders"));
    view->setGeometry(0, 0, 480, 240);
    edit = new QLineEdit(window);
    edit->setObjectName(QStringLiteral("txtNote"));
    edit->setGeometry(0, 250, 200, 24);
  }
  QPointer<QWidget> window;
  qt::DataControl* data;
  QTableView* view;
  QLineEdit* edit;
};

TEST(QtDataGrid, ControlsOutliveTheirClosedWindow) {
  ScratchDir dir;
  engine::createSampleDatabase(dir / "orders.db", 20);
  ViewWindow made(dir / "orders.db");
  ComPtr<host::Form> form = qt::wrapForm(*made.window);
  const Object f = objectOf(*form.get());
  const Object d = controlOf(f, u"datOrders"), g = controlOf(f, u"grdOrders"), t = controlOf(f, u"txtNote");
  ComPtr<host::Control> grid(dynamic_cast<host::Control*>(g.get()));
  ASSERT_TRUE(grid);
  EXPECT_EQ(toText(d.get(u"DatabaseName")), pathText(dir / "orders.db"));
  EXPECT_EQ(toText(d.get(u"RecordSource")), u"Orders");
  d.call(u"Refresh");
  f.call(u"Show");
  ASSERT_NE(made.view->model(), nullptr);
  EXPECT_EQ(made.view->model()->rowCount(), 20);
  EXPECT_EQ(made.view->model()->columnCount(), 6);
  EXPECT_EQ(toInt32(Object(g.get(u"Columns")).get(u"Count")), 6);
  g.put(u"Row", Variant(3));
  g.put(u"Col", Variant(0));
  const std::u16string fourth = toText(g.get(u"Text"));
  EXPECT_FALSE(fourth.empty());
  t.put(u"Text", Variant(u"note"));

  // The user closes the window and the program deletes it while the form
  // and its controls are still held.
  made.window->close();
  delete made.window.data();
  runDeferredDeletes();
  EXPECT_EQ(qt::windowOf(*form.get()), nullptr);
  EXPECT_EQ(qt::widgetOf(*grid.get()), nullptr);

  // Every member may still be called; none reaches a deleted widget.
  EXPECT_EQ(toInt32(Object(f.get(u"Controls")).get(u"Count")), 3);
  const auto tryIt = [](auto&& body) { (void)testing::errorOf(body); };
  tryIt([&] { (void)f.get(u"Caption"); });
  tryIt([&] { (void)f.get(u"Visible"); });
  tryIt([&] { (void)f.get(u"Width"); });
  tryIt([&] { f.call(u"Move", 0, 0); });
  tryIt([&] { (void)t.get(u"Text"); });
  tryIt([&] { t.put(u"Text", Variant(u"after")); });
  tryIt([&] { (void)t.get(u"Left"); });
  tryIt([&] { t.put(u"Visible", Variant(false)); });
  tryIt([&] { (void)g.get(u"Text"); });
  tryIt([&] { (void)g.get(u"Row"); });
  tryIt([&] { g.put(u"Row", Variant(1)); });
  tryIt([&] { (void)g.get(u"VisibleRows"); });
  tryIt([&] { (void)Object(g.get(u"Columns", {Variant(1)})).get(u"Width"); });
  tryIt([&] { Object(g.get(u"Columns", {Variant(1)})).put(u"Width", Variant(1500)); });
  tryIt([&] { (void)Object(g.get(u"SelBookmarks")).get(u"Count"); });
  tryIt([&] { g.call(u"Refresh"); });
  tryIt([&] { (void)d.get(u"Caption"); });
  tryIt([&] { (void)d.get(u"Recordset"); });
  tryIt([&] { d.call(u"Refresh"); });  // binds the grid again, with no view to show it
  form = nullptr;
  grid = nullptr;
}

TEST(QtDataGrid, WindowOutlivesItsReleasedForm) {
  ScratchDir dir;
  engine::createSampleDatabase(dir / "orders.db", 20);
  ViewWindow made(dir / "orders.db");
  {
    const ComPtr<host::Form> form = qt::wrapForm(*made.window);
    const Object f = objectOf(*form.get());
    controlOf(f, u"datOrders").call(u"Refresh");
    f.call(u"Show");
    controlOf(f, u"txtNote").put(u"Text", Variant(u"kept"));
  }
  runDeferredDeletes();
  // The window belongs to the program that wrapped it: it stays, and the
  // user goes on using it with no form behind it.
  ASSERT_NE(made.window, nullptr);
  EXPECT_EQ(made.edit->text(), QStringLiteral("kept"));
  QTest::keyClicks(made.edit, QStringLiteral("!"));
  EXPECT_EQ(made.edit->text(), QStringLiteral("kept!"));
  if (QAbstractItemModel* model = made.view->model()) {
    for (int r = 0; r < model->rowCount(); ++r) (void)model->data(model->index(r, 0));
    made.view->selectRow(1);
    made.view->scrollToBottom();
  }
  emit made.data->navigate(2);
  QCoreApplication::processEvents();
  delete made.window.data();
  runDeferredDeletes();
}

TEST(QtDataGrid, RecordsAreReadAsTheViewShowsThem) {
  ScratchDir dir;
  const std::filesystem::path file = dir / "orders.db";
  engine::createSampleDatabase(file, 1000);
  const auto [firstOrder, lastOrder] = firstAndLastOrder(file);

  const UiForm ui("orders.ui");  // a data control of the plain class name "DataControl"
  const Object f = ui.object();
  const Object d = controlOf(f, u"datOrders");
  EXPECT_EQ(d.typeName(), u"Data");
  EXPECT_EQ(toText(d.get(u"RecordSource")), u"Orders");
  d.put(u"DatabaseName", Variant(pathText(file)));
  d.call(u"Refresh");
  f.call(u"Show");

  auto* view = ui.widget<QTableView>("grdOrders");
  ASSERT_NE(view, nullptr);
  QAbstractItemModel* model = view->model();
  ASSERT_NE(model, nullptr);
  QCoreApplication::processEvents();
  EXPECT_GT(model->rowCount(), 0);
  EXPECT_LT(model->rowCount(), 1000);  // not every record read up front
  EXPECT_TRUE(model->canFetchMore(QModelIndex()));
  ASSERT_EQ(model->columnCount(), 6);
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("OrderId"));
  EXPECT_EQ(model->data(model->index(0, 0)).toInt(), firstOrder);

  // Scrolling down reads the rest, a batch at a time.
  for (int round = 0; round < 1000 && model->canFetchMore(QModelIndex()); ++round) {
    view->scrollToBottom();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(model->rowCount(), 1000);
  EXPECT_FALSE(model->canFetchMore(QModelIndex()));
  EXPECT_EQ(model->data(model->index(999, 0)).toInt(), lastOrder);
  EXPECT_EQ(toInt32(controlOf(f, u"grdOrders").get(u"ApproxCount")), 1000);
}

// A value typed into a cell is saved through the grid's Text member: the
// record is updated, or the engine's refusal is shown and nothing is saved.
TEST(QtDataGrid, TypedCellsAreSavedThroughTheMembers) {
  ScratchDir dir;
  const std::filesystem::path file = dir / "orders.db";
  engine::createSampleDatabase(file, 20);
  ViewWindow made(file);
  ComPtr<host::Form> form = qt::wrapForm(*made.window);
  const Object f = objectOf(*form.get());
  controlOf(f, u"datOrders").call(u"Refresh");
  f.call(u"Show");
  QAbstractItemModel* model = made.view->model();
  ASSERT_NE(model, nullptr);
  int qty = -1;
  for (int c = 0; c < model->columnCount(); ++c)
    if (model->headerData(c, Qt::Horizontal).toString() == QStringLiteral("Qty")) qty = c;
  ASSERT_GE(qty, 0);
  EXPECT_TRUE(model->flags(model->index(2, qty)) & Qt::ItemIsEditable);

  MessageBoxScope box;
  EXPECT_TRUE(model->setData(model->index(2, qty), QStringLiteral("42")));
  EXPECT_EQ(model->data(model->index(2, qty)).toString(), QStringLiteral("42"));
  EXPECT_EQ(toInt32(controlOf(f, u"grdOrders").get(u"Row")), 2);  // the typed row is the current record
  // The record selectors mark the current record; the row height is the view's own.
  EXPECT_FALSE(model->headerData(2, Qt::Vertical).toString().isEmpty());
  EXPECT_TRUE(model->headerData(0, Qt::Vertical).toString().isEmpty());
  EXPECT_EQ(toDouble(controlOf(f, u"grdOrders").get(u"RowHeight")),
            made.view->verticalHeader()->defaultSectionSize() * qt::twipsPerPixelY());
  controlOf(f, u"grdOrders").put(u"RowHeight", Variant(300));
  EXPECT_EQ(made.view->verticalHeader()->defaultSectionSize(), 300 / qt::twipsPerPixelY());
  const Object rs(controlOf(f, u"datOrders").get(u"Recordset"));
  EXPECT_EQ(toInt32(rs.call(u"Fields", u"Qty")), 42);
  EXPECT_TRUE(box->prompts().empty());
  // The same by the user: an editor opened on the cell, a value typed and entered.
  made.view->edit(model->index(4, qty));
  auto* editor = made.view->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("7"));
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_EQ(model->data(model->index(4, qty)).toString(), QStringLiteral("7"));
  EXPECT_EQ(toInt32(rs.call(u"Fields", u"Qty")), 7);

  // Text into a number field: refused with the engine's message, the record unchanged.
  EXPECT_FALSE(model->setData(model->index(3, qty), QStringLiteral("many")));
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].buttons, host::mb::Exclamation);
  const QString before = model->data(model->index(3, qty)).toString();
  EXPECT_NE(before, QStringLiteral("many"));
  const Object engine(frame::createObject(kEngineClass));
  const Object db(engine.call(u"OpenDatabase", pathText(file)));
  const Object check(db.call(u"OpenRecordset", u"SELECT Qty FROM Orders WHERE Qty = 42", 4));
  EXPECT_FALSE(toBool(check.get(u"EOF")));  // the typed value is in the file
  check.call(u"Close");
  db.call(u"Close");
}

}  // namespace
}  // namespace tarnwick::testing
