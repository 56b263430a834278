// A server database through the engine's objects: a refused opening, a
// session the server ends under open recordsets, and tables that other
// programs made.
#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tarnwick {
namespace {

using testing::column;
using testing::errorOf;
using testing::makeOrdersDatabase;

class ServerSession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!database_.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
  }
  testing::TestDatabase database_{testing::Backend::Server};
};

std::u16string errorText(const std::function<void()>& body) {
  try {
    body();
  } catch (const Error& e) {
    return fromUtf8(std::to_string(e.number())) + u": " + e.description();
  }
  return {};
}

TEST_F(ServerSession, ARefusedOpeningNamesTheServerButNeverThePassword) {
  const std::string uri = std::getenv("TARNWICK_TEST_PG");
  const auto at = uri.find('@'), colon = uri.find(':', uri.find("://") + 3);
  const std::string password = uri.substr(colon + 1, at - colon - 1);
  std::string wrong = uri;
  wrong.replace(colon + 1, password.size(), "not-" + password);
  const Object engine = testing::engineObject();
  const std::u16string text = errorText([&] { engine.call(u"OpenDatabase", fromUtf8(wrong)); });
  EXPECT_EQ(text.rfind(u"3151: ODBC--connection to 'postgresql://", 0), 0u) << toUtf8(text);
  EXPECT_EQ(text.find(fromUtf8(password)), std::u16string::npos) << toUtf8(text);
  EXPECT_NE(text.find(u"password authentication failed"), std::u16string::npos) << toUtf8(text);
  // A database that is not there, and a server that does not answer.
  std::string missing = uri.substr(0, uri.rfind('/') + 1) + "tw_no_such_database";
  EXPECT_EQ(testing::errorOf([&] { engine.call(u"OpenDatabase", fromUtf8(missing)); }), errc::OdbcConnectionFailed);
  EXPECT_EQ(testing::errorOf([&] { engine.call(u"OpenDatabase", u"postgresql://nobody@127.0.0.1:1/x"); }),
            errc::OdbcConnectionFailed);
}

TEST_F(ServerSession, ASessionTheServerEndsFailsTheSaveThatMeetsItAndSavesNothingHalf) {
  Object db = makeOrdersDatabase(database_.name());
  Object rs(db.call(u"OpenRecordset", u"Orders", Variant(std::int16_t{2})));
  rs.call(u"Edit");
  rs.put(u"Collect", {Variant(u"Qty")}, Variant(99));
  // The server ends this test's sessions.
  database_.serverSql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                      database_.schema() + "'");
  const std::u16string text = errorText([&] { rs.call(u"Update"); });
  EXPECT_EQ(text.rfind(u"3146: ODBC--call failed.", 0), 0u) << toUtf8(text);
  // Nothing of the edit reached the server; the next calls read on in a
  // new session.
  rs.call(u"CancelUpdate");
  rs.call(u"FindFirst", u"Qty = 5");
  EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"OrderId")})), 1);
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"SELECT Qty FROM Orders ORDER BY OrderId")), u"Qty"),
            u"5,7,2,5,11");
  db.call(u"Close");
}

TEST_F(ServerSession, TablesOtherProgramsMadeReadAsCopies) {
  Object db(testing::engineObject().call(u"CreateDatabase", database_.name()));
  database_.serverSql(
      "CREATE TABLE made_elsewhere (id serial PRIMARY KEY, label varchar(20), price numeric(19,4), seen timestamp, "
      "ok boolean); INSERT INTO made_elsewhere (label, price, seen, ok) VALUES ('first', 1.5, '2020-01-02', true), "
      "('second', NULL, NULL, false)");
  Object tables(db.get(u"TableDefs"));
  EXPECT_EQ(toInt32(tables.get(u"Count")), 1);
  Object rs(db.call(u"OpenRecordset", u"made_elsewhere"));
  EXPECT_EQ(column(rs, u"label"), u"first,second");
  EXPECT_FALSE(toBool(rs.get(u"Updatable")));
  EXPECT_EQ(errorOf([&] { rs.call(u"AddNew"); }), errc::ReadOnly);
  rs.call(u"MoveFirst");
  EXPECT_EQ(toInt32(Object(rs.get(u"Fields", {Variant(u"price")})).get(u"Type")), 5);  // currency
  EXPECT_EQ(toText(rs.get(u"Collect", {Variant(u"price")})), u"1.5");
  EXPECT_EQ(toDouble(rs.get(u"Collect", {Variant(u"seen")})), 43832.0);
  EXPECT_TRUE(toBool(rs.get(u"Collect", {Variant(u"ok")})));
  // The dialect reads and changes them as any other.
  db.call(u"Execute", u"UPDATE made_elsewhere SET price = 2 WHERE label = 'second'");
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"SELECT price FROM made_elsewhere ORDER BY id")), u"price"),
            u"1.5,2");
  db.call(u"Close");
}

// A walk forward sends its next batch ahead. Left inside a batch of wide
// records, it must not keep the server's statement open (which would hold
// the table against another session's change of its design): the batch
// sent ahead is no larger than the connection's buffers take whole.
TEST_F(ServerSession, AWalkLeftInsideABatchOfWideRecordsHoldsNoTableAgainstOtherSessions) {
  Object db(testing::engineObject().call(u"CreateDatabase", database_.name()));
  db.call(u"Execute", u"CREATE TABLE Notes (Id LONG PRIMARY KEY, Body MEMO)");
  database_.serverSql("INSERT INTO \"Notes\" SELECT i, repeat(chr(65 + i % 26), 16000) FROM generate_series(1, 4200) AS i");
  Object rs(db.call(u"OpenRecordset", u"Notes", Variant(std::int16_t{2})));
  // Inside the batch of 1024 records that follows those of 64 to 512: the
  // next batch, of up to 2048, has been sent ahead.
  for (int i = 0; i < 1000; ++i) rs.call(u"MoveNext");
  EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"Id")})), 1001);
  PGconn* other = PQconnectdb(std::getenv("TARNWICK_TEST_PG"));
  ASSERT_EQ(PQstatus(other), CONNECTION_OK);
  const std::string sql = "SET search_path = " + database_.schema() +
                          "; SET lock_timeout = '10s'; ALTER TABLE \"Notes\" ADD COLUMN \"Extra\" integer";
  PGresult* altered = PQexec(other, sql.c_str());
  EXPECT_EQ(PQresultStatus(altered), PGRES_COMMAND_OK) << PQresultErrorMessage(altered);
  PQclear(altered);
  PQfinish(other);
  // The walk goes on through the batch it sent ahead.
  for (int i = 0; i < 2000; ++i) rs.call(u"MoveNext");
  EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"Id")})), 3001);
  EXPECT_EQ(toText(rs.get(u"Collect", {Variant(u"Body")})).substr(0, 3), u"LLL");
}

}  // namespace
}  // namespace tarnwick
