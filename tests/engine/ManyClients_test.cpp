// Fifty client processes on one server database at once: every save either
// stands or is refused as another user's change (3197) or lock (3260), and
// no increment of a shared counter is lost.
#include "EngineTesting.h"
#include "ManyClients.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

#include <cstdio>
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

TEST(ManyClients, FiftyClientsOnOneServerLoseNoUpdateAndReportEveryConflict) {
  testing::TestDatabase database(testing::Backend::Server);
  if (!database.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
  testing::makeSharedCounters(database.name());
  ClientTally saved;

  // All save optimistically: a save that meets another's change is 3197,
  // and no save is refused as locked, however many save the record at once.
  const testing::ManyClientsRun optimistic = testing::runManyClients(database.name(), 50, 1.5, 0);
  EXPECT_EQ(optimistic.failedProcesses, 0);
  ASSERT_EQ(optimistic.tallies.size(), 50u);
  ClientTally total = optimistic.total();
  EXPECT_EQ(total.other, 0) << "first other error: " << total.otherNumber << " " << total.otherText;
  EXPECT_EQ(total.locked, 0);
  EXPECT_GT(total.saves() - total.added, 0);
  add(saved, total);
  expectNothingLost(database.name(), saved);
  print("optimistic", optimistic);
  RecordProperty("saves_per_second", std::to_string(optimistic.savesPerSecond()));
  RecordProperty("refusals_per_thousand", std::to_string(optimistic.refusalsPerThousand()));

  // Every fifth client locks the record it edits (LockEdits): the others
  // may also find it locked (3260), and both kinds get their increments in.
  const testing::ManyClientsRun mixed = testing::runManyClients(database.name(), 50, 1.5, 5);
  EXPECT_EQ(mixed.failedProcesses, 0);
  ASSERT_EQ(mixed.tallies.size(), 50u);
  total = mixed.total();
  EXPECT_EQ(total.other, 0) << "first other error: " << total.otherNumber << " " << total.otherText;
  std::int64_t lockingSaves = 0, optimisticSaves = 0;
  for (const ClientTally& t : mixed.tallies) (t.lockEdits ? lockingSaves : optimisticSaves) += t.saves() - t.added;
  EXPECT_GT(lockingSaves, 0);
  EXPECT_GT(optimisticSaves, 0);
  add(saved, total);
  expectNothingLost(database.name(), saved);
  print("every fifth with LockEdits", mixed);
}

}  // namespace
}  // namespace tarnwick
