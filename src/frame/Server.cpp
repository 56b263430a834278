// The in-process server's entry points.
#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/frame/Registration.h>
#include <tarnwick/frame/Server.h>

#include <dlfcn.h>

#include <filesystem>

namespace {

using namespace tarnwick;

// The file this module was loaded from, as an absolute path.
std::filesystem::path modulePath() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&DllGetClassObject), &info) || !info.dli_fname)
    raise(Error(errc::PathFileAccessError, u"The server cannot tell the file it was loaded from"));
  std::error_code ignored;
  std::filesystem::path path = std::filesystem::canonical(info.dli_fname, ignored);
  return path.empty() ? std::filesystem::absolute(info.dli_fname) : path;
}

}  // namespace

extern "C" {

HRESULT DllGetClassObject(const CLSID& clsid, const IID& riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  const frame::CatalogueEntry* entry = frame::findLibraryClass(clsid);
  if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = frame::newClassFactory(*entry);
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(riid, object);
  factory->Release();
  return hr;
}

HRESULT DllCanUnloadNow() noexcept { return frame::moduleIsIdle() ? S_OK : S_FALSE; }

HRESULT DllRegisterServer() noexcept {
  return guard([] {
    const auto server = modulePath();
    frame::RegistrationStore().update(
        [&](frame::StoreContents& store) { frame::writeRegistration(store, frame::typeLibrary(), server); });
  });
}

HRESULT DllUnregisterServer() noexcept {
  return guard([] {
    frame::RegistrationStore().update(
        [](frame::StoreContents& store) { frame::removeRegistration(store, frame::typeLibrary()); });
  });
}

}  // extern "C"
