#include <tarnwick/customize/Customize.h>
#include <tarnwick/frame/ClassCatalogue.h>

#include "Customisation.h"

#include <array>

namespace tarnwick::customize {

namespace {

// The routine bodies in slot order. A routine whose body is not built yet
// answers every call with an error that says so.
constexpr std::array<frame::RoutineBody, 6> kBodies{
    generateIniColumnWidths, getIniColumnWidths, generateIniTips, getIniTips, generateIniCaptions, getIniCaptions,
};

[[maybe_unused]] const bool registered = frame::addLibraryClass(
    Customize::classInfo().clsid, Customize::classInfo().progId, frame::createAndQuery<Customize>);

}  // namespace

const frame::ClassInfo& Customize::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"Customize");
  return info;
}

std::span<const frame::RoutineBody> Customize::bodies() { return kBodies; }

}  // namespace tarnwick::customize
