#pragma once
// The entries the library writes into the registration store and removes
// again: for each class its identifier, programmatic identifier, in-process
// server path with the apartment threading model and type library; for each
// interface its identifier; and the type library itself.
#include <tarnwick/frame/RegistrationStore.h>
#include <tarnwick/frame/TypeLibrary.h>

#include <filesystem>

namespace tarnwick::frame {

void writeRegistration(StoreContents& store, const TypeLibrary& library, const std::filesystem::path& server);
void removeRegistration(StoreContents& store, const TypeLibrary& library);

}  // namespace tarnwick::frame
