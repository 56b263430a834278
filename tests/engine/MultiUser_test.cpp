// Several users on one database file: Database objects in one process and
// in other processes (forked), reading and saving at the same time.
#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/frame/RecordWalk.h>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

using testing::column;
using testing::errorOf;
using testing::makeOrdersDatabase;
using testing::sqliteShell;
using testing::TempDir;
using testing::u16;

Object openDatabase(const std::u16string& name) { return Object(testing::engineObject().call(u"OpenDatabase", name)); }
Object openDatabase(const std::filesystem::path& file) { return openDatabase(u16(file)); }

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
  const auto file = dir / "orders.db";
  EXPECT_EQ(sqliteShell(file, "PRAGMA journal_mode"), "wal\n");
  EXPECT_EQ(sqliteShell(file, "UPDATE Orders SET Qty = 40 WHERE OrderId = 2; SELECT Qty FROM Orders WHERE OrderId = 2"),
            "40\n");
  EXPECT_EQ(column(Object(openDatabase(dir / "orders.db").call(u"OpenRecordset", u"Orders")), u"Qty"), u"19,40,2,5,31");
}

TEST(MultiUser, UsersAddingRecordsAtOnceEachGetANumberOfTheirOwn) {
  TempDir dir;
  makeOrdersDatabase(dir / "orders.db").call(u"Close");
  Object first = openDatabase(dir / "orders.db");
  Object second = openDatabase(dir / "orders.db");
  Object mine(first.call(u"OpenRecordset", u"Customers", Variant(std::int16_t{2})));
  Object theirs(second.call(u"OpenRecordset", u"Customers", Variant(std::int16_t{2})));
  const auto add = [](Object& rs, const char16_t* name) {
    rs.call(u"AddNew");
    rs.put(u"Collect", {Variant(u"Name")}, Variant(name));
    rs.call(u"Update");
  };
  // Both start an addition; the other user saves first.
  mine.call(u"AddNew");
  mine.put(u"Collect", {Variant(u"Name")}, Variant(u"Mine"));
  add(theirs, u"Theirs");
  EXPECT_NO_THROW(mine.call(u"Update"));
  // One user adds after another, several times over.
  for (int round = 0; round < 3; ++round) {
    EXPECT_NO_THROW(add(mine, u"Mine again"));
    EXPECT_NO_THROW(add(theirs, u"Theirs again"));
  }
  EXPECT_EQ(column(Object(first.call(u"OpenRecordset", u"SELECT CustomerId FROM Customers ORDER BY CustomerId")),
                   u"CustomerId"),
            u"1,2,3,4,5,6,7,8,9,10,11");
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

// A walk forward reads the records ahead of it with their keys, many at a
// time; a record reached after another user (or this one) changed it shows
// the change all the same, in a dynaset and in a table.
TEST(MultiUser, AWalkForwardShowsChangesMadeAfterItReadAhead) {
  TempDir dir;
  Object writer(testing::engineObject().call(u"CreateDatabase", u16(dir / "walk.db")));
  writer.call(u"Execute", u"CREATE TABLE Items (Id LONG PRIMARY KEY, Label TEXT(20))");
  testing::engineObject().call(u"BeginTrans");
  for (int i = 1; i <= 300; ++i)
    writer.call(u"Execute", u"INSERT INTO Items VALUES (" + fromUtf8(std::to_string(i)) + u", 'old')");
  testing::engineObject().call(u"CommitTrans");
  Object reader = openDatabase(dir / "walk.db");
  for (const std::int16_t type : {std::int16_t{1}, std::int16_t{2}}) {
    Object rs(reader.call(u"OpenRecordset", u"Items", Variant(type)));
    // The second pass walks records whose keys the first one read.
    for (int pass = 0; pass < 2; ++pass) {
      SCOPED_TRACE(std::to_string(type) + " pass " + std::to_string(pass));
      writer.call(u"Execute", u"UPDATE Items SET Label = 'old'");
      rs.call(u"MoveFirst");
      std::u16string changed;
      for (int id = 1; !toBool(rs.get(u"EOF")); ++id) {
        ASSERT_EQ(toInt32(rs.get(u"Collect", {Variant(u"Id")})), id);
        const std::u16string label = toText(rs.get(u"Collect", {Variant(u"Label")}));
        if (label != u"old") changed += fromUtf8(std::to_string(id)) + u"=" + label + u" ";
        // Well inside the records read ahead: another user's change, then this user's own.
        if (id == 150) writer.call(u"Execute", u"UPDATE Items SET Label = 'theirs' WHERE Id = 151 OR Id = 160 OR Id = 299");
        if (id == 170) reader.call(u"Execute", u"UPDATE Items SET Label = 'mine' WHERE Id = 171 OR Id = 180");
        rs.call(u"MoveNext");
      }
      EXPECT_EQ(changed, u"151=theirs 160=theirs 171=mine 180=mine 299=theirs ");
    }
  }
}

Variant qtyOf(const Object& rs) { return rs.get(u"Collect", {Variant(u"Qty")}); }

void setQty(const Object& rs, int qty) { rs.put(u"Collect", {Variant(u"Qty")}, Variant(qty)); }

// The recordset of Orders standing on the order with `id`.
Object orderRecord(const Object& db, int id) {
  Object rs(db.call(u"OpenRecordset", u"Orders", Variant(std::int16_t{2})));
  rs.call(u"FindFirst", Variant(u"OrderId = " + fromUtf8(std::to_string(id))));
  EXPECT_FALSE(toBool(rs.get(u"NoMatch")));
  return rs;
}

template <typename Name>
int storedQty(const Name& file, int id) {
  Object rs(openDatabase(file).call(u"OpenRecordset",
                                    u"SELECT Qty FROM Orders WHERE OrderId = " + fromUtf8(std::to_string(id))));
  return toInt32(qtyOf(rs));
}

// A routine that walks many records holds one moment of the file: another
// user's commit shows only after it lets go, and anything written through
// the same database meanwhile lets go first, so it writes on the newest.
TEST(MultiUser, AHeldWalkReadsOneMomentAndLetsGoBeforeItWrites) {
  TempDir dir;
  makeOrdersDatabase(dir / "orders.db").call(u"Close");
  Object first = openDatabase(dir / "orders.db");
  Object second = openDatabase(dir / "orders.db");
  const auto qtys = [&] { return column(Object(first.call(u"OpenRecordset", u"Orders")), u"Qty"); };
  const std::u16string before = qtys();
  Object reading(first.call(u"OpenRecordset", u"SELECT * FROM Orders ORDER BY OrderId", Variant(std::int16_t{2})));
  const ComPtr<frame::IRecordWalk> walk = frame::recordWalk(reading);
  ASSERT_TRUE(walk);
  {
    const frame::HeldReads held(walk);
    { const frame::HeldReads nested(walk); }
    second.call(u"Execute", u"UPDATE Orders SET Qty = 70 + OrderId");
    // Both recordsets of the holding database, the walking one moving on.
    reading.call(u"MoveNext");
    EXPECT_EQ(toInt32(qtyOf(reading)), std::stoi(toUtf8(before.substr(before.find(u',') + 1))));
    EXPECT_EQ(qtys(), before);
    first.call(u"Execute", u"UPDATE Orders SET Qty = Qty + 100 WHERE OrderId = 1");
    EXPECT_EQ(qtys(), u"171,72,73,74,75");
    // A transaction begun while held is one of its own.
    testing::engineObject().call(u"BeginTrans");
    first.call(u"Execute", u"UPDATE Orders SET Qty = Qty + 100 WHERE OrderId = 2");
    testing::engineObject().call(u"CommitTrans");
    EXPECT_EQ(storedQty(dir / "orders.db", 2), 172);
  }
  {
    // Held again; the database closes before the walk lets go.
    const frame::HeldReads held(walk);
    second.call(u"Execute", u"UPDATE Orders SET Qty = 5 WHERE OrderId = 5");
    EXPECT_EQ(qtys(), u"171,172,73,74,75");
    first.call(u"Close");
  }
  EXPECT_EQ(storedQty(dir / "orders.db", 5), 5);
  EXPECT_EQ(errorOf([&] { reading.call(u"MoveNext"); }), errc::ObjectInvalid);
}

class MultiUserOn : public testing::OnBackends {};

TEST_P(MultiUserOn, OptimisticEditsNeverOverwriteAnotherUsersChange) {
  makeOrdersDatabase(fresh()).call(u"Close");
  Object mine = openDatabase(fresh());
  Object theirs = openDatabase(fresh());
  Object rs = orderRecord(mine, 1);
  EXPECT_FALSE(toBool(rs.get(u"LockEdits")));

  // Changed by the other user between Edit and Update.
  rs.call(u"Edit");
  setQty(rs, 50);
  theirs.call(u"Execute", u"UPDATE Orders SET Qty = 60 WHERE OrderId = 1");
  try {
    rs.call(u"Update");
    ADD_FAILURE() << "an edit overwrote another user's change";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::WriteConflict);
    EXPECT_EQ(e.description(),
              u"The database engine stopped the process because you and another user are attempting to change the "
              u"same data at the same time.");
  }
  EXPECT_EQ(toInt32(rs.get(u"EditMode")), 0);
  EXPECT_EQ(toInt32(qtyOf(rs)), 60);  // the other user's value
  EXPECT_EQ(storedQty(fresh(), 1), 60);
  // Edited again from what is stored now, it saves.
  rs.call(u"Edit");
  setQty(rs, 70);
  rs.call(u"Update");
  EXPECT_EQ(storedQty(fresh(), 1), 70);
  // A change of a field this user did not touch still counts as a change.
  rs.call(u"Edit");
  setQty(rs, 71);
  theirs.call(u"Execute", u"UPDATE Orders SET Note = 'theirs' WHERE OrderId = 1");
  EXPECT_EQ(errorOf([&] { rs.call(u"Update"); }), errc::WriteConflict);
  EXPECT_EQ(storedQty(fresh(), 1), 70);

  // Deleted by the other user between Edit and Update; then used.
  Object second = orderRecord(mine, 2);
  second.call(u"Edit");
  setQty(second, 1);
  theirs.call(u"Execute", u"DELETE FROM Orders WHERE OrderId = 2");
  EXPECT_EQ(errorOf([&] { second.call(u"Update"); }), errc::WriteConflict);
  EXPECT_EQ(errorOf([&] { qtyOf(second); }), errc::RecordDeleted);
  EXPECT_EQ(errorOf([&] { second.call(u"Edit"); }), errc::RecordDeleted);
  EXPECT_EQ(errorOf([&] { second.call(u"Delete"); }), errc::RecordDeleted);

  // A dynaset shows another user's change of a record when it moves to it,
  // and Requery shows the records they added and deleted.
  Object walk(mine.call(u"OpenRecordset", u"SELECT * FROM Orders ORDER BY OrderId", Variant(std::int16_t{2})));
  EXPECT_EQ(column(walk, u"Qty"), u"70,2,5,11");
  theirs.call(u"Execute", u"UPDATE Orders SET Qty = 3 WHERE OrderId = 3");
  theirs.call(u"Execute", u"INSERT INTO Orders (OrderId, CustomerId, Customer, Qty) VALUES (9, 1, 'Smith', 9)");
  EXPECT_EQ(column(walk, u"Qty"), u"70,3,5,11");
  walk.call(u"Requery");
  EXPECT_EQ(column(walk, u"Qty"), u"70,3,5,11,9");
  Object copy(mine.call(u"OpenRecordset", u"Orders", Variant(std::int16_t{4})));
  theirs.call(u"Execute", u"DELETE FROM Orders WHERE OrderId = 9");
  EXPECT_EQ(column(copy, u"Qty"), u"70,3,5,11,9");  // a snapshot keeps what it read
  copy.call(u"Requery");
  EXPECT_EQ(column(copy, u"Qty"), u"70,3,5,11");
}

TEST_P(MultiUserOn, PessimisticEditLocksTheRecordUntilUpdateOrCancel) {
  makeOrdersDatabase(fresh()).call(u"Close");
  Object mine = openDatabase(fresh());
  Object theirs = openDatabase(fresh());
  Object rs = orderRecord(mine, 1);
  rs.put(u"LockEdits", Variant(true));
  EXPECT_TRUE(toBool(rs.get(u"LockEdits")));
  rs.call(u"Edit");
  setQty(rs, 40);

  Object other = orderRecord(theirs, 1);
  other.put(u"LockEdits", Variant(true));
  try {
    other.call(u"Edit");
    ADD_FAILURE() << "a locked record was edited";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::RecordLocked);
    EXPECT_EQ(e.description().rfind(u"Could not update; currently locked by user 'admin' on machine '", 0), 0u);
  }
  EXPECT_EQ(toInt32(other.get(u"EditMode")), 0);
  // An optimistic user may start an edit, but not save or delete the record.
  other.put(u"LockEdits", Variant(false));
  other.call(u"Edit");
  setQty(other, 41);
  EXPECT_EQ(errorOf([&] { other.call(u"Update"); }), errc::RecordLocked);
  other.call(u"CancelUpdate");
  EXPECT_EQ(errorOf([&] { other.call(u"Delete"); }), errc::RecordLocked);
  // Another recordset of the same database is another user of the record too.
  Object sameDatabase = orderRecord(mine, 1);
  sameDatabase.put(u"LockEdits", Variant(true));
  EXPECT_EQ(errorOf([&] { sameDatabase.call(u"Edit"); }), errc::RecordLocked);
  // Other records are free.
  Object next = orderRecord(theirs, 3);
  next.put(u"LockEdits", Variant(true));
  next.call(u"Edit");
  next.call(u"CancelUpdate");

  rs.call(u"Update");
  EXPECT_EQ(storedQty(fresh(), 1), 40);
  other.put(u"LockEdits", Variant(true));
  other.call(u"Edit");  // free again
  setQty(other, 42);
  // Now the first user waits for the second.
  EXPECT_EQ(errorOf([&] { rs.call(u"Edit"); }), errc::RecordLocked);
  other.call(u"CancelUpdate");
  rs.call(u"Edit");
  // Moving away, closing and letting go of a recordset end its edit and its lock.
  rs.call(u"MoveNext");
  other.call(u"Edit");
  other.call(u"Update");
  other.call(u"Edit");
  other.call(u"Close");
  rs.call(u"MovePrevious");
  rs.call(u"Edit");
  rs = Object();
  sameDatabase.call(u"Edit");
  sameDatabase.call(u"CancelUpdate");
  EXPECT_EQ(storedQty(fresh(), 1), 40);
}

// Each of several processes runs transactions that add a record and count
// it in a shared counter; a transaction that fails is rolled back, counted
// and run again. Nothing may be lost or counted twice.
TEST(MultiUser, ProcessesSavingAtOnceLoseNoUpdate) {
  constexpr int kProcesses = 8;
  constexpr int kTransactions = 500;
  TempDir dir;
  const auto file = dir / "shared.db";
  {
    Object db(testing::engineObject().call(u"CreateDatabase", u16(file)));
    db.call(u"Execute", u"CREATE TABLE Counter (Id LONG PRIMARY KEY, Total LONG)");
    db.call(u"Execute", u"CREATE TABLE Saves (Process LONG, Number LONG, Total LONG)");
    db.call(u"Execute", u"CREATE UNIQUE INDEX Once ON Saves (Process, Number)");
    db.call(u"Execute", u"INSERT INTO Counter VALUES (1, 0)");
    db.call(u"Close");
  }
  int reports[2];
  ASSERT_EQ(::pipe(reports), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(inChild([&, p] {
      ::close(reports[0]);
      Object engine = testing::engineObject();
      Object db = openDatabase(file);
      int failed = 0;
      for (int n = 0; n < kTransactions;) {
        try {
          engine.call(u"BeginTrans");
          Object counter(db.call(u"OpenRecordset", u"Counter"));
          counter.call(u"Edit");
          const int total = toInt32(counter.get(u"Collect", {Variant(u"Total")})) + 1;
          counter.put(u"Collect", {Variant(u"Total")}, Variant(total));
          counter.call(u"Update");
          Object saves(db.call(u"OpenRecordset", u"Saves"));
          saves.call(u"AddNew");
          saves.put(u"Collect", {Variant(u"Process")}, Variant(p));
          saves.put(u"Collect", {Variant(u"Number")}, Variant(n));
          saves.put(u"Collect", {Variant(u"Total")}, Variant(total));
          saves.call(u"Update");
          engine.call(u"CommitTrans");
          ++n;
        } catch (const Error& e) {
          std::fprintf(stderr, "process %d, transaction %d: %d %s\n", p, n, e.number(), e.what());
          ++failed;
          testing::endLeftoverTransactions();
        }
      }
      (void)!::write(reports[1], &failed, sizeof failed);
    }));
  }
  ::close(reports[1]);
  int failures = 0, reported = 0, failed = 0;
  while (::read(reports[0], &failed, sizeof failed) == sizeof failed) failures += failed, ++reported;
  ::close(reports[0]);
  for (const pid_t child : children) EXPECT_EQ(exitOf(child), 0);
  EXPECT_EQ(reported, kProcesses);
  std::printf("%d processes x %d transactions: %d failed and were run again\n", kProcesses, kTransactions, failures);
  Object db = openDatabase(file);
  Object counter(db.call(u"OpenRecordset", u"Counter"));
  EXPECT_EQ(toInt32(counter.get(u"Collect", {Variant(u"Total")})), kProcesses * kTransactions);
  Object saves(db.call(u"OpenRecordset", u"SELECT count(*) AS N, count(DISTINCT Total) AS Totals, max(Total) AS Top FROM Saves"));
  EXPECT_EQ(toInt32(saves.get(u"Collect", {Variant(u"N")})), kProcesses * kTransactions);
  EXPECT_EQ(toInt32(saves.get(u"Collect", {Variant(u"Totals")})), kProcesses * kTransactions);
  EXPECT_EQ(toInt32(saves.get(u"Collect", {Variant(u"Top")})), kProcesses * kTransactions);
  db.call(u"Close");
  EXPECT_EQ(sqliteShell(file, "PRAGMA integrity_check"), "ok\n");
}

// Two processes at one record: a pessimistic lock keeps the other process
// out until it is let go (also by the holder dying), and an optimistic save
// over the other process's change is refused.
TEST(MultiUser, ConflictingEditsInTwoProcessesOverwriteNothing) {
  TempDir dir;
  const auto file = dir / "orders.db";
  makeOrdersDatabase(file).call(u"Close");
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t holder = inChild([&] {
    Object rs = orderRecord(openDatabase(file), 1);
    rs.put(u"LockEdits", Variant(true));
    rs.call(u"Edit");
    setQty(rs, 30);
    char c = 'r';
    (void)!::write(ready[1], &c, 1);
    (void)!::read(release[0], &c, 1);
    rs.call(u"Update");
    rs.call(u"Edit");  // held when the process is killed
    (void)!::write(ready[1], &c, 1);
    ::pause();
  });
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  Object rs = orderRecord(openDatabase(file), 1);
  rs.put(u"LockEdits", Variant(true));
  EXPECT_EQ(errorOf([&] { rs.call(u"Edit"); }), errc::RecordLocked);
  (void)!::write(release[1], &c, 1);
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_EQ(errorOf([&] { rs.call(u"Edit"); }), errc::RecordLocked);
  ::kill(holder, SIGKILL);
  exitOf(holder);
  rs.call(u"Edit");
  EXPECT_EQ(toInt32(qtyOf(rs)), 30);
  rs.call(u"CancelUpdate");

  rs.put(u"LockEdits", Variant(false));
  rs.call(u"Edit");
  setQty(rs, 31);
  const pid_t changer = inChild([&] {
    Object theirs = orderRecord(openDatabase(file), 1);
    theirs.call(u"Edit");
    setQty(theirs, 32);
    theirs.call(u"Update");
  });
  ASSERT_EQ(exitOf(changer), 0);
  EXPECT_EQ(errorOf([&] { rs.call(u"Update"); }), errc::WriteConflict);
  EXPECT_EQ(toInt32(qtyOf(rs)), 32);
  EXPECT_EQ(storedQty(file, 1), 32);
}

// Runs `body` in a forked process as another Unix user (with the usual
// umask); 0 when it ran without an error, else the error's number (mod 256:
// 70 and 75 stay themselves, 3260 is 188, 3045 is 229).
int asUser(uid_t user, const std::function<void()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 0;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(user, user, user) != 0 || ::setresuid(user, user, user) != 0)
      ::_exit(99);
    ::umask(022);
    try {
      body();
    } catch (const Error& e) {
      std::fprintf(stderr, "user %u: %d %s\n", static_cast<unsigned>(user), e.number(), e.what());
      code = e.number() & 0xFF;
    }
    ::_exit(code);
  }
  return exitOf(child);
}

TEST(MultiUser, TwoUnixUsersShareADatabaseFileAndItsRecordLocks) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to act as two other users";
  TempDir dir;
  const auto file = dir / "orders.db";
  makeOrdersDatabase(file).call(u"Close");
  // A folder and a database both users may write, as a shared folder is.
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read | std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_read | std::filesystem::perms::others_write);
  const uid_t first = 61001, second = 61002;
  ASSERT_EQ(::chown(file.c_str(), first, first), 0);
  const auto save = [&](int qty, bool lockEdits) {
    Object rs = orderRecord(openDatabase(file), 1);
    rs.put(u"LockEdits", Variant(lockEdits));
    rs.call(u"Edit");
    setQty(rs, qty);
    rs.call(u"Update");
  };
  // The first user's save makes the lock file, with the database's
  // permissions whatever its umask; the second user saves both ways.
  EXPECT_EQ(asUser(first, [&] { save(41, true); }), 0);
  const auto lockFile = dir / "orders.db-lock";
  struct stat made {};
  ASSERT_EQ(::stat(lockFile.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0666u);
  EXPECT_EQ(made.st_uid, first);
  EXPECT_EQ(asUser(second, [&] { save(42, false); }), 0);
  EXPECT_EQ(asUser(second, [&] { save(43, true); }), 0);
  EXPECT_EQ(storedQty(file, 1), 43);
  // A lock file the second user may not write still serves optimistic
  // saves; a pessimistic edit is refused for what it is, naming the file.
  ASSERT_EQ(::chmod(lockFile.c_str(), 0644), 0);
  EXPECT_EQ(asUser(second, [&] { save(44, false); }), 0);
  EXPECT_EQ(asUser(second, [&] { save(45, true); }), errc::PermissionDenied);
  EXPECT_EQ(storedQty(file, 1), 44);
}

TEST(MultiUser, ALockFileThatIsNoneOfTheDatabasesIsNeverWrittenThrough) {
  TempDir dir;
  const auto file = dir / "orders.db";
  makeOrdersDatabase(file).call(u"Close");
  const auto lockFile = dir / "orders.db-lock";
  const auto editQty = [&](bool lockEdits) {
    Object rs = orderRecord(openDatabase(file), 1);
    rs.put(u"LockEdits", Variant(lockEdits));
    rs.call(u"Edit");
    setQty(rs, 50);
    rs.call(u"Update");
  };
  // A link planted where the lock file goes is not followed: nothing is
  // made at its target, and saves are refused with what is wrong.
  std::filesystem::create_symlink(dir / "elsewhere", lockFile);
  for (const bool lockEdits : {true, false}) {
    try {
      editQty(lockEdits);
      ADD_FAILURE() << "saved through a link";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::PathFileAccessError);
      EXPECT_NE(e.description().find(u"orders.db-lock"), std::u16string::npos) << toUtf8(e.description());
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
  std::filesystem::remove(lockFile);
  // Nor a FIFO, nor a second name of another file.
  ASSERT_EQ(::mkfifo(lockFile.c_str(), 0666), 0);
  EXPECT_EQ(errorOf([&] { editQty(true); }), errc::PathFileAccessError);
  std::filesystem::remove(lockFile);
  { std::FILE* f = std::fopen((dir / "other").c_str(), "w"); std::fclose(f); }
  std::filesystem::create_hard_link(dir / "other", lockFile);
  EXPECT_EQ(errorOf([&] { editQty(true); }), errc::PathFileAccessError);
  std::filesystem::remove(lockFile);
  EXPECT_EQ(storedQty(file, 1), 5);

  // A lock file removed while a record is locked: the holder learns that
  // another took the record in the new file, and saves nothing.
  Object holder = orderRecord(openDatabase(file), 1);
  holder.put(u"LockEdits", Variant(true));
  holder.call(u"Edit");
  setQty(holder, 60);
  std::filesystem::remove(lockFile);
  Object other = orderRecord(openDatabase(file), 1);
  other.put(u"LockEdits", Variant(true));
  other.call(u"Edit");
  EXPECT_EQ(errorOf([&] { holder.call(u"Update"); }), errc::RecordLocked);
  setQty(other, 61);
  other.call(u"Update");
  EXPECT_EQ(storedQty(file, 1), 61);
  // The other way round: the holder takes its lock again in the new file
  // before anyone else, and keeps it.
  holder = orderRecord(openDatabase(file), 2);
  holder.put(u"LockEdits", Variant(true));
  holder.call(u"Edit");
  std::filesystem::remove(lockFile);
  setQty(holder, 62);
  holder.call(u"Update");
  EXPECT_EQ(storedQty(file, 2), 62);
}

// Walks through one table by two recordsets of one database, taking turns
// across many batches (on a server each sends its next batch ahead, by a
// statement the two share), with changes made through the database between
// turns: each walk keeps its own place, meets every record once, and shows
// each record as last written before it reached it.
TEST_P(MultiUserOn, TwoWalksTakingTurnsKeepTheirPlacesAndSeeWritesBetweenTurns) {
  Object db(testing::engineObject().call(u"CreateDatabase", fresh()));
  db.call(u"Execute", u"CREATE TABLE Items (Id LONG PRIMARY KEY, Label TEXT(20))");
  testing::engineObject().call(u"BeginTrans");
  constexpr int kItems = 1500;
  for (int i = 1; i <= kItems; ++i)
    db.call(u"Execute", u"INSERT INTO Items VALUES (" + fromUtf8(std::to_string(i)) + u", 'old')");
  testing::engineObject().call(u"CommitTrans");
  std::map<int, std::u16string> labels;
  struct Walk {
    Object rs;
    int next = 1;
    std::u16string wrong;
  };
  std::vector<Walk> walks;
  for (const int type : {2, 1}) walks.push_back(Walk{Object(db.call(u"OpenRecordset", u"Items", type)), 1, {}});
  // Turns of different lengths, so that each walk is inside a batch when
  // the other moves on.
  const int turns[][2] = {{100, 300}, {250, 40}, {700, 900}, {1000, 1000}};
  int round = 0;
  for (const auto& lengths : turns) {
    ++round;
    for (std::size_t w = 0; w < walks.size(); ++w) {
      Walk& walk = walks[w];
      for (int n = 0; n < lengths[w] && !toBool(walk.rs.get(u"EOF")); ++n, ++walk.next) {
        ASSERT_EQ(toInt32(walk.rs.get(u"Collect", {Variant(u"Id")})), walk.next) << "walk " << w;
        const std::u16string label = toText(walk.rs.get(u"Collect", {Variant(u"Label")}));
        const auto known = labels.find(walk.next);
        if (label != (known == labels.end() ? u"old" : known->second))
          walk.wrong += fromUtf8(std::to_string(walk.next)) + u"=" + label + u" ";
        walk.rs.call(u"MoveNext");
      }
      // Records just ahead of this walk, a batch or two ahead, and far ahead.
      const std::u16string label = u"r" + fromUtf8(std::to_string(round) + "w" + std::to_string(w));
      std::u16string ids;
      for (const int id : {walk.next + 3, walk.next + 150, walk.next + 400, 1400}) {
        if (id > kItems) continue;
        labels[id] = label;
        ids += (ids.empty() ? u"" : u", ") + fromUtf8(std::to_string(id));
      }
      if (!ids.empty()) db.call(u"Execute", u"UPDATE Items SET Label = '" + label + u"' WHERE Id IN (" + ids + u")");
    }
  }
  for (Walk& walk : walks) {
    EXPECT_TRUE(toBool(walk.rs.get(u"EOF")));
    EXPECT_EQ(walk.next, kItems + 1);
    EXPECT_EQ(walk.wrong, u"");
  }
  // A walk left inside a batch, then other statements of the database and
  // a closed recordset: nothing waits for the walk, and nothing is lost.
  Object left(db.call(u"OpenRecordset", u"Items", 2));
  for (int n = 0; n < 500; ++n) left.call(u"MoveNext");
  db.call(u"Execute", u"UPDATE Items SET Label = 'last' WHERE Id = 1500");
  EXPECT_EQ(toInt32(left.get(u"Collect", {Variant(u"Id")})), 501);
  left.call(u"Close");
  Object count(db.call(u"OpenRecordset", u"SELECT Count(*) AS N FROM Items WHERE Label = 'last'"));
  EXPECT_EQ(toInt32(count.get(u"Collect", {Variant(u"N")})), 1);
}

}  // namespace
INSTANTIATE_TEST_SUITE_P(Backends, MultiUserOn, testing::kBothBackends, testing::backendName);

}  // namespace tarnwick
