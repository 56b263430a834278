#include "ClassTesting.h"

#include <tarnwick/api/APIWrapper.h>
#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/Folders.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/host/WindowStack.h>
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
    useFolders(dir_ / "system", dir_ / "windows");
  }
  void TearDown() override {
    host::setFolders(nullptr);  // the headless host's own folders again
    fs::remove_all(dir_);
  }
  // The host's folders, as a client may set them.
  static void useFolders(const fs::path& system, const fs::path& windows) {
    host::setFolders(std::make_shared<host::FixedFolders>(system, windows));
  }
  Object api{makeObject<api::APIWrapper>().as<IDispatch>()};
  fs::path dir_;
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
  useFolders("/", std::string(300, 'd'));  // a root folder, and a path longer than any old buffer
  EXPECT_EQ(api.call(u"GetSystemDir").text(), u"/");
  EXPECT_EQ(api.call(u"GetWindowsDir").text().size(), 301u);
  useFolders("", "");
  EXPECT_EQ(api.call(u"GetSystemDir").text(), u"");
  // Early-bound, the same routine.
  ComPtr<frame::_APIWrapper> early = api.pointer().as<frame::_APIWrapper>();
  useFolders(dir_ / "system", dir_ / "windows");
  BSTR out = nullptr;
  ASSERT_EQ(early->GetWindowsDir(&out), S_OK);
  EXPECT_EQ(toUtf8(view(out)), (dir_ / "windows").string() + "/");
  SysFreeString(out);
}

TEST_F(APIWrapperTest, StayOnTopChangesOnlyTheStacking) {
  const Object form = testing::formFrom("form frmTop {\n  Width = 3000\n}\n");
  form.call(u"Move", 100, 200);
  const std::int32_t window = toInt32(form.get(u"hWnd"));
  api.call(u"StayOnTop", form.pointer().get(), true);
  api.call(u"StayOnTop", form.pointer().get(), true);
  EXPECT_TRUE(host::windowStack()->isTopmost(window));
  api.call(u"StayOnTop", form.pointer().get(), false);
  EXPECT_FALSE(host::windowStack()->isTopmost(window));
  EXPECT_EQ(toDouble(form.get(u"Left")), 100);
  EXPECT_EQ(toDouble(form.get(u"Width")), 3000);
  EXPECT_TRUE(api.call(u"AppActivateClass", u"").isEmpty());
}

}  // namespace
}  // namespace tarnwick
