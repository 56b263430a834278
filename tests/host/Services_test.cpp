#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/Folders.h>
#include <tarnwick/frame/Start.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/host/HostObject.h>
#include <tarnwick/host/MessageLog.h>
#include <tarnwick/host/Services.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tarnwick::host {
namespace {

using testing::errorOf;

struct ServicesTest : ::testing::Test {
  void TearDown() override { resetServices(); }
  Object host{frame::createObject(kHostProgId)};
};

TEST_F(ServicesTest, ScreenFeedsTheStartProcedure) {
  const Object s(host.get(u"Screen"));
  EXPECT_EQ(toInt32(s.get(u"TwipsPerPixelX")), 15);
  EXPECT_EQ(toDouble(s.get(u"Width")), 1024 * 15);
  EXPECT_EQ(toDouble(s.get(u"Height")), 768 * 15);
  EXPECT_EQ(frame::screenFactors().twipsPerPixelX, 15);
  // A client's own screen replaces the headless one.
  setScreen(std::make_shared<HeadlessScreen>(640, 480, 12, 10));
  EXPECT_EQ(toInt32(s.get(u"TwipsPerPixelY")), 10);
  EXPECT_EQ(toDouble(s.get(u"Width")), 640 * 12);
  EXPECT_EQ(toInt32(host.call(u"GetSystemMetrics", 0)), 640);
}

TEST_F(ServicesTest, ClipboardHoldsPlainText) {
  const Object c(host.get(u"Clipboard"));
  c.call(u"Clear");
  EXPECT_EQ(c.call(u"GetText").text(), u"");
  EXPECT_FALSE(toBool(c.call(u"GetFormat", 1)));
  c.call(u"SetText", u"a\tb\rc\td\r");
  EXPECT_EQ(clipboard()->text(), u"a\tb\rc\td\r");
  EXPECT_TRUE(toBool(c.call(u"GetFormat", 1)));
  EXPECT_EQ(errorOf([&] { c.call(u"SetText", u"x", 2); }), errc::InvalidProcedureCall);  // text only
  EXPECT_EQ(errorOf([&] { c.call(u"SetText"); }), errc::WrongArgumentCount);
}

TEST_F(ServicesTest, MessageBoxRecordsPromptsAndAnswersFromItsScript) {
  auto box = scriptedMessageBox();
  ASSERT_TRUE(box);
  box->answer({mb::No, mb::Yes});
  EXPECT_EQ(toInt32(host.call(u"MsgBox", u"Delete 3 rows?", 36)), mb::No);
  EXPECT_EQ(toInt32(host.call(u"MsgBox", u"Delete 3 rows?", 36)), mb::Yes);
  EXPECT_EQ(toInt32(host.call(u"MsgBox", u"Saved")), mb::OK);             // script used up: the default button
  EXPECT_EQ(toInt32(host.call(u"MsgBox", u"Again?", 4 + 256)), mb::No);   // the second button is the default
  const auto prompts = box->prompts();
  ASSERT_EQ(prompts.size(), 4u);
  EXPECT_EQ(prompts[0].prompt, u"Delete 3 rows?");
  EXPECT_EQ(prompts[0].buttons, 36);
  EXPECT_EQ(prompts[2].buttons, 0);
  EXPECT_EQ(prompts[2].title, u"");
  // A script answer the box does not offer fails loudly.
  box->answer({mb::Yes});
  EXPECT_EQ(errorOf([&] { host.call(u"MsgBox", u"Field too long", 48); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([&] { host.call(u"MsgBox", u"?", errc::OutOfMemory); }), errc::InvalidProcedureCall);  // no such button set
  EXPECT_EQ(errorOf([&] { host.call(u"MsgBox"); }), errc::WrongArgumentCount);
}

TEST_F(ServicesTest, MessageLogKeepsWhatNobodyAnswered) {
  // The headless box, as a process without a host of its own has it: every
  // box answers at once and leaves its prompt and answer in the log.
  MessageLog& log = messageLog();
  log.clear();
  EXPECT_EQ(toInt32(host.call(u"MsgBox", u"Delete 3 rows?", 36)), mb::Yes);
  EXPECT_EQ(toInt32(host.call(u"MsgBox", u"Again?", 3 + 512)), mb::Cancel);  // the third button is the default
  scriptedMessageBox()->answer({mb::No});
  EXPECT_EQ(toInt32(host.call(u"MsgBox", u"Scripted", 36)), mb::No);
  std::vector<LoggedMessage> logged = log.entries();
  ASSERT_EQ(logged.size(), 3u);
  EXPECT_EQ(logged[0].prompt, u"Delete 3 rows?");
  EXPECT_EQ(logged[0].buttons, 36);
  EXPECT_EQ(logged[0].answer, mb::Yes);
  EXPECT_EQ(logged[1].answer, mb::Cancel);
  EXPECT_EQ(logged[2].answer, mb::No);
  EXPECT_EQ(log.lastPrompt(), u"Scripted");
  EXPECT_EQ(errorOf([] { answerUnattended(u"?", 9, u""); }), errc::InvalidProcedureCall);  // no such button set
  EXPECT_EQ(log.entries().size(), 3u);

  // Echoed one line a message, a prompt's line breaks made blanks.
  std::FILE* echo = std::tmpfile();
  ASSERT_NE(echo, nullptr);
  log.echoTo(echo);
  host.call(u"MsgBox", u"Disk full\r\nRetry?", 5);
  log.echoTo(nullptr);
  host.call(u"MsgBox", u"not echoed");
  std::rewind(echo);
  char line[128] = {};
  ASSERT_NE(std::fgets(line, sizeof line, echo), nullptr);
  EXPECT_STREQ(line, "message: Disk full  Retry?\n");
  EXPECT_EQ(std::fgets(line, sizeof line, echo), nullptr);
  std::fclose(echo);

  // Only the newest messages stay.
  for (std::size_t i = 0; i < MessageLog::kKept + 5; ++i) answerUnattended(fromUtf8(std::to_string(i)), 0, u"");
  logged = log.entries();
  ASSERT_EQ(logged.size(), MessageLog::kKept);
  EXPECT_EQ(logged.front().prompt, u"5");
  log.clear();
  EXPECT_EQ(log.lastPrompt(), u"");
}

TEST_F(ServicesTest, MetricsColoursAndStacking) {
  EXPECT_EQ(toInt32(host.call(u"GetSystemMetrics", SM_CXEDGE)), 2);
  EXPECT_EQ(toInt32(host.call(u"GetSystemMetrics", 9999)), 0);
  EXPECT_EQ(toInt32(host.call(u"GetSysColor", COLOR_HIGHLIGHT)), 0x800000);
  EXPECT_TRUE(toBool(host.call(u"SetSysColors", COLOR_HIGHLIGHT, 0xFFFFFF)));
  EXPECT_TRUE(toBool(host.call(u"SetSysColors", COLOR_HIGHLIGHTTEXT, 0)));
  EXPECT_EQ(systemColours()->colour(COLOR_HIGHLIGHT), 0xFFFFFFu);
  EXPECT_EQ(systemColours()->colour(COLOR_HIGHLIGHTTEXT), 0u);
  EXPECT_FALSE(toBool(host.call(u"SetSysColors", 31, 0)));
  EXPECT_FALSE(toBool(host.call(u"SetSysColors", -1, 0)));

  ComPtr<Form> a = Form::create(u"frmA");
  ComPtr<Form> b = Form::create(u"frmB");
  const auto topmost = [&](const ComPtr<Form>& f) { return toBool(host.call(u"IsTopmost", f->hWnd())); };
  EXPECT_TRUE(toBool(host.call(u"SetWindowPos", a->hWnd(), HWND_TOPMOST, 0, 0, 0, 0, 3)));
  EXPECT_TRUE(toBool(host.call(u"SetWindowPos", a->hWnd(), HWND_TOPMOST, 0, 0, 0, 0, 3)));  // twice as once
  EXPECT_TRUE(topmost(a));
  EXPECT_FALSE(topmost(b));
  EXPECT_EQ(windowStack()->order().front(), a->hWnd());  // above b, though b came later
  EXPECT_TRUE(toBool(host.call(u"SetWindowPos", a->hWnd(), HWND_NOTOPMOST, 0, 0, 0, 0, 3)));
  EXPECT_FALSE(topmost(a));
  EXPECT_EQ(toDouble(Object(static_cast<IDispatch*>(a.get())).get(u"Left")), 0);  // position untouched
  EXPECT_FALSE(toBool(host.call(u"SetWindowPos", 12345, HWND_TOPMOST, 0, 0, 0, 0, 3)));  // no such window
  const std::int32_t gone = b->hWnd();
  b = nullptr;
  EXPECT_FALSE(toBool(host.call(u"SetWindowPos", gone, HWND_TOPMOST, 0, 0, 0, 0, 3)));
  EXPECT_EQ(errorOf([&] { host.call(u"SetWindowPos", 1, 2); }), errc::WrongArgumentCount);
}

TEST_F(ServicesTest, FoldersFromTheEnvironmentOrTheClient) {
  ::setenv("TARNWICK_WINDOWS_DIR", "/tmp/tarnwick-test-windows", 1);
  ::setenv("TARNWICK_SYSTEM_DIR", "/tmp/tarnwick-test-system", 1);
  EXPECT_EQ(host.get(u"WindowsDirectory").text(), u"/tmp/tarnwick-test-windows");
  EXPECT_EQ(host.get(u"SystemDirectory").text(), u"/tmp/tarnwick-test-system");
  ::unsetenv("TARNWICK_WINDOWS_DIR");
  ::unsetenv("TARNWICK_SYSTEM_DIR");
  // Without the variables: the documented default under the configuration folder.
  EXPECT_EQ(host.get(u"WindowsDirectory").text(), fromUtf8(frame::defaultFolders().windows.string()));
  EXPECT_TRUE(host.get(u"WindowsDirectory").text().ends_with(u"tarnwick/windows"));
  setFolders(std::make_shared<FixedFolders>("/srv/sys", "/srv/win"));
  EXPECT_EQ(frame::folders().windows, "/srv/win");  // the library's INI files follow the host
  EXPECT_EQ(host.get(u"SystemDirectory").text(), u"/srv/sys");
}

}  // namespace
}  // namespace tarnwick::host
