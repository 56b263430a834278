#pragma once
// The entries the library writes into the registration store and removes
// again: for each class its identifier, programmatic identifier, in-process
// server path with the apartment threading model and type library; for each
// interface its identifier; and the type library itself.
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/RegistrationStore.h>
#include <tarnwick/frame/TypeLibrary.h>

#include <filesystem>

namespace tarnwick::frame {

TARNWICK_API void writeRegistration(StoreContents& store, const TypeLibrary& library,
                                    const std::filesystem::path& server);
TARNWICK_API void removeRegistration(StoreContents& store, const TypeLibrary& library);

}  // namespace tarnwick::frame
