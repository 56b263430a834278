#include "SampleDatabase.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/Form.h>

#include <gtest/gtest.h>

namespace tarnwick::host {
namespace {

// UpdateControls shows the data control's current record in the controls
// bound to it, and a grid bound to it reads its records only as far as
// they are needed.
TEST(DataControl, UpdateControlsShowsTheCurrentRecordInBoundControls) {
  testing::SampleDatabase sample;
  ComPtr<Form> form = Form::create(u"frmOrder");
  form->setDesignMode(true);
  Control& data = form->add(ControlKind::Data, u"datOrders");
  const Object d(static_cast<IDispatch*>(&data));
  auto bound = [&](ControlKind kind, const char16_t* name, const char16_t* field) {
    Object c(static_cast<IDispatch*>(&form->add(kind, name)));
    c.putRef(u"DataSource", Variant(d.get()));
    c.put(u"DataField", Variant(field));
    return c;
  };
  const Object customer = bound(ControlKind::TextBox, u"txtCustomer", u"Customer");
  const Object qty = bound(ControlKind::Label, u"lblQty", u"Qty");
  const Object missing = bound(ControlKind::TextBox, u"txtMissing", u"NoSuchField");
  const Object unbound(static_cast<IDispatch*>(&form->add(ControlKind::TextBox, u"txtOther")));
  form->setDesignMode(false);
  unbound.put(u"Text", Variant(u"kept"));
  missing.put(u"Text", Variant(u"kept too"));

  d.put(u"DatabaseName", Variant(fromUtf8(sample.path().string())));
  d.put(u"RecordSource", Variant(u"SELECT * FROM Orders ORDER BY OrderId"));
  d.call(u"Refresh");
  d.call(u"UpdateControls");
  EXPECT_EQ(customer.get(u"Text").text(), u"Smith & Co");
  EXPECT_EQ(qty.get(u"Caption").text(), u"5");
  EXPECT_EQ(missing.get(u"Text").text(), u"kept too");  // its field is not in the records
  EXPECT_EQ(unbound.get(u"Text").text(), u"kept");

  const Object rs(d.get(u"Recordset"));
  rs.call(u"MoveLast");
  d.call(u"UpdateControls");
  EXPECT_EQ(customer.get(u"Text").text(), u"Miller");
  EXPECT_EQ(qty.get(u"Caption").text(), u"");  // Null shows as nothing
  rs.call(u"MoveNext");  // past the last record: nothing to show
  d.call(u"UpdateControls");
  EXPECT_EQ(customer.get(u"Text").text(), u"");

  // Other kinds have no UpdateControls.
  EXPECT_THROW(customer.call(u"UpdateControls"), Error);
}

TEST(DataControl, GridReadsRecordsAsTheyAreNeeded) {
  testing::SampleDatabase sample;
  {
    // 3 records doubled eight times: 768, more than one batch of reading.
    const Object engine(frame::createObject(u"{00000010-0000-0010-8000-00AA006D2EA4}"));
    const Object db(engine.call(u"OpenDatabase", fromUtf8(sample.path().string())));
    for (int count = 3; count < 768; count *= 2) {
      std::u16string insert = u"INSERT INTO Orders SELECT OrderId + ";
      insert += fromUtf8(std::to_string(count));
      insert += u", Customer, Qty FROM Orders";
      db.call(u"Execute", insert);
    }
    db.call(u"Close");
  }
  ComPtr<Form> form = Form::create(u"frmView");
  Control& data = form->add(ControlKind::Data, u"datOrders");
  Control& grid = form->add(ControlKind::DBGrid, u"grdOrders");
  const Object d(static_cast<IDispatch*>(&data)), g(static_cast<IDispatch*>(&grid));
  d.put(u"DatabaseName", Variant(fromUtf8(sample.path().string())));
  d.put(u"RecordSource", Variant(u"SELECT * FROM Orders ORDER BY OrderId"));
  g.putRef(u"DataSource", Variant(d.get()));
  // Bound: one batch is read, not every record.
  EXPECT_LT(grid.boundRows().fetched(), 768u);
  EXPECT_FALSE(grid.boundRows().complete());
  const Object rs(d.get(u"Recordset"));
  EXPECT_EQ(toInt32(rs.call(u"Fields", u"OrderId")), 1001);  // the grid starts at the first record
  rs.call(u"MoveLast");
  const std::int32_t last = toInt32(rs.call(u"Fields", u"OrderId"));
  EXPECT_EQ(toInt32(g.get(u"Row")), 767);  // finding the current record reads on to it
  EXPECT_EQ(grid.boundRows().fetched(), 768u);
  EXPECT_EQ(toInt32(rs.call(u"Fields", u"OrderId")), last);  // reading kept the current record
  g.put(u"Row", Variant(1));
  EXPECT_EQ(toInt32(rs.call(u"Fields", u"OrderId")), 1002);
  EXPECT_EQ(toInt32(g.get(u"ApproxCount")), 768);
}

}  // namespace
}  // namespace tarnwick::host
