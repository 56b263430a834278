#include "Session.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/engine/SampleDatabase.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/Folders.h>
#include <tarnwick/host/Services.h>

#include <cstdlib>
#include <memory>
#include <system_error>

namespace orders {

using namespace tarnwick;

namespace {

// The engine's application object.
constexpr std::u16string_view kEngineClass = u"{00000010-0000-0010-8000-00AA006D2EA4}";

void makeFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder))
    tarnwick::raise(Error(errc::PathNotFound, u"Path not found: " + pathText(folder)));
}

}  // namespace

Session::Session(std::filesystem::path dataFolder, std::filesystem::path formsFolder, std::u16string database)
    : dataFolder_(std::move(dataFolder)),
      formsFolder_(std::move(formsFolder)),
      databaseName_(database.empty() ? pathText(dataFolder_ / "orders.db") : std::move(database)) {
  makeFolder(dataFolder_);
  makeFolder(dataFolder_ / "system");
  host::setFolders(std::make_shared<host::FixedFolders>(dataFolder_ / "system", dataFolder_));
  library_ = Library{Object(frame::createObject(u"Tarnwick.DataAccessWrapper")),
                     Object(frame::createObject(u"Tarnwick.OcxWrapper")),
                     Object(frame::createObject(u"Tarnwick.Customize")),
                     Object(frame::createObject(u"Tarnwick.APIWrapper"))};
  const Object engine(frame::createObject(kEngineClass));
  const std::string name = toUtf8(databaseName_);
  if (!isServerDatabase(databaseName_)) {
    if (!std::filesystem::exists(name)) {
      engine::createSampleDatabase(name, kSampleOrders);
      firstRun_ = true;
    }
    database_ = Object(engine.call(u"OpenDatabase", databaseName_));
    return;
  }
  database_ = Object(engine.call(u"OpenDatabase", databaseName_));
  try {
    database_.call(u"OpenRecordset", u"Orders", kSnapshot);
  } catch (const Error& e) {
    if (e.number() != errc::TableNotFound) throw;
    database_.call(u"Close");
    database_ = Object();
    engine::createSampleDatabase(name, kSampleOrders);
    firstRun_ = true;
    database_ = Object(engine.call(u"OpenDatabase", databaseName_));
  }
}

std::u16string Session::shownDatabaseName() const { return toText(database_.get(u"Name")); }

bool isServerDatabase(std::u16string_view name) { return engine::namesConnection(name); }

Session::~Session() {
  // The database closes before the folders it lives in are forgotten.
  if (database_) {
    try {
      database_.call(u"Close");
    } catch (const Error&) {
      // Already closed: nothing to give back.
    }
  }
  database_ = Object();
  library_ = Library{};
  host::setFolders(nullptr);
}

Object Session::open(std::u16string_view source, std::int16_t type) const {
  return Object(database_.call(u"OpenRecordset", std::u16string(source), type));
}

std::u16string Session::defaultsFile() const { return pathText(dataFolder_ / "defaults.ini"); }

std::u16string Session::datePattern() const { return userLocale().shortDatePattern; }

std::filesystem::path defaultDataFolder() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
    return std::filesystem::path(data) / "tarnwick-orders";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".local" / "share" / "tarnwick-orders";
}

std::u16string pathText(const std::filesystem::path& path) { return fromUtf8(path.string()); }

Object objectOf(const Object& owner, std::u16string_view member) { return Object(owner.get(member)); }

}  // namespace orders
