#pragma once
// What the forms of the Orders front end share: the data folder with the
// sample database, the library's four classes, and the forms' files.
//
// The data folder is also the front end's settings folder: the three
// customisation files and the file of default values lie in it, so that
// one folder holds everything a user's copy of the program keeps.
#include <tarnwick/automation/Object.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orders {

using tarnwick::Object;
using tarnwick::Variant;

// The library's four classes, created by programmatic identifier as every
// client creates them.
struct Library {
  Object dataAccess;     // Tarnwick.DataAccessWrapper
  Object ocx;     // Tarnwick.OcxWrapper
  Object custom;  // Tarnwick.Customize
  Object api;     // Tarnwick.APIWrapper
};

// Recordset types of the data engine.
inline constexpr std::int16_t kTable = 1, kDynaset = 2, kSnapshot = 4;

// How many orders a new sample database gets.
inline constexpr int kSampleOrders = 1000;

class Session {
 public:
  // Makes the library's classes creatable in this process, makes
  // `dataFolder` the settings folder and opens the database: `database`
  // names a file or a server database (postgresql://user@host:port/db),
  // else it is orders.db in the data folder. The sample database is made on
  // first use: a file that does not exist, or a server database without an
  // Orders table (which must then hold no tables at all). Error 76 when the
  // folder cannot be made, the engine's errors when the database does not
  // open.
  Session(std::filesystem::path dataFolder, std::filesystem::path formsFolder, std::u16string database = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const Library& library() const noexcept { return library_; }
  const Object& database() const noexcept { return database_; }
  const std::filesystem::path& dataFolder() const noexcept { return dataFolder_; }
  // The name the database is opened by (a path, or a URI with its password).
  const std::u16string& databaseName() const noexcept { return databaseName_; }
  // The name it shows: a server's URI without the password.
  std::u16string shownDatabaseName() const;
  // The Qt Designer file of a form ("search.ui").
  std::filesystem::path formFile(std::string_view name) const { return formsFolder_ / name; }
  // True when this session created the sample database (the first run).
  bool firstRun() const noexcept { return firstRun_; }

  // A recordset of the database: a table name or a statement.
  Object open(std::u16string_view source, std::int16_t type = kDynaset) const;
  // The per-control default values, a full path so that it is this folder's file.
  std::u16string defaultsFile() const;
  // The pattern in which dates are shown and typed: the user's short date.
  std::u16string datePattern() const;

 private:
  std::filesystem::path dataFolder_;
  std::filesystem::path formsFolder_;
  std::u16string databaseName_;
  bool firstRun_ = false;
  Library library_;
  Object database_;
};

// The folder the front end keeps its data in when none is given:
// $XDG_DATA_HOME/tarnwick-orders, else ~/.local/share/tarnwick-orders.
std::filesystem::path defaultDataFolder();

// Whether a database's name is a server's connection URI (postgresql://...)
// rather than a file's path.
bool isServerDatabase(std::u16string_view name);

// Text of a path for the library's routines.
std::u16string pathText(const std::filesystem::path& path);

// A member of an object by name, as an object.
Object objectOf(const Object& owner, std::u16string_view member);

}  // namespace orders
