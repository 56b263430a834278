#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/Server.h>

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <vector>

namespace tarnwick::frame {

namespace {

struct LoadedModule {
  std::string path;
  void* handle;
  DllGetClassObjectFunction getClassObject;
  DllCanUnloadNowFunction canUnloadNow;
};

std::mutex activationLock;

std::vector<CatalogueEntry>& inProcessClasses() {
  static std::vector<CatalogueEntry> entries;
  return entries;
}

std::vector<LoadedModule>& loadedModules() {
  static std::vector<LoadedModule> modules;
  return modules;
}

std::u16string guidText(const GUID& guid) {
  const std::string s = toString(guid);
  return std::u16string(s.begin(), s.end());
}

// Loads a module once and keeps it until it says it may be unloaded.
const LoadedModule* load(const std::string& path) {
  for (const LoadedModule& m : loadedModules())
    if (m.path == path) return &m;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  auto getClassObject = reinterpret_cast<DllGetClassObjectFunction>(::dlsym(handle, "DllGetClassObject"));
  auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFunction>(::dlsym(handle, "DllCanUnloadNow"));
  if (!getClassObject) {
    ::dlclose(handle);
    return nullptr;
  }
  loadedModules().push_back(LoadedModule{path, handle, getClassObject, canUnloadNow});
  return &loadedModules().back();
}

}  // namespace

void registerInProcessClass(const CLSID& clsid, std::u16string progId, Creator create) {
  std::lock_guard lock(activationLock);
  unregisterInProcessClass(clsid);
  inProcessClasses().push_back(CatalogueEntry{clsid, std::move(progId), create});
}

void unregisterInProcessClass(const CLSID& clsid) {
  auto& entries = inProcessClasses();
  std::erase_if(entries, [&](const CatalogueEntry& e) { return e.clsid == clsid; });
}

std::optional<CLSID> classIdOf(std::u16string_view text, const RegistrationStore& store) {
  if (!text.empty() && text.front() == u'{') return parseGuid(toUtf8(text));
  {
    std::lock_guard lock(activationLock);
    for (const CatalogueEntry& e : inProcessClasses())
      if (equalsIgnoreCase(e.progId, text)) return e.clsid;
  }
  if (text.empty()) return std::nullopt;
  const auto value = store.read().value(std::u16string(text) + u"\\CLSID");
  if (!value) return std::nullopt;
  return parseGuid(toUtf8(*value));
}

HRESULT createInstance(const CLSID& clsid, const IID& riid, void** object, const RegistrationStore& store) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  try {
    Creator inProcess = nullptr;
    {
      std::lock_guard lock(activationLock);
      for (const CatalogueEntry& e : inProcessClasses())
        if (e.clsid == clsid) inProcess = e.create;
    }
    if (inProcess) return inProcess(riid, object);

    const auto server = store.read().value(u"CLSID\\" + guidText(clsid) + u"\\InprocServer32");
    if (!server || server->empty()) return REGDB_E_CLASSNOTREG;
    DllGetClassObjectFunction getClassObject = nullptr;
    {
      std::lock_guard lock(activationLock);
      const LoadedModule* module = load(toUtf8(*server));
      if (!module) return REGDB_E_CLASSNOTREG;
      getClassObject = module->getClassObject;
    }
    ComPtr<IClassFactory> factory;
    if (failed(getClassObject(clsid, IID_IClassFactory, factory.putVoid())) || !factory) return REGDB_E_CLASSNOTREG;
    return factory->CreateInstance(nullptr, riid, object);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

ComPtr<IDispatch> createObject(std::u16string_view name, const RegistrationStore& store) {
  const auto clsid = classIdOf(name, store);
  if (!clsid) raise(Error(errc::CantCreateObject, standardDescription(errc::CantCreateObject), std::u16string(name)));
  ComPtr<IDispatch> object;
  const HRESULT hr = createInstance(*clsid, IID_IDispatch, object.putVoid(), store);
  if (failed(hr) || !object) {
    const std::int32_t number = hr == E_OUTOFMEMORY ? errc::OutOfMemory : errc::CantCreateObject;
    raise(Error(number, standardDescription(number), std::u16string(name)));
  }
  return object;
}

void freeUnusedLibraries() noexcept {
  std::lock_guard lock(activationLock);
  auto& modules = loadedModules();
  for (auto it = modules.begin(); it != modules.end();) {
    if (it->canUnloadNow && it->canUnloadNow() == S_OK) {
      ::dlclose(it->handle);
      it = modules.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace tarnwick::frame
