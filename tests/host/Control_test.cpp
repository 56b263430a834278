#include "../../src/host/ControlMembers.h"
#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Form.h>

#include <gtest/gtest.h>

#include <cctype>
#include <set>

namespace tarnwick::host {
namespace {

using testing::errorOf;

Object objectOf(Control& c) { return Object(static_cast<IDispatch*>(&c)); }

TEST(Control, TypeNamesAndInterfaceAnswers) {
  ComPtr<Form> form = Form::create(u"frmKinds");
  const std::pair<ControlKind, std::u16string_view> kinds[] = {
      {ControlKind::TextBox, u"TextBox"},   {ControlKind::ComboBox, u"ComboBox"},
      {ControlKind::CheckBox, u"CheckBox"}, {ControlKind::Label, u"Label"},
      {ControlKind::CommandButton, u"CommandButton"}, {ControlKind::Frame, u"Frame"},
      {ControlKind::ListBox, u"ListBox"},   {ControlKind::DBCombo, u"DBCombo"},
      {ControlKind::Menu, u"Menu"},         {ControlKind::TabStrip, u"TabStrip"},
      {ControlKind::Panel, u"Panel"},       {ControlKind::MSFlexGrid, u"MSFlexGrid"},
      {ControlKind::Grid, u"Grid"},         {ControlKind::DBGrid, u"DBGrid"},
      {ControlKind::Data, u"Data"},
  };
  int n = 0;
  for (const auto& [kind, name] : kinds) {
    Control& c = form->add(kind, u"ctl" + fromUtf8(std::to_string(n++)));
    const Object o = objectOf(c);
    EXPECT_EQ(o.typeName(), name);
    EXPECT_EQ(kindOfTypeName(name), kind);
    // Only text boxes, combo boxes and check boxes answer the intrinsic interfaces, each its own.
    EXPECT_EQ(o.supports(IID_TextBoxControl), kind == ControlKind::TextBox) << toUtf8(name);
    EXPECT_EQ(o.supports(IID_ComboBoxControl), kind == ControlKind::ComboBox) << toUtf8(name);
    EXPECT_EQ(o.supports(IID_CheckBoxControl), kind == ControlKind::CheckBox) << toUtf8(name);
  }
  EXPECT_FALSE(kindOfTypeName(u"textbox"));  // type names compare case-sensitively
}

TEST(Control, EachKindHasOneRowPerMemberAndItsDefaultMember) {
  // Two rows that give a kind the same name or dispatch id would leave one
  // of them unreachable.
  for (std::size_t k = 0; k < kControlKindCount; ++k) {
    const auto kind = static_cast<ControlKind>(k);
    std::set<std::string> names;
    std::set<DISPID> ids;
    for (const ControlMember& m : Control::members()) {
      if (!m.servesKind(kind)) continue;
      std::string name = toUtf8(m.name);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_TRUE(names.insert(name).second) << toUtf8(typeNameOf(kind)) << " " << name;
      EXPECT_TRUE(ids.insert(m.id).second) << toUtf8(typeNameOf(kind)) << " " << name;
      // Looked up by id or by name, a kind's member is its one row.
      EXPECT_EQ(impl::findMember(kind, m.id), &m) << toUtf8(typeNameOf(kind)) << " " << name;
      EXPECT_EQ(impl::findMember(kind, m.name), &m) << toUtf8(typeNameOf(kind)) << " " << name;
    }
    for (const DISPID missing : {DISPID{-1}, DISPID{0}, DISPID{100000}})
      EXPECT_EQ(impl::findMember(kind, missing), nullptr) << toUtf8(typeNameOf(kind)) << " " << missing;
    EXPECT_NE(impl::findMember(kind, impl::defaultMemberOf(kind)), nullptr) << toUtf8(typeNameOf(kind));
  }
}

TEST(Control, CommonMembersByName) {
  ComPtr<Form> form = Form::create(u"frmCommon");
  Control& text = form->add(ControlKind::TextBox, u"txtName");
  const Object t = objectOf(text);
  t.put(u"Tag", Variant(u"Orders.Name"));
  t.put(u"Text", Variant(u"Smith"));
  t.put(u"ToolTipText", Variant(u"Customer"));
  t.put(u"DataField", Variant(u"Name"));
  t.put(u"Top", Variant(100));
  t.put(u"Left", Variant(200.5));
  t.put(u"Width", Variant(3000));
  t.put(u"Height", Variant(315));
  EXPECT_EQ(t.get(u"Tag").text(), u"Orders.Name");
  EXPECT_EQ(t.get(u"Name").text(), u"txtName");
  EXPECT_EQ(t.value().text(), u"Smith");  // the default member is Text
  EXPECT_EQ(t.get(u"ToolTipText").text(), u"Customer");
  EXPECT_EQ(t.get(u"DataField").text(), u"Name");
  EXPECT_EQ(toDouble(t.get(u"Left")), 200.5);
  EXPECT_EQ(toDouble(t.get(u"Width")), 3000);
  EXPECT_TRUE(toBool(t.get(u"Enabled")));
  EXPECT_TRUE(toBool(t.get(u"Visible")));
  EXPECT_EQ(Object(t.get(u"Parent")).get(), static_cast<IDispatch*>(form.get()));
  EXPECT_EQ(t.get(u"DataSource").dispatch(), nullptr);  // bound to no data control
  t.call(u"Move", 10, 20, 30, 40);
  EXPECT_EQ(toDouble(t.get(u"Top")), 20);
  EXPECT_EQ(toDouble(t.get(u"Height")), 40);
  t.call(u"ZOrder", 0);
  t.call(u"ZOrder");
  t.put(u"SelStart", Variant(1));
  t.put(u"SelLength", Variant(3));
  EXPECT_EQ(t.get(u"SelText").text(), u"mit");
  t.put(u"SelLength", Variant(99));  // clipped to the text
  EXPECT_EQ(toInt32(t.get(u"SelLength")), 4);
  t.put(u"SelText", Variant(u"tone"));
  EXPECT_EQ(t.get(u"Text").text(), u"Stone");

  // A control outside any array has no Index; members a kind lacks are unknown.
  EXPECT_EQ(errorOf([&] { t.get(u"Index"); }), errc::NotAnArray);
  EXPECT_EQ(errorOf([&] { t.get(u"Caption"); }), errc::MemberNotSupported);
  EXPECT_EQ(errorOf([&] { t.get(u"Value"); }), errc::MemberNotSupported);
  EXPECT_EQ(errorOf([&] { t.put(u"Name", Variant(u"other")); }), errc::SetNotSupportedAtRuntime);
  EXPECT_EQ(errorOf([&] { t.put(u"Width", Variant(-1)); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { t.put(u"Left", Variant(u"far")); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([&] { t.put(u"SelStart", Variant(-1)); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { t.call(u"Move"); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorOf([&] { t.call(u"Move", 1, 2, 3, 4, errc::InvalidProcedureCall); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorOf([&] { t.call(u"ZOrder", 2); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([&] { t.get(u"Tag", {Variant(1)}); }), errc::WrongArgumentCount);

  Control& label = form->add(ControlKind::Label, u"lblName");
  const Object l = objectOf(label);
  l.put(u"Caption", Variant(u"Name:"));
  EXPECT_EQ(l.value().text(), u"Name:");
  EXPECT_EQ(errorOf([&] { l.get(u"Text"); }), errc::MemberNotSupported);
  EXPECT_EQ(errorOf([&] { l.call(u"SetFocus"); }), errc::MemberNotSupported);
  EXPECT_EQ(errorOf([&] { l.get(u"SelStart"); }), errc::MemberNotSupported);

  Control& menu = form->add(ControlKind::Menu, u"mnuFile");
  const Object m = objectOf(menu);
  m.put(u"Caption", Variant(u"&File"));
  m.put(u"Checked", Variant(true));
  EXPECT_EQ(m.get(u"Caption").text(), u"&File");
  EXPECT_TRUE(toBool(m.get(u"Checked")));
  EXPECT_EQ(errorOf([&] { m.get(u"Width"); }), errc::MemberNotSupported);
  EXPECT_EQ(errorOf([&] { m.get(u"DataField"); }), errc::MemberNotSupported);
}

TEST(Control, CheckBoxButtonAndDBCombo) {
  ComPtr<Form> form = Form::create(u"frmValues");
  const Object check = objectOf(form->add(ControlKind::CheckBox, u"chkPaid"));
  EXPECT_EQ(toInt32(check.value()), 0);
  for (int v : {1, 2, 0}) {
    check.put(u"Value", Variant(v));
    EXPECT_EQ(toInt32(check.get(u"Value")), v);
  }
  EXPECT_EQ(check.get(u"Value").type(), VT_I2);
  EXPECT_EQ(errorOf([&] { check.put(u"Value", Variant(3)); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { check.put(u"Value", Variant(true)); }), errc::InvalidPropertyValue);  // True is -1
  EXPECT_EQ(errorOf([&] { check.put(u"Value", Variant(u"yes")); }), errc::TypeMismatch);
  EXPECT_EQ(toInt32(check.get(u"Value")), 0);  // refused values change nothing

  Control& button = form->add(ControlKind::CommandButton, u"cmdOK");
  int pressed = 0;
  button.onChange([&](Control&, Property p) { pressed += p == Property::Value; });
  objectOf(button).put(u"Value", Variant(true));
  EXPECT_EQ(pressed, 1);
  EXPECT_FALSE(toBool(objectOf(button).get(u"Value")));

  const Object combo = objectOf(form->add(ControlKind::DBCombo, u"dbcCustomer"));
  combo.put(u"Text", Variant(u"Smith & Co"));
  combo.put(u"BoundText", Variant(u"17"));
  combo.put(u"Visible", Variant(false));
  EXPECT_EQ(combo.value().text(), u"Smith & Co");
  EXPECT_EQ(combo.get(u"BoundText").text(), u"17");
  EXPECT_FALSE(toBool(combo.get(u"Visible")));
  EXPECT_FALSE(combo.supports(IID_ComboBoxControl));
}

TEST(Control, ComboAndListBoxes) {
  ComPtr<Form> form = Form::create(u"frmLists");
  form->setDesignMode(true);
  Control& list = form->add(ControlKind::ComboBox, u"cboState");
  const Object c = objectOf(list);
  c.put(u"Style", Variant(2));  // a drop-down list
  form->setDesignMode(false);
  EXPECT_EQ(errorOf([&] { c.put(u"Style", Variant(0)); }), errc::SetNotSupportedAtRuntime);  // design time only
  for (auto item : {u"open", u"closed", u"paid"}) c.call(u"AddItem", item);
  c.call(u"AddItem", u"new", 0);
  EXPECT_EQ(toInt32(c.get(u"ListCount")), 4);
  EXPECT_EQ(c.get(u"List", {Variant(0)}).text(), u"new");
  c.put(u"Text", Variant(u"CLOSED"));  // matched without regard to case, shown as listed
  EXPECT_EQ(c.get(u"Text").text(), u"closed");
  EXPECT_EQ(toInt32(c.get(u"ListIndex")), 2);
  // A drop-down list refuses a text that is not in its list, and keeps its text.
  try {
    c.put(u"Text", Variant(u"lost"));
    ADD_FAILURE() << "the drop-down list took a text outside its list";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::PropertyReadOnly);
    EXPECT_EQ(e.description(), u"'Text' property is read-only");
  }
  EXPECT_EQ(c.get(u"Text").text(), u"closed");
  c.put(u"ListIndex", Variant(3));
  EXPECT_EQ(c.value().text(), u"paid");
  c.call(u"RemoveItem", 0);
  EXPECT_EQ(toInt32(c.get(u"ListIndex")), 2);  // the selection follows its item
  EXPECT_EQ(errorOf([&] { c.get(u"List", {Variant(9)}); }), errc::InvalidPropertyArrayIndex);
  EXPECT_EQ(errorOf([&] { c.put(u"ListIndex", Variant(7)); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { c.call(u"RemoveItem", errc::SubscriptOutOfRange); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([&] { c.call(u"AddItem", u"x", 99); }), errc::InvalidProcedureCall);
  // The empty text is no item either: a list keeps its selection.
  EXPECT_EQ(errorOf([&] { c.put(u"Text", Variant(u"")); }), errc::PropertyReadOnly);
  EXPECT_EQ(toInt32(c.get(u"ListIndex")), 2);
  c.put(u"ListIndex", Variant(-1));
  EXPECT_EQ(c.get(u"Text").text(), u"");
  c.call(u"Clear");
  EXPECT_EQ(toInt32(c.get(u"ListCount")), 0);

  // A drop-down combo takes any text.
  const Object free = objectOf(form->add(ControlKind::ComboBox, u"cboFree"));
  free.call(u"AddItem", u"a");
  free.put(u"Text", Variant(u"anything"));
  EXPECT_EQ(free.get(u"Text").text(), u"anything");
  EXPECT_EQ(toInt32(free.get(u"ListIndex")), -1);
  free.put(u"Text", Variant(u"a"));
  EXPECT_EQ(toInt32(free.get(u"ListIndex")), 0);

  const Object lb = objectOf(form->add(ControlKind::ListBox, u"lstItems"));
  lb.call(u"AddItem", u"one");
  lb.call(u"AddItem", u"two");
  EXPECT_EQ(lb.get(u"Text").text(), u"");
  lb.put(u"ListIndex", Variant(1));
  EXPECT_EQ(lb.value().text(), u"two");
  EXPECT_EQ(errorOf([&] { lb.put(u"Text", Variant(u"three")); }), errc::PropertyReadOnly);
  EXPECT_EQ(errorOf([&] { lb.get(u"Style"); }), errc::MemberNotSupported);
}

TEST(Control, FocusNeedsAVisibleEnabledControlOnAShownForm) {
  ComPtr<Form> form = Form::create(u"frmFocus");
  Control& frame = form->add(ControlKind::Frame, u"fraBox");
  Control& inner = form->add(ControlKind::TextBox, u"txtInner", std::nullopt, &frame);
  Control& outer = form->add(ControlKind::TextBox, u"txtOuter");
  const Object i = objectOf(inner), o = objectOf(outer), f(static_cast<IDispatch*>(form.get()));
  EXPECT_EQ(errorOf([&] { o.call(u"SetFocus"); }), errc::InvalidProcedureCall);  // the form is not shown
  f.call(u"Show");
  o.call(u"SetFocus");
  EXPECT_EQ(form->activeControl(), &outer);
  EXPECT_EQ(Object(f.get(u"ActiveControl")).get(), o.get());
  o.put(u"Enabled", Variant(false));
  EXPECT_EQ(form->activeControl(), nullptr);  // a disabled control loses the focus
  EXPECT_EQ(errorOf([&] { o.call(u"SetFocus"); }), errc::InvalidProcedureCall);
  o.put(u"Enabled", Variant(true));
  o.put(u"Visible", Variant(false));
  EXPECT_EQ(errorOf([&] { o.call(u"SetFocus"); }), errc::InvalidProcedureCall);
  i.call(u"SetFocus");
  objectOf(frame).put(u"Visible", Variant(false));  // hiding the frame hides what it contains
  EXPECT_EQ(errorOf([&] { i.call(u"SetFocus"); }), errc::InvalidProcedureCall);
  EXPECT_EQ(Object(i.get(u"Container")).get(), static_cast<IDispatch*>(&frame));
  f.call(u"Hide");
  EXPECT_EQ(errorOf([&] { f.call(u"SetFocus"); }), errc::InvalidProcedureCall);
}

TEST(Control, ChangeNotifications) {
  ComPtr<Form> form = Form::create(u"frmEvents");
  Control& text = form->add(ControlKind::TextBox, u"txtA");
  Control& mirror = form->add(ControlKind::TextBox, u"txtB");
  std::vector<std::u16string> seen;
  const int id = text.onChange([&](Control& c, Property p) {
    if (p != Property::Text) return;
    seen.push_back(c.text());
    mirror.setText(u"copy of " + c.text());  // a client's Change handler writing another control
  });
  objectOf(text).put(u"Text", Variant(u"one"));
  objectOf(text).put(u"Text", Variant(u"one"));  // no change, no event
  text.setText(u"two");
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"one", u"two"}));
  EXPECT_EQ(mirror.text(), u"copy of two");
  text.removeHandler(id);
  text.setText(u"three");
  EXPECT_EQ(seen.size(), 2u);

  // A handler that keeps changing its own control stops with error 28, not a crash.
  text.onChange([](Control& c, Property) { c.setText(c.text() + u"x"); });
  EXPECT_EQ(errorOf([&] { objectOf(text).put(u"Text", Variant(u"loop")); }), errc::OutOfStackSpace);
}

}  // namespace
}  // namespace tarnwick::host
