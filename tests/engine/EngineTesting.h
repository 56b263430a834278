#pragma once
// Helpers of the engine's tests: a fresh directory per test, and an
// engine database in it with a small Orders schema, driven by name.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/engine/Database.h>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarnwick::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-engine-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The engine's two backends: a database file, or a database on the private
// server that the test command starts (TARNWICK_TEST_PG names it).
enum class Backend { File, Server };

inline void PrintTo(Backend backend, std::ostream* out) { *out << (backend == Backend::File ? "file" : "server"); }

inline std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::File ? "File" : "Server";
}

// A fresh, empty database of a backend: a file in a folder of its own, or a
// schema of its own on the server (the session's search path names it),
// dropped at the end.
class TestDatabase {
 public:
  explicit TestDatabase(Backend backend) : backend_(backend) {
    if (backend == Backend::File) return;
    const char* server = std::getenv("TARNWICK_TEST_PG");
    if (!server || !*server) return;
    static std::atomic<int> made{0};
    schema_ = "tw_test_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
    admin(server, "CREATE SCHEMA " + schema_);
    // Its sessions are known by their application's name, the schema's.
    uri_ = std::string(server) + "?options=-csearch_path%3D" + schema_ + "&application_name=" + schema_;
  }
  ~TestDatabase() {
    if (!schema_.empty()) admin(std::getenv("TARNWICK_TEST_PG"), "DROP SCHEMA " + schema_ + " CASCADE");
  }
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // False for the server's backend when no server was started.
  bool available() const { return backend_ == Backend::File || !uri_.empty(); }
  Backend backend() const { return backend_; }
  // The name OpenDatabase and CreateDatabase take.
  std::u16string name(const char* file = "orders.db") const {
    return backend_ == Backend::File ? fromUtf8((dir_.path() / file).string()) : fromUtf8(uri_);
  }
  const TempDir& dir() const { return dir_; }
  const std::string& schema() const { return schema_; }
  // Runs SQL on the server in this database's schema, as another program
  // would (nothing for a file).
  void serverSql(const std::string& sql) const {
    if (!schema_.empty()) admin(std::getenv("TARNWICK_TEST_PG"), "SET search_path = " + schema_ + "; " + sql);
  }
  // The name a database shows: a file's path, or the server's URI without
  // its password and options.
  std::u16string shown() const {
    if (backend_ == Backend::File) return name();
    std::string text = uri_.substr(0, uri_.find('?'));
    const auto colon = text.find(':', text.find("://") + 3);
    text.erase(colon, text.find('@') - colon);
    return fromUtf8(text);
  }

 private:
  static void admin(const char* server, const std::string& sql) {
    PGconn* c = PQconnectdb(server);
    PQsetNoticeProcessor(c, [](void*, const char*) {}, nullptr);
    if (PQstatus(c) == CONNECTION_OK) PQclear(PQexec(c, sql.c_str()));
    PQfinish(c);
  }
  Backend backend_;
  TempDir dir_;
  std::string schema_, uri_;
};

// Tests that run on both backends: TEST_P(OnBackends-derived, ...) with
// INSTANTIATE_TEST_SUITE_P(Backends, Suite, kBothBackends, backendName).
class OnBackends : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (!database_.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
  }
  std::u16string fresh() const { return database_.name(); }
  std::u16string shown() const { return database_.shown(); }
  // A form's text whose data controls name `file` by name alone, naming
  // this test's database instead.
  std::string withDatabase(std::string text, std::string_view file) const {
    const std::string named = "\"" + std::string(file) + "\"";
    const std::string fresh = "\"" + toUtf8(database_.name()) + "\"";
    for (auto at = text.find(named); at != std::string::npos; at = text.find(named, at + fresh.size()))
      text.replace(at, named.size(), fresh);
    return text;
  }
  bool onServer() const { return GetParam() == Backend::Server; }
  TestDatabase database_{GetParam()};
};

inline const auto kBothBackends = ::testing::Values(Backend::File, Backend::Server);

inline Object engineObject() {
  return Object(engine::DBEngine::forThisThread().as<IDispatch>());
}

// A test that failed earlier on this thread may have left a transaction
// open on the thread's engine; a test that needs none rolls them back.
inline void endLeftoverTransactions() {
  for (int i = 0; i < 100; ++i) {
    try {
      engineObject().call(u"Rollback");
    } catch (const Error&) {
      return;  // no transaction left
    }
  }
}

inline std::u16string u16(const std::filesystem::path& p) { return fromUtf8(p.string()); }

// Runs the stock sqlite3 shell on a file and returns what it prints.
inline std::string sqliteShell(const std::filesystem::path& file, const std::string& sql) {
  const std::string command = "/usr/bin/sqlite3 -batch '" + file.string() + "' \"" + sql + "\" 2>&1";
  std::string out;
  if (std::FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    ::pclose(p);
  }
  return out;
}

// Customers(CustomerId counter key, Name text(30) required, City text(20));
// Orders(OrderId long key, CustomerId long, Customer text(30), Qty integer,
// OrderDate date, Paid yes/no, Price currency, Note text(10)) with an index
// on Customer and one on (CustomerId, OrderDate).
inline Object makeOrdersDatabase(const std::u16string& name) {
  Object db(engineObject().call(u"CreateDatabase", name));
  db.call(u"Execute",
          u"CREATE TABLE Customers (CustomerId COUNTER PRIMARY KEY, Name TEXT(30) NOT NULL, City TEXT(20))");
  db.call(u"Execute",
          u"CREATE TABLE Orders (OrderId LONG PRIMARY KEY, CustomerId LONG, Customer TEXT(30), Qty SHORT, "
          u"OrderDate DATETIME, Paid YESNO, Price CURRENCY, Note TEXT(10))");
  db.call(u"Execute", u"CREATE INDEX ByCustomer ON Orders (Customer)");
  db.call(u"Execute", u"CREATE UNIQUE INDEX ByCustomerDate ON Orders (CustomerId, OrderDate)");
  db.call(u"Execute", u"INSERT INTO Customers (Name, City) VALUES ('Smith', 'Berlin')");
  db.call(u"Execute", u"INSERT INTO Customers (Name, City) VALUES ('Jones', 'Bonn')");
  db.call(u"Execute", u"INSERT INTO Customers (Name, City) VALUES ('Miller', 'Hamburg')");
  db.call(u"Execute",
          u"INSERT INTO Orders VALUES (1, 1, 'Smith', 5, #1/2/1998#, True, 12.5, 'first')");
  db.call(u"Execute",
          u"INSERT INTO Orders VALUES (2, 2, 'Jones', 7, #1/15/1998#, False, 3, Null)");
  db.call(u"Execute",
          u"INSERT INTO Orders VALUES (3, 1, 'Smith', 2, #2/1/1998#, False, 8.25, 'third')");
  db.call(u"Execute",
          u"INSERT INTO Orders VALUES (4, 3, 'Miller', 5, #3/10/1998#, True, 100, Null)");
  db.call(u"Execute",
          u"INSERT INTO Orders VALUES (5, 2, 'jones', 11, #12/24/1998#, False, 0.5, 'last')");
  return db;
}

inline Object makeOrdersDatabase(const std::filesystem::path& file) { return makeOrdersDatabase(u16(file)); }

// The values of one field over all records, in order, joined by ",".
inline std::u16string column(const Object& rs, const char16_t* field) {
  std::u16string out;
  if (!toBool(rs.get(u"BOF")) || !toBool(rs.get(u"EOF"))) rs.call(u"MoveFirst");
  while (!toBool(rs.get(u"EOF"))) {
    if (!out.empty()) out += u",";
    out += toText(rs.get(u"Collect", {Variant(field)}));
    rs.call(u"MoveNext");
  }
  return out;
}

}  // namespace tarnwick::testing
