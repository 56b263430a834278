#include "../automation/ErrorOf.h"
#include "../classes/ClassTesting.h"
#include "../engine/EngineTesting.h"

#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/Transaction.h>

#include <gtest/gtest.h>

namespace tarnwick::frame {
namespace {

using tarnwick::testing::engineObject;
using tarnwick::testing::errorOf;

// A real database on disk with one table, and the thread's engine free of
// transactions left by earlier tests.
class TransactionScope : public ::testing::Test {
 public:
  void SetUp() override {
    tarnwick::testing::endLeftoverTransactions();
    db = Object(engineObject().call(u"CreateDatabase", tarnwick::testing::u16(dir / "notes.mdb")));
    db.call(u"Execute", u"CREATE TABLE Notes (Id LONG PRIMARY KEY, Text TEXT(20))");
  }
  void TearDown() override { tarnwick::testing::endLeftoverTransactions(); }

  void insert(std::int32_t id) {
    db.call(u"Execute", u"INSERT INTO Notes (Id, Text) VALUES (" + toText(Variant(id)) + u", 'x')");
  }
  std::int32_t count() {
    const Object rs(db.call(u"OpenRecordset", u"SELECT Count(*) AS N FROM Notes"));
    return toInt32(Object(Object(rs.get(u"Fields")).call(u"Item", 0)).value());
  }
  // Whether the engine still has a transaction open: one Rollback ends it.
  bool engineInTransaction() { return errorOf([] { engineObject().call(u"Rollback"); }) == 0; }

  tarnwick::testing::TempDir dir;
  Object db;
};

TEST_F(TransactionScope, RollsBackOnAnErrorAndOnAnEarlyReturn) {
  EXPECT_EQ(errorOf([&] {
              Transaction transaction;
              insert(1);
              raise(errc::Overflow);
            }),
            errc::Overflow);
  EXPECT_EQ(count(), 0);
  const auto earlyReturn = [&](bool stop) {
    Transaction transaction;
    insert(2);
    if (stop) return;
    transaction.commit();
  };
  earlyReturn(true);
  EXPECT_EQ(count(), 0);
  EXPECT_FALSE(engineInTransaction());
  earlyReturn(false);
  EXPECT_EQ(count(), 1);
}

TEST_F(TransactionScope, CommitsOnceAndLeavesAnOuterTransactionAlone) {
  engineObject().call(u"BeginTrans");
  {
    Transaction transaction;
    EXPECT_TRUE(transaction.open());
    insert(1);
    transaction.commit();
    EXPECT_FALSE(transaction.open());
  }
  // The scope's end neither committed nor rolled back again: the outer
  // transaction is still open, and rolling it back takes the record too.
  EXPECT_EQ(count(), 1);
  EXPECT_TRUE(engineInTransaction());
  EXPECT_EQ(count(), 0);
  EXPECT_FALSE(engineInTransaction());
}

TEST_F(TransactionScope, NeverThrowsFromItsEnd) {
  // The transaction ended behind the scope's back: its commit is refused and
  // leaves it open, the rollback at its end fails and is swallowed.
  EXPECT_NO_THROW({
    Transaction transaction;
    insert(1);
    engineObject().call(u"Rollback");
    EXPECT_EQ(errorOf([&] { transaction.commit(); }), errc::NoTransaction);
    EXPECT_TRUE(transaction.open());
  });
  EXPECT_EQ(count(), 0);
  // An explicit rollback raises the engine's error; the transaction counts
  // as ended all the same.
  EXPECT_NO_THROW({
    Transaction transaction;
    engineObject().call(u"Rollback");
    EXPECT_EQ(errorOf([&] { transaction.rollback(); }), errc::NoTransaction);
    EXPECT_FALSE(transaction.open());
  });
}

TEST_F(TransactionScope, TheFinishShowsTheErrorBeforeTheRollback) {
  // A box that counts the records when it is shown: the failed steps'
  // record is still there, so the message comes before the rollback.
  struct CountingBox final : host::MessageBox {
    TransactionScope* test;
    std::vector<std::int32_t> countsShown;
    std::int32_t show(const std::u16string&, std::int32_t, const std::u16string&) override {
      countsShown.push_back(test->count());
      return host::mb::OK;
    }
  };
  auto box = std::make_shared<CountingBox>();
  box->test = this;
  struct Restore {
    std::shared_ptr<host::MessageBox> previous = host::messageBox();
    ~Restore() { host::setMessageBox(previous); }
  } restore;
  host::setMessageBox(box);
  Transaction transaction;
  const bool failed = runThenFinish([&] {
    insert(1);
    raise(errc::Overflow);
  }).has_value();
  EXPECT_TRUE(failed);
  transaction.rollback();
  EXPECT_EQ(box->countsShown, std::vector<std::int32_t>{1});
  EXPECT_EQ(count(), 0);
}

}  // namespace
}  // namespace tarnwick::frame
