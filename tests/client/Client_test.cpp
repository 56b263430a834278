// A client of the library as a separate program is: it links the library but
// no class, creates the library's classes by name without a registration,
// finds other modules' classes through the registration store, and reaches
// the classes by name and through their early-bound interfaces.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/ErrorInfo.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/Interfaces.h>
#include <tarnwick/frame/RegistrationStore.h>

#include "../engine/EngineTesting.h"
#include "../engine/PgTesting.h"
#include "../frame/FifoRelease.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the command-line tool as its own process.
ToolRun tool(const std::string& arguments) {
  const fs::path dir = fs::temp_directory_path();
  const fs::path out = dir / ("tarnwick-client-out-" + std::to_string(::getpid()));
  const fs::path err = dir / ("tarnwick-client-err-" + std::to_string(::getpid()));
  const std::string command =
      std::string(TARNWICK_TOOL_PATH) + " " + arguments + " >" + out.string() + " 2>" + err.string();
  const int raw = std::system(command.c_str());
  ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
  fs::remove(out);
  fs::remove(err);
  return run;
}

class Client : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = fs::temp_directory_path() / ("tarnwick-client-" + std::to_string(::getpid())) / "registry.txt";
    fs::remove_all(store_.parent_path());
    ::setenv("TARNWICK_REGISTRY", store_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TARNWICK_REGISTRY");
    fs::remove_all(store_.parent_path());
  }
  fs::path store_;
};

std::int32_t errorNumber(const std::function<void()>& body, std::u16string* description = nullptr) {
  try {
    body();
  } catch (const Error& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

TEST_F(Client, CreatesTheLibrarysClassesWithoutRegistration) {
  // No store at all: the library's own classes, its host and its engine
  // are served in this process all the same.
  ASSERT_FALSE(fs::exists(store_));
  for (const char16_t* progId :
       {u"Tarnwick.DataAccessWrapper", u"Tarnwick.OcxWrapper", u"Tarnwick.Customize", u"Tarnwick.APIWrapper"}) {
    Object instance(frame::createObject(progId));
    EXPECT_EQ(u"Tarnwick." + instance.typeName(), progId);
  }
  Object byClassId(frame::createObject(u"{BE34CB78-7557-11D2-8E42-0008C7EA3DBB}"));
  EXPECT_EQ(byClassId.typeName(), u"OcxWrapper");
  ComPtr<IDispatch> object;
  const CLSID ocx = *parseGuid("{BE34CB78-7557-11D2-8E42-0008C7EA3DBB}");
  EXPECT_EQ(frame::createInstance(ocx, IID_IDispatch, object.putVoid()), S_OK);
  EXPECT_TRUE(object);
  Object host(frame::createObject(u"Tarnwick.Host"));
  EXPECT_GT(toInt32(Object(host.get(u"Screen")).get(u"TwipsPerPixelX")), 0);
  Object engine(frame::createObject(u"Tarnwick.DBEngine"));
  EXPECT_EQ(engine.typeName(), u"DBEngine");

  // An empty store changes nothing; registering writes the entries for
  // programs that load the library by name, and they go again.
  std::ofstream(store_).close();
  EXPECT_NO_THROW(frame::createObject(u"Tarnwick.Customize"));
  const ToolRun registered = tool("register");
  ASSERT_EQ(registered.status, 0) << registered.err;
  EXPECT_NE(slurp(store_).find("InprocServer32"), std::string::npos);
  // It says what it did, and where.
  EXPECT_EQ(registered.out.rfind("registered the classes of ", 0), 0u) << registered.out;
  EXPECT_NE(registered.out.find("libtarnwick.so"), std::string::npos) << registered.out;
  EXPECT_NE(registered.out.find(store_.string()), std::string::npos) << registered.out;
  const ToolRun unregistered = tool("unregister");
  ASSERT_EQ(unregistered.status, 0) << unregistered.err;
  EXPECT_EQ(slurp(store_).find("InprocServer32"), std::string::npos);
  EXPECT_NO_THROW(frame::createObject(u"Tarnwick.APIWrapper"));

  // A module that is not there, one that is no library, and one without the
  // entry point: each error is labelled as one and names the module.
  const fs::path absent = store_.parent_path() / "libabsent.so";
  const ToolRun missing = tool("register " + absent.string());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "error 53: File not found (module '" + absent.string() + "')\n");
  const fs::path text = store_.parent_path() / "libtext.so";
  std::ofstream(text) << "not a library\n";
  const ToolRun broken = tool("register " + text.string());
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.err.rfind("error 48: Error in loading DLL (module '" + text.string() + "': ", 0), 0u) << broken.err;
  const ToolRun noEntry = tool("unregister libc.so.6");
  EXPECT_EQ(noEntry.status, 1);
  EXPECT_EQ(noEntry.err,
            "error 453: Specified DLL function not found (module 'libc.so.6' has no entry point DllUnregisterServer)\n");
}

TEST_F(Client, FindsOtherModulesThroughTheStoreAndSaysWhyNot) {
  const std::string store = store_.string();
  const auto description = [](std::u16string_view name) {
    std::u16string text;
    EXPECT_EQ(errorNumber([&] { frame::createObject(name); }, &text), errc::CantCreateObject);
    return toUtf8(text);
  };
  // Unknown: the platform's text, then the class, the store and the remedy.
  const std::string unknown = description(u"Other.Class");
  EXPECT_EQ(unknown.rfind("Can't create object (class Other.Class: ", 0), 0u) << unknown;
  EXPECT_NE(unknown.find(store), std::string::npos) << unknown;
  EXPECT_NE(unknown.find("tarnwick register"), std::string::npos) << unknown;

  // Registered by hand, as another module's installer would.
  const fs::path module = store_.parent_path() / "libother.so";
  fs::create_directories(store_.parent_path());
  fs::copy_file(TARNWICK_OTHER_SERVER, module);
  const std::u16string clsid = u"{5E1D2C3B-4A59-4687-96A5-B4C3D2E1F001}";
  frame::RegistrationStore(store_).update([&](frame::StoreContents& c) {
    c.set(u"Other.Class\\CLSID", u"", clsid);
    c.set(u"CLSID\\" + clsid + u"\\InprocServer32", u"", fromUtf8(module.string()));
  });
  ASSERT_TRUE(frame::classIdOf(u"Other.Class").has_value()) << slurp(store_);
  Object other(frame::createObject(u"other.class"));
  EXPECT_EQ(other.typeName(), u"OcxWrapper");
  other = Object();
  frame::freeUnusedLibraries();

  // The module moved away: the registration names it and says so.
  fs::rename(module, store_.parent_path() / "moved.so");
  const std::string moved = description(u"Other.Class");
  EXPECT_NE(moved.find(module.string()), std::string::npos) << moved;
  EXPECT_NE(moved.find("moved or deleted"), std::string::npos) << moved;
  EXPECT_NE(moved.find(store), std::string::npos) << moved;
  // A file there that is no module.
  std::ofstream(module) << "not a module";
  EXPECT_NE(description(u"Other.Class").find("cannot be loaded"), std::string::npos);
}

TEST_F(Client, CallsByNameAndEarlyBoundAndReadsErrors) {
  Object ocx(frame::createObject(u"Tarnwick.OcxWrapper"));
  Object grid(frame::createObject(u"Tarnwick.APIWrapper"));  // any object will do as an argument

  // The optional width list left out, and an empty variable list: the calls
  // reach their routines. An object that is no grid is left alone (result 0);
  // an object without the members a placement needs gives their error number.
  EXPECT_EQ(toInt32(ocx.call(u"SizeGridColumns", grid.pointer().get(), true, std::int16_t{3})), 0);
  EXPECT_EQ(toInt32(ocx.call(u"SizeGridForm", grid.pointer().get())), errc::MemberNotSupported);
  std::u16string description;
  // A required parameter left out, too many arguments, a wrong type.
  EXPECT_EQ(errorNumber([&] { ocx.call(u"SizeGridColumns", grid.pointer().get()); }), errc::ArgumentNotOptional);
  EXPECT_EQ(errorNumber([&] { ocx.call(u"Center", grid.pointer().get(), 1); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorNumber([&] { ocx.call(u"Center", u"no object"); }), errc::TypeMismatch);
  EXPECT_EQ(errorNumber([&] { ocx.call(u"NoSuchRoutine"); }), errc::MemberNotSupported);

  // The same routine early-bound, through the interface's function table.
  ComPtr<frame::_OcxWrapper> early = ocx.pointer().as<frame::_OcxWrapper>();
  IDispatch* gridPointer = grid.pointer().get();
  VARIANT_BOOL scrollBar = VARIANT_TRUE;
  std::int16_t visible = 3;
  Variant widths = Variant::missing();
  std::int16_t result = 99;
  ASSERT_EQ(early->SizeGridColumns(&gridPointer, &scrollBar, &visible, &widths, &result), S_OK);
  EXPECT_EQ(result, 0);
  // A failed early-bound call: the number and description wait in the
  // thread's error information.
  ComPtr<frame::_APIWrapper> api = grid.pointer().as<frame::_APIWrapper>();
  IDispatch* notAForm = grid.pointer().get();
  VARIANT_BOOL onTop = VARIANT_TRUE;
  const HRESULT hr = api->StayOnTop(&notAForm, &onTop);
  EXPECT_TRUE(failed(hr));
  EXPECT_EQ(errorNumber([&] { checkEarly(hr); }, &description), errc::MemberNotSupported);
  EXPECT_EQ(description, u"Object doesn't support this property or method");
}

TEST_F(Client, TheToolListsTheTypeLibraryAndCallsRoutines) {
  const ToolRun typelib = tool("typelib");
  ASSERT_EQ(typelib.status, 0);
  std::size_t routines = 0;
  for (std::size_t at = typelib.out.find("[id(0x"); at != std::string::npos; at = typelib.out.find("[id(0x", at + 1))
    ++routines;
  EXPECT_EQ(routines, 53u);
  for (const char* expected :
       {"coclass DataAccessWrapper", "coclass OcxWrapper", "coclass Customize", "coclass APIWrapper",
        "[id(0x60030000), slot(1)] int16 SaveMergeFieldsFromDatasource(",
        "[id(0x6003001C), slot(27)] void SizeGridFromPanels(", "[id(0x60030006), slot(6)] int32 WriteIniValue("})
    EXPECT_NE(typelib.out.find(expected), std::string::npos) << expected;

  // Nothing registered: the tool serves the library's classes itself, and
  // an unknown class names itself, the store and the remedy after 429's text.
  const ToolRun unknown = tool("call Tarnwick.NoSuchClass Anything");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err.rfind("error 429: Can't create object (class Tarnwick.NoSuchClass: ", 0), 0u) << unknown.err;
  EXPECT_NE(unknown.err.find(store_.string()), std::string::npos) << unknown.err;
  EXPECT_NE(unknown.err.find("tarnwick register"), std::string::npos) << unknown.err;
  EXPECT_FALSE(fs::exists(store_));
  // An empty result prints nothing.
  const ToolRun call = tool("call Tarnwick.APIWrapper AppActivateClass SomeClass");
  EXPECT_EQ(call.status, 0) << call.err;
  EXPECT_EQ(call.out, "");
  // A text result is printed exactly, followed by one line end; a number in decimal.
  fs::create_directories(store_.parent_path());
  const std::string ini = (store_.parent_path() / "tool.ini").string();
  const ToolRun written = tool("call Tarnwick.APIWrapper WriteIniValue Main Greeting 'hello  world ' " + ini);
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.out, "1\n");
  const ToolRun read = tool("call Tarnwick.APIWrapper GetIniValue main GREETING " + ini);
  EXPECT_EQ(read.out, "hello  world\n");
  const ToolRun missing = tool("call Tarnwick.APIWrapper GetIniValue Section");
  EXPECT_EQ(missing.err, "error 449: Argument not optional (argument 2, tVariable, of GetIniValue)\n");
  // The error names what is at fault after the platform's text.
  const ToolRun badNumber = tool("call Tarnwick.OcxWrapper ReadFromFile_t name.txt notanumber");
  EXPECT_EQ(badNumber.err, "error 13: Type mismatch (parameter bAsBinary: 'notanumber')\n");
  const ToolRun noForm = tool("form " + (store_.parent_path() / "absent.form").string());
  EXPECT_EQ(noForm.status, 1);
  EXPECT_EQ(noForm.err, "error 53: File not found (file '" + (store_.parent_path() / "absent.form").string() + "')\n");
  const ToolRun rows = tool("sample-db " + (store_.parent_path() / "s.db").string() + " --rows many");
  EXPECT_EQ(rows.err, "error 5: Invalid procedure call or argument (--rows needs a count, not 'many')\n");
}

// The sample database on a file and on the server: the tool names the
// database as the engine shows it, so a server's password never reaches its
// output or its errors.
TEST_F(Client, TheToolWritesTheSampleDatabaseToAFileOrAServer) {
  fs::create_directories(store_.parent_path());
  const std::string file = (store_.parent_path() / "sample.db").string();
  const ToolRun onFile = tool("sample-db " + file + " --rows 5");
  EXPECT_EQ(onFile.status, 0) << onFile.err;
  EXPECT_EQ(onFile.out, file + ": 5 orders\n");
  EXPECT_EQ(tool("sample-db " + file).err.rfind("error 3204: ", 0), 0u);

  testing::TestDatabase server(testing::Backend::Server);
  if (!server.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
  const std::string uri = toUtf8(server.name());
  const std::string password = engine::testServer()->password;
  ASSERT_FALSE(password.empty());
  const ToolRun made = tool("sample-db '" + uri + "' --rows 30");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out, toUtf8(server.shown()) + ": 30 orders\n");
  EXPECT_EQ(made.out.find(password), std::string::npos);
  {
    const Object db(testing::engineObject().call(u"OpenDatabase", server.name()));
    const auto count = [&](const char16_t* table) {
      const Object rs(db.call(u"OpenRecordset", std::u16string(table), Variant(std::int16_t{4})));
      rs.call(u"MoveLast");
      return toInt32(rs.get(u"RecordCount"));
    };
    EXPECT_EQ(count(u"Orders"), 30);
    EXPECT_EQ(count(u"Customers"), 4);
    EXPECT_EQ(count(u"OrderLines"), 60);
    // Its counters go on from the rows written with their numbers.
    const Object customers(db.call(u"OpenRecordset", u"Customers", Variant(std::int16_t{2})));
    customers.call(u"AddNew");
    customers.put(u"Collect", {Variant(u"Name")}, Variant(u"Added"));
    customers.call(u"Update");
    const Object added(db.call(u"OpenRecordset", u"SELECT CustomerId FROM Customers WHERE Name = 'Added'"));
    EXPECT_EQ(toInt32(added.get(u"Collect", {Variant(u"CustomerId")})), 5);
    db.call(u"Close");
  }
  // A database that already holds tables is not written over.
  const ToolRun again = tool("sample-db '" + uri + "' --rows 30");
  EXPECT_EQ(again.status, 1);
  // After what the message log said (an unencrypted connection, say).
  std::string_view failure = again.err;
  while ((failure.starts_with("message: ") || failure.starts_with("note: ")) &&
         failure.find('\n') != std::string_view::npos)
    failure.remove_prefix(failure.find('\n') + 1);
  EXPECT_TRUE(failure.starts_with("error 3204: ")) << again.err;
  EXPECT_EQ(again.err.find(password), std::string::npos) << again.err;
  // A refused connection is the server's message after 3151's text, without the password.
  std::string wrong = uri;
  wrong.replace(wrong.find(password), password.size(), "not" + password);
  const ToolRun refused = tool("sample-db '" + wrong + "'");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err.rfind("error 3151: ", 0), 0u) << refused.err;
  EXPECT_EQ(refused.err.find(password), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out, "");
}

TEST_F(Client, TheToolExplainsItselfAndTheFormsItReads) {
  // No arguments: the usage, not an action.
  const ToolRun bare = tool("");
  EXPECT_EQ(bare.status, 0);
  EXPECT_EQ(bare.out.rfind("usage: tarnwick COMMAND\n", 0), 0u) << bare.out;
  EXPECT_NE(bare.out.find("  form PATH"), std::string::npos);
  EXPECT_EQ(bare.err, "");
  EXPECT_EQ(tool("help").out, bare.out);

  // The version, and the locale in force: one that is not installed falls back visibly.
  const std::optional<std::string> lcAll =
      std::getenv("LC_ALL") ? std::optional<std::string>(std::getenv("LC_ALL")) : std::nullopt;
  ::setenv("LC_ALL", "xx_YY.UTF-8", 1);
  const ToolRun version = tool("version");
  lcAll ? ::setenv("LC_ALL", lcAll->c_str(), 1) : ::unsetenv("LC_ALL");
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.out.find("\nlocale: en-US (fallback: the locale xx_YY.UTF-8 is not installed)\n"), std::string::npos)
      << version.out;

  // A Qt Designer file, by its name or by its contents: the tool says what it
  // reads instead of failing on the first line.
  fs::create_directories(store_.parent_path());
  const fs::path designer = store_.parent_path() / "search.ui";
  const fs::path disguised = store_.parent_path() / "search.form";
  for (const fs::path& file : {designer, disguised})
    std::ofstream(file) << "\n<?xml version=\"1.0\"?>\n<ui version=\"4.0\"><class>frmSearch</class></ui>\n";
  for (const fs::path& file : {designer, disguised}) {
    const ToolRun run = tool("form " + file.string());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(file.string() + " is a Qt Designer file; tarnwick form reads only form descriptions", 0), 0u)
        << run.err;
  }
  // A FIFO is no form file: refused at once, as a missing file, without
  // waiting for a writer.
  const fs::path fifo = store_.parent_path() / "fifo.form";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  {
    const testing::FifoRelease release(fifo);
    const ToolRun run = tool("form " + fifo.string());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("error 53: File not found", 0), 0u) << run.err;
    EXPECT_FALSE(release.released()) << "the tool waited for a writer";
  }

  // A tag as the routines read it; the slips they pass over in silence are warned of.
  const ToolRun good = tool("tag 'S=Orders([Qty])!Number;'");
  EXPECT_EQ(good.status, 0) << good.out;
  EXPECT_NE(good.out.find("search:        table 'Orders', field [Qty]\n"), std::string::npos) << good.out;
  EXPECT_NE(good.out.find("search type:   Number: a numeric criterion\n"), std::string::npos) << good.out;
  EXPECT_EQ(good.out.find("warning"), std::string::npos) << good.out;
  const ToolRun cut = tool("tag 'S=Orders(Qty)'");
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.out.find("field [t]"), std::string::npos) << cut.out;
  EXPECT_NE(cut.out.find("warning: the search field 't'"), std::string::npos) << cut.out;
  const ToolRun misspelt = tool("tag 'S=Orders([Qty])!Numbr;'");
  EXPECT_EQ(misspelt.status, 1);
  EXPECT_NE(misspelt.out.find("'Numbr': unknown, so this control adds no criterion"), std::string::npos) << misspelt.out;
  const ToolRun open = tool("tag 'S=Orders([Qty'");
  EXPECT_EQ(open.status, 1);
  EXPECT_NE(open.out.find("search:        malformed: error 5 (Invalid procedure call or argument)"), std::string::npos)
      << open.out;
  EXPECT_NE(tool("tag 's=Orders([Qty])'").out.find("warning: \"s=\" is no search directive"), std::string::npos);
  // Enclosing characters that are letters: the name loses its ends.
  const ToolRun letters = tool("tag 'Books(Title)'");
  EXPECT_EQ(letters.status, 1);
  EXPECT_NE(letters.out.find("warning: the binding field reads as 'itl': the characters 'T' and 'e' are dropped"),
            std::string::npos)
      << letters.out;
  EXPECT_NE(letters.out.find("write ([Title])"), std::string::npos) << letters.out;
  // A save type word that the save routines do not know.
  EXPECT_EQ(tool("tag 'Orders([Qty])!Number;'").status, 1);
  EXPECT_EQ(tool("tag 'Orders([Qty])!Number'").status, 0);

  // Against a database: unknown tables and fields, the nearest name suggested.
  const std::string db = (store_.parent_path() / "tags.db").string();
  ASSERT_EQ(tool("sample-db " + db + " --rows 5").status, 0);
  const ToolRun known = tool("tag 'S=Orders([Qty])!Number;' --database " + db);
  EXPECT_EQ(known.status, 0) << known.out;
  const ToolRun field = tool("tag 'S=Orders([Qyt])!Number;' --database " + db);
  EXPECT_EQ(field.status, 1);
  EXPECT_NE(field.out.find("error: the search field 'Qyt' is not in table Orders; did you mean 'Qty'?"),
            std::string::npos)
      << field.out;
  const ToolRun table = tool("tag 'Ordres([Qty])' --database " + db);
  EXPECT_EQ(table.status, 1);
  EXPECT_NE(table.out.find("error: the binding table 'Ordres' is not in the database; did you mean 'Orders'?"),
            std::string::npos)
      << table.out;
  EXPECT_EQ(tool("tag 'S=Orders([Qty])' --database").status, 2);
}

}  // namespace
}  // namespace tarnwick
