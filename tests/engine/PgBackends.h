#pragma once
// Both backends side by side for the tests that compare them: a database
// file in a fresh directory and a session with the private server. The
// server's tables are named per test (the tests share the server); those
// noted in `made` are dropped at the end.
#include "../../src/engine/Connection.h"
#include "../../src/engine/postgres/PgCatalogue.h"
#include "../../src/engine/postgres/PgConnection.h"
#include "../../src/engine/SchemaCatalogue.h"
#include "EngineTesting.h"
#include "PgTesting.h"

#include <string>
#include <vector>

namespace tarnwick::engine {

struct BothBackends {
  testing::TempDir dir;
  Connection file;
  SchemaCatalogue fileSchema;
  PgConnection server;
  PgCatalogue serverSchema;
  std::vector<std::u16string> made;

  BothBackends(const std::string& uri, const char* fileName)
      : file(dir / fileName, true, false, 0), fileSchema(file.session()), server(uri), serverSchema(server) {}
  ~BothBackends() {
    for (const auto& table : made) drop(table);
  }
  BothBackends(const BothBackends&) = delete;
  BothBackends& operator=(const BothBackends&) = delete;

  void drop(std::u16string_view table) {
    try {
      server.exec("DROP TABLE IF EXISTS " + quoteName(table));
      serverSchema.forget(table);
    } catch (const Error& e) {
      ADD_FAILURE() << shown(e);
    }
  }
};

}  // namespace tarnwick::engine
