#pragma once
// Activation: creating an instance of a class by its class identifier or
// programmatic identifier. The classes this process serves come first:
// those the calling program registered here, then the library's own (the
// four classes), so that any program the library is loaded into creates
// them without a registration. Otherwise the registration store names the
// module that serves the class, which is loaded and asked for its class
// object, as the platform does. An unknown class, or a module that is
// missing or serves no such class, gives REGDB_E_CLASSNOTREG (error 429 for
// Error-based callers, whose text then says which class, which store was
// read and what went wrong).
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/frame/RegistrationStore.h>

#include <optional>
#include <string_view>

namespace tarnwick::frame {

// Makes a class built into the calling program creatable in this process.
TARNWICK_API void registerInProcessClass(const CLSID& clsid, std::u16string progId, Creator create);
TARNWICK_API void unregisterInProcessClass(const CLSID& clsid);

// The class identifier of a programmatic identifier, or of its text form "{...}".
TARNWICK_API std::optional<CLSID> classIdOf(std::u16string_view progIdOrClsid,
                                            const RegistrationStore& store = RegistrationStore());

TARNWICK_API HRESULT createInstance(const CLSID& clsid, const IID& riid, void** object,
                                    const RegistrationStore& store = RegistrationStore()) noexcept;

// Creates an object by programmatic identifier or "{class identifier}";
// throws Error 429 naming the class, the store and the cause when it cannot.
TARNWICK_API ComPtr<IDispatch> createObject(std::u16string_view progIdOrClsid,
                                            const RegistrationStore& store = RegistrationStore());

// Unloads the loaded modules that say they may be unloaded.
TARNWICK_API void freeUnusedLibraries() noexcept;

}  // namespace tarnwick::frame
