#include <tarnwick/api/APIWrapper.h>
#include <tarnwick/frame/ClassCatalogue.h>

#include "ApiRoutines.h"

namespace tarnwick::api {

namespace {

// The routine bodies by routine name, checked against the type library
// when the first instance is made.
constexpr frame::RoutineBinding kBindings[] = {
    {u"AppActivateClass", appActivateClass},
    {u"GetIniValue", getIniValue},
    {u"GetSystemDir", getSystemDir},
    {u"GetWindowsDir", getWindowsDir},
    {u"StayOnTop", stayOnTop},
    {u"WriteIniValue", writeIniValue},
};

[[maybe_unused]] const bool registered = frame::addLibraryClass(
    APIWrapper::classInfo().clsid, APIWrapper::classInfo().progId, frame::createAndQuery<APIWrapper>);

}  // namespace

const frame::ClassInfo& APIWrapper::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"APIWrapper");
  return info;
}

std::span<const frame::RoutineBinding> APIWrapper::bindings() { return kBindings; }

}  // namespace tarnwick::api
