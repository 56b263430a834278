#include "HostInternal.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/host/ControlArray.h>

namespace tarnwick::host {

namespace {

Variant asValue(Control* c) { return Variant(static_cast<IDispatch*>(c)); }

std::vector<Variant> asValues(const std::vector<Control*>& controls) {
  std::vector<Variant> out;
  out.reserve(controls.size());
  for (Control* c : controls) out.push_back(asValue(c));
  return out;
}

const Member<ControlArray> kArrayMembers[] = {
    {u"Item", DISPID_VALUE, kGet | kMethod,
     [](ControlArray& self, Call& call) {
       call.expect(1);
       call.setResult(asValue(&self.element(call.int32(0))));
     }},
    {u"UBound", 1, kGet,
     [](ControlArray& self, Call& call) {
       call.expect(0);
       const auto list = self.elements();
       call.setResult(Variant(static_cast<std::int16_t>(list.empty() ? -1 : *list.back()->index())));
     }},
    {u"LBound", 2, kGet,
     [](ControlArray& self, Call& call) {
       call.expect(0);
       const auto list = self.elements();
       call.setResult(Variant(static_cast<std::int16_t>(list.empty() ? 0 : *list.front()->index())));
     }},
    {u"Count", 3, kGet,
     [](ControlArray& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int16_t>(self.elements().size())));
     }},
    {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod,
     [](ControlArray& self, Call& call) {
       call.expect(0);
       call.setResult(makeEnumerator(asValues(self.elements())));
     }},
};

const Member<ControlCollection> kCollectionMembers[] = {
    {u"Item", DISPID_VALUE, kGet | kMethod,
     [](ControlCollection& self, Call& call) {
       call.expect(1);
       const auto& controls = self.form().controls();
       const Variant key = call.arg(0).value();
       if (key.valueType() == VT_BSTR) {
         Variant found = self.form().member(key.text());
         if (found.isEmpty()) raise(errc::ControlNotFound, key.text());
         return call.setResult(std::move(found));
       }
       const std::int32_t i = call.int32(0);
       if (i < 0 || static_cast<std::size_t>(i) >= controls.size()) raise(errc::SubscriptOutOfRange);
       call.setResult(asValue(controls[static_cast<std::size_t>(i)].get()));
     }},
    {u"Count", 1, kGet,
     [](ControlCollection& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int32_t>(self.form().controls().size())));
     }},
    {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod,
     [](ControlCollection& self, Call& call) {
       call.expect(0);
       std::vector<Variant> list;
       list.reserve(self.form().controls().size());
       for (const ComPtr<Control>& c : self.form().controls()) list.push_back(asValue(c.get()));
       call.setResult(makeEnumerator(std::move(list)));
     }},
};

}  // namespace

std::span<const Member<ControlArray>> ControlArray::members() { return kArrayMembers; }
std::span<const Member<ControlCollection>> ControlCollection::members() { return kCollectionMembers; }

Control& ControlArray::element(std::int32_t index) const {
  if (index >= 0 && index <= 32767)
    if (Control* c = form_->find(name_, static_cast<std::int16_t>(index))) return *c;
  raise(errc::ControlArrayElementMissing, fromUtf8(std::to_string(index)));
}

}  // namespace tarnwick::host
