// A writer killed with SIGKILL in the middle of a transaction of many
// saves: the database stays sound, every committed transaction is there
// whole and nothing of the one that was cut short.
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <thread>

namespace tarnwick {
namespace {

using testing::engineObject;
using testing::sqliteShell;
using testing::TempDir;
using testing::u16;

constexpr int kRounds = 25;
constexpr auto kTimeBudget = std::chrono::seconds(20);
constexpr int kSavesPerTransaction = 40;
// Each round's writer numbers its transactions from round x kRoundSpan + 1.
constexpr std::int32_t kRoundSpan = 1'000'000;

// The writer: transactions of many saves without end, each announced on
// `announce` once CommitTrans has returned. It runs on a thread of its own,
// which has an engine of its own, so nothing the test process opened
// before the fork is touched in the child.
[[noreturn]] void writeUntilKilled(const std::u16string& file, std::int32_t firstTransaction, int announce) {
  std::thread writer([&] {
    try {
      Object engine(engineObject());
      Object db(engine.call(u"OpenDatabase", file));
      const std::u16string payload(60, u'x');
      for (std::int32_t transaction = firstTransaction;; ++transaction) {
        engine.call(u"BeginTrans");
        Object rs(db.call(u"OpenRecordset", u"Saves"));
        for (std::int32_t save = 0; save < kSavesPerTransaction; ++save) {
          rs.call(u"AddNew");
          rs.put(u"Collect", {Variant(u"Txn")}, Variant(transaction));
          rs.put(u"Collect", {Variant(u"Seq")}, Variant(save));
          rs.put(u"Collect", {Variant(u"Payload")}, Variant(payload));
          rs.call(u"Update");
        }
        rs.call(u"Close");
        engine.call(u"CommitTrans");
        if (::write(announce, &transaction, sizeof transaction) != sizeof transaction) ::_exit(3);
      }
    } catch (...) {
      ::_exit(2);
    }
  });
  writer.join();
  ::_exit(1);
}

// Reads one announced transaction into `last`; false at the end of the
// channel (the writer is gone).
bool readAnnouncement(int from, std::int32_t& last) {
  std::int32_t transaction = 0;
  if (::read(from, &transaction, sizeof transaction) != sizeof transaction) return false;
  last = transaction;
  return true;
}

// The number of saves of each transaction in the file.
std::map<std::int32_t, std::int32_t> savesByTransaction(const std::u16string& file) {
  std::map<std::int32_t, std::int32_t> saves;
  Object db(engineObject().call(u"OpenDatabase", file));
  Object rs(db.call(u"OpenRecordset", u"Select Txn, Count(*) AS Saved From Saves Group By Txn Order By Txn"));
  while (!toBool(rs.get(u"EOF"))) {
    saves[toInt32(rs.get(u"Collect", {Variant(u"Txn")}))] = toInt32(rs.get(u"Collect", {Variant(u"Saved")}));
    rs.call(u"MoveNext");
  }
  rs.call(u"Close");
  db.call(u"Close");
  return saves;
}

TEST(CrashedTransactions, KeepEveryCommittedTransactionWholeAndNothingOfTheOneCutShort) {
  testing::endLeftoverTransactions();
  TempDir dir;
  const std::u16string file = u16(dir / "saves.db");
  {
    Object db(engineObject().call(u"CreateDatabase", file));
    db.call(u"Execute", u"CREATE TABLE Saves (Txn LONG, Seq LONG, Payload TEXT(100))");
    db.call(u"Close");
  }

  std::mt19937 random(20261208);
  std::map<std::int32_t, std::int32_t> expected;  // every transaction that must stay, with its saves
  const auto start = std::chrono::steady_clock::now();
  int round = 0;
  for (; round < kRounds && std::chrono::steady_clock::now() - start < kTimeBudget; ++round) {
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const std::int32_t first = (round + 1) * kRoundSpan + 1;
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      ::close(channel[0]);
      writeUntilKilled(file, first, channel[1]);
    }
    ::close(channel[1]);
    // Killed at a random moment once it is well under way: most of its time
    // is spent inside a transaction, between AddNew and CommitTrans.
    std::int32_t announced = -1;
    const bool started = readAnnouncement(channel[0], announced);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40'000));
    ASSERT_EQ(::kill(writer, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(started) << "the writer stopped before its first commit, status " << status;
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself, status " << status;
    while (readAnnouncement(channel[0], announced)) {
    }
    ::close(channel[0]);

    EXPECT_EQ(sqliteShell(dir / "saves.db", "PRAGMA integrity_check;"), "ok\n") << "round " << round;
    // Every announced transaction is there; the one that was committing when
    // the kill came may be there too; each one whole.
    const auto saves = savesByTransaction(file);
    std::int32_t last = 0;
    for (const auto& [transaction, count] : saves) {
      if (transaction < first) continue;
      EXPECT_EQ(transaction, last == 0 ? first : last + 1) << "round " << round;
      EXPECT_EQ(count, kSavesPerTransaction) << "transaction " << transaction;
      last = transaction;
      expected[transaction] = kSavesPerTransaction;
    }
    EXPECT_GE(last, announced) << "round " << round;
    EXPECT_LE(last, announced + 1) << "round " << round;
    // Earlier rounds' transactions are untouched.
    for (const auto& [transaction, count] : expected) {
      const auto found = saves.find(transaction);
      ASSERT_NE(found, saves.end()) << "transaction " << transaction << " lost in round " << round;
      EXPECT_EQ(found->second, count);
    }
    EXPECT_EQ(saves.size(), expected.size()) << "round " << round;
  }
  EXPECT_GE(round, 5);  // enough rounds ran in the time given
  RecordProperty("rounds", round);
  RecordProperty("transactions", static_cast<int>(expected.size()));
}

}  // namespace
}  // namespace tarnwick
