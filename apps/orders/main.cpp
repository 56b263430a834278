// Orders: the sample front end. Real Qt windows from Qt Designer files,
// driven by the library's four classes over the Orders sample database.
//
//   orders [--data DIR] [--database NAME] [--tour DIR]
//
// With a display it opens the search form. With --tour, or when there is
// no display at all, it takes the scripted tour of its screens instead and
// saves a screenshot of each (without a display into ./tour unless --tour
// names a folder). The tour deletes, pastes and edits orders and rewrites the
// customisation files, so it works on a fresh database in a temporary folder
// unless --data names one: a user's own data is never its playground.
// --database names the database instead of the data folder's orders.db:
// another file, or a server's (postgresql://user@host:port/db), where the
// tour then works.
#include "SearchForm.h"
#include "Session.h"
#include "Tour.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/host/MessageLog.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/qt/QtHost.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

using namespace orders;

constexpr const char* kUsage =
    "usage: orders [--data DIR] [--database NAME] [--tour DIR]\n"
    "  --data DIR       the folder of the database and the settings\n"
    "                   (default: $XDG_DATA_HOME/tarnwick-orders)\n"
    "  --database NAME  the database: a file, or a server's database by its URI\n"
    "                   (postgresql://user@host:port/db); default: orders.db in\n"
    "                   the data folder. The sample database is made in it when it\n"
    "                   has no Orders table.\n"
    "  --tour DIR       take the scripted tour and save its screenshots in DIR\n"
    "Without a display the tour runs by itself, into ./tour. The tour works on a\n"
    "fresh sample database in a temporary folder unless --data names one.\n";

struct Options {
  std::optional<std::filesystem::path> data;
  std::optional<std::filesystem::path> tour;
  std::u16string database;
};

// nullopt after a usage error, which has been reported.
std::optional<Options> parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool takesValue = arg == "--data" || arg == "--tour" || arg == "--database";
    if (!takesValue || i + 1 >= argc || *argv[i + 1] == '\0') {
      std::fputs(kUsage, arg == "--help" ? stdout : stderr);
      return std::nullopt;
    }
    if (arg == "--database") options.database = tarnwick::fromUtf8(argv[++i]);
    else (arg == "--data" ? options.data : options.tour) = std::filesystem::path(argv[++i]);
  }
  return options;
}

// The offscreen platform says of every window that it cannot do what only a
// screen can (size hints, raising), and a machine without a desktop session
// has no runtime folder: those notes would drown the tour's report.
void quietOffscreenNotes() {
  static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support")) ||
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
      return;
    if (previous) previous(type, context, message);
  });
}

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(name); value && *value) return true;
  return false;
}

// The forms lie next to the program, or where it is installed.
std::filesystem::path formsFolder() {
  const std::filesystem::path program = QCoreApplication::applicationDirPath().toStdString();
  if (std::filesystem::exists(program / "forms" / "search.ui")) return program / "forms";
  return program / ".." / "share" / "tarnwick" / "orders" / "forms";
}

// Qt hosts the library's forms for this scope, with all of Qt's services:
// the progress dialog among them, which long fills and copies of the view
// show (unattended runs never wait on it: it only offers Cancel).
// Afterwards the headless services are back, before Qt itself goes.
class QtHostScope {
 public:
  QtHostScope() { tarnwick::qt::installHost(); }
  ~QtHostScope() { tarnwick::host::resetServices(); }
  QtHostScope(const QtHostScope&) = delete;
  QtHostScope& operator=(const QtHostScope&) = delete;
};

// A folder of its own under the system's temporary folder, removed with
// everything in it when the scope ends.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-orders-tour-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      tarnwick::raise(tarnwick::Error(tarnwick::errc::PathNotFound).noted(u"a temporary data folder " + pathText(pattern)));
    path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  std::filesystem::path path_;
};

int runFrontEnd(const Options& options, const std::optional<std::filesystem::path>& tour) {
  std::optional<TemporaryFolder> scratch;
  std::filesystem::path data = options.data.value_or(defaultDataFolder());
  if (tour && !options.data) {
    scratch.emplace();
    data = scratch->path();
    if (options.database.empty())
      std::printf("tour: a fresh sample database in %s (removed afterwards; --data DIR keeps one)\n",
                  data.string().c_str());
  }
  Session session(data, formsFolder(), options.database);
  if (tour && !options.data && !options.database.empty())
    std::printf("tour: on the database %s, settings in %s (removed afterwards; --data DIR keeps them)\n",
                tarnwick::toUtf8(session.shownDatabaseName()).c_str(), data.string().c_str());
  if (tour) return runTour(session, *tour);
  SearchForm search(session);
  search.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parse(argc, argv);
  if (!options) return argc > 1 && std::string_view(argv[1]) == "--help" ? 0 : 2;
  std::optional<std::filesystem::path> tour = options->tour;
  if (!hasDisplay()) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    quietOffscreenNotes();
    if (!tour) tour = std::filesystem::path("tour");
  }
  // The tour types its dates in the month/day/year order.
  if (tour) tarnwick::setProcessLocale(tarnwick::Locale::enUS());
  QApplication app(argc, argv);
  // Boxes that answer themselves (no screen, or the tour's) say so on standard error.
  tarnwick::host::messageLog().echoTo(stderr);
  QtHostScope host;
  try {
    return runFrontEnd(*options, tour);
  } catch (const tarnwick::Error& e) {
    std::fprintf(stderr, "orders: error %d: %s\n", e.number(), tarnwick::toUtf8(e.message()).c_str());
    return 1;
  }
}
