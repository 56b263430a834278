#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/frame/ClassCatalogue.h>

#include <array>

namespace tarnwick::dataaccess {

namespace {

// The routine bodies in slot order. A routine whose body is not built yet
// answers every call with an error that says so.
constexpr std::array<frame::RoutineBody, 14> kBodies{};

[[maybe_unused]] const bool registered =
    frame::addLibraryClass(DataAccessWrapper::classInfo().clsid, DataAccessWrapper::classInfo().progId,
                           frame::createAndQuery<DataAccessWrapper>);

}  // namespace

const frame::ClassInfo& DataAccessWrapper::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"DataAccessWrapper");
  return info;
}

std::span<const frame::RoutineBody> DataAccessWrapper::bodies() { return kBodies; }

}  // namespace tarnwick::dataaccess
