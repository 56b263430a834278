// The session's settings on the server: the query timeout is the session's
// statement_timeout, and stays as it was last set whatever transactions
// around it are rolled back.
#include "../../src/engine/postgres/PgConnection.h"
#include "PgTesting.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick::engine {
namespace {

std::string statementTimeout(PgConnection& c) {
  PgStatement& s = c.cached("SHOW statement_timeout");
  EXPECT_TRUE(s.step());
  std::string shown(s.text(0));
  s.rewind();
  return shown;
}

TEST(PgSettings, TheQueryTimeoutOutlivesTheTransactionsItWasSetAround) {
  REQUIRE_SERVER(server);
  PgConnection c(server->uri(), false, 1000);
  c.setQueryTimeout(3);
  EXPECT_EQ(c.queryTimeout(), 3);
  EXPECT_EQ(statementTimeout(c), "3s");
  // Set before a transaction that is rolled back.
  c.begin();
  c.rollback();
  EXPECT_EQ(statementTimeout(c), "3s");
  // Set inside one, on the outer level and on a savepoint's.
  c.begin();
  c.setQueryTimeout(4);
  EXPECT_EQ(statementTimeout(c), "4s");
  c.rollback();
  EXPECT_EQ(statementTimeout(c), "4s");
  c.begin();
  c.begin();
  c.setQueryTimeout(0);
  c.rollback();
  c.commit();
  EXPECT_EQ(statementTimeout(c), "0");
  // A write scope that changes nothing leaves it too.
  {
    PgConnection::WriteScope scope(c);
  }
  EXPECT_EQ(statementTimeout(c), "0");
  // A statement the server stops is the engine's timeout.
  c.setQueryTimeout(1);
  const Error e = errorOf([&] { c.exec("SELECT pg_sleep(5)"); });
  EXPECT_EQ(e.number(), errc::QueryTimeout) << shown(e);
}

}  // namespace
}  // namespace tarnwick::engine
