#include <tarnwick/api/APIWrapper.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Folders.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

class APIWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnwick-api-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    frame::setFolderSource([this] { return folders_; });
    folders_ = {dir_ / "system", dir_ / "windows"};
  }
  void TearDown() override {
    frame::setFolderSource(nullptr);
    fs::remove_all(dir_);
  }
  Object api{makeObject<api::APIWrapper>().as<IDispatch>()};
  fs::path dir_;
  frame::Folders folders_;
};

TEST_F(APIWrapperTest, IniValuesByNameWithNullAndEmptyNames) {
  const std::u16string file = fromUtf8((dir_ / "app.ini").string());
  EXPECT_EQ(api.call(u"GetIniValue", u"Main", u"Key", file).text(), u"");
  EXPECT_FALSE(fs::exists(dir_ / "app.ini"));
  EXPECT_NE(api.call(u"WriteIniValue", u"Main", u"Key", u"value", file).lVal, 0);
  EXPECT_NE(api.call(u"WriteIniValue", u"Main", u"Other", u"", file).lVal, 0);
  EXPECT_EQ(api.call(u"GetIniValue", u"main", u"key", file).text(), u"value");
  EXPECT_EQ(api.call(u"GetIniValue", u"Main", Variant::nullString(), file).text(), std::u16string(u"Key\0Other\0", 10));
  EXPECT_EQ(api.call(u"GetIniValue", Variant::nullString(), Variant::nullString(), file).text(),
            std::u16string(u"Main\0", 5));
  // A null value deletes the key; an empty one keeps it.
  EXPECT_NE(api.call(u"WriteIniValue", u"Main", u"Key", Variant::nullString(), file).lVal, 0);
  EXPECT_EQ(api.call(u"GetIniValue", u"Main", Variant::nullString(), file).text(), std::u16string(u"Other\0", 6));
  // A long value comes back cut to 499 characters.
  EXPECT_NE(api.call(u"WriteIniValue", u"Main", u"Long", std::u16string(600, u'x'), file).lVal, 0);
  EXPECT_EQ(api.call(u"GetIniValue", u"Main", u"Long", file).text().size(), 499u);
  // A relative name is a file in the settings folder.
  EXPECT_NE(api.call(u"WriteIniValue", u"S", u"k", u"v", u"Relative.ini").lVal, 0);
  EXPECT_TRUE(fs::exists(dir_ / "windows" / "Relative.ini"));
  // A folder that cannot be written: 0, nothing written.
  EXPECT_EQ(api.call(u"WriteIniValue", u"S", u"k", u"v", fromUtf8((dir_ / "no" / "x.ini").string())).lVal, 0);
}

TEST_F(APIWrapperTest, FoldersEndInExactlyOneSeparator) {
  EXPECT_EQ(toUtf8(api.call(u"GetWindowsDir").text()), (dir_ / "windows").string() + "/");
  EXPECT_EQ(toUtf8(api.call(u"GetSystemDir").text()), (dir_ / "system").string() + "/");
  folders_ = {"/", std::string(300, 'd')};  // a root folder, and a path longer than any old buffer
  EXPECT_EQ(api.call(u"GetSystemDir").text(), u"/");
  EXPECT_EQ(api.call(u"GetWindowsDir").text().size(), 301u);
  folders_ = {"", ""};
  EXPECT_EQ(api.call(u"GetSystemDir").text(), u"");
  // Early-bound, the same routine.
  ComPtr<frame::_APIWrapper> early = api.pointer().as<frame::_APIWrapper>();
  folders_ = {dir_ / "system", dir_ / "windows"};
  BSTR out = nullptr;
  ASSERT_EQ(early->GetWindowsDir(&out), S_OK);
  EXPECT_EQ(toUtf8(view(out)), (dir_ / "windows").string() + "/");
  SysFreeString(out);
}

}  // namespace
}  // namespace tarnwick
