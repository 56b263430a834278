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

struct DatabaseCore {
  // A database by its name: a file's path, or a server's connection URI.
  DatabaseCore(const std::filesystem::path& path, bool create, bool readOnly, int busyMilliseconds)
      : connection(path, create, readOnly, busyMilliseconds),
        catalogue(connection.session()),
        name(connection.name()),
        locks(connection.session().recordLockStore()) {}

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
