#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/host/Services.h>

#include <gtest/gtest.h>

namespace tarnwick::host {
namespace {

using testing::errorOf;

TEST(Form, OwnMembersAndControlsByName) {
  ComPtr<Form> form = Form::create(u"frmCustomer");
  form->add(ControlKind::Data, u"objDatacontrol");
  form->add(ControlKind::TextBox, u"txtName").setText(u"Smith");
  const Object f(static_cast<IDispatch*>(form.get()));
  EXPECT_EQ(f.typeName(), u"Form");
  EXPECT_EQ(f.get(u"Name").text(), u"frmCustomer");
  f.put(u"Caption", Variant(u"Customers"));
  EXPECT_EQ(f.get(u"Caption").text(), u"Customers");
  EXPECT_EQ(toDouble(f.get(u"Width")), 4800);
  EXPECT_EQ(toDouble(f.get(u"Height")), 3600);
  EXPECT_EQ(toInt32(f.get(u"WindowState")), 0);
  f.call(u"Move", 3299.5, 1600);
  EXPECT_EQ(toDouble(f.get(u"Left")), 3299.5);
  EXPECT_EQ(toDouble(f.get(u"Top")), 1600);
  EXPECT_EQ(toDouble(f.get(u"Width")), 4800);  // the size stays
  f.call(u"Move", 0, 0, 6000, 4000);
  EXPECT_EQ(toDouble(f.get(u"Height")), 4000);
  EXPECT_FALSE(toBool(f.get(u"Visible")));
  f.call(u"Show");
  EXPECT_TRUE(toBool(f.get(u"Visible")));
  EXPECT_EQ(toInt32(f.get(u"hWnd")), form->hWnd());
  EXPECT_NE(form->hWnd(), Form::create(u"frmOther")->hWnd());
  f.put(u"WindowState", Variant(2));
  EXPECT_EQ(toInt32(f.get(u"WindowState")), 2);

  // Every control is a member of the form by its name, in any letter case.
  EXPECT_EQ(Object(f.get(u"objDatacontrol")).typeName(), u"Data");
  EXPECT_EQ(Object(f.get(u"TXTNAME")).get(u"Text").text(), u"Smith");
  f.put(u"txtName", Variant(u"Jones"));  // frm.txtName = ... assigns the default member
  EXPECT_EQ(form->find(u"txtName")->text(), u"Jones");
  EXPECT_EQ(errorOf([&] { f.get(u"txtMissing"); }), errc::MemberNotSupported);
  EXPECT_EQ(errorOf([&] { f.get(u"txtName", {Variant(1)}); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorOf([&] { f.put(u"WindowState", Variant(3)); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { f.put(u"Name", Variant(u"x")); }), errc::SetNotSupportedAtRuntime);
  EXPECT_EQ(errorOf([&] { f.call(u"Move"); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorOf([&] { f.call(u"Move", 0, 0, -1); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { f.call(u"Show", errc::InvalidProcedureCall); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([] { Form::create(u"not a name"); }), errc::InvalidPropertyValue);
}

TEST(Form, ControlsOutliveTheirForm) {
  ComPtr<Control> kept;
  {
    ComPtr<Form> form = Form::create(u"frmShort");
    kept = ComPtr<Control>(&form->add(ControlKind::TextBox, u"txtKept"));
  }
  const Object c(static_cast<IDispatch*>(kept.get()));
  c.put(u"Text", Variant(u"still here"));
  EXPECT_EQ(c.get(u"Text").text(), u"still here");
  EXPECT_EQ(c.get(u"Parent").dispatch(), nullptr);
  EXPECT_EQ(errorOf([&] { c.call(u"SetFocus"); }), errc::InvalidProcedureCall);
}

}  // namespace
}  // namespace tarnwick::host
