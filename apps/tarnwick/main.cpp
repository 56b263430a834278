// The tarnwick command-line tool: registers the library, lists its type
// library, and calls any routine of the library's classes by name.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Operations.h>
#include <tarnwick/automation/Version.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/RegistrationStore.h>
#include <tarnwick/frame/Server.h>
#include <tarnwick/frame/TypeLibrary.h>
#include <tarnwick/host/MessageLog.h>

#include "Commands.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <string_view>
#include <vector>

namespace {

using namespace tarnwick;

constexpr const char* kUsage =
    "usage: tarnwick COMMAND\n"
    "  register [LIB]               write the library's registration (LIB: the server module;\n"
    "                               default: the libtarnwick.so this tool uses)\n"
    "  unregister [LIB]             remove it again\n"
    "  typelib                      print the type library\n"
    "  call PROGID ROUTINE [ARG...] create an instance and call a routine by name\n"
    "  form PATH                    load a form description (.form) and list its controls\n"
    "  tag TEXT [--database NAME]   how the routines read a control's Tag, with a warning for\n"
    "                               every slip (exit 1); NAME checks its tables and fields\n"
    "  sample-db PATH|URI [--rows N]\n"
    "                               write the Orders sample database to a new file, or\n"
    "                               to a server database (postgresql://user@host:port/db)\n"
    "  export DATABASE SOURCE [--format csv|xlsx|pdf] -o FILE [OPTIONS]\n"
    "                               write a table or an SQL statement's records to a file\n"
    "                               (\"tarnwick export\" lists the options)\n"
    "  version                      print the library's version and the locale in force\n"
    "  help                         print this text\n"
    "The library's own classes need no registration in any program it is loaded into;\n"
    "the registration store, for programs that load it by name, is $TARNWICK_REGISTRY,\n"
    "else $XDG_CONFIG_HOME/tarnwick/registry.txt.\n";

void print(std::u16string_view text) { std::fwrite(toUtf8(text).data(), 1, toUtf8(text).size(), stdout); }

// The libtarnwick.so this program is linked with.
std::string ownLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&libraryVersion), &info) && info.dli_fname) return info.dli_fname;
  return "libtarnwick.so";
}

// Runs the module's DllRegisterServer or DllUnregisterServer and says what
// it did, and where.
int registerServer(const std::string& library, bool registering) {
  const char* entry = registering ? "DllRegisterServer" : "DllUnregisterServer";
  const std::u16string module = u"module " + quotedName(fromUtf8(library));
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::error_code ec;
    if (!std::filesystem::exists(library, ec)) tarnwick::raise(Error(errc::FileNotFound).noted(module));
    tarnwick::raise(Error(errc::ErrorLoadingDll).noted(module + u": " + fromUtf8(::dlerror())));
  }
  auto function = reinterpret_cast<frame::DllRegisterServerFunction>(::dlsym(handle, entry));
  if (!function) {
    ::dlclose(handle);
    tarnwick::raise(Error(errc::DllFunctionNotFound).noted(module + u" has no entry point " + fromUtf8(entry)));
  }
  const HRESULT hr = function();
  ::dlclose(handle);
  if (failed(hr)) tarnwick::raise(Error(errorNumberFromResult(hr)).noted(module + u", " + fromUtf8(entry)));
  std::printf("%s %s in the registration store %s\n", registering ? "registered the classes of" : "removed the classes of",
              library.c_str(), frame::RegistrationStore::defaultPath().string().c_str());
  return 0;
}

// A command-line argument as the value its parameter asks for.
Variant argumentFor(const frame::ParamInfo* param, std::string_view text) {
  const std::u16string value = fromUtf8(text);
  if (!param) return Variant(value);
  switch (param->type) {
    case frame::ParamType::Int16: return Variant(toInt16(Variant(value)));
    case frame::ParamType::Int32: return Variant(toInt32(Variant(value)));
    case frame::ParamType::Flag: return Variant(toBool(Variant(value)));
    case frame::ParamType::Object:
      tarnwick::raise(Error(errc::ObjectRequired, u"Parameter " + param->name + u" needs an object; the command line has none"));
    default: return Variant(value);
  }
}

void printResult(const Variant& result) {
  const Variant value = result.value();
  switch (value.type()) {
    case VT_EMPTY:
    case VT_NULL: return;
    case VT_BOOL: std::printf("%d\n", value.boolVal ? -1 : 0); return;
    case VT_DISPATCH:
    case VT_UNKNOWN: print(Object(value).typeName() + u"\n"); return;
    case VT_BSTR: print(value.text()); std::printf("\n"); return;
    case VT_R4:
    case VT_R8:
    case VT_CY:
      // Numbers are written with a point, whatever the locale.
      print(numberToText(toDouble(value)).substr(toDouble(value) < 0 ? 0 : 1) + u"\n");
      return;
    default: print(toText(value) + u"\n"); return;
  }
}

int call(const std::vector<std::string_view>& words) {
  const std::u16string progId = fromUtf8(words[0]);
  const std::u16string routineName = fromUtf8(words[1]);
  Object object(frame::createObject(progId));
  const frame::ClassInfo* known = frame::typeLibrary().findClass(progId);
  const frame::RoutineInfo* routine = known ? known->interface.find(routineName) : nullptr;
  std::vector<Variant> args;
  for (std::size_t i = 2; i < words.size(); ++i) {
    const std::size_t index = i - 2;
    const frame::ParamInfo* param = nullptr;
    if (routine && !routine->params.empty())
      param = &routine->params[index < routine->params.size() ? index : routine->params.size() - 1];
    args.push_back(withNote([&] { return argumentFor(param, words[i]); }, [&] {
      return (param ? u"parameter " + param->name : u"argument") + u": " + quotedName(fromUtf8(words[i]));
    }));
  }
  const Variant result = object.invoke(object.idOf(routineName), DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, nullptr);
  printResult(result);
  return 0;
}

}  // namespace

// The error's number, labelled as one, then its text and what is at fault.
int fail(const Error& e) {
  std::fprintf(stderr, "error %d: %s\n", e.number(), toUtf8(e.message()).c_str());
  return 1;
}

int main(int argc, char** argv) {
  std::vector<std::string_view> words(argv + 1, argv + argc);
  if (words.empty()) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string_view command = words[0];
  // A routine's message boxes answer themselves here; what they said goes to standard error.
  tarnwick::host::messageLog().echoTo(stderr);
  try {
    if (command == "version") {
      std::printf("%s\nlocale: %s\n", libraryVersion(), toUtf8(describeLocale()).c_str());
    } else if (command == "register" || command == "unregister") {
      if (words.size() > 2) tarnwick::raise(errc::WrongArgumentCount);
      const std::string library = words.size() == 2 ? std::string(words[1]) : ownLibrary();
      return registerServer(library, command == "register");
    } else if (command == "typelib") {
      print(frame::describeTypeLibrary(frame::typeLibrary()));
    } else if (command == "call") {
      if (words.size() < 3) {
        std::fputs(kUsage, stderr);
        return 2;
      }
      return call({words.begin() + 1, words.end()});
    } else if (command == "form") {
      return formCommand({words.begin() + 1, words.end()});
    } else if (command == "tag") {
      return tagCommand({words.begin() + 1, words.end()});
    } else if (command == "export") {
      return exportCommand({words.begin() + 1, words.end()});
    } else if (command == "sample-db") {
      return sampleDbCommand({words.begin() + 1, words.end()});
    } else {
      std::fputs(kUsage, command == "help" || command == "--help" ? stdout : stderr);
      return command == "help" || command == "--help" ? 0 : 2;
    }
  } catch (const Error& e) {
    return fail(e);
  }
  return 0;
}
