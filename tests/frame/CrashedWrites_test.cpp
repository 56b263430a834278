// Writers killed with SIGKILL in the middle of writing: each file is then
// wholly old or wholly new, and the next write leaves no temporary file.
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Profile.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace tarnwick::frame {
namespace {

namespace fs = std::filesystem;

constexpr int kRounds = 30;
constexpr auto kTimeBudget = std::chrono::seconds(40);
constexpr std::size_t kFillerKeys = 20000;          // an INI file of about 0.5 MB
constexpr std::size_t kTextSize = 4 * 1024 * 1024;  // a large saved text

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The INI file as every write of it leaves it: filler keys kept byte for
// byte around the one key the writers change.
std::string iniWith(std::string_view generation) {
  std::string text = "[Head]\r\ngen=";
  text += generation;
  text += "\r\n[Filler]\r\n";
  for (std::size_t i = 0; i < kFillerKeys; ++i) text += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
  return text;
}

// True when the text file is one whole generation: kTextSize copies of one letter.
bool wholeText(const std::string& bytes) {
  return bytes.size() == kTextSize && bytes.find_first_not_of(bytes.front()) == std::string::npos;
}

// Files in the folder besides the two that are written.
std::size_t temporaryFiles(const fs::path& dir) {
  std::size_t count = 0;
  for (const auto& entry : fs::directory_iterator(dir))
    count += entry.path().filename() != "settings.ini" && entry.path().filename() != "notes.txt";
  return count;
}

TEST(CrashedWrites, LeaveEachFileWholeAndNoTemporaryFileAfterTheNextWrite) {
  const fs::path dir = fs::temp_directory_path() / ("tarnwick-crashed-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::u16string ini = fromUtf8((dir / "settings.ini").string());
  const std::u16string text = fromUtf8((dir / "notes.txt").string());
  std::ofstream(dir / "settings.ini", std::ios::binary) << iniWith("0");
  std::ofstream(dir / "notes.txt", std::ios::binary) << std::string(kTextSize, 'a');
  const Object ocx(makeObject<ocx::OcxWrapper>().as<IDispatch>());

  std::mt19937 random(12345);
  int killedWithTemporaryFiles = 0;
  const auto start = std::chrono::steady_clock::now();
  int round = 0;
  for (; round < kRounds && std::chrono::steady_clock::now() - start < kTimeBudget; ++round) {
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      // Writes without end until killed: INI values and whole texts by turns.
      for (int generation = 1;; ++generation) {
        const std::u16string value = fromUtf8(std::to_string(round) + "-" + std::to_string(generation));
        iniWrite(u"Head", u"gen", value, ini);
        const std::u16string letters(kTextSize, static_cast<char16_t>(u'a' + generation % 26));
        ocx.call(u"SaveToFile", text, letters, std::int16_t{1});
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
    ASSERT_EQ(::kill(writer, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFSIGNALED(status));
    killedWithTemporaryFiles += temporaryFiles(dir) > 0;

    const std::string generation = toUtf8(iniRead(u"Head", u"gen", ini));
    EXPECT_EQ(slurp(dir / "settings.ini"), iniWith(generation)) << "round " << round;
    EXPECT_TRUE(wholeText(slurp(dir / "notes.txt"))) << "round " << round;

    // The next writes clean up after the killed one.
    EXPECT_NE(iniWrite(u"Head", u"gen", u"0", ini), 0);
    EXPECT_EQ(ocx.call(u"SaveToFile", text, std::u16string(kTextSize, u'a'), std::int16_t{0}).iVal, 0);
    EXPECT_EQ(temporaryFiles(dir), 0u) << "round " << round;
  }
  EXPECT_GE(round, 10);  // enough rounds ran in the time given
  RecordProperty("rounds", round);
  RecordProperty("killedWithTemporaryFiles", killedWithTemporaryFiles);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnwick::frame
