// Fifty client processes on one server database at once: every save either
// stands or is refused as another user's change (3197) or lock (3260), and
// no increment of a shared counter is lost.
#include "../automation/ErrorOf.h"
#include "EngineTesting.h"
#include "ManyClients.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarnwick {
namespace {

using testing::ClientTally;
using testing::kSharedCounters;

// The counters hold exactly the increments the clients saw saved, and the
// added records are there once each, under numbers of their own.
void expectNothingLost(const std::u16string& name, const ClientTally& total) {
  Object db(testing::engineObject().call(u"OpenDatabase", name));
  const Object counters(db.call(u"OpenRecordset", u"SELECT Id, Hits FROM Counters ORDER BY Id", Variant(std::int16_t{4})));
  for (int id = 1; id <= kSharedCounters; ++id, counters.call(u"MoveNext")) {
    SCOPED_TRACE(id);
    ASSERT_FALSE(toBool(counters.get(u"EOF")));
    EXPECT_EQ(toInt32(counters.get(u"Collect", {Variant(u"Id")})), id);
    EXPECT_EQ(toInt32(counters.get(u"Collect", {Variant(u"Hits")})), total.increments[id - 1]);
  }
  const Object added(db.call(u"OpenRecordset", u"SELECT AddedId FROM Added ORDER BY AddedId", Variant(std::int16_t{4})));
  std::int64_t records = 0, duplicates = 0;
  for (std::int32_t last = 0; !toBool(added.get(u"EOF")); added.call(u"MoveNext"), ++records) {
    const std::int32_t id = toInt32(added.get(u"Collect", {Variant(u"AddedId")}));
    duplicates += id == last;
    last = id;
  }
  EXPECT_EQ(records, total.added);
  EXPECT_EQ(duplicates, 0);
  db.call(u"Close");
}

void add(ClientTally& sum, const ClientTally& more) {
  sum.added += more.added;
  for (int i = 0; i < kSharedCounters; ++i) sum.increments[i] += more.increments[i];
}

void print(const char* what, const testing::ManyClientsRun& run) {
  const ClientTally total = run.total();
  std::printf("50 clients, %s, %.1f s: %lld saves, %.0f saves per second, %.1f refusals per thousand saves "
              "(%lld as changed by another user, %lld as locked)\n",
              what, run.seconds, static_cast<long long>(total.saves()), run.savesPerSecond(),
              run.refusalsPerThousand(), static_cast<long long>(total.conflicts), static_cast<long long>(total.locked));
}

// Fifty clients on the database `name`: first all optimistic, then every
// fifth with LockEdits. Every save stands or is refused as 3197 or 3260,
// and nothing is lost. Gives the saves per second of the two runs.
std::pair<double, double> fiftyClients(const std::u16string& name, const char* where) {
  testing::makeSharedCounters(name);
  ClientTally saved;

  // All save optimistically: a save that meets another's change is 3197,
  // and no save is refused as locked, however many save the record at once.
  const testing::ManyClientsRun optimistic = testing::runManyClients(name, 50, 1.5, 0);
  EXPECT_EQ(optimistic.failedProcesses, 0);
  EXPECT_EQ(optimistic.tallies.size(), 50u);
  ClientTally total = optimistic.total();
  EXPECT_EQ(total.other, 0) << "first other error: " << total.otherNumber << " " << total.otherText;
  EXPECT_EQ(total.locked, 0);
  EXPECT_GT(total.saves() - total.added, 0);
  add(saved, total);
  expectNothingLost(name, saved);
  print((std::string(where) + ", optimistic").c_str(), optimistic);

  // Every fifth client locks the record it edits (LockEdits): the others
  // may also find it locked (3260), and both kinds get their increments in.
  const testing::ManyClientsRun mixed = testing::runManyClients(name, 50, 1.5, 5);
  EXPECT_EQ(mixed.failedProcesses, 0);
  EXPECT_EQ(mixed.tallies.size(), 50u);
  total = mixed.total();
  EXPECT_EQ(total.other, 0) << "first other error: " << total.otherNumber << " " << total.otherText;
  std::int64_t lockingSaves = 0, optimisticSaves = 0;
  for (const ClientTally& t : mixed.tallies) (t.lockEdits ? lockingSaves : optimisticSaves) += t.saves() - t.added;
  EXPECT_GT(lockingSaves, 0);
  EXPECT_GT(optimisticSaves, 0);
  add(saved, total);
  expectNothingLost(name, saved);
  print((std::string(where) + ", every fifth with LockEdits").c_str(), mixed);
  return {optimistic.savesPerSecond(), mixed.savesPerSecond()};
}

TEST(ManyClients, FiftyClientsOnOneServerLoseNoUpdateAndReportEveryConflict) {
  testing::TestDatabase database(testing::Backend::Server);
  if (!database.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
  const auto [optimistic, mixed] = fiftyClients(database.name(), "server");
  RecordProperty("saves_per_second", std::to_string(optimistic));
  RecordProperty("saves_per_second_mixed", std::to_string(mixed));
}

// The same fifty clients through a transaction pooler with ten server
// connections (pooler_test.sh starts it): nothing of the session is kept
// between transactions, an edit lock stays exclusive, and the server never
// sees more than the pool's connections.
TEST(ManyClients, FiftyClientsThroughATransactionPoolerLoseNoUpdateAndKeepLocksExclusive) {
  const char* pooled = std::getenv("TARNWICK_POOLER_URI");
  const char* direct = std::getenv("TARNWICK_POOLER_DIRECT");
  if (!pooled || !direct) GTEST_SKIP() << "run by pooler_test.sh, which starts the server and the pooler";
  const std::u16string name = fromUtf8(pooled);
  {
    // Two users through the pooler, one record: the second's edit with
    // LockEdits is refused while the first holds the lock, and goes once
    // the first has saved.
    Object engine = testing::engineObject();
    Object first(engine.call(u"CreateDatabase", name));
    first.call(u"Execute", u"CREATE TABLE Locked (Id LONG PRIMARY KEY, Note TEXT(20))");
    first.call(u"Execute", u"INSERT INTO Locked VALUES (1, 'start')");
    Object second(engine.call(u"OpenDatabase", name));
    Object mine(first.call(u"OpenRecordset", u"Locked", Variant(std::int16_t{2})));
    Object theirs(second.call(u"OpenRecordset", u"Locked", Variant(std::int16_t{2})));
    mine.put(u"LockEdits", Variant(true));
    theirs.put(u"LockEdits", Variant(true));
    mine.call(u"Edit");
    mine.put(u"Collect", {Variant(u"Note")}, Variant(u"mine"));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(testing::errorOf([&] { theirs.call(u"Edit"); }), errc::RecordLocked);
    mine.call(u"Update");
    theirs.call(u"Edit");
    theirs.put(u"Collect", {Variant(u"Note")}, Variant(u"theirs"));
    theirs.call(u"Update");
    // A copy of records (a snapshot) is a table of the session's own, not
    // a temporary table of one server connection; it is none of the user's.
    Object copy(first.call(u"OpenRecordset", u"SELECT Id, Note FROM Locked", Variant(std::int16_t{4})));
    EXPECT_EQ(testing::column(copy, u"Note"), u"theirs");
    copy.call(u"Requery");
    EXPECT_EQ(testing::column(copy, u"Note"), u"theirs");
    EXPECT_EQ(toInt32(Object(second.get(u"TableDefs")).get(u"Count")), 1);
    copy.call(u"Close");
    first.call(u"Execute", u"DROP TABLE Locked");
    first.call(u"Close");
    second.call(u"Close");
  }
  // The server's connections, counted while the clients work, by a
  // process of its own: the clients are forked, and a thread of this
  // process could hold a lock at that moment that their copies would wait
  // on for ever.
  int stop[2], result[2];
  ASSERT_EQ(::pipe(stop), 0);
  ASSERT_EQ(::pipe(result), 0);
  const pid_t watcher = ::fork();
  if (watcher == 0) {
    ::close(stop[1]);
    ::close(result[0]);
    long highest = 0;
    PGconn* c = PQconnectdb(direct);
    pollfd told{stop[0], POLLIN, 0};
    while (PQstatus(c) == CONNECTION_OK && ::poll(&told, 1, 20) == 0) {
      PGresult* r = PQexec(c, "SELECT count(*) FROM pg_stat_activity WHERE datname = 'tw_pool' AND "
                              "backend_type = 'client backend' AND pid <> pg_backend_pid()");
      if (PQresultStatus(r) == PGRES_TUPLES_OK) highest = std::max(highest, std::atol(PQgetvalue(r, 0, 0)));
      PQclear(r);
    }
    PQfinish(c);
    (void)!::write(result[1], &highest, sizeof highest);
    ::_exit(0);
  }
  ::close(stop[0]);
  ::close(result[1]);
  const auto stopWatching = [&] {
    ::close(stop[1]);
    long highest = 0;
    (void)!::read(result[0], &highest, sizeof highest);
    ::close(result[0]);
    ::waitpid(watcher, nullptr, 0);
    return highest;
  };
  std::pair<double, double> pooledRates;
  try {
    pooledRates = fiftyClients(name, "through the pooler");
  } catch (...) {
    stopWatching();
    throw;
  }
  const long most = stopWatching();
  const auto [pooledOptimistic, pooledMixed] = pooledRates;
  EXPECT_LE(most, 10);
  EXPECT_GT(most, 0);
  // The same run straight to the server, for comparison.
  PGconn* c = PQconnectdb(direct);
  PQclear(PQexec(c, "CREATE SCHEMA tw_direct"));
  PQfinish(c);
  const auto [directOptimistic, directMixed] =
      fiftyClients(fromUtf8(std::string(direct) + "?options=-csearch_path%3Dtw_direct"), "straight to the server");
  std::printf("through the pooler: %.0f and %.0f saves per second (optimistic, mixed), %ld server connections at "
              "most; straight to the server: %.0f and %.0f\n",
              pooledOptimistic, pooledMixed, most, directOptimistic, directMixed);
}

}  // namespace
}  // namespace tarnwick
