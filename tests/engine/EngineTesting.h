#pragma once
// Helpers of the engine's tests: a fresh directory per test, and an
// engine database in it with a small Orders schema, driven by name.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/engine/Database.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
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

// Customers(CustomerId counter key, Name text(30) required, City text(20));
// Orders(OrderId long key, CustomerId long, Customer text(30), Qty integer,
// OrderDate date, Paid yes/no, Price currency, Note text(10)) with an index
// on Customer and one on (CustomerId, OrderDate).
inline Object makeOrdersDatabase(const std::filesystem::path& file) {
  Object db(engineObject().call(u"CreateDatabase", u16(file)));
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

// Runs the stock sqlite3 shell and returns what it prints.
inline std::string shell(const std::filesystem::path& file, const std::string& sql) {
  const std::string command = "/usr/bin/sqlite3 -batch '" + file.string() + "' \"" + sql + "\" 2>&1";
  std::string out;
  if (std::FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    ::pclose(p);
  }
  return out;
}

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
