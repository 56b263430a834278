#include "../automation/ErrorOf.h"
#include "SampleDatabase.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/host/Form.h>

#include <gtest/gtest.h>

namespace tarnwick::host {
namespace {

using testing::errorOf;

TEST(DataGrid, ShowsTheRecordsOfItsDataControl) {
  testing::SampleDatabase sample;
  ComPtr<Form> form = Form::create(u"frmView");
  form->setDesignMode(true);
  Control& data = form->add(ControlKind::Data, u"objDatacontrol");
  Control& grid = form->add(ControlKind::DBGrid, u"grdView");
  const Object d(static_cast<IDispatch*>(&data)), g(static_cast<IDispatch*>(&grid));
  g.putRef(u"DataSource", Variant(d.get()));
  form->setDesignMode(false);
  EXPECT_EQ(d.get(u"Recordset").dispatch(), nullptr);  // nothing to open yet
  EXPECT_EQ(toInt32(Object(g.get(u"Columns")).get(u"Count")), 0);
  d.put(u"DatabaseName", Variant(fromUtf8(sample.path().string())));
  d.put(u"RecordSource", Variant(u"Orders"));
  d.call(u"Refresh");

  // Columns from the recordset's fields, numbered from 0.
  const Object columns(g.get(u"Columns"));
  ASSERT_EQ(toInt32(columns.get(u"Count")), 3);
  EXPECT_EQ(Object(g.get(u"Columns", {Variant(1)})).get(u"Caption").text(), u"Customer");
  EXPECT_EQ(enumerate(columns).size(), 3u);
  EXPECT_EQ(toInt32(g.get(u"ApproxCount")), 3);
  EXPECT_TRUE(toBool(g.get(u"RecordSelectors")));
  EXPECT_TRUE(toBool(g.get(u"ColumnHeaders")));
  EXPECT_EQ(toInt32(g.get(u"SelEndCol")), -1);  // no column selected
  EXPECT_EQ(toDouble(g.get(u"RowHeight")), 225);
  g.put(u"Height", Variant(225 * 3));  // the headings and two rows
  EXPECT_EQ(toInt32(g.get(u"VisibleRows")), 2);
  g.put(u"Height", Variant(9000));
  EXPECT_EQ(toInt32(g.get(u"VisibleRows")), 3);  // no more rows than records

  // Column geometry: Left is measured from the grid's left edge, past the record selectors.
  const Object first(columns.call(u"Item", 0)), second(columns.call(u"Item", 1));
  first.put(u"Width", Variant(1000.25));
  EXPECT_EQ(toDouble(first.get(u"Width")), 1000.25);
  EXPECT_EQ(toDouble(first.get(u"Left")), 285);
  EXPECT_EQ(toDouble(second.get(u"Left")), 1285.25);
  first.put(u"Visible", Variant::null());  // Null counts as hidden
  EXPECT_FALSE(toBool(first.get(u"Visible")));
  EXPECT_EQ(toDouble(second.get(u"Left")), 285);
  g.put(u"RecordSelectors", Variant(false));
  EXPECT_EQ(toDouble(second.get(u"Left")), 0);
  second.put(u"Caption", Variant(u"Who"));
  EXPECT_EQ(second.get(u"Caption").text(), u"Who");

  // Row and Col move over the records; Text is the current cell.
  EXPECT_EQ(toInt32(g.get(u"Row")), 0);
  g.put(u"Col", Variant(1));
  EXPECT_EQ(g.get(u"Text").text(), u"Smith & Co");
  g.put(u"Row", Variant(2));
  EXPECT_EQ(g.value().text(), u"Miller");
  g.put(u"Col", Variant(2));
  EXPECT_EQ(g.get(u"Text").text(), u"");  // Null shows empty
  EXPECT_TRUE(Object(g.get(u"Columns", {Variant(2)})).value().isNull());
  // The data control's recordset follows the grid.
  const Object rs(d.get(u"Recordset"));
  EXPECT_EQ(toInt32(rs.call(u"Fields", u"OrderId")), 1003);
  g.put(u"Row", Variant(1));
  g.put(u"Col", Variant(1));
  g.put(u"Text", Variant(u"Jones & Sons"));  // written into the record
  g.call(u"Refresh");
  g.put(u"Row", Variant(1));
  g.put(u"Col", Variant(1));
  EXPECT_EQ(g.get(u"Text").text(), u"Jones & Sons");

  // Selected rows are bookmarks, from 0.
  const Object marks(g.get(u"SelBookmarks"));
  EXPECT_EQ(toInt32(marks.get(u"Count")), 0);
  marks.call(u"Add", g.get(u"Bookmark"));
  g.put(u"Row", Variant(0));
  marks.call(u"Add", g.get(u"Bookmark"));
  EXPECT_EQ(toInt32(marks.get(u"Count")), 2);
  g.put(u"Bookmark", marks.call(u"Item", 0));
  EXPECT_EQ(toInt32(g.get(u"Row")), 1);
  EXPECT_EQ(errorOf([&] { marks.call(u"Item", 2); }), errc::SubscriptOutOfRange);

  // Out of range: 381 for rows and columns, 9 for collection items.
  EXPECT_EQ(errorOf([&] { g.put(u"Row", Variant(3)); }), errc::InvalidPropertyArrayIndex);
  EXPECT_EQ(errorOf([&] { g.put(u"Col", Variant(-1)); }), errc::InvalidPropertyArrayIndex);
  EXPECT_EQ(errorOf([&] { g.put(u"SelEndCol", Variant(3)); }), errc::InvalidPropertyArrayIndex);
  EXPECT_EQ(errorOf([&] { columns.call(u"Item", errc::ReturnWithoutGoSub); }), errc::SubscriptOutOfRange);
  EXPECT_EQ(errorOf([&] { g.get(u"Columns", {Variant(-1)}); }), errc::SubscriptOutOfRange);
  EXPECT_EQ(errorOf([&] { first.put(u"Width", Variant(-1)); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { g.get(u"ColWidth", {Variant(0)}); }), errc::MemberNotSupported);

  // Binding another recordset shows its records.
  const Object other(Object(d.get(u"Database")).call(u"OpenRecordset", u"SELECT * FROM Orders WHERE Qty > 5", 4));
  d.putRef(u"Recordset", Variant(other.get()));
  EXPECT_EQ(toInt32(g.get(u"ApproxCount")), 1);
  EXPECT_EQ(toInt32(marks.get(u"Count")), 0);  // a new binding forgets the selection
  EXPECT_EQ(errorOf([&] { d.put(u"Recordset", Variant(5)); }), errc::ObjectRequired);
}

TEST(DataControl, RefusalsLeaveItsRecordsetAlone) {
  testing::SampleDatabase sample;
  ComPtr<Form> form = Form::create(u"frmData");
  const Object d(static_cast<IDispatch*>(&form->add(ControlKind::Data, u"datOrders")));
  d.put(u"DatabaseName", Variant(fromUtf8(sample.path().string())));
  d.put(u"RecordSource", Variant(u"Orders"));
  const Object rs(d.get(u"Recordset"));  // opened on first use
  EXPECT_EQ(d.get(u"RecordSource").text(), u"Orders");
  d.put(u"RecordSource", Variant(u"NoSuchTable"));
  EXPECT_EQ(errorOf([&] { d.call(u"Refresh"); }), errc::TableNotFound);
  EXPECT_EQ(Object(d.get(u"Recordset")).get(), rs.get());  // the old recordset stays
  d.put(u"DatabaseName", Variant(fromUtf8((sample.folder() / "missing.db").string())));
  d.put(u"RecordSource", Variant(u"Orders"));
  EXPECT_NE(errorOf([&] { d.call(u"Refresh"); }), 0);
  d.put(u"DatabaseName", Variant(u""));
  EXPECT_EQ(errorOf([&] { d.call(u"Refresh"); }), errc::CouldNotFindFile);
  EXPECT_EQ(errorOf([&] { d.get(u"Text"); }), errc::MemberNotSupported);
}

}  // namespace
}  // namespace tarnwick::host
