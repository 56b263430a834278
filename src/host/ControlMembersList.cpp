// The members of controls that hold a list of items: combo and list boxes,
// data combos and tab strips.
#include "ControlMembers.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/host/Tabs.h>

#include <vector>

namespace tarnwick::host::impl {

namespace {

using K = ControlKind;

const ControlMember kListMembers[] = {
    {u"Style", idStyle, kProperty, bit(K::ComboBox),
     [](Control& self, Call& call) {
       call.expect(0);
       designOnly(self, call);
       if (!call.isPut()) return call.setResult(Variant(static_cast<std::int16_t>(intOf(self.state(), Property::Style))));
       const std::int16_t v = toInt16(call.value());
       if (v < 0 || v > 2) raise(errc::InvalidPropertyValue);  // 0 drop-down combo, 1 simple, 2 drop-down list
       self.store(Property::Style, Variant(v));
     }},
    {u"List", idList, kProperty, kList,
     [](Control& self, Call& call) {
       call.expect(1);
       ControlState& s = self.state();
       const std::size_t i = indexIn(call, 0, s.itemCount(), errc::InvalidPropertyArrayIndex);
       if (!call.isPut()) return call.setResult(Variant(s.item(i)));
       s.setItem(i, toText(call.value()));
       if (intOf(s, Property::ListIndex) == static_cast<std::int32_t>(i)) selectItem(self, static_cast<std::int32_t>(i));
     }},
    {u"ListCount", idListCount, kGet, kList,
     [](Control& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int32_t>(self.state().itemCount())));
     }},
    {u"ListIndex", idListIndex, kProperty, kList,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::ListIndex)));
       const std::int32_t i = longValue(call.value());
       if (i < -1 || i >= static_cast<std::int32_t>(self.state().itemCount())) raise(errc::InvalidPropertyValue);
       const std::u16string before = textOf(self);
       selectItem(self, i);
       if (self.kind() == K::ListBox && before != textOf(self)) self.notifyChanged(Property::Text);
     }},
    {u"AddItem", idAddItem, kMethod, kList,
     [](Control& self, Call& call) {
       call.expect(1, 2);
       ControlState& s = self.state();
       const std::u16string text = call.text(0);
       std::size_t at = s.itemCount();
       if (call.has(1)) {
         const std::int32_t i = call.int32(1);
         if (i < 0 || static_cast<std::size_t>(i) > s.itemCount()) raise(errc::InvalidProcedureCall);
         at = static_cast<std::size_t>(i);
       }
       s.insertItem(at, text);
       const std::int32_t selected = intOf(s, Property::ListIndex);
       if (selected >= static_cast<std::int32_t>(at)) self.store(Property::ListIndex, Variant(selected + 1));
     }},
    {u"RemoveItem", idRemoveItem, kMethod, kList,
     [](Control& self, Call& call) {
       call.expect(1);
       ControlState& s = self.state();
       const std::size_t i = indexIn(call, 0, s.itemCount(), errc::InvalidProcedureCall);
       const std::int32_t selected = intOf(s, Property::ListIndex);
       s.removeItem(i);
       if (selected == static_cast<std::int32_t>(i)) selectItem(self, -1);
       else if (selected > static_cast<std::int32_t>(i)) self.store(Property::ListIndex, Variant(selected - 1));
     }},
    {u"Clear", idClear, kMethod, kList,
     [](Control& self, Call& call) {
       call.expect(0);
       self.state().clearItems();
       selectItem(self, -1);
     }},
    {u"BoundText", idBoundText, kProperty, kDBCombo,
     [](Control& self, Call& call) { textProperty(self, call, Property::BoundText); }},
    {u"ListField", idListField, kProperty, kDBCombo,
     [](Control& self, Call& call) { textProperty(self, call, Property::ListField); }},
    {u"BoundColumn", idBoundColumn, kProperty, kDBCombo,
     [](Control& self, Call& call) { textProperty(self, call, Property::BoundColumn); }},
    {u"RowSource", idRowSource, kObjectProperty, kDBCombo,
     [](Control& self, Call& call) { objectProperty(self, call, Property::RowSource, false); }},
    {u"Tabs", idTabs, kGet, kTabStrip,
     [](Control& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 1) {
         const std::int32_t i = call.int32(0);
         return call.setResult(tabObject(self, i));
       }
       ComPtr<Tabs> tabs = makeObject<Tabs>(ComPtr<Control>(&self));
       call.setResult(Variant(static_cast<IDispatch*>(tabs.get())));
     }},
    {u"SelectedItem", idSelectedItem, kObjectProperty, kTabStrip,
     [](Control& self, Call& call) {
       call.expect(0);
       ControlState& s = self.state();
       if (!call.isPut()) {
         const std::int32_t i = intOf(s, Property::SelectedTab);
         return call.setResult(i > 0 ? tabObject(self, i) : Variant(static_cast<IDispatch*>(nullptr)));
       }
       const Object tab(call.value());
       auto* own = dynamic_cast<Tab*>(tab.get());
       if (!own || &own->strip() != &self) raise(errc::InvalidPropertyValue);
       self.store(Property::SelectedTab, Variant(static_cast<std::int32_t>(own->position())));
     }},
    {u"Clear", idClear, kMethod, kTabStrip,
     [](Control& self, Call& call) {
       call.expect(0);
       self.state().clearItems();
       self.store(Property::SelectedTab, Variant(0));
     }},
    {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod, kTabStrip,
     [](Control& self, Call& call) {
       // A tab strip enumerates its tabs.
       call.expect(0);
       std::vector<Variant> tabs;
       for (std::size_t i = 1; i <= self.state().itemCount(); ++i)
         tabs.push_back(tabObject(self, static_cast<std::int32_t>(i)));
       call.setResult(makeEnumerator(std::move(tabs)));
     }},
};

}  // namespace

std::span<const ControlMember> listMembers() { return kListMembers; }

}  // namespace tarnwick::host::impl
