#pragma once
// The library's own classes: handed out by DllGetClassObject to programs that
// load the library through the registration store, and found by activation
// in every program the library is loaded into, without a registration.
#include <tarnwick/automation/ClassFactory.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/ErrorInfo.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Guid.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::frame {

// Creates an instance and queries it for `riid`.
using Creator = HRESULT (*)(const IID& riid, void** object);

struct CatalogueEntry {
  CLSID clsid;
  std::u16string progId;
  Creator create;
};

// Adds one of the library's own classes; called once per class at load.
TARNWICK_API bool addLibraryClass(const CLSID& clsid, std::u16string progId, Creator create) noexcept;
TARNWICK_API const CatalogueEntry* findLibraryClass(const CLSID& clsid) noexcept;
TARNWICK_API std::vector<CatalogueEntry> libraryClasses();

// A class object (IClassFactory) for `entry`, holding one reference.
TARNWICK_API IClassFactory* newClassFactory(const CatalogueEntry& entry) noexcept;

// True when no object of the module is alive and no class object holds a
// server lock: the module may be unloaded.
TARNWICK_API bool moduleIsIdle() noexcept;

// Creates an instance of T and queries it: the usual Creator. A class that
// cannot be made (its routines do not bind) answers with its error.
template <typename T>
HRESULT createAndQuery(const IID& riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  try {
    T* instance = new T();
    const HRESULT hr = instance->QueryInterface(riid, object);
    instance->Release();
    return hr;
  } catch (const Error& e) {
    setErrorInfo(e);
    return e.result();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace tarnwick::frame
