// QueryTimeout on both backends: a statement that runs longer is stopped
// with 3234 and leaves nothing of what it wrote; the engine's QueryTimeout
// is what databases start with.
#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/MessageLog.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tarnwick {
namespace {

using testing::errorOf;

class QueryTimeoutOn : public testing::OnBackends {
 protected:
  // Two tables of 40 numbers: five of them joined make 100 million rows,
  // far more than either backend writes in a second.
  Object numbers() {
    Object db(testing::engineObject().call(u"CreateDatabase", fresh()));
    db.call(u"Execute", u"CREATE TABLE Nums (N LONG PRIMARY KEY)");
    db.call(u"Execute", u"CREATE TABLE Digits (D LONG PRIMARY KEY)");
    db.call(u"Execute", u"CREATE TABLE Copied (Id COUNTER PRIMARY KEY, N LONG)");
    testing::engineObject().call(u"BeginTrans");
    for (int n = 1; n <= 40; ++n) {
      const std::u16string value = fromUtf8(std::to_string(n));
      db.call(u"Execute", u"INSERT INTO Nums (N) VALUES (" + value + u")");
      db.call(u"Execute", u"INSERT INTO Digits (D) VALUES (" + value + u")");
    }
    testing::engineObject().call(u"CommitTrans");
    return db;
  }
  static std::int32_t count(const Object& db, std::u16string_view table) {
    const Object rs(db.call(u"OpenRecordset", u"SELECT Count(*) AS Many FROM " + std::u16string(table)));
    return toInt32(rs.get(u"Collect", {Variant(u"Many")}));
  }
  static constexpr std::u16string_view kLongInsert =
      u"INSERT INTO Copied (N) SELECT N FROM Nums, Digits AS b, Digits AS c, Digits AS d, Digits AS e";
};

TEST_P(QueryTimeoutOn, ALongStatementIsStoppedHavingWrittenNothing) {
  testing::endLeftoverTransactions();
  Object db = numbers();
  EXPECT_EQ(toInt32(db.get(u"QueryTimeout")), 60);
  // Set inside a transaction that is then rolled back, it stays as set.
  const Object engine = testing::engineObject();
  engine.call(u"BeginTrans");
  db.put(u"QueryTimeout", Variant(std::int16_t{1}));
  db.call(u"Execute", u"INSERT INTO Copied (N) VALUES (1)");
  engine.call(u"Rollback");
  EXPECT_EQ(toInt32(db.get(u"QueryTimeout")), 1);
  EXPECT_EQ(errorOf([&] { db.put(u"QueryTimeout", Variant(-1)); }), errc::InvalidArgument);

  // Rows were being inserted when it stopped; none of them is kept.
  try {
    db.call(u"Execute", kLongInsert);
    ADD_FAILURE() << "the statement ran to its end";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::QueryTimeout);
    EXPECT_EQ(e.description(), u"ODBC--remote query timeout expired.");
    EXPECT_NE(e.note().find(u"QueryTimeout"), std::u16string::npos) << toUtf8(e.note());
  }
  EXPECT_EQ(count(db, u"Copied"), 0);
  // A long read is stopped as well, and the database works on.
  EXPECT_EQ(errorOf([&] { db.call(u"OpenRecordset", u"SELECT Count(*) AS Many FROM Nums, Digits AS b, Digits AS c, Digits AS d, Digits AS e, Digits AS f", Variant(std::int16_t{4})); }),
            errc::QueryTimeout);
  db.call(u"Execute", u"INSERT INTO Copied (N) SELECT N FROM Nums WHERE N <= 3");
  EXPECT_EQ(count(db, u"Copied"), 3);
  // No timeout: short work is untouched by it.
  db.put(u"QueryTimeout", Variant(std::int16_t{0}));
  EXPECT_EQ(toInt32(db.get(u"QueryTimeout")), 0);
  db.call(u"Execute", u"DELETE FROM Copied");
  EXPECT_EQ(count(db, u"Copied"), 0);
  db.call(u"Close");
  EXPECT_EQ(errorOf([&] { db.get(u"QueryTimeout"); }), errc::ObjectInvalid);
}

// Inside a transaction the stopped statement is undone. The server undoes
// only it and the transaction goes on; a file's storage undoes the whole
// transaction, which then refuses work (3219) until it is rolled back, so
// that nothing runs outside it unnoticed.
TEST_P(QueryTimeoutOn, AStatementStoppedInsideATransactionLeavesNothingHalfDone) {
  testing::endLeftoverTransactions();
  Object db = numbers();
  db.put(u"QueryTimeout", Variant(std::int16_t{1}));
  const Object engine = testing::engineObject();
  engine.call(u"BeginTrans");
  db.call(u"Execute", u"INSERT INTO Copied (N) VALUES (1)");
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", kLongInsert); }), errc::QueryTimeout);
  if (onServer()) {
    db.call(u"Execute", u"INSERT INTO Copied (N) VALUES (2)");
    engine.call(u"CommitTrans");
    EXPECT_EQ(count(db, u"Copied"), 2);
  } else {
    EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"INSERT INTO Copied (N) VALUES (2)"); }), errc::InvalidOperation);
    EXPECT_EQ(errorOf([&] { engine.call(u"CommitTrans"); }), errc::InvalidOperation);
    EXPECT_EQ(count(db, u"Copied"), 0);
    // A failed commit leaves the workspace's transaction to be rolled back,
    // as on a server; the next one works.
    engine.call(u"Rollback");
    EXPECT_EQ(errorOf([&] { engine.call(u"Rollback"); }), errc::NoTransaction);
    engine.call(u"BeginTrans");
    db.call(u"Execute", u"INSERT INTO Copied (N) VALUES (3)");
    EXPECT_EQ(errorOf([&] { db.call(u"Execute", kLongInsert); }), errc::QueryTimeout);
    engine.call(u"Rollback");
    EXPECT_EQ(count(db, u"Copied"), 0);
  }
  db.call(u"Close");
}

TEST_P(QueryTimeoutOn, TheEnginesQueryTimeoutIsWhatNewDatabasesStartWith) {
  const Object engine = testing::engineObject();
  EXPECT_EQ(toInt32(engine.get(u"QueryTimeout")), 60);
  Object before(engine.call(u"CreateDatabase", fresh()));
  engine.put(u"QueryTimeout", Variant(std::int16_t{7}));
  Object after(engine.call(u"OpenDatabase", fresh()));
  engine.put(u"QueryTimeout", Variant(std::int16_t{60}));
  EXPECT_EQ(toInt32(before.get(u"QueryTimeout")), 60);
  EXPECT_EQ(toInt32(after.get(u"QueryTimeout")), 7);
  EXPECT_EQ(errorOf([&] { engine.put(u"QueryTimeout", Variant(-5)); }), errc::InvalidArgument);
  EXPECT_EQ(errorOf([&] { engine.put(u"QueryTimeout", Variant(40000)); }), errc::Overflow);
  EXPECT_EQ(toInt32(engine.get(u"QueryTimeout")), 60);
  before.call(u"Close");
  after.call(u"Close");
}

INSTANTIATE_TEST_SUITE_P(Backends, QueryTimeoutOn, testing::kBothBackends, testing::backendName);

// A session over the network that asked only to prefer encryption and got
// none is told once in the message log; one that asked for none is not.
TEST(ServerConnection, AnUnencryptedConnectionThatPreferredEncryptionIsLoggedOnce) {
  const char* server = std::getenv("TARNWICK_TEST_PG");
  if (!server || !*server) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
  // The test server offers no encryption. By the name localhost it is a
  // target of its own, told of in this test only.
  std::string uri = server;
  const auto host = uri.find("@127.0.0.1:");
  ASSERT_NE(host, std::string::npos) << uri;
  uri.replace(host + 1, 9, "localhost");
  const auto told = [] {
    int found = 0;
    for (const host::LoggedMessage& m : host::messageLog().entries())
      if (m.prompt.find(u"is not encrypted") != std::u16string::npos) {
        ++found;
        EXPECT_NE(m.prompt.find(u"sslmode=verify-full"), std::u16string::npos) << toUtf8(m.prompt);
      }
    return found;
  };
  const Object engine = testing::engineObject();
  host::messageLog().clear();
  Object(engine.call(u"OpenDatabase", fromUtf8(uri + "?sslmode=disable"))).call(u"Close");
  EXPECT_EQ(told(), 0);
  Object(engine.call(u"OpenDatabase", fromUtf8(uri))).call(u"Close");
  Object(engine.call(u"OpenDatabase", fromUtf8(uri + "?sslmode=prefer"))).call(u"Close");
  EXPECT_EQ(told(), 1);
  const std::u16string said = host::messageLog().lastPrompt();
  const std::string password = uri.substr(uri.find(':', 13) + 1, uri.find('@') - uri.find(':', 13) - 1);
  EXPECT_EQ(said.find(fromUtf8(password)), std::u16string::npos);
  EXPECT_NE(said.find(u"postgresql://tarnwick@localhost:"), std::u16string::npos) << toUtf8(said);
}

}  // namespace
}  // namespace tarnwick
