#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/frame/Activation.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <thread>

namespace tarnwick {
namespace {

using testing::column;
using testing::errorOf;
using testing::makeOrdersDatabase;
using testing::TempDir;
using testing::u16;

TEST(DBEngine, OneEnginePerThroughActivation) {
  Object first(frame::createObject(u"{00000010-0000-0010-8000-00AA006D2EA4}"));
  Object second(frame::createObject(u"Tarnwick.DBEngine"));
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(first.typeName(), u"DBEngine");
  EXPECT_TRUE(first.supports(engine::kDBEngineInterfaceId));
  IDispatch* other = nullptr;
  std::thread([&] {
    Object there(frame::createObject(u"{00000010-0000-0010-8000-00AA006D2EA4}"));
    other = there.get();  // only compared, never used: it dies with its thread
  }).join();
  EXPECT_NE(other, first.get());
}

class DBEngineOn : public testing::OnBackends {};

TEST_P(DBEngineOn, NestedTransactionsCoverEveryOpenDatabase) {
  testing::TestDatabase second(GetParam());
  Object engine = testing::engineObject();
  Object a = makeOrdersDatabase(fresh());
  Object b = makeOrdersDatabase(second.name("b.db"));
  const auto count = [](const Object& db) {
    return toInt32(Object(db.call(u"TableDefs", u"Orders")).get(u"RecordCount"));
  };
  engine.call(u"BeginTrans");
  a.call(u"Execute", u"DELETE FROM Orders WHERE OrderId = 1");
  engine.call(u"BeginTrans");
  b.call(u"Execute", u"Delete * From Orders");
  Object rs(a.call(u"OpenRecordset", u"Orders"));
  rs.call(u"Edit");
  rs.put(u"Collect", {Variant(u"Qty")}, Variant(99));
  rs.call(u"Update");
  engine.call(u"Rollback");  // the inner one: b keeps its orders, Qty is back
  EXPECT_EQ(count(b), 5);
  EXPECT_EQ(count(a), 4);
  EXPECT_EQ(column(Object(a.call(u"OpenRecordset", u"Orders")), u"Qty"), u"7,2,5,11");
  engine.call(u"BeginTrans");
  b.call(u"Execute", u"Delete From Orders Where Qty = 5");
  engine.call(u"CommitTrans");  // the inner one: kept as part of the outer
  engine.call(u"CommitTrans", 0);
  EXPECT_EQ(count(a), 4);
  EXPECT_EQ(count(b), 3);
  // A database opened during a transaction joins it.
  engine.call(u"BeginTrans");
  Object late(engine.call(u"OpenDatabase", fresh()));
  late.call(u"Execute", u"Delete * From Customers");
  engine.call(u"Rollback");
  EXPECT_EQ(toInt32(Object(late.call(u"TableDefs", u"Customers")).get(u"RecordCount")), 3);
  EXPECT_EQ(errorOf([&] { engine.call(u"CommitTrans"); }), errc::NoTransaction);
  EXPECT_EQ(errorOf([&] { engine.call(u"Rollback"); }), errc::NoTransaction);
}

TEST(DBEngine, OpeningFilesThatAreNoDatabases) {
  TempDir dir;
  Object engine = testing::engineObject();
  EXPECT_EQ(errorOf([&] { engine.call(u"OpenDatabase", u16(dir / "missing.db")); }), errc::CouldNotFindFile);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.db"));
  {
    std::FILE* f = std::fopen((dir / "text.db").c_str(), "w");
    std::fputs("This is a plain text file, long enough to have a header of its own. Nothing more.\n", f);
    std::fclose(f);
  }
  try {
    engine.call(u"OpenDatabase", u16(dir / "text.db"));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::UnrecognizedFormat);
    EXPECT_EQ(e.description(), u"Unrecognized database format '" + u16(dir / "text.db") + u"'.");
  }
  EXPECT_EQ(errorOf([&] { engine.call(u"OpenDatabase", u16(dir.path())); }), errc::CannotOpenDatabase);
  makeOrdersDatabase(dir / "orders.db").call(u"Close");
  EXPECT_EQ(errorOf([&] { engine.call(u"CreateDatabase", u16(dir / "orders.db")); }), errc::DatabaseExists);
  EXPECT_EQ(errorOf([&] { engine.call(u"CreateDatabase", u16(dir / "no" / "such" / "dir.db")); }), errc::CannotOpenDatabase);
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));

  // A file without write permission opens for reading and refuses changes.
  std::filesystem::permissions(dir / "orders.db", std::filesystem::perms::owner_read);
  if (::access((dir / "orders.db").c_str(), W_OK) != 0) {  // root may write anyway
    Object db(engine.call(u"OpenDatabase", u16(dir / "orders.db")));
    EXPECT_FALSE(toBool(db.get(u"Updatable")));
    Object rs(db.call(u"OpenRecordset", u"Orders"));
    EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"Qty")})), 5);
    EXPECT_EQ(errorOf([&] { rs.call(u"Edit"); }), errc::ReadOnly);
    EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"Delete * From Orders"); }), errc::ReadOnly);
  }
  // Read-only on request.
  std::filesystem::permissions(dir / "orders.db", std::filesystem::perms::owner_all);
  Object readOnly(engine.call(u"OpenDatabase", u16(dir / "orders.db"), false, true));
  EXPECT_EQ(errorOf([&] { readOnly.call(u"Execute", u"Delete * From Orders"); }), errc::ReadOnly);
  EXPECT_EQ(errorOf([&] { Object(readOnly.call(u"OpenRecordset", u"Orders")).call(u"AddNew"); }), errc::ReadOnly);
}

// The number of the error `open` raises on another thread (which has an
// engine of its own), or -1 when it is still waiting after ten seconds.
int openingError(const std::function<void()>& open) {
  auto opened = std::async(std::launch::async, [&] {
    try {
      open();
    } catch (const Error& e) {
      return e.number();
    }
    return 0;
  });
  if (opened.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return opened.get();
  return -1;
}

TEST(DBEngine, NamesThatHoldNoDatabaseAreRefusedAtOnceAndLeftAsTheyWere) {
  TempDir dir;
  // A FIFO: opening it for reading would wait for a writer for ever.
  const std::filesystem::path fifo = dir / "pipe.db";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const bool readOnly : {false, true}) {
    const int number = openingError([&] { engine::DBEngine::forThisThread()->openDatabase(fifo, readOnly); });
    if (number == -1) {
      // Lets the waiting opening go before failing.
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
    }
    EXPECT_EQ(number, errc::CouldNotFindFile) << (readOnly ? "read-only" : "read-write");
  }
  EXPECT_EQ(openingError([&] { engine::DBEngine::forThisThread()->createDatabase(fifo); }), errc::DatabaseExists);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));

  // Files too short to hold a database are never written over.
  const auto fileOf = [&](const char* name, std::string_view bytes) {
    const std::filesystem::path path = dir / name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  };
  const auto contentOf = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  Object engine = testing::engineObject();
  for (const std::string_view bytes : {std::string_view("x"), std::string_view("SQLite format 3")}) {
    const std::filesystem::path shortFile = fileOf("short.db", bytes);
    EXPECT_EQ(errorOf([&] { engine.call(u"OpenDatabase", u16(shortFile)); }), errc::UnrecognizedFormat);
    EXPECT_EQ(errorOf([&] { engine.call(u"OpenDatabase", u16(shortFile), false, true); }), errc::UnrecognizedFormat);
    EXPECT_EQ(errorOf([&] { engine.call(u"CreateDatabase", u16(shortFile)); }), errc::DatabaseExists);
    EXPECT_EQ(contentOf(shortFile), bytes);
  }
  // An empty file holds no database to open; creating one in it is fine.
  const std::filesystem::path empty = fileOf("empty.db", {});
  EXPECT_EQ(errorOf([&] { engine.call(u"OpenDatabase", u16(empty)); }), errc::UnrecognizedFormat);
  EXPECT_EQ(std::filesystem::file_size(empty), 0u);
  Object made(engine.call(u"CreateDatabase", u16(empty)));
  made.call(u"Execute", u"CREATE TABLE T (N LONG)");
  made.call(u"Execute", u"INSERT INTO T (N) VALUES (7)");
  made.call(u"Close");
  Object reopened(engine.call(u"OpenDatabase", u16(empty)));
  EXPECT_EQ(toInt32(Object(reopened.call(u"OpenRecordset", u"T")).get(u"Collect", {Variant(u"N")})), 7);
}

TEST(DBEngine, ADatabaseInAFolderThisUserCannotWriteOpensForReading) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to act as a user who may only read";
  TempDir dir;
  const auto folder = dir / "readable";
  std::filesystem::create_directory(folder);
  makeOrdersDatabase(folder / "orders.db").call(u"Close");
  ASSERT_FALSE(std::filesystem::exists(folder / "orders.db-wal"));
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                               std::filesystem::perms::others_exec);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                           std::filesystem::perms::others_exec);
  std::filesystem::permissions(folder / "orders.db",
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                   std::filesystem::perms::others_read);
  const pid_t reader = ::fork();
  if (reader == 0) {
    int code = 0;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(61004, 61004, 61004) != 0 || ::setresuid(61004, 61004, 61004) != 0)
      ::_exit(99);
    try {
      for (const bool readOnly : {true, false}) {
        ComPtr<engine::Database> db = engine::DBEngine::forThisThread()->openDatabase(folder / "orders.db", readOnly);
        Object rs(Object(db.as<IDispatch>()).call(u"OpenRecordset", u"SELECT * FROM Orders ORDER BY OrderId"));
        rs.call(u"MoveLast");
        if (toInt32(rs.get(u"RecordCount")) != 5) code = 2;
        try {
          Object(db.as<IDispatch>()).call(u"Execute", u"Delete * From Orders");
          code = 3;
        } catch (const Error& e) {
          if (e.number() != errc::ReadOnly) code = 4;
        }
        db->close();
      }
    } catch (const Error& e) {
      std::fprintf(stderr, "reader: %d %s\n", e.number(), e.what());
      code = 1;
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(reader, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(std::filesystem::exists(folder / "orders.db-wal"));
  Object rs(Object(testing::engineObject().call(u"OpenDatabase", u16(folder / "orders.db"))).call(u"OpenRecordset", u"Orders"));
  rs.call(u"MoveLast");
  EXPECT_EQ(toInt32(rs.get(u"RecordCount")), 5);
}

TEST(DBEngine, AnotherProcessWritingLocksTheFile) {
  TempDir dir;
  makeOrdersDatabase(dir / "orders.db").call(u"Close");
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // The writer: holds a write transaction open until told to let go.
    ::close(ready[0]);
    ::close(release[1]);
    int code = 0;
    try {
      Object engine(engine::DBEngine::forThisThread().as<IDispatch>());
      Object database(engine.call(u"OpenDatabase", u16(dir / "orders.db")));
      engine.call(u"BeginTrans");
      database.call(u"Execute", u"UPDATE Orders SET Qty = 1");
      char c = 'r';
      (void)!::write(ready[1], &c, 1);
      (void)!::read(release[0], &c, 1);
      engine.call(u"Rollback");
    } catch (const Error& e) {
      std::fprintf(stderr, "writer: %d %s\n", e.number(), e.what());
      code = 1;
    }
    ::_exit(code);
  }
  ::close(ready[1]);
  ::close(release[0]);
  char c = 0;
  if (::read(ready[0], &c, 1) != 1) {
    int status = 0;
    ::waitpid(child, &status, 0);
    FAIL() << "the writer failed: " << WEXITSTATUS(status);
  }
  // A short wait: the writer holds on until it is told to let go.
  EXPECT_EQ(toInt32(testing::engineObject().get(u"BusyTimeout")), engine::DBEngine::kDefaultBusyTimeout);
  EXPECT_EQ(errorOf([&] { testing::engineObject().put(u"BusyTimeout", Variant(-1)); }), errc::InvalidArgument);
  constexpr int kWait = 100;
  testing::engineObject().put(u"BusyTimeout", Variant(kWait));
  Object db(testing::engineObject().call(u"OpenDatabase", u16(dir / "orders.db")));
  Object rs(db.call(u"OpenRecordset", u"Orders"));
  rs.call(u"Edit");
  rs.put(u"Collect", {Variant(u"Qty")}, Variant(3));
  const auto start = std::chrono::steady_clock::now();
  try {
    rs.call(u"Update");
    ADD_FAILURE() << "written while another process writes";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::Locked);
    EXPECT_EQ(e.description(), u"Could not update; currently locked.");
  }
  // It waited as long as it was told to, and not the default.
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(kWait));
  EXPECT_LT(waited, std::chrono::milliseconds(engine::DBEngine::kDefaultBusyTimeout));
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"Delete * From Orders"); }), errc::Locked);
  EXPECT_EQ(toInt32(rs.get(u"EditMode")), 1);  // the edit is kept for a later try
  (void)!::write(release[1], &c, 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  testing::engineObject().put(u"BusyTimeout", Variant(engine::DBEngine::kDefaultBusyTimeout));
  rs.call(u"Update");
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Orders")), u"Qty"), u"3,7,2,5,11");
}

TEST(DBEngine, ACrashInsideATransactionLeavesTheFileAsItWas) {
  TempDir dir;
  makeOrdersDatabase(dir / "orders.db").call(u"Close");
  const pid_t child = ::fork();
  if (child == 0) {
    try {
      Object engine(engine::DBEngine::forThisThread().as<IDispatch>());
      Object db(engine.call(u"OpenDatabase", u16(dir / "orders.db")));
      engine.call(u"BeginTrans");
      db.call(u"Execute", u"Delete * From Orders");
      Object rs(db.call(u"OpenRecordset", u"Customers"));
      for (int i = 0; i < 500; ++i) {
        rs.call(u"AddNew");
        rs.put(u"Collect", {Variant(u"Name")}, Variant(u"crash"));
        rs.call(u"Update");
      }
    } catch (...) {
      ::_exit(2);
    }
    ::abort();  // dies with the transaction open
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  Object db(testing::engineObject().call(u"OpenDatabase", u16(dir / "orders.db")));
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Orders")), u"OrderId"), u"1,2,3,4,5");
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Customers")), u"Name"), u"Smith,Jones,Miller");
}

}  // namespace
INSTANTIATE_TEST_SUITE_P(Backends, DBEngineOn, testing::kBothBackends, testing::backendName);

}  // namespace tarnwick
