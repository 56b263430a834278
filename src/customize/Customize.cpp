#include <tarnwick/customize/Customize.h>
#include <tarnwick/frame/ClassCatalogue.h>

#include "Customisation.h"

namespace tarnwick::customize {

namespace {

// The routine bodies by routine name, checked against the type library
// when the first instance is made.
constexpr frame::RoutineBinding kBindings[] = {
    {u"GenerateIniColumnWidths", generateIniColumnWidths},
    {u"GetIniColumnWidths_i", getIniColumnWidths},
    {u"GenerateIniTips", generateIniTips},
    {u"GetIniTips", getIniTips},
    {u"GenerateIniCaptions", generateIniCaptions},
    {u"GetIniCaptions", getIniCaptions},
};

[[maybe_unused]] const bool registered = frame::addLibraryClass(
    Customize::classInfo().clsid, Customize::classInfo().progId, frame::createAndQuery<Customize>);

}  // namespace

const frame::ClassInfo& Customize::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"Customize");
  return info;
}

std::span<const frame::RoutineBinding> Customize::bindings() { return kBindings; }

}  // namespace tarnwick::customize
