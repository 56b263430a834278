#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/UnknownBase.h>
#include <tarnwick/frame/ClassCatalogue.h>

#include <atomic>
#include <mutex>

namespace tarnwick::frame {

namespace {

std::mutex catalogueLock;
std::vector<CatalogueEntry>& catalogue() {
  static std::vector<CatalogueEntry> entries;
  return entries;
}
std::atomic<long> serverLocks{0};
std::atomic<long> liveFactories{0};

class ClassFactory final : public UnknownBase<ClassFactory, IClassFactory> {
 public:
  explicit ClassFactory(CatalogueEntry entry) : entry_(std::move(entry)) { ++liveFactories; }
  ~ClassFactory() { --liveFactories; }

  HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) noexcept override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return entry_.create(riid, object);
  }
  HRESULT LockServer(BOOL lock) noexcept override {
    if (lock) ++serverLocks;
    else if (serverLocks > 0) --serverLocks;
    return S_OK;
  }

 private:
  CatalogueEntry entry_;
};

}  // namespace

bool addLibraryClass(const CLSID& clsid, std::u16string progId, Creator create) noexcept {
  try {
    std::lock_guard lock(catalogueLock);
    catalogue().push_back(CatalogueEntry{clsid, std::move(progId), create});
    return true;
  } catch (...) {
    return false;
  }
}

const CatalogueEntry* findLibraryClass(const CLSID& clsid) noexcept {
  std::lock_guard lock(catalogueLock);
  for (const CatalogueEntry& entry : catalogue())
    if (entry.clsid == clsid) return &entry;
  return nullptr;
}

std::vector<CatalogueEntry> libraryClasses() {
  std::lock_guard lock(catalogueLock);
  return catalogue();
}

IClassFactory* newClassFactory(const CatalogueEntry& entry) noexcept {
  try {
    return new ClassFactory(entry);
  } catch (...) {
    return nullptr;
  }
}

bool moduleIsIdle() noexcept {
  return tarnwick::impl::liveObjects() == 0 && serverLocks == 0 && liveFactories == 0;
}

}  // namespace tarnwick::frame
