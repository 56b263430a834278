#include "HostInternal.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/host/Tabs.h>

namespace tarnwick::host {

namespace {

std::int32_t selected(const Control& strip) {
  const Variant v = strip.state().get(Property::SelectedTab);
  return v.isEmpty() ? 0 : toInt32(v);
}

// Tabs count from 1; an index outside is error 9.
std::size_t tabPosition(const Control& strip, std::int32_t index) {
  if (index < 1 || static_cast<std::size_t>(index) > strip.state().itemCount()) raise(errc::SubscriptOutOfRange);
  return static_cast<std::size_t>(index);
}

const Member<Tabs> kTabsMembers[] = {
    {u"Item", DISPID_VALUE, kGet | kMethod,
     [](Tabs& self, Call& call) {
       call.expect(1);
       call.setResult(tabObject(self.strip(), call.int32(0)));
     }},
    {u"Count", 1, kGet,
     [](Tabs& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int16_t>(self.strip().state().itemCount())));
     }},
    {u"Add", 2, kMethod,
     [](Tabs& self, Call& call) {
       // Add([Index], [Key], [Caption]); the key is accepted and not kept.
       call.expect(0, 4);
       Control& strip = self.strip();
       const std::size_t count = strip.state().itemCount();
       std::size_t at = count + 1;
       if (call.has(0)) {
         const std::int32_t i = call.int32(0);
         if (i < 1 || static_cast<std::size_t>(i) > count + 1) raise(errc::SubscriptOutOfRange);
         at = static_cast<std::size_t>(i);
       }
       const std::u16string caption = call.has(2) ? call.text(2) : std::u16string();
       if (call.has(1)) call.text(1);
       strip.state().insertItem(at - 1, caption);
       const std::int32_t current = selected(strip);
       if (current == 0) strip.store(Property::SelectedTab, Variant(1));  // the first tab is selected
       else if (current >= static_cast<std::int32_t>(at)) strip.store(Property::SelectedTab, Variant(current + 1));
       call.setResult(tabObject(strip, static_cast<std::int32_t>(at)));
     }},
    {u"Remove", 3, kMethod,
     [](Tabs& self, Call& call) {
       call.expect(1);
       Control& strip = self.strip();
       const std::size_t at = tabPosition(strip, call.int32(0));
       strip.state().removeItem(at - 1);
       const std::int32_t current = selected(strip);
       const auto left = static_cast<std::int32_t>(strip.state().itemCount());
       if (current > static_cast<std::int32_t>(at) || current > left)
         strip.store(Property::SelectedTab, Variant(std::min(current - 1, left)));
     }},
    {u"Clear", 4, kMethod,
     [](Tabs& self, Call& call) {
       call.expect(0);
       self.strip().state().clearItems();
       self.strip().store(Property::SelectedTab, Variant(0));
     }},
    {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod,
     [](Tabs& self, Call& call) {
       call.expect(0);
       std::vector<Variant> list;
       for (std::size_t i = 1; i <= self.strip().state().itemCount(); ++i)
         list.push_back(tabObject(self.strip(), static_cast<std::int32_t>(i)));
       call.setResult(makeEnumerator(std::move(list)));
     }},
};

const Member<Tab> kTabMembers[] = {
    {u"Caption", DISPID_VALUE, kProperty,
     [](Tab& self, Call& call) {
       call.expect(0);
       const std::size_t at = self.position();
       ControlState& s = self.strip().state();
       if (!call.isPut()) return call.setResult(Variant(s.item(at - 1)));
       const std::u16string caption = toText(call.value());
       if (s.item(at - 1) == caption) return;
       s.setItem(at - 1, caption);
       self.strip().notifyChanged(Property::Caption);
     }},
    {u"Index", 1, kGet,
     [](Tab& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int16_t>(self.position())));
     }},
    {u"Selected", 2, kProperty,
     [](Tab& self, Call& call) {
       call.expect(0);
       const auto at = static_cast<std::int32_t>(self.position());
       if (!call.isPut()) return call.setResult(Variant(selected(self.strip()) == at));
       if (toBool(call.value())) self.strip().store(Property::SelectedTab, Variant(at));
     }},
};

}  // namespace

std::span<const Member<Tabs>> Tabs::members() { return kTabsMembers; }
std::span<const Member<Tab>> Tab::members() { return kTabMembers; }

std::size_t Tab::position() const { return tabPosition(*strip_.get(), index_); }

Variant tabObject(Control& strip, std::int32_t index) {
  tabPosition(strip, index);
  ComPtr<Tab> tab = makeObject<Tab>(ComPtr<Control>(&strip), index);
  return Variant(static_cast<IDispatch*>(tab.get()));
}

}  // namespace tarnwick::host
