#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Registration.h>
#include <tarnwick/frame/RegistrationStore.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarnwick::frame {
namespace {

namespace fs = std::filesystem;

fs::path freshDirectory(const char* name) {
  const fs::path dir = fs::temp_directory_path() / ("tarnwick-" + std::to_string(::getpid()) + "-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(RegistrationStore, ReadsWhatItWritesAndIgnoresCase) {
  const fs::path dir = freshDirectory("roundtrip");
  RegistrationStore store(dir / "sub" / "registry.txt");  // the folder is made on the first write
  EXPECT_TRUE(store.read().keys.empty());
  store.update([](StoreContents& c) {
    c.set(u"CLSID\\{A}", u"", u"Name");
    c.set(u"CLSID\\{A}\\InprocServer32", u"ThreadingModel", u"Apartment");
    c.set(u"Odd", u"", u"line one\nline two \\ with = and [brackets]");
    c.set(u"M\u00FCller", u"", u"\u00E4\u00F6\u00FC");
  });
  const StoreContents read = store.read();
  EXPECT_EQ(read.damagedLines, 0u);
  EXPECT_EQ(read.value(u"clsid\\{a}"), u"Name");
  EXPECT_EQ(read.value(u"CLSID\\{A}\\INPROCSERVER32", u"threadingmodel"), u"Apartment");
  EXPECT_EQ(read.value(u"Odd"), u"line one\nline two \\ with = and [brackets]");
  EXPECT_EQ(read.value(u"M\u00FCller"), u"\u00E4\u00F6\u00FC");
  EXPECT_FALSE(read.value(u"Missing"));
  store.update([](StoreContents& c) { c.removeTree(u"clsid\\{A}"); });
  EXPECT_FALSE(store.read().value(u"CLSID\\{A}\\InprocServer32", u"ThreadingModel"));
  EXPECT_TRUE(store.read().value(u"Odd"));
  EXPECT_FALSE(fs::exists(dir / "sub" / "registry.txt.new"));  // no temporary left behind
}

TEST(RegistrationStore, SurvivesDamagedFilesAndRewritesThemWhole) {
  const fs::path dir = freshDirectory("damaged");
  const fs::path file = dir / "registry.txt";
  {
    std::ofstream out(file, std::ios::binary);
    out << "[Good]\n@=kept\nno equals sign here\nname=bad escape \\q\n[Broken\n"
           "value without key\n\xFF\xFE garbage\n[Second]\nx=1\n[Cut]\n@=half a li";
  }
  RegistrationStore store(file);
  const StoreContents damaged = store.read();
  EXPECT_EQ(damaged.value(u"Good"), u"kept");
  EXPECT_EQ(damaged.value(u"Second", u"x"), u"1");
  EXPECT_FALSE(damaged.value(u"Cut"));  // the cut-off last line is not trusted
  EXPECT_GE(damaged.damagedLines, 5u);
  store.update([](StoreContents& c) { c.set(u"New", u"", u"entry"); });
  const StoreContents repaired = store.read();
  EXPECT_EQ(repaired.damagedLines, 0u);
  EXPECT_EQ(repaired.value(u"Good"), u"kept");
  EXPECT_EQ(repaired.value(u"New"), u"entry");
  EXPECT_EQ(slurp(file).find("garbage"), std::string::npos);
  // An empty or binary file reads as an empty store.
  std::ofstream(file, std::ios::binary) << std::string("\0\0\0", 3);
  EXPECT_TRUE(store.read().keys.empty());
}

TEST(RegistrationStore, ConcurrentProcessesLoseNoEntries) {
  const fs::path dir = freshDirectory("concurrent");
  const fs::path file = dir / "registry.txt";
  constexpr int kProcesses = 6;
  constexpr int kEntries = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        RegistrationStore store(file);
        for (int i = 0; i < kEntries; ++i)
          store.update([&](StoreContents& c) {
            const std::string key = "P" + std::to_string(p) + "\\E" + std::to_string(i);
            c.set(fromUtf8(key), u"", u"value");
          });
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const StoreContents all = RegistrationStore(file).read();
  EXPECT_EQ(all.damagedLines, 0u);
  EXPECT_EQ(all.keys.size(), static_cast<std::size_t>(kProcesses * kEntries));
}

TEST(Registration, WritesAndRemovesTheLibrarysEntries) {
  StoreContents store;
  store.set(u"Unrelated", u"", u"stays");
  writeRegistration(store, typeLibrary(), "/opt/lib/libtarnwick.so");
  for (const ClassInfo& c : typeLibrary().classes) {
    const std::string id = toString(c.clsid);
    const std::u16string key = u"CLSID\\" + std::u16string(id.begin(), id.end());
    EXPECT_EQ(store.value(key), c.name);
    EXPECT_EQ(store.value(key + u"\\InprocServer32"), u"/opt/lib/libtarnwick.so");
    EXPECT_EQ(store.value(key + u"\\InprocServer32", u"ThreadingModel"), u"Apartment");
    EXPECT_EQ(store.value(c.progId + u"\\CLSID"), std::u16string(id.begin(), id.end()));
  }
  EXPECT_EQ(store.value(u"Tarnwick.OcxWrapper\\CLSID"), u"{BE34CB78-7557-11D2-8E42-0008C7EA3DBB}");
  EXPECT_EQ(store.value(u"TypeLib\\{BE34CB7D-7557-11D2-8E42-0008C7EA3DBB}\\1.0"), u"Sql, OCX and DAO Wrappers.");
  // Registering twice changes nothing; unregistering leaves only the rest.
  const std::string once = RegistrationStore::serialise(store);
  writeRegistration(store, typeLibrary(), "/opt/lib/libtarnwick.so");
  EXPECT_EQ(RegistrationStore::serialise(store), once);
  removeRegistration(store, typeLibrary());
  EXPECT_EQ(store.keys.size(), 1u);
  EXPECT_EQ(store.value(u"Unrelated"), u"stays");
}

}  // namespace
}  // namespace tarnwick::frame
