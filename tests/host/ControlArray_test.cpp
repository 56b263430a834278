#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/host/ControlArray.h>

#include <gtest/gtest.h>

namespace tarnwick::host {
namespace {

using testing::errorOf;

TEST(ControlArray, BoundsElementsAndEnumerationInIndexOrder) {
  ComPtr<Form> form = Form::create(u"frmArrays");
  // Placed out of order, starting at 1, with a gap at 3.
  for (std::int16_t i : {std::int16_t{4}, std::int16_t{1}, std::int16_t{2}}) form->add(ControlKind::TextBox, u"txtField", i).setText(fromUtf8(std::to_string(i)));
  const Object f(static_cast<IDispatch*>(form.get()));
  const Object array(f.get(u"txtField"));
  EXPECT_EQ(array.typeName(), u"Object");
  EXPECT_EQ(toInt32(array.get(u"UBound")), 4);
  EXPECT_EQ(toInt32(array.get(u"LBound")), 1);
  EXPECT_EQ(toInt32(array.get(u"Count")), 3);
  EXPECT_EQ(frame::upperBound(array), 4);
  EXPECT_EQ(frame::element(array, 2).get(u"Text").text(), u"2");
  EXPECT_EQ(toInt32(frame::element(array, 4).get(u"Index")), 4);
  // frm.txtField(1) reaches the element directly.
  EXPECT_EQ(Object(f.get(u"txtField", {Variant(1)})).value().text(), u"1");
  std::vector<std::u16string> order;
  for (const Variant& v : enumerate(array)) order.emplace_back(Object(v).get(u"Text").text());
  EXPECT_EQ(order, (std::vector<std::u16string>{u"1", u"2", u"4"}));

  // A missing element is error 340 naming the index.
  try {
    frame::element(array, 3);
    ADD_FAILURE() << "element 3 exists";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::ControlArrayElementMissing);
    EXPECT_EQ(e.description(), u"Control array element '3' doesn't exist");
  }
  EXPECT_EQ(errorOf([&] { frame::element(array, -1); }), errc::ControlArrayElementMissing);
  EXPECT_EQ(errorOf([&] { f.get(u"txtField", {Variant(0)}); }), errc::ControlArrayElementMissing);
  EXPECT_EQ(errorOf([&] { array.get(u"Item"); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorOf([&] { frame::element(array, 70000); }), errc::ControlArrayElementMissing);
  EXPECT_EQ(errorOf([&] { array.call(u"Item", u"abc"); }), errc::TypeMismatch);

  // Names: one control or one array of one kind; an element is loaded once.
  EXPECT_EQ(errorOf([&] { form->add(ControlKind::TextBox, u"txtField", 2); }), errc::ObjectAlreadyLoaded);
  EXPECT_EQ(errorOf([&] { form->add(ControlKind::TextBox, u"TXTFIELD"); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([&] { form->add(ControlKind::Label, u"txtField", errc::SubscriptOutOfRange); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([&] { form->add(ControlKind::Label, u"9lives"); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { form->add(ControlKind::Label, u"Caption"); }), errc::InvalidPropertyValue);
  form->add(ControlKind::TextBox, u"txtField", 0);
  EXPECT_EQ(toInt32(array.get(u"LBound")), 0);  // the array follows the form
}

TEST(ControlArray, FormControlsInPlacementOrder) {
  ComPtr<Form> form = Form::create(u"frmOrder");
  form->add(ControlKind::Label, u"lblA");
  form->add(ControlKind::TextBox, u"txtB", 1);
  form->add(ControlKind::CheckBox, u"chkC");
  form->add(ControlKind::TextBox, u"txtB", 0);
  const Object f(static_cast<IDispatch*>(form.get()));
  std::vector<std::u16string> names;
  for (const Object& c : frame::formControls(f)) names.emplace_back(c.get(u"Name").text());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"lblA", u"txtB", u"chkC", u"txtB"}));
  const Object controls(f.get(u"Controls"));
  EXPECT_EQ(enumerate(controls).size(), 4u);
  EXPECT_EQ(Object(controls.call(u"Item", u"chkC")).typeName(), u"CheckBox");
  EXPECT_EQ(errorOf([&] { controls.call(u"Item", 4); }), errc::SubscriptOutOfRange);
  EXPECT_EQ(errorOf([&] { controls.call(u"Item", u"nothing"); }), errc::ControlNotFound);
  EXPECT_EQ(toInt32(f.get(u"Count")), 4);
}

}  // namespace
}  // namespace tarnwick::host
