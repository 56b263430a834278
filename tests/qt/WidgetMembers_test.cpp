// The members of a Qt form's controls act on the real widgets, and what a
// user does in the widgets is what the members read, with the control's
// change handlers told.
#include "QtTesting.h"

#include <tarnwick/host/Control.h>
#include <tarnwick/qt/DataControl.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick::testing {
namespace {

host::Control& controlIn(const Object& control) {
  auto* c = dynamic_cast<host::Control*>(control.get());
  if (!c) throw Error(errc::ObjectRequired);
  return *c;
}

TEST(QtWidgets, MembersActOnTheWidgets) {
  const UiForm ui("controls.ui");
  const Object f = ui.object();
  const int tppX = qt::twipsPerPixelX(), tppY = qt::twipsPerPixelY();

  // Text box: text, selection, visibility, enabled state, place and size.
  auto* edit = ui.widget<QLineEdit>("txtName");
  ASSERT_NE(edit, nullptr);
  const Object name = controlOf(f, u"txtName");
  EXPECT_EQ(widgetAs<QLineEdit>(name), edit);
  name.put(u"Text", Variant(u"Jones"));
  EXPECT_EQ(edit->text(), QStringLiteral("Jones"));
  name.put(u"SelStart", Variant(1));
  name.put(u"SelLength", Variant(3));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("one"));
  EXPECT_EQ(toText(name.get(u"SelText")), u"one");
  name.put(u"Visible", Variant(false));
  EXPECT_TRUE(edit->isHidden());
  name.put(u"Visible", Variant(true));
  EXPECT_FALSE(edit->isHidden());
  // Visible is the control's own setting: true although the form is not shown yet.
  EXPECT_TRUE(toBool(name.get(u"Visible")));
  name.put(u"Enabled", Variant(false));
  EXPECT_FALSE(edit->isEnabled());
  EXPECT_FALSE(toBool(name.get(u"Enabled")));
  name.put(u"Enabled", Variant(true));
  name.put(u"Left", Variant(150 * tppX));
  name.put(u"Width", Variant(120 * tppX));
  name.put(u"Top", Variant(40 * tppY));
  name.put(u"Height", Variant(30 * tppY));
  EXPECT_EQ(edit->geometry(), QRect(150, 40, 120, 30));
  name.call(u"Move", 10 * tppX, 20 * tppY, 100 * tppX, 25 * tppY);
  EXPECT_EQ(edit->geometry(), QRect(10, 20, 100, 25));
  // A widget placed by the program reads back in twips.
  edit->setGeometry(33, 44, 155, 21);
  EXPECT_EQ(toDouble(name.get(u"Left")), 33.0 * tppX);
  EXPECT_EQ(toDouble(name.get(u"Top")), 44.0 * tppY);
  EXPECT_EQ(toDouble(name.get(u"Width")), 155.0 * tppX);
  EXPECT_EQ(toDouble(name.get(u"Height")), 21.0 * tppY);
  name.put(u"ToolTipText", Variant(u"The customer"));
  EXPECT_EQ(edit->toolTip(), QStringLiteral("The customer"));

  // A drop-down list refuses a text outside its list and keeps its selection.
  auto* list = ui.widget<QComboBox>("cboState");
  ASSERT_NE(list, nullptr);
  const Object state = controlOf(f, u"cboState");
  state.put(u"Text", Variant(u"CLOSED"));
  EXPECT_EQ(list->currentIndex(), 1);
  EXPECT_EQ(list->currentText(), QStringLiteral("closed"));
  try {
    state.put(u"Text", Variant(u"lost"));
    ADD_FAILURE() << "the drop-down list took a text outside its list";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::PropertyReadOnly);
  }
  EXPECT_EQ(list->currentIndex(), 1);
  EXPECT_EQ(list->currentText(), QStringLiteral("closed"));
  EXPECT_EQ(list->count(), 3);
  state.call(u"AddItem", u"new", 0);
  EXPECT_EQ(list->count(), 4);
  EXPECT_EQ(list->itemText(0), QStringLiteral("new"));
  EXPECT_EQ(toInt32(state.get(u"ListIndex")), 2);  // the selection follows its item
  EXPECT_EQ(list->currentIndex(), 2);
  state.put(u"ListIndex", Variant(-1));
  EXPECT_EQ(list->currentIndex(), -1);
  state.call(u"Clear");
  EXPECT_EQ(list->count(), 0);
  // A drop-down combo takes any text.
  auto* city = ui.widget<QComboBox>("cboCity");
  ASSERT_NE(city, nullptr);
  controlOf(f, u"cboCity").put(u"Text", Variant(u"Köln"));
  EXPECT_EQ(city->currentText(), QStringLiteral("Köln"));

  // A tristate check box: 2 is partly checked.
  auto* check = ui.widget<QCheckBox>("chkPaid");
  ASSERT_NE(check, nullptr);
  const Object paid = controlOf(f, u"chkPaid");
  paid.put(u"Value", Variant(2));
  EXPECT_EQ(check->checkState(), Qt::PartiallyChecked);
  paid.put(u"Value", Variant(0));
  EXPECT_EQ(check->checkState(), Qt::Unchecked);
  paid.put(u"Value", Variant(1));
  EXPECT_EQ(check->checkState(), Qt::Checked);
  EXPECT_EQ(testing::errorOf([&] { paid.put(u"Value", Variant(3)); }), errc::InvalidPropertyValue);
  EXPECT_EQ(check->checkState(), Qt::Checked);
  paid.put(u"Caption", Variant(u"Paid in full"));
  EXPECT_EQ(check->text(), QStringLiteral("Paid in full"));

  // Captions of labels, buttons, group boxes, the data control and the window.
  controlOf(f, u"lblName").put(u"Caption", Variant(u"Customer:"));
  EXPECT_EQ(ui.widget<QLabel>("lblName")->text(), QStringLiteral("Customer:"));
  controlOf(f, u"cmdOK").put(u"Caption", Variant(u"&Save"));
  EXPECT_EQ(ui.widget<QPushButton>("cmdOK")->text(), QStringLiteral("&Save"));
  const Object box = controlOf(f, u"fraBox");
  box.put(u"Caption", Variant(u"Delivery"));
  EXPECT_EQ(ui.widget<QGroupBox>("fraBox")->title(), QStringLiteral("Delivery"));
  controlOf(f, u"datOrders").put(u"Caption", Variant(u"All orders"));
  EXPECT_EQ(ui.widget<qt::DataControl>("datOrders")->caption(), QStringLiteral("All orders"));
  f.put(u"Caption", Variant(u"Orders of the day"));
  EXPECT_EQ(ui.window()->windowTitle(), QStringLiteral("Orders of the day"));
  // Hiding a group box hides what it contains, but leaves their own setting alone.
  box.put(u"Visible", Variant(false));
  EXPECT_TRUE(ui.widget<QGroupBox>("fraBox")->isHidden());
  EXPECT_FALSE(ui.widget<QLineEdit>("txtInner")->isHidden());
  EXPECT_TRUE(toBool(controlOf(f, u"txtInner").get(u"Visible")));

  // Flex grid cells are the table's items; AddItem adds a row of them.
  auto* table = ui.widget<QTableWidget>("grdLines");
  ASSERT_NE(table, nullptr);
  const Object grid = controlOf(f, u"grdLines");
  EXPECT_EQ(toInt32(grid.get(u"Rows")), table->rowCount());
  EXPECT_EQ(toInt32(grid.get(u"Cols")), table->columnCount());
  grid.put(u"TextMatrix", {Variant(1), Variant(1)}, Variant(u"Pen"));
  ASSERT_NE(table->item(1, 1), nullptr);
  EXPECT_EQ(table->item(1, 1)->text(), QStringLiteral("Pen"));
  const int rows = table->rowCount();
  grid.call(u"AddItem", u"Ink\t3");
  EXPECT_EQ(table->rowCount(), rows + 1);
  ASSERT_NE(table->item(rows, 0), nullptr);
  EXPECT_EQ(table->item(rows, 0)->text(), QStringLiteral("Ink"));
  EXPECT_EQ(table->item(rows, 1)->text(), QStringLiteral("3"));
  grid.put(u"Cols", Variant(4));
  EXPECT_EQ(table->columnCount(), 4);
  grid.put(u"ColWidth", {Variant(0)}, Variant(90 * tppX));
  EXPECT_EQ(table->columnWidth(0), 90);
  grid.put(u"ColWidth", {Variant(1)}, Variant(0));  // hidden
  EXPECT_TRUE(table->isColumnHidden(1) || table->columnWidth(1) == 0);
  EXPECT_EQ(toInt32(grid.get(u"ColWidth", {Variant(1)})), 0);

  // List box items are the list widget's.
  auto* items = ui.widget<QListWidget>("lstItems");
  ASSERT_NE(items, nullptr);
  const Object lst = controlOf(f, u"lstItems");
  lst.call(u"AddItem", u"three");
  ASSERT_EQ(items->count(), 3);
  EXPECT_EQ(items->item(2)->text(), QStringLiteral("three"));
  lst.put(u"ListIndex", Variant(1));
  EXPECT_EQ(items->currentRow(), 1);
  lst.call(u"RemoveItem", 0);
  EXPECT_EQ(items->count(), 2);
  EXPECT_EQ(items->item(0)->text(), QStringLiteral("two"));

  // Tab captions are the tab widget's.
  auto* pages = ui.widget<QTabWidget>("tabPages");
  ASSERT_NE(pages, nullptr);
  const Object tabs(controlOf(f, u"tabPages").get(u"Tabs"));
  Object(tabs.call(u"Item", 2)).put(u"Caption", Variant(u"Order lines"));
  EXPECT_EQ(pages->tabText(1), QStringLiteral("Order lines"));
  tabs.call(u"Add", Variant::missing(), Variant::missing(), u"Notes");
  EXPECT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->tabText(2), QStringLiteral("Notes"));
  Object(tabs.call(u"Item", 3)).put(u"Selected", Variant(true));
  EXPECT_EQ(pages->currentIndex(), 2);

  // Menu entries are the actions.
  auto* open = widgetAs<QAction>(controlOf(f, u"mnuOpen"));
  ASSERT_NE(open, nullptr);
  const Object menu = controlOf(f, u"mnuOpen");
  menu.put(u"Caption", Variant(u"&Open order"));
  EXPECT_EQ(open->text(), QStringLiteral("&Open order"));
  menu.put(u"Checked", Variant(true));
  EXPECT_TRUE(open->isChecked());
  menu.put(u"Enabled", Variant(false));
  EXPECT_FALSE(open->isEnabled());
  menu.put(u"Visible", Variant(false));
  EXPECT_FALSE(open->isVisible());

  // The form shows and hides its window.
  f.call(u"Show");
  EXPECT_TRUE(ui.window()->isVisible());
  EXPECT_TRUE(toBool(f.get(u"Visible")));
  f.call(u"Hide");
  EXPECT_FALSE(ui.window()->isVisible());
}

TEST(QtWidgets, UserEditsReachTheMembersAndTheirHandlers) {
  const UiForm ui("controls.ui");
  const Object f = ui.object();
  f.call(u"Show");

  // Typing into the line edit: one Change per key, and none echoed back.
  auto* edit = ui.widget<QLineEdit>("txtName");
  ASSERT_NE(edit, nullptr);
  const Object name = controlOf(f, u"txtName");
  std::vector<std::u16string> typed;
  controlIn(name).onChange([&](host::Control& c, host::Property p) {
    if (p == host::Property::Text) typed.push_back(c.text());
  });
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("Ann"));
  EXPECT_EQ(typed, (std::vector<std::u16string>{u"A", u"An", u"Ann"}));
  EXPECT_EQ(toText(name.get(u"Text")), u"Ann");
  name.put(u"Text", Variant(u"Bo"));
  EXPECT_EQ(typed.size(), 4u);  // a member's change is told once, not again by the widget
  EXPECT_EQ(typed.back(), u"Bo");
  // Typed text obeys the selection members too.
  edit->setSelection(1, 1);
  EXPECT_EQ(toInt32(name.get(u"SelStart")), 1);
  EXPECT_EQ(toInt32(name.get(u"SelLength")), 1);

  // Choosing from the drop-down list.
  auto* list = ui.widget<QComboBox>("cboState");
  const Object state = controlOf(f, u"cboState");
  int listChanges = 0;
  controlIn(state).onChange([&](host::Control&, host::Property) { ++listChanges; });
  list->setCurrentIndex(2);
  EXPECT_EQ(toInt32(state.get(u"ListIndex")), 2);
  EXPECT_EQ(toText(state.get(u"Text")), u"paid");
  EXPECT_GT(listChanges, 0);
  // MaxLength limits typing, not what code writes; typed text is no new list item.
  name.put(u"MaxLength", Variant(3));
  edit->setText(QString());
  QTest::keyClicks(edit, QStringLiteral("Annabel"));
  EXPECT_EQ(toText(name.get(u"Text")), u"Ann");
  name.put(u"Text", Variant(u"Annabel"));
  EXPECT_EQ(toText(name.get(u"Text")), u"Annabel");
  EXPECT_EQ(edit->text(), QStringLiteral("Annabel"));
  edit->setText(QString());
  QTest::keyClicks(edit, QStringLiteral("Bobby"));  // the limit still holds for typing
  EXPECT_EQ(toText(name.get(u"Text")), u"Bob");
  name.put(u"MaxLength", Variant(0));
  QTest::keyClicks(edit, QStringLiteral("by"));
  EXPECT_EQ(toText(name.get(u"Text")), u"Bobby");
  // Typing into the drop-down combo.
  auto* city = ui.widget<QComboBox>("cboCity");
  ASSERT_NE(city->lineEdit(), nullptr);
  city->lineEdit()->setText(QStringLiteral("Bon"));
  QTest::keyClicks(city->lineEdit(), QStringLiteral("n"));
  EXPECT_EQ(toText(controlOf(f, u"cboCity").get(u"Text")), u"Bonn");
  const std::int32_t cities = toInt32(controlOf(f, u"cboCity").get(u"ListCount"));
  QTest::keyClick(city->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(toInt32(controlOf(f, u"cboCity").get(u"ListCount")), cities);
  EXPECT_EQ(city->count(), cities);

  // Clicking the tristate check box: checked, clear, partly checked.
  auto* check = ui.widget<QCheckBox>("chkPaid");
  const Object paid = controlOf(f, u"chkPaid");
  std::vector<std::int32_t> values;
  controlIn(paid).onChange([&](host::Control& c, host::Property p) {
    if (p == host::Property::Value) values.push_back(toInt32(c.state().get(host::Property::Value)));
  });
  check->click();
  EXPECT_EQ(toInt32(paid.get(u"Value")), 0);
  check->click();
  EXPECT_EQ(toInt32(paid.get(u"Value")), 2);
  EXPECT_EQ(values, (std::vector<std::int32_t>{0, 2}));

  // Pressing the button is its Click.
  int clicks = 0;
  controlIn(controlOf(f, u"cmdOK")).onChange([&](host::Control&, host::Property p) {
    clicks += p == host::Property::Value;
  });
  ui.widget<QPushButton>("cmdOK")->click();
  EXPECT_EQ(clicks, 1);

  // Picking a list row, editing a grid cell, choosing a tab.
  ui.widget<QListWidget>("lstItems")->setCurrentRow(1);
  EXPECT_EQ(toInt32(controlOf(f, u"lstItems").get(u"ListIndex")), 1);
  EXPECT_EQ(toText(controlOf(f, u"lstItems").get(u"Text")), u"two");
  auto* table = ui.widget<QTableWidget>("grdLines");
  table->setItem(2, 1, new QTableWidgetItem(QStringLiteral("typed")));
  EXPECT_EQ(toText(controlOf(f, u"grdLines").get(u"TextMatrix", {Variant(2), Variant(1)})), u"typed");
  ui.widget<QTabWidget>("tabPages")->setCurrentIndex(1);
  EXPECT_EQ(toInt32(Object(controlOf(f, u"tabPages").get(u"SelectedItem")).get(u"Index")), 2);
}

}  // namespace
}  // namespace tarnwick::testing
