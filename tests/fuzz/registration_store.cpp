// The registration store's text: whatever a damaged or hostile file holds is
// read as far as it makes sense, and what was read writes out and reads back
// as the same keys and values with no damage; any value (a module's path may
// hold any character) survives the round trip.
#include "FuzzInput.h"

#include <tarnwick/frame/RegistrationStore.h>

using namespace tarnwick;
using frame::RegistrationStore;
using frame::StoreContents;

namespace {

bool sameKeys(const StoreContents& a, const StoreContents& b) {
  if (a.keys.size() != b.keys.size()) return false;
  for (auto i = a.keys.begin(), j = b.keys.begin(); i != a.keys.end(); ++i, ++j) {
    if (i->first != j->first || i->second.size() != j->second.size()) return false;
    for (auto v = i->second.begin(), w = j->second.begin(); v != i->second.end(); ++v, ++w)
      if (v->first != w->first || v->second != w->second) return false;
  }
  return true;
}

void roundTrip(const StoreContents& contents, std::string_view what) {
  const std::string text = RegistrationStore::serialise(contents);
  const StoreContents again = RegistrationStore::parse(text);
  fuzz::check(again.damagedLines == 0, what.data(), fromUtf8(text));
  fuzz::check(sameKeys(contents, again), what.data(), fromUtf8(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.byte();
  if (choice & 1) {
    // A value set through the store, under a key a registration uses.
    const std::u16string value = input.textRest();
    StoreContents contents;
    contents.set(u"CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32", {}, value);
    contents.set(u"Tarnwick.Fuzz", u"Path", value);
    roundTrip(contents, "a value set does not read back");
    fuzz::check(RegistrationStore::parse(RegistrationStore::serialise(contents)).value(u"tarnwick.fuzz", u"path") ==
                    value,
                "a value is not found by its key in another letter case", value);
    return 0;
  }
  const StoreContents read = RegistrationStore::parse(input.rest());
  roundTrip(read, "what was read does not write out and read back the same");
  return 0;
}
