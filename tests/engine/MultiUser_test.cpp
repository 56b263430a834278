// Several users on one database file: Database objects in one process and
// in other processes (forked), reading and saving at the same time.
#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace tarnwick {
namespace {

using testing::column;
using testing::errorOf;
using testing::makeOrdersDatabase;
using testing::TempDir;
using testing::u16;

Object openDatabase(const std::filesystem::path& file) {
  return Object(testing::engineObject().call(u"OpenDatabase", u16(file)));
}

// Runs `body` in a forked process; its exit status is 0 when it ran
// without an error, 1 with one (printed).
pid_t inChild(const std::function<void()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 0;
    try {
      body();
    } catch (const Error& e) {
      std::fprintf(stderr, "child: %d %s\n", e.number(), e.what());
      code = 1;
    }
    ::_exit(code);
  }
  return child;
}

int exitOf(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string shell(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    ::pclose(p);
  }
  return out;
}

TEST(MultiUser, TwoDatabasesInOneProcessInterleaveReadsAndSaves) {
  TempDir dir;
  makeOrdersDatabase(dir / "orders.db").call(u"Close");
  Object first = openDatabase(dir / "orders.db");
  Object second = openDatabase(dir / "orders.db");
  // A recordset of each, left in the middle of its records, with a jump.
  Object reading(first.call(u"OpenRecordset", u"SELECT * FROM Orders ORDER BY OrderId", Variant(std::int16_t{2})));
  reading.call(u"MoveNext");
  Object jumped(second.call(u"OpenRecordset", u"Orders"));
  jumped.put(u"Index", Variant(u"PrimaryKey"));
  jumped.call(u"Seek", Variant(u"="), Variant(3));
  ASSERT_FALSE(toBool(jumped.get(u"NoMatch")));
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    Object saving(round % 2 ? first.call(u"OpenRecordset", u"Orders") : second.call(u"OpenRecordset", u"Orders"));
    saving.call(u"Edit");
    saving.put(u"Collect", {Variant(u"Qty")}, Variant(round));
    ASSERT_NO_THROW(saving.call(u"Update"));
    (round % 2 ? second : first).call(u"Execute", u"UPDATE Orders SET Qty = Qty + 1 WHERE OrderId = 5");
    // Each reader sees what the other committed when it moves on.
    if (toBool(reading.get(u"EOF"))) reading.call(u"MoveFirst");
    else reading.call(u"MoveNext");
    jumped.call(u"MovePrevious");
    if (toBool(jumped.get(u"BOF"))) jumped.call(u"MoveLast");
    Object fresh(second.call(u"OpenRecordset", u"SELECT Qty FROM Orders WHERE OrderId = 1"));
    EXPECT_EQ(toInt32(fresh.get(u"Collect", {Variant(u"Qty")})), round);
  }
  reading.call(u"MoveFirst");
  EXPECT_EQ(toInt32(reading.get(u"Collect", {Variant(u"Qty")})), 19);
  reading.call(u"MoveLast");
  EXPECT_EQ(toInt32(reading.get(u"Collect", {Variant(u"Qty")})), 11 + 20);
  // The file stays one that other programs read and write.
  first.call(u"Close");
  second.call(u"Close");
  const std::string file = (dir / "orders.db").string();
  EXPECT_EQ(shell("sqlite3 '" + file + "' 'PRAGMA journal_mode'"), "wal\n");
  EXPECT_EQ(shell("sqlite3 '" + file + "' 'UPDATE Orders SET Qty = 40 WHERE OrderId = 2; SELECT Qty FROM Orders WHERE OrderId = 2'"),
            "40\n");
  EXPECT_EQ(column(Object(openDatabase(dir / "orders.db").call(u"OpenRecordset", u"Orders")), u"Qty"), u"19,40,2,5,31");
}

TEST(MultiUser, OpeningWhileAnotherProcessCommitsWaitsInsteadOfFailing) {
  TempDir dir;
  makeOrdersDatabase(dir / "orders.db").call(u"Close");
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t writer = inChild([&] {
    ::close(go[1]);
    Object db = openDatabase(dir / "orders.db");
    char c = 0;
    (void)!::read(go[0], &c, 1);
    for (int i = 0; i < 400; ++i) db.call(u"Execute", u"UPDATE Orders SET Qty = Qty + 1 WHERE OrderId = 1");
  });
  ::close(go[0]);
  (void)!::write(go[1], "g", 1);
  ::close(go[1]);
  int opened = 0;
  for (int i = 0; i < 200; ++i) {
    SCOPED_TRACE(i);
    Object db = openDatabase(dir / "orders.db");
    Object rs(db.call(u"OpenRecordset", u"Orders"));
    EXPECT_FALSE(toBool(rs.get(u"EOF")));
    ++opened;
  }
  EXPECT_EQ(opened, 200);
  EXPECT_EQ(exitOf(writer), 0);
  Object rs(openDatabase(dir / "orders.db").call(u"OpenRecordset", u"SELECT Qty FROM Orders WHERE OrderId = 1"));
  EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"Qty")})), 405);
  // A file that truly cannot be opened is still 3051.
  EXPECT_EQ(errorOf([&] { openDatabase(dir.path()); }), errc::CannotOpenDatabase);
}

}  // namespace
}  // namespace tarnwick
