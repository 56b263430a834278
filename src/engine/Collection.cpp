#include <tarnwick/engine/Collection.h>


#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

namespace tarnwick::engine {

void Collection::add(std::u16string name, ComPtr<IDispatch> item) {
  names_.push_back(std::move(name));
  items_.push_back(std::move(item));
}

IDispatch* Collection::item(const Variant& input) const {
  const Variant key = input.value();
  if (key.valueType() == VT_BSTR) {
    for (std::size_t i = 0; i < names_.size(); ++i)
      if (equalsIgnoreCase(names_[i], key.text())) return items_[i].get();
    raise(Error(errc::ItemNotFound).noted(u"item " + quotedName(key.text()) + u" of " + typeName_));
  }
  std::int32_t at = -1;
  try {
    at = toInt32(key);
  } catch (const Error&) {
    raise(errc::ItemNotFound);
  }
  if (at < 0 || static_cast<std::size_t>(at) >= items_.size())
    raise(Error(errc::ItemNotFound).noted(u"item " + fromUtf8(std::to_string(at)) + u" of " + typeName_ + u", which holds " +
                                              fromUtf8(std::to_string(items_.size()))));
  return items_[static_cast<std::size_t>(at)].get();
}

namespace {

const Member<Collection> kMembers[] = {
    {u"Item", DISPID_VALUE, kGet | kMethod,
     [](Collection& self, Call& call) {
       call.expect(1);
       call.setResult(self.item(call.arg(0)));
     }},
    {u"Count", 1, kGet,
     [](Collection& self, Call& call) {
       call.expect(0);
       call.setResult(static_cast<std::int16_t>(self.count()));
     }},
    {u"Refresh", 2, kMethod, [](Collection&, Call& call) { call.expect(0); }},
    {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod,
     [](Collection& self, Call& call) {
       std::vector<Variant> elements;
       for (std::size_t i = 0; i < self.count(); ++i) elements.emplace_back(self.item(Variant(static_cast<std::int32_t>(i))));
       call.setResult(makeEnumerator(std::move(elements)));
     }},
};

}  // namespace

std::span<const Member<Collection>> Collection::members() { return kMembers; }

}  // namespace tarnwick::engine
