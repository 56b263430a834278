#include "FifoRelease.h"
#include "LiveHeap.h"

#include <tarnwick/frame/Folders.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Profile.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarnwick::frame {
namespace {

namespace fs = std::filesystem;

class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnwick-profile-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::u16string file(const char* name) const { return fromUtf8((dir_ / name).string()); }
  std::string bytes(const char* name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void put(const char* name, std::string_view text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  fs::path dir_;
};

TEST_F(Profile, ReadsValuesAsTheProfileFunctionsDo) {
  put("a.ini",
      "; comment\r\n[Main]\r\n  Name = Smith  \r\nEmpty=\r\nname=second\r\n[Other]\nKey=x\n[main]\nLate=1\n");
  const auto f = file("a.ini");
  EXPECT_EQ(iniRead(u"main", u"NAME", f), u"Smith");  // letter case ignored, blanks trimmed, first key counts
  EXPECT_EQ(iniRead(u"Main", u"Empty", f), u"");
  EXPECT_EQ(iniRead(u"Main", u"Missing", f), u"");
  EXPECT_EQ(iniRead(u"Other", u"Key", f), u"x");
  EXPECT_EQ(iniRead(u"Main", u"Late", f), u"");  // only the first section of a name counts
  EXPECT_EQ(iniRead(u"Main", std::nullopt, f), std::u16string(u"Name\0Empty\0name\0", 16));
  EXPECT_EQ(iniRead(std::nullopt, std::nullopt, f), std::u16string(u"Main\0Other\0main\0", 16));
  EXPECT_EQ(iniRead(u"Main", u"Name", file("none.ini")), u"");
  EXPECT_FALSE(fs::exists(dir_ / "none.ini"));  // a read creates nothing
  // The 500-character buffer: 499 characters at most.
  put("long.ini", "[S]\nk=" + std::string(600, 'v') + "\n");
  EXPECT_EQ(iniRead(u"S", u"k", file("long.ini")).size(), 499u);
  const ProfileRead small = readProfileString(u"S", u"k", u"", 10, file("long.ini"));
  EXPECT_EQ(small.count, 9u);
  // A list that does not fit is cut at size - 2.
  const ProfileRead list = readProfileString(u"Main", std::nullopt, u"", 8, f);
  EXPECT_EQ(list.count, 6u);
  EXPECT_EQ(list.buffer, std::u16string(u"Name\0E", 6));
  // Damaged and unusual files read as far as they make sense.
  put("odd.ini", "\xEF\xBB\xBF[First]\nno equals sign\n[Open\nk=\xFF\xFEv\r\n[Last]\nend=yes");
  EXPECT_EQ(iniRead(u"Open", u"k", file("odd.ini")), u"\uFFFD\uFFFDv");
  EXPECT_EQ(iniRead(u"Last", u"end", file("odd.ini")), u"yes");
  EXPECT_EQ(iniRead(u"First", std::nullopt, file("odd.ini")), u"");
}

TEST_F(Profile, QuotedValuesReadWithoutTheirQuotes) {
  put("q.ini",
      "[Q]\nDouble=\"hello world\"\nSingle=  ' two  blanks '  \nOpen=\"hello\nMixed=\"hello'\nLone=\"\n"
      "Inner=say \"hi\"\nEmpty=\"\"\n");
  const auto f = file("q.ini");
  EXPECT_EQ(iniRead(u"Q", u"Double", f), u"hello world");
  EXPECT_EQ(iniRead(u"Q", u"Single", f), u" two  blanks ");
  EXPECT_EQ(iniRead(u"Q", u"Open", f), u"\"hello");
  EXPECT_EQ(iniRead(u"Q", u"Mixed", f), u"\"hello'");
  EXPECT_EQ(iniRead(u"Q", u"Lone", f), u"\"");
  EXPECT_EQ(iniRead(u"Q", u"Inner", f), u"say \"hi\"");
  EXPECT_EQ(iniRead(u"Q", u"Empty", f), u"");
  // A write stores exactly what it is given; the read then drops the pair.
  EXPECT_NE(iniWrite(u"Q", u"Written", u"'kept'", f), 0);
  EXPECT_NE(bytes("q.ini").find("Written='kept'"), std::string::npos);
  EXPECT_EQ(iniRead(u"Q", u"Written", f), u"kept");
}

TEST_F(Profile, WritesKeepEveryOtherLine) {
  put("w.ini", "; settings\r\n[Main]\r\nA=1\r\n\r\n[Other]\r\nB=2");
  const auto f = file("w.ini");
  EXPECT_NE(iniWrite(u"main", u"a", u"one", f), 0);            // replaced in place, the key's own spelling kept
  EXPECT_NE(iniWrite(u"Main", u"C", u"3", f), 0);              // added after the last line of its section
  EXPECT_NE(iniWrite(u"Other", u"D", u"", f), 0);              // an empty value is a value
  EXPECT_NE(iniWrite(u"New", u"E", u"5", f), 0);               // a new section at the end
  EXPECT_EQ(bytes("w.ini"), "; settings\r\n[Main]\r\nA=one\r\nC=3\r\n\r\n[Other]\r\nB=2\r\nD=\r\n[New]\r\nE=5\r\n");
  EXPECT_NE(iniWrite(u"Main", u"A", std::nullopt, f), 0);      // a null value deletes the key
  EXPECT_NE(iniWrite(u"Other", std::nullopt, std::nullopt, f), 0);  // a null key deletes the section
  EXPECT_EQ(bytes("w.ini"), "; settings\r\n[Main]\r\nC=3\r\n\r\n[New]\r\nE=5\r\n");
  EXPECT_EQ(iniRead(u"New", u"E", f), u"5");  // the parsed copy follows the change
  // A file created by the first write, with the section and key.
  EXPECT_NE(iniWrite(u"S", u"k", u"v", file("fresh.ini")), 0);
  EXPECT_EQ(bytes("fresh.ini"), "[S]\r\nk=v\r\n");
  // A key written twice in its section reads as its first line; deleting it
  // takes out both, so it then reads as nothing.
  put("twice.ini", "[S]\na = 1\nb=2\nA=3\n[T]\na=4\n");
  EXPECT_EQ(iniRead(u"S", u"a", file("twice.ini")), u"1");
  EXPECT_NE(iniWrite(u"S", u"a", std::nullopt, file("twice.ini")), 0);
  EXPECT_EQ(iniRead(u"S", u"a", file("twice.ini")), u"");
  EXPECT_EQ(bytes("twice.ini"), "[S]\nb=2\n[T]\na=4\n");
  // A last line that ends in a carriage return alone is ended, not given a
  // second one, when a line goes after it (in its section or a new one).
  put("cr.ini", "[Main]\r\nA=1\r");
  EXPECT_NE(iniWrite(u"Main", u"B", u"2", file("cr.ini")), 0);
  EXPECT_EQ(bytes("cr.ini"), "[Main]\r\nA=1\r\nB=2\r\n");
  put("cr.ini", "[Settings]\r");
  EXPECT_NE(iniWrite(u"New", u"E", u"5", file("cr.ini")), 0);
  EXPECT_EQ(bytes("cr.ini"), "[Settings]\r\n[New]\r\nE=5\r\n");
  // Text the file cannot hold on one line is refused and nothing changes.
  const std::string before = bytes("w.ini");
  EXPECT_EQ(iniWrite(u"Main", u"K", u"two\nlines", f), 0);
  EXPECT_EQ(iniWrite(u"Main", u"a=b", u"x", f), 0);
  EXPECT_EQ(iniWrite(u"Ma]in", u"K", u"x", f), 0);
  EXPECT_EQ(iniWrite(std::nullopt, u"K", u"x", f), 0);
  EXPECT_EQ(bytes("w.ini"), before);
  // A folder without the file's folder, or a folder in place of the file.
  EXPECT_EQ(iniWrite(u"S", u"k", u"v", file("missing/x.ini")), 0);
  fs::create_directories(dir_ / "folder.ini");
  EXPECT_EQ(iniWrite(u"S", u"k", u"v", file("folder.ini")), 0);
  EXPECT_EQ(iniRead(u"S", u"k", file("folder.ini")), u"");
  // No temporary file is left behind.
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().string().find(".tarnwick-"), std::string::npos) << entry.path();
}

TEST_F(Profile, WritesGoThroughLinksAndRefuseReadOnlyFiles) {
  // A link planted where a writer's temporary file might go is not followed.
  put("victim.txt", "precious");
  put("p.ini", "[S]\nk=1\n");
  fs::create_symlink(dir_ / "victim.txt", dir_ / ("p.ini.new-" + std::to_string(::getpid())));
  EXPECT_NE(iniWrite(u"S", u"k", u"2", file("p.ini")), 0);
  EXPECT_EQ(bytes("victim.txt"), "precious");
  EXPECT_EQ(bytes("p.ini"), "[S]\nk=2\n");
  // A symbolic link stays a link; its target gets the value.
  fs::create_directories(dir_ / "real");
  put("real/target.ini", "[S]\nk=1\n");
  fs::create_symlink("real/target.ini", dir_ / "link.ini");
  EXPECT_NE(iniWrite(u"S", u"k", u"2", file("link.ini")), 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
  EXPECT_EQ(bytes("real/target.ini"), "[S]\nk=2\n");
  EXPECT_EQ(iniRead(u"S", u"k", file("link.ini")), u"2");
  // Hard links keep showing one content.
  put("hard.ini", "[S]\nk=1\n");
  fs::create_hard_link(dir_ / "hard.ini", dir_ / "other name.ini");
  EXPECT_NE(iniWrite(u"S", u"k", u"2", file("hard.ini")), 0);
  EXPECT_EQ(bytes("other name.ini"), "[S]\nk=2\n");
  EXPECT_TRUE(fs::equivalent(dir_ / "hard.ini", dir_ / "other name.ini"));
  // A read-only file (no write permission at all binds the superuser too)
  // is refused: 0, and nothing written.
  put("ro.ini", "[S]\nk=1\n");
  fs::permissions(dir_ / "ro.ini", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(iniWrite(u"S", u"k", u"2", file("ro.ini")), 0);
  EXPECT_EQ(iniWrite(u"S", u"new", u"2", file("ro.ini")), 0);
  EXPECT_EQ(bytes("ro.ini"), "[S]\nk=1\n");
  // A written file keeps its permissions.
  put("mode.ini", "[S]\nk=1\n");
  fs::permissions(dir_ / "mode.ini", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(iniWrite(u"S", u"k", u"2", file("mode.ini")), 0);
  EXPECT_EQ(fs::status(dir_ / "mode.ini").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  // A FIFO in place of the file is no file: nothing read, nothing written, no wait.
  ASSERT_EQ(::mkfifo((dir_ / "fifo.ini").c_str(), 0600), 0);
  {
    const testing::FifoRelease release(dir_ / "fifo.ini");
    EXPECT_EQ(iniRead(u"S", u"k", file("fifo.ini")), u"");
    EXPECT_EQ(iniWrite(u"S", u"k", u"2", file("fifo.ini")), 0);
    EXPECT_FALSE(release.released()) << "an INI access waited for the FIFO's writer";
  }
  EXPECT_TRUE(fs::is_fifo(dir_ / "fifo.ini"));
}

TEST_F(Profile, WritesRemoveTemporaryFilesOfWritersThatAreGone) {
  put("t.ini", "[S]\nk=1\n");
  const pid_t gone = ::fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  // A writer's temporary file names its target and its writer.
  const auto temporary = [](const char* target, pid_t writer, const char* random) {
    return "." + std::string(target) + ".tarnwick-" + std::to_string(writer) + "-" + random + ".tmp";
  };
  const std::string abandoned = temporary("t.ini", gone, "0123abcd");
  const std::string running = temporary("t.ini", ::getpid(), "4567ef");  // this writer may lock it yet
  const std::string otherTarget = temporary("u.ini", gone, "89ab");
  put(abandoned.c_str(), "[S]\nk=half");
  put(running.c_str(), "");
  put(otherTarget.c_str(), "");
  EXPECT_NE(iniWrite(u"S", u"k", u"2", file("t.ini")), 0);
  EXPECT_FALSE(fs::exists(dir_ / abandoned));
  EXPECT_TRUE(fs::exists(dir_ / running));
  EXPECT_TRUE(fs::exists(dir_ / otherTarget));
  EXPECT_EQ(bytes("t.ini"), "[S]\nk=2\n");
}

TEST_F(Profile, ParsedCopiesTakeBoundedMemory) {
  const auto readEach = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      const std::string name = "f" + std::to_string(i) + ".ini";
      put(name.c_str(), "[S]\nk=" + std::to_string(i) + "\n");
      EXPECT_EQ(iniRead(u"S", u"k", file(name.c_str())), fromUtf8(std::to_string(i)));
      fs::remove(dir_ / name);
    }
  };
  readEach(0, 1000);  // the cache fills
  const std::size_t filled = testing::liveHeapBytes();
  readEach(1000, 11000);
  // One large file is read but not kept.
  std::string large = "[S]\n";
  for (int i = 0; i < 100000; ++i) large += "key" + std::to_string(i) + "=some value\n";
  put("large.ini", large);
  EXPECT_EQ(iniRead(u"S", u"key99999", file("large.ini")), u"some value");
  large.clear();
  large.shrink_to_fit();
  constexpr std::size_t kSlack = 2 * 1024 * 1024;
  EXPECT_LT(testing::liveHeapBytes(), filled + kSlack);
}

TEST_F(Profile, RelativeNamesLiveInTheSettingsFolder) {
  const auto installed = folderSource();
  setFolderSource([&] { return Folders{dir_ / "sys", dir_ / "win"}; });
  EXPECT_EQ(profilePath(u"ColWidths.ini"), dir_ / "win" / "ColWidths.ini");
  EXPECT_NE(iniWrite(u"S", u"k", u"v", u"ColWidths.ini"), 0);  // the settings folder is made when needed
  EXPECT_TRUE(fs::exists(dir_ / "win" / "ColWidths.ini"));
  EXPECT_EQ(iniRead(u"S", u"k", u"ColWidths.ini"), u"v");
  // A settings folder named with its closing slash, and names in subfolders of it.
  setFolderSource([&] { return Folders{dir_ / "sys", dir_ / "win" / ""}; });
  EXPECT_EQ(profilePath(u"ColWidths.ini"), dir_ / "win" / "ColWidths.ini");
  EXPECT_EQ(iniRead(u"S", u"k", u"ColWidths.ini"), u"v");
  EXPECT_NE(iniWrite(u"S", u"k", u"w", u"sub/Other.ini"), 0);
  EXPECT_EQ(iniRead(u"S", u"k", (dir_ / "win" / "sub" / "Other.ini").u16string()), u"w");
  setFolderSource(nullptr);
  ::setenv("TARNWICK_WINDOWS_DIR", (dir_ / "env").c_str(), 1);
  EXPECT_EQ(folders().windows, dir_ / "env");
  ::unsetenv("TARNWICK_WINDOWS_DIR");
  setFolderSource(installed);
}

TEST_F(Profile, TwoProcessesWritingAtOnceLoseNothing) {
  const std::u16string f = file("shared.ini");
  constexpr int kKeys = 1000;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = ::fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      int failures = 0;
      for (int i = 0; i < kKeys; ++i) {
        const std::u16string key = fromUtf8("P" + std::to_string(p) + "K" + std::to_string(i));
        if (iniWrite(p == 0 ? u"First" : u"Second", key, u"v", f) == 0) ++failures;
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // The key list would be cut at the read buffer, so count the file's keys.
  std::istringstream lines(bytes("shared.ini"));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) count += line.find('=') != std::string::npos;
  EXPECT_EQ(count, 2 * kKeys);
}

}  // namespace
}  // namespace tarnwick::frame
