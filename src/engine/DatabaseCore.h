#pragma once
// Private to the engine: what a Database object and the recordsets opened
// on it share. Recordsets hold it too, so that a database closed under an
// open recordset fails cleanly (3420) instead of pulling storage away.
#include "Connection.h"
#include "RecordLocks.h"
#include "SchemaCatalogue.h"

#include <filesystem>
#include <string_view>
#include <string>
#include <vector>

namespace tarnwick::engine {

// Whether a database's name is a server's connection URI rather than a file.
inline bool isServerName(std::string_view name) noexcept {
  const auto scheme = [&](std::string_view prefix) {
    if (name.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
      if ((name[i] | 0x20) != prefix[i] && name[i] != prefix[i]) return false;
    return true;
  };
  return scheme("postgresql://") || scheme("postgres://");
}

struct DatabaseCore {
  DatabaseCore(const std::filesystem::path& path, bool create, bool readOnly, int busyMilliseconds)
      : connection(path, create, readOnly, busyMilliseconds),
        catalogue(connection),
        name(fromUtf8(path.string())),
        locks(path) {}
  // A server's database, by its connection URI.
  DatabaseCore(std::string_view serverUri, bool readOnly, int busyMilliseconds)
      : connection(serverUri, readOnly, busyMilliseconds),
        catalogue(connection),
        name(connection.name()),
        locks(*connection.server()) {}

  Connection connection;
  SchemaCatalogue catalogue;
  std::u16string name;
  RecordLocks locks;
  // Temporary tables whose drop had to wait for running statements.
  std::vector<std::string> leftoverTemporaries;
  // Rows changed by the last Execute.
  std::int64_t recordsAffected = 0;
};

}  // namespace tarnwick::engine
