#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/Server.h>

#include <dlfcn.h>

#include <filesystem>
#include <new>

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

namespace {

// A class this process serves itself: one built into the calling program,
// else one of the library's own, which every program the library is loaded
// into gets without a registration.
Creator inProcessCreator(const CLSID& clsid) {
  {
    std::lock_guard lock(activationLock);
    for (const CatalogueEntry& e : inProcessClasses())
      if (e.clsid == clsid) return e.create;
  }
  const CatalogueEntry* own = findLibraryClass(clsid);
  return own ? own->create : nullptr;
}

std::u16string pathText(const std::filesystem::path& path) { return fromUtf8(path.string()); }

// Activation through the store; on failure `why` says what stood in the way.
HRESULT activate(const CLSID& clsid, const IID& riid, void** object, const RegistrationStore& store,
                 std::u16string& why) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (Creator inProcess = inProcessCreator(clsid)) return inProcess(riid, object);

  const auto server = store.read().value(u"CLSID\\" + guidText(clsid) + u"\\InprocServer32");
  if (!server || server->empty()) {
    why = u"it is not served by this program and has no registration in the store " + pathText(store.path());
    return REGDB_E_CLASSNOTREG;
  }
  DllGetClassObjectFunction getClassObject = nullptr;
  {
    std::lock_guard lock(activationLock);
    const std::string modulePath = toUtf8(*server);
    const LoadedModule* module = load(modulePath);
    if (!module) {
      std::error_code ec;
      why = std::filesystem::exists(modulePath, ec)
                ? u"its registration in " + pathText(store.path()) + u" names the module " + *server +
                      u", which cannot be loaded or has no class objects"
                : u"its registration in " + pathText(store.path()) + u" names the module " + *server +
                      u", which has been moved or deleted";
      return REGDB_E_CLASSNOTREG;
    }
    getClassObject = module->getClassObject;
  }
  ComPtr<IClassFactory> factory;
  if (failed(getClassObject(clsid, IID_IClassFactory, factory.putVoid())) || !factory) {
    why = u"the module " + *server + u" registered for it in " + pathText(store.path()) + u" does not serve it";
    return REGDB_E_CLASSNOTREG;
  }
  return factory->CreateInstance(nullptr, riid, object);
}

}  // namespace

std::optional<CLSID> classIdOf(std::u16string_view text, const RegistrationStore& store) {
  if (!text.empty() && text.front() == u'{') return parseGuid(toUtf8(text));
  {
    std::lock_guard lock(activationLock);
    for (const CatalogueEntry& e : inProcessClasses())
      if (equalsIgnoreCase(e.progId, text)) return e.clsid;
  }
  for (const CatalogueEntry& e : libraryClasses())
    if (equalsIgnoreCase(e.progId, text)) return e.clsid;
  if (text.empty()) return std::nullopt;
  const auto value = store.read().value(std::u16string(text) + u"\\CLSID");
  if (!value) return std::nullopt;
  return parseGuid(toUtf8(*value));
}

HRESULT createInstance(const CLSID& clsid, const IID& riid, void** object, const RegistrationStore& store) noexcept {
  try {
    std::u16string why;
    return activate(clsid, riid, object, store, why);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

ComPtr<IDispatch> createObject(std::u16string_view name, const RegistrationStore& store) {
  // The platform's number and text stay; the note after them names the
  // class, where activation looked and what to do about it.
  const auto cantCreate = [&](const std::u16string& why) {
    std::u16string note = u"(class " + std::u16string(name) + u": " + why +
                          u"; a module registers its classes with \"tarnwick register MODULE\")";
    raise(Error(errc::CantCreateObject, describe(errc::CantCreateObject, {}) + u" " + note, std::u16string(name)));
  };
  const auto clsid = classIdOf(name, store);
  if (!clsid)
    cantCreate(u"it is not served by this program and has no registration in the store " + pathText(store.path()));
  ComPtr<IDispatch> object;
  std::u16string why;
  HRESULT hr = E_OUTOFMEMORY;
  try {
    hr = activate(*clsid, IID_IDispatch, object.putVoid(), store, why);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  }
  if (hr == E_OUTOFMEMORY) raise(errc::OutOfMemory);
  if (failed(hr) || !object) {
    if (why.empty()) raise(Error(errc::CantCreateObject, describe(errc::CantCreateObject, {}), std::u16string(name)));
    cantCreate(why);
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
