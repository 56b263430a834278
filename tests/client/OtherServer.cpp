// A module of another vendor, found only through the registration store: it
// serves one class of its own, made by the constructor of the library's
// OcxWrapper under another class identifier.
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/frame/Interfaces.h>
#include <tarnwick/frame/TypeLibrary.h>

using namespace tarnwick;

namespace {
constexpr CLSID kOtherClass{0x5E1D2C3B, 0x4A59, 0x4687, {0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0, 0x01}};
}

extern "C" TARNWICK_API HRESULT DllGetClassObject(const CLSID& clsid, const IID& riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(clsid == kOtherClass)) return CLASS_E_CLASSNOTAVAILABLE;
  for (const frame::CatalogueEntry& entry : frame::libraryClasses()) {
    if (entry.progId != u"Tarnwick.OcxWrapper") continue;
    IClassFactory* factory = frame::newClassFactory(frame::CatalogueEntry{kOtherClass, u"Other.Class", entry.create});
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}
