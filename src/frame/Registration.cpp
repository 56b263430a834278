#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Registration.h>

namespace tarnwick::frame {

namespace {
std::u16string text(const GUID& guid) {
  const std::string s = toString(guid);
  return std::u16string(s.begin(), s.end());
}
std::u16string versionText(const TypeLibrary& library) {
  const std::string s = std::to_string(library.majorVersion) + "." + std::to_string(library.minorVersion);
  return std::u16string(s.begin(), s.end());
}
// The marshaller the platform names for dual interfaces.
constexpr std::u16string_view kDualMarshaller = u"{00020424-0000-0000-C000-000000000046}";
}  // namespace

void writeRegistration(StoreContents& store, const TypeLibrary& library, const std::filesystem::path& server) {
  const std::u16string serverPath = fromUtf8(server.string());
  const std::u16string libraryId = text(library.libraryId);
  const std::u16string version = versionText(library);
  for (const ClassInfo& c : library.classes) {
    const std::u16string key = u"CLSID\\" + text(c.clsid);
    store.removeTree(key);
    store.set(key, u"", c.name);
    store.set(key + u"\\InprocServer32", u"", serverPath);
    store.set(key + u"\\InprocServer32", u"ThreadingModel", u"Apartment");
    store.set(key + u"\\ProgID", u"", c.progId);
    store.set(key + u"\\TypeLib", u"", libraryId);
    store.set(key + u"\\Version", u"", version);
    store.removeTree(c.progId);
    store.set(c.progId, u"", c.name);
    store.set(c.progId + u"\\CLSID", u"", text(c.clsid));
    const std::u16string interfaceKey = u"Interface\\" + text(c.interface.iid);
    store.removeTree(interfaceKey);
    store.set(interfaceKey, u"", c.interface.name);
    store.set(interfaceKey + u"\\ProxyStubClsid32", u"", kDualMarshaller);
    store.set(interfaceKey + u"\\TypeLib", u"", libraryId);
    store.set(interfaceKey + u"\\TypeLib", u"Version", version);
  }
  const std::u16string typeLibKey = u"TypeLib\\" + libraryId;
  store.removeTree(typeLibKey);
  const std::u16string versionKey = typeLibKey + u"\\" + version;
  store.set(versionKey, u"", library.helpString);
  store.set(versionKey + u"\\FLAGS", u"", u"0");
  store.set(versionKey + u"\\HELPDIR", u"", fromUtf8(server.parent_path().string()));
  // The type library travels inside the server module itself.
  store.set(versionKey + u"\\0\\linux64", u"", serverPath);
}

void removeRegistration(StoreContents& store, const TypeLibrary& library) {
  for (const ClassInfo& c : library.classes) {
    store.removeTree(u"CLSID\\" + text(c.clsid));
    store.removeTree(c.progId);
    store.removeTree(u"Interface\\" + text(c.interface.iid));
  }
  store.removeTree(u"TypeLib\\" + text(library.libraryId));
}

}  // namespace tarnwick::frame
