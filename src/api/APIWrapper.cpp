#include <tarnwick/api/APIWrapper.h>
#include <tarnwick/frame/ClassCatalogue.h>

#include "ApiRoutines.h"

#include <array>

namespace tarnwick::api {

namespace {

// The routine bodies in slot order. A routine whose body is not built yet
// answers every call with an error that says so.
constexpr std::array<frame::RoutineBody, 6> kBodies{
    appActivateClass,
    getIniValue,
    getSystemDir,
    getWindowsDir,
    stayOnTop,
    writeIniValue,
};

[[maybe_unused]] const bool registered = frame::addLibraryClass(
    APIWrapper::classInfo().clsid, APIWrapper::classInfo().progId, frame::createAndQuery<APIWrapper>);

}  // namespace

const frame::ClassInfo& APIWrapper::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"APIWrapper");
  return info;
}

std::span<const frame::RoutineBody> APIWrapper::bodies() { return kBodies; }

}  // namespace tarnwick::api
