#include "../frame/FifoRelease.h"

#include <tarnwick/automation/Decimal.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

class TextFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnwick-files-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  std::u16string path(const char* name) const { return fromUtf8((dir_ / name).string()); }
  std::string bytes(const char* name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void put(const char* name, std::string_view text) const { std::ofstream(dir_ / name, std::ios::binary) << text; }
  std::u16string read(const char* name, int binary) const {
    return std::u16string(ocx.call(u"ReadFromFile_t", path(name), std::int16_t(binary)).text());
  }

  Object ocx{makeObject<ocx::OcxWrapper>().as<IDispatch>()};
  fs::path dir_;
};

TEST_F(TextFiles, ReadsWholeFilesInBothAccessWays) {
  EXPECT_EQ(read("missing.txt", 0), u"");
  EXPECT_EQ(read("missing.txt", 1), u"");
  EXPECT_EQ(ocx.call(u"OpenFileForInput_t", path("missing.txt")).text(), u"");
  put("empty.txt", "");
  EXPECT_EQ(read("empty.txt", 0), u"");
  put("accents.txt", "Stra\xC3\x9F" "e in K\xC3\xB6ln\r\nline two\x1A tail");
  EXPECT_EQ(read("accents.txt", 0), u"Stra\u00DFe in K\u00F6ln\r\nline two\u001A tail");
  EXPECT_EQ(ocx.call(u"OpenFileForInput_t", path("accents.txt")).text(), read("accents.txt", 0));
  // Binary access: one character per byte.
  EXPECT_EQ(read("accents.txt", 1).substr(0, 6), u"Stra\u00C3\u009F");
  // Not UTF-8: no text read, but binary access still reads it.
  put("latin1.txt", "K\xF6ln");
  EXPECT_EQ(read("latin1.txt", 0), u"");
  EXPECT_EQ(read("latin1.txt", 1), u"K\u00F6ln");
  // A folder is no file.
  EXPECT_EQ(read(".", 0), u"");
}

TEST_F(TextFiles, WhatIsNoRegularFileReadsAsAMissingFile) {
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  {
    const testing::FifoRelease release(dir_ / "fifo");
    EXPECT_EQ(read("fifo", 0), u"");
    EXPECT_EQ(read("fifo", 1), u"");
    EXPECT_EQ(ocx.call(u"OpenFileForInput_t", path("fifo")).text(), u"");
    EXPECT_FALSE(release.released()) << "a read waited for the FIFO's writer";
  }
  EXPECT_EQ(std::u16string(ocx.call(u"ReadFromFile_t", u"/dev/null", std::int16_t{1}).text()), u"");
}

TEST_F(TextFiles, WritesReplaceTheFileWhole) {
  const auto text = path("out.txt");
  EXPECT_EQ(ocx.call(u"SaveToFile", text, u"Gr\u00FC\u00DFe", std::int16_t{0}).iVal, 0);
  EXPECT_EQ(bytes("out.txt"), "Gr\xC3\xBC\xC3\x9F" "e");  // no line end added
  EXPECT_EQ(read("out.txt", 0), u"Gr\u00FC\u00DFe");
  // Binary over a longer file: the old tail does not stay behind.
  put("long.bin", std::string(100, 'x'));
  EXPECT_EQ(ocx.call(u"SaveToFile", path("long.bin"), u"0123456789", std::int16_t{1}).iVal, 0);
  EXPECT_EQ(bytes("long.bin"), "0123456789");
  // Every byte value round-trips through binary access.
  std::u16string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char16_t>(b);
  EXPECT_EQ(ocx.call(u"SaveToFile", path("all.bin"), all, std::int16_t{-1}).iVal, 0);
  EXPECT_EQ(bytes("all.bin").size(), 256u);
  EXPECT_EQ(read("all.bin", 1), all);
  // A character with no byte becomes "?" in binary access.
  EXPECT_EQ(ocx.call(u"SaveToFile", path("wide.bin"), u"a\u20ACb", std::int16_t{1}).iVal, 0);
  EXPECT_EQ(bytes("wide.bin"), "a?b");
  // SaveFile prints values in their print form.
  EXPECT_EQ(ocx.call(u"SaveFile", path("n.txt"), 5).iVal, 0);
  EXPECT_EQ(bytes("n.txt"), " 5 ");
  EXPECT_EQ(ocx.call(u"SaveFile", path("m.txt"), -2.5).iVal, 0);
  EXPECT_EQ(bytes("m.txt"), "-2.5 ");
  EXPECT_EQ(ocx.call(u"SaveFile", path("s.txt"), u"as it stands").iVal, 0);
  EXPECT_EQ(bytes("s.txt"), "as it stands");
  EXPECT_EQ(ocx.call(u"SaveFile", path("null.txt"), Variant::null()).iVal, 0);
  EXPECT_EQ(bytes("null.txt"), "Null");
  const Variant largest(parseDecimal(u"-79228162514264337593543950335", Locale::enUS()));
  EXPECT_EQ(ocx.call(u"SaveFile", path("d.txt"), largest).iVal, 0);
  EXPECT_EQ(bytes("d.txt"), "-79228162514264337593543950335 ");  // every digit of a decimal
  // A written file keeps its permissions.
  fs::permissions(dir_ / "s.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(ocx.call(u"SaveFile", path("s.txt"), u"again").iVal, 0);
  EXPECT_EQ(fs::status(dir_ / "s.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(TextFiles, WritesGoThroughLinksToTheFileItself) {
  // A link planted where a writer's temporary file might go is not followed.
  put("victim.txt", "precious");
  fs::create_symlink(dir_ / "victim.txt", dir_ / ("out.txt.new-" + std::to_string(::getpid())));
  EXPECT_EQ(ocx.call(u"SaveFile", path("out.txt"), u"new").iVal, 0);
  EXPECT_EQ(bytes("victim.txt"), "precious");
  EXPECT_EQ(bytes("out.txt"), "new");
  // A symbolic link stays a link; its target gets the text.
  fs::create_directories(dir_ / "real");
  put("real/notes.txt", "old");
  fs::create_symlink("real/notes.txt", dir_ / "notes.txt");
  EXPECT_EQ(ocx.call(u"SaveToFile", path("notes.txt"), u"new", std::int16_t{0}).iVal, 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "notes.txt"));
  EXPECT_EQ(bytes("real/notes.txt"), "new");
  // Hard links keep showing one content.
  put("a.txt", "old content");
  fs::create_hard_link(dir_ / "a.txt", dir_ / "b.txt");
  EXPECT_EQ(ocx.call(u"SaveToFile", path("a.txt"), u"new", std::int16_t{1}).iVal, 0);
  EXPECT_EQ(bytes("b.txt"), "new");
  EXPECT_TRUE(fs::equivalent(dir_ / "a.txt", dir_ / "b.txt"));
  // A file without any write permission is read-only for the superuser too.
  put("ro.txt", "keep");
  fs::permissions(dir_ / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(ocx.call(u"SaveFile", path("ro.txt"), u"x").iVal, errc::PathFileAccessError);
  EXPECT_EQ(bytes("ro.txt"), "keep");
}

TEST_F(TextFiles, FailuresAreErrorNumbersAndLoseNothing) {
  EXPECT_EQ(ocx.call(u"SaveFile", path("no/such/folder.txt"), u"x").iVal, errc::PathNotFound);
  fs::create_directories(dir_ / "folder");
  EXPECT_EQ(ocx.call(u"SaveFile", path("folder"), u"x").iVal, errc::PathFileAccessError);
  EXPECT_EQ(ocx.call(u"SaveFile", std::u16string(u"a\0b", 3), u"x").iVal, errc::BadFileNameOrNumber);
  EXPECT_EQ(ocx.call(u"SaveFile", std::u16string(1, char16_t(0xD800)), u"x").iVal, errc::BadFileNameOrNumber);
  if (::geteuid() != 0) {  // permissions bind every user but the superuser
    put("locked.txt", "keep");
    fs::permissions(dir_ / "locked.txt", fs::perms::owner_read);
    EXPECT_EQ(ocx.call(u"SaveFile", path("locked.txt"), u"x").iVal, errc::PathFileAccessError);
    EXPECT_EQ(bytes("locked.txt"), "keep");
  }
  // Nothing half-written stays behind.
  for (const auto& entry : fs::recursive_directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().find(".tarnwick-"), std::string::npos);
}

TEST_F(TextFiles, NoDescriptorLeaksOnAnyPath) {
  auto openDescriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
  };
  put("some.txt", "content");
  const auto before = openDescriptors();
  for (int i = 0; i < 10000; ++i) {
    read("some.txt", i % 2);
    read("missing.txt", 0);
    ocx.call(u"SaveFile", path("no/folder.txt"), u"x");
  }
  EXPECT_EQ(openDescriptors(), before);
}

TEST_F(TextFiles, LargeFilesReadWhole) {
  {
    std::ofstream out(dir_ / "big.bin", std::ios::binary);
    out.seekp(100 * 1024 * 1024 - 1);
    out.put('z');
  }
  const std::u16string big = read("big.bin", 1);
  ASSERT_EQ(big.size(), 100u * 1024 * 1024);
  EXPECT_EQ(big.back(), u'z');
}

}  // namespace
}  // namespace tarnwick
