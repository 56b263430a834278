// Filling grids from records and values, records from values, and placing
// an in-place combo box: OcxWrapper against the headless host and real
// database files.
#include "../automation/ErrorOf.h"
#include "../engine/EngineTesting.h"
#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/GridRows.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

using testing::engineObject;
using testing::errorOf;
using testing::TempDir;
using testing::u16;

using testing::endLeftoverTransactions;

struct OcxGridFill : ::testing::Test {
  void SetUp() override { endLeftoverTransactions(); }
  void TearDown() override { host::resetServices(); }
  LocaleScope locale{Locale::enUS()};
  TempDir dir;
  Object ocx{makeObject<ocx::OcxWrapper>().as<IDispatch>()};

  // tblPeople(Id long, Person text, Town text, Qty double, Paid yes/no, Born date).
  Object database() {
    Object db(engineObject().call(u"CreateDatabase", u16(dir / "people.db")));
    db.call(u"Execute",
            u"CREATE TABLE tblPeople (Id LONG PRIMARY KEY, Person TEXT(20), Town TEXT(20), Qty DOUBLE, Paid YESNO, "
            u"Born DATETIME)");
    db.call(u"Execute", u"INSERT INTO tblPeople VALUES (7, 'Ann', 'Oslo', 1.5, True, #1/2/1990#)");
    db.call(u"Execute", u"INSERT INTO tblPeople VALUES (-3, 'Bob', Null, 2, False, Null)");
    db.call(u"Execute", u"INSERT INTO tblPeople VALUES (12, Null, 'Rome', Null, True, #12/24/1998#)");
    return db;
  }
};

std::u16string rows(const Object& grid) {
  std::u16string out;
  const std::int32_t count = toInt32(grid.get(u"Rows"));
  const std::int32_t cols = toInt32(grid.get(u"Cols"));
  for (std::int32_t r = 1; r < count; ++r) {
    for (std::int32_t c = 0; c < cols; ++c) {
      out += toText(grid.get(u"TextMatrix", {Variant(r), Variant(c)}));
      out += c + 1 < cols ? u"|" : u"\n";
    }
  }
  return out;
}

Object flexGrid(ComPtr<host::Form>& keep, std::int32_t cols) {
  keep = host::loadFormText("form frmFill {\n  MSFlexGrid grdFill {\n  }\n}\n");
  Object grid(Object(static_cast<IDispatch*>(keep.get())).get(u"grdFill"));
  grid.put(u"Cols", Variant(cols));
  grid.put(u"TextMatrix", {Variant(0), Variant(0)}, Variant(u"Heading"));
  return grid;
}

TEST_F(OcxGridFill, FillGridWithRecordsShowsEveryKindOfValue) {
  Object db = database();
  ComPtr<host::Form> form;
  Object grid = flexGrid(form, 6);
  grid.call(u"AddItem", u"old row");
  Object rs(db.call(u"OpenRecordset", u"Select * From tblPeople Order By Person"));
  // A Null shows as an empty cell, and numbers, flags and dates after a text do not stop the fill.
  ocx.call(u"FillGridWithRecords", grid.get(), rs.get());
  EXPECT_EQ(rows(grid), u" 12||Rome||True|12/24/1998\n"
                        u" 7|Ann|Oslo|1.5|True|1/2/1990\n"
                        u"-3|Bob||2|False|\n");
  EXPECT_EQ(grid.get(u"TextMatrix", {Variant(0), Variant(0)}).text(), u"Heading");  // the heading row stays
  EXPECT_TRUE(toBool(rs.get(u"EOF")));
  // The excepted field, compared exactly; the long integer keeps its leading blank.
  grid.put(u"Cols", Variant(5));
  Object byId(db.call(u"OpenRecordset", u"Select * From tblPeople Where Id = 7"));
  ocx.call(u"FillGridWithRecords", grid.get(), byId.get(), u"Town");
  EXPECT_EQ(rows(grid), u" 7|Ann|1.5|True|1/2/1990\n");
  grid.put(u"Cols", Variant(6));
  byId.call(u"MoveFirst");
  ocx.call(u"FillGridWithRecords", grid.get(), byId.get(), u"town");
  EXPECT_EQ(rows(grid), u" 7|Ann|Oslo|1.5|True|1/2/1990\n");
  // From the current record on; at the end only the heading row remains.
  Object all(db.call(u"OpenRecordset", u"Select * From tblPeople Order By Id"));
  all.call(u"MoveNext");
  all.call(u"MoveNext");
  ocx.call(u"FillGridWithRecords", grid.get(), all.get());
  EXPECT_EQ(rows(grid), u" 12||Rome||True|12/24/1998\n");
  ocx.call(u"FillGridWithRecords", grid.get(), all.get());
  EXPECT_EQ(toInt32(grid.get(u"Rows")), 1);
  // Under another locale the cells follow its text forms.
  {
    LocaleScope de(Locale::deDE());
    Object one(db.call(u"OpenRecordset", u"Select Id, Qty From tblPeople Where Id = 7"));
    grid.put(u"Cols", Variant(2));
    ocx.call(u"FillGridWithRecords", grid.get(), one.get());
    EXPECT_EQ(rows(grid), u" 7|1,5\n");
  }
}

TEST_F(OcxGridFill, FillGridWithRecordsReadsFieldsThroughTheirValue) {
  Object db = database();
  ComPtr<host::Form> form;
  Object grid = flexGrid(form, 5);
  const Object rs(db.call(u"OpenRecordset", u"Select * From tblPeople Order By Person"));
  ocx.call(u"FillGridWithRecords", grid.get(), testing::FieldsByNameOnly::wrap(rs).get(), u"Qty");
  EXPECT_EQ(rows(grid), u" 12||Rome|True|12/24/1998\n"
                        u" 7|Ann|Oslo|True|1/2/1990\n"
                        u"-3|Bob||False|\n");
}

// The engine's recordsets are read in place and a client's by name: over
// many records the two fill the same rows, and fail at the same record.
TEST_F(OcxGridFill, FillGridWithRecordsReadsTheEnginesRecordsAsAnyOther) {
  Object db(engineObject().call(u"CreateDatabase", u16(dir / "many.db")));
  db.call(u"Execute", u"CREATE TABLE tblMany (Id LONG PRIMARY KEY, Num LONG, Label TEXT(20), Qty DOUBLE, Born DATETIME)");
  engineObject().call(u"BeginTrans");
  for (int i = 1; i <= 400; ++i) {
    const std::u16string n = fromUtf8(std::to_string(i));
    db.call(u"Execute", u"INSERT INTO tblMany VALUES (" + n + u", " + (i == 350 ? std::u16string(u"Null") : u"-" + n) + u", 'L" + n +
                            u"', " + n + u".25, #1/" + fromUtf8(std::to_string(i % 28 + 1)) + u"/1999#)");
  }
  engineObject().call(u"CommitTrans");
  ComPtr<host::Form> ours, theirs;
  Object ourGrid = flexGrid(ours, 4), theirGrid = flexGrid(theirs, 4);
  Object rs(db.call(u"OpenRecordset", u"tblMany"));
  Object other(db.call(u"OpenRecordset", u"tblMany"));
  rs.call(u"MoveNext");
  other.call(u"MoveNext");
  // Record 350 holds a Null long integer: the rows before it stay, and both stop on it.
  EXPECT_EQ(errorOf([&] { ocx.call(u"FillGridWithRecords", ourGrid.get(), rs.get(), u"Id"); }), errc::InvalidUseOfNull);
  EXPECT_EQ(errorOf([&] {
              ocx.call(u"FillGridWithRecords", theirGrid.get(), testing::FieldsByNameOnly::wrap(other).get(), u"Id");
            }),
            errc::InvalidUseOfNull);
  EXPECT_EQ(toInt32(ourGrid.get(u"Rows")), 349);
  EXPECT_EQ(rows(ourGrid), rows(theirGrid));
  EXPECT_EQ(toText(ourGrid.get(u"TextMatrix", {Variant(348), Variant(1)})), u"L349");
  EXPECT_EQ(toText(ourGrid.get(u"TextMatrix", {Variant(200), Variant(0)})), u"-201");
  EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"Id")})), 350);
  EXPECT_EQ(toInt32(other.get(u"Collect", {Variant(u"Id")})), 350);
  // From there on, past the Null, both fill to the end alike.
  rs.call(u"MoveNext");
  other.call(u"MoveNext");
  ocx.call(u"FillGridWithRecords", ourGrid.get(), rs.get(), u"Id");
  ocx.call(u"FillGridWithRecords", theirGrid.get(), testing::FieldsByNameOnly::wrap(other).get(), u"Id");
  EXPECT_EQ(rows(ourGrid), rows(theirGrid));
  EXPECT_EQ(toInt32(ourGrid.get(u"Rows")), 51);
  EXPECT_TRUE(toBool(rs.get(u"EOF")));
}

// The host's flex grids take the fill's rows directly; a grid reached by
// name only gets each row through AddItem. Both end with the same cells:
// a text holding a tab spills into the next cell, a row shorter than the
// grid leaves the last cells empty.
TEST_F(OcxGridFill, FillGridWithRecordsFillsEveryGridAlike) {
  Object db = database();
  db.call(u"Execute", u"INSERT INTO tblPeople VALUES (30, 'Tab\tbed', 'Ulm', -0.000015, False, #3/4/1850 6:30:00 AM#)");
  ComPtr<host::Form> direct, byName;
  Object directGrid = flexGrid(direct, 7), namedGrid = flexGrid(byName, 7);
  EXPECT_TRUE(frame::gridRows(directGrid));
  const Object hidden = testing::FieldsByNameOnly::byNameOnly(namedGrid);
  EXPECT_FALSE(frame::gridRows(hidden));
  Object rs(db.call(u"OpenRecordset", u"Select * From tblPeople Order By Id Desc"));
  Object again(db.call(u"OpenRecordset", u"Select * From tblPeople Order By Id Desc"));
  ocx.call(u"FillGridWithRecords", directGrid.get(), rs.get());
  ocx.call(u"FillGridWithRecords", hidden.get(), again.get());
  EXPECT_EQ(rows(directGrid), rows(namedGrid));
  EXPECT_EQ(rows(directGrid),
            u" 30|Tab|bed|Ulm|-0.000015|False|3/4/1850 6:30:00 AM\n"
            u" 12||Rome||True|12/24/1998|\n"
            u" 7|Ann|Oslo|1.5|True|1/2/1990|\n"
            u"-3|Bob||2|False||\n");
  // A text box offers no rows.
  ComPtr<host::Form> plain = host::loadFormText("form frmPlain {\n  TextBox txtA {\n  }\n}\n");
  EXPECT_FALSE(frame::gridRows(Object(Object(static_cast<IDispatch*>(plain.get())).get(u"txtA"))));
}

TEST_F(OcxGridFill, FillGridWithRecordsFailures) {
  Object db = database();
  db.call(u"Execute", u"INSERT INTO tblPeople (Id, Person) VALUES (20, 'Zed')");
  db.call(u"Execute", u"CREATE TABLE tblNoKey (Num LONG, Label TEXT(5))");
  db.call(u"Execute", u"INSERT INTO tblNoKey VALUES (1, 'a')");
  db.call(u"Execute", u"INSERT INTO tblNoKey VALUES (Null, 'b')");
  db.call(u"Execute", u"INSERT INTO tblNoKey VALUES (3, 'c')");
  ComPtr<host::Form> form;
  Object grid = flexGrid(form, 2);
  // A Null long integer has no digits: the rows before it stay, the recordset stays on it.
  Object rs(db.call(u"OpenRecordset", u"tblNoKey"));
  EXPECT_EQ(errorOf([&] { ocx.call(u"FillGridWithRecords", grid.get(), rs.get()); }), errc::InvalidUseOfNull);
  EXPECT_EQ(rows(grid), u" 1|a\n");
  EXPECT_EQ(toText(rs.get(u"Collect", {Variant(u"Label")})), u"b");
  // Every field left out: nothing to cut the tab from.
  Object one(db.call(u"OpenRecordset", u"Select Label From tblNoKey"));
  EXPECT_EQ(errorOf([&] { ocx.call(u"FillGridWithRecords", grid.get(), one.get(), u"Label"); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([&] { ocx.call(u"FillGridWithRecords", grid.get(), grid.get()); }), errc::MemberNotSupported);
}

TEST_F(OcxGridFill, AddRowTextToGrid) {
  ComPtr<host::Form> form;
  Object grid = flexGrid(form, 3);
  // Row 1 empty: the values go into it unchanged, no row is added.
  ocx.call(u"AddRowTextToGrid", grid.get());
  EXPECT_EQ(rows(grid), u"||\n");
  ocx.call(u"AddRowTextToGrid", grid.get(), u"Pen", 2, 1.5);
  EXPECT_EQ(rows(grid), u"Pen|2|1.5\n");
  // Then as new rows; an empty first value followed by others adds nothing.
  ocx.call(u"AddRowTextToGrid", grid.get(), u"", u"Y");
  ocx.call(u"AddRowTextToGrid", grid.get(), u"X", u"", u"Z");
  ocx.call(u"AddRowTextToGrid", grid.get(), u"Ink", 5, Variant::null());  // a number after a text, and Null
  ocx.call(u"AddRowTextToGrid", grid.get());
  EXPECT_EQ(rows(grid), u"Pen|2|1.5\nX||Z\nInk|5|\n||\n");
  // A grid with only its heading row has no row 1.
  grid.put(u"Rows", Variant(1));
  EXPECT_EQ(errorOf([&] { ocx.call(u"AddRowTextToGrid", grid.get(), u"a"); }), errc::InvalidPropertyArrayIndex);
}

TEST_F(OcxGridFill, ShowResultInGridBindsTheFormsDataControl) {
  Object db = database();
  std::filesystem::copy_file(dir / "people.db", dir / "view.db");
  ComPtr<host::Form> view = host::loadFormText(R"(form frmView {
  Data objDatacontrol {
    DatabaseName = "view.db"
  }
  DBGrid grdView {
    DataSource = objDatacontrol
  }
}
)",
                                               dir.path());
  const Object form(static_cast<IDispatch*>(view.get()));
  Object found(db.call(u"OpenRecordset", u"Select * From tblPeople Where Id > 0"));
  Object none(db.call(u"OpenRecordset", u"Select * From tblPeople Where Id > 100"));
  const auto show = [&](const Object& rs, const Object& target) {
    return ocx.call(u"ShowResultInGrid_s", target.get(), Variant(static_cast<IDispatch*>(nullptr)),
                    Variant(static_cast<IDispatch*>(nullptr)), rs.get(), u"", Variant());
  };
  EXPECT_EQ(show(none, form).text(), u"No matching Records");
  EXPECT_FALSE(view->shown());
  EXPECT_EQ(show(found, form).text(), u"");
  EXPECT_TRUE(view->shown());
  EXPECT_EQ(Object(form.get(u"objDatacontrol")).get(u"Recordset").dispatch(), found.get());
  EXPECT_EQ(toInt32(Object(Object(form.get(u"grdView")).get(u"Columns")).get(u"Count")), 6);
  // A form without the data control: the message of the error, no message box.
  ComPtr<host::Form> bare = host::loadFormText("form frmBare {\n}\n");
  EXPECT_EQ(show(found, Object(static_cast<IDispatch*>(bare.get()))).text(),
            u"Object doesn't support this property or method");
  EXPECT_TRUE(host::scriptedMessageBox()->prompts().empty());
}

TEST_F(OcxGridFill, AddValuesToRecordsetAddsOrOverwrites) {
  Object db(engineObject().call(u"CreateDatabase", u16(dir / "items.db")));
  db.call(u"Execute", u"CREATE TABLE Items (Id COUNTER PRIMARY KEY, Item TEXT(10) NOT NULL, Qty LONG)");
  db.call(u"Execute", u"INSERT INTO Items (Item, Qty) VALUES ('Ink', 1)");
  Object table(db.call(u"OpenRecordset", u"Items", 1));
  const auto contents = [&] {
    Object all(db.call(u"OpenRecordset", u"Select * From Items Order By Id"));
    std::u16string out;
    while (!toBool(all.get(u"EOF"))) {
      out += toText(all.get(u"Collect", {Variant(u"Id")})) + u":" + toText(all.get(u"Collect", {Variant(u"Item")})) +
             u":" + toText(all.get(u"Collect", {Variant(u"Qty")})) + u";";
      all.call(u"MoveNext");
    }
    return out;
  };
  // A new record: the result is its new key.
  EXPECT_EQ(toInt32(ocx.call(u"AddValuesToRecordset", table.get(), u"Id", -1, u"Pen", 3)), 2);
  EXPECT_EQ(toInt32(ocx.call(u"AddFromGridToRecordset", table.get(), Variant(static_cast<IDispatch*>(nullptr)), u"Id",
                             -1, u"Pad", u"7")),
            0);
  EXPECT_EQ(contents(), u"1:Ink:1;2:Pen:3;3:Pad:7;");
  // Overwriting record 2 by its primary key.
  EXPECT_EQ(toInt32(ocx.call(u"AddValuesToRecordset", table.get(), u"Id", 2, u"Pencil", 4)), 2);
  EXPECT_EQ(contents(), u"1:Ink:1;2:Pencil:4;3:Pad:7;");
  // No such record: the message, nothing changed, result 0.
  EXPECT_EQ(toInt32(ocx.call(u"AddValuesToRecordset", table.get(), u"Id", 99, u"Gone", 1)), 0);
  const auto prompts = host::scriptedMessageBox()->prompts();
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts[0].prompt, u"Please Remove the GridItem first, then Add it.");
  EXPECT_EQ(prompts[0].buttons, 0);
  EXPECT_EQ(contents(), u"1:Ink:1;2:Pencil:4;3:Pad:7;");
  // Failures save nothing: too few values, a value the field refuses, the
  // excepted field named in another case (value 0 then goes to the key).
  EXPECT_EQ(errorOf([&] { ocx.call(u"AddValuesToRecordset", table.get(), u"Id", -1); }), errc::SubscriptOutOfRange);
  table.call(u"CancelUpdate");
  EXPECT_EQ(errorOf([&] { ocx.call(u"AddValuesToRecordset", table.get(), u"Id", -1, u"Cup", u"many"); }), errc::ConversionError);
  table.call(u"CancelUpdate");
  EXPECT_NE(errorOf([&] { ocx.call(u"AddValuesToRecordset", table.get(), u"id", -1, u"Cup", 1, 2); }), 0);
  table.call(u"CancelUpdate");
  EXPECT_EQ(contents(), u"1:Ink:1;2:Pencil:4;3:Pad:7;");
  // A first field that is Null right after AddNew.
  db.call(u"Execute", u"CREATE TABLE Notes (Num LONG, Body TEXT(10))");
  Object notes(db.call(u"OpenRecordset", u"Notes", 1));
  EXPECT_EQ(errorOf([&] { ocx.call(u"AddValuesToRecordset", notes.get(), u"", -1, 1, u"x"); }), errc::InvalidUseOfNull);
  EXPECT_EQ(toInt32(ocx.call(u"AddFromGridToRecordset", notes.get(), notes.get(), u"", -1, 1, u"x")), 0);
}

TEST_F(OcxGridFill, ComboFollowsTheDataGridsCurrentCell) {
  database();
  ComPtr<host::Form> view = host::loadFormText(R"(form frmEdit {
  Data datPeople {
    DatabaseName = "people.db"
    RecordSource = "Select * From tblPeople Order By Id"
  }
  DBGrid grdPeople {
    DataSource = datPeople
    Top = 1000
    Left = 100
  }
  DBCombo cboTown {
    Visible = False
  }
}
)",
                                               dir.path());
  view->show();
  const Object form(static_cast<IDispatch*>(view.get()));
  const Object grid(form.get(u"grdPeople"));
  const Object combo(form.get(u"cboTown"));
  grid.put(u"RowHeight", Variant(225));
  grid.put(u"Row", Variant(2));
  grid.put(u"Col", Variant(1));
  // 1000 + 225 x 2 + 14 x 15.
  EXPECT_EQ(toInt32(ocx.call(u"ComboInGridRowColChange", grid.get(), combo.get())), 0);
  EXPECT_EQ(toDouble(combo.get(u"Top")), 1660);
  EXPECT_TRUE(toBool(combo.get(u"Visible")));
  const Object column = frame::element(Object(grid.get(u"Columns")), 1);
  EXPECT_EQ(toDouble(combo.get(u"Width")), toDouble(column.get(u"Width")) + 15);
  EXPECT_EQ(toDouble(combo.get(u"Left")), 100 + toDouble(column.get(u"Left")));
  EXPECT_EQ(view->activeControl()->name(), u"cboTown");
  EXPECT_EQ(toInt32(ocx.call(u"ComboInGridRowColChange", grid.get(), combo.get(), -60)), 0);
  EXPECT_EQ(toDouble(combo.get(u"Top")), 1600);
  EXPECT_EQ(toInt32(ocx.call(u"ComboInGridRowColChange", grid.get(), combo.get(), u"x")), errc::TypeMismatch);
  // A flex grid has no Columns.
  ComPtr<host::Form> keep;
  EXPECT_EQ(toInt32(ocx.call(u"ComboInGridRowColChange", flexGrid(keep, 2).get(), combo.get())), errc::MemberNotSupported);
}

}  // namespace
}  // namespace tarnwick
