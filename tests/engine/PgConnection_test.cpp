// The server session layer against a real private server: the test command
// starts one and names it in TARNWICK_TEST_PG; without it these tests skip.
#include "../../src/engine/postgres/PgConnection.h"
#include "PgTesting.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

namespace tarnwick::engine {
namespace {

bool contains(const Error& e, std::string_view text) { return toUtf8(e.description()).find(text) != std::string::npos; }

std::int64_t single(PgConnection& c, const std::string& sql) {
  PgStatement& s = c.cached(sql);
  EXPECT_TRUE(s.step()) << sql;
  const std::int64_t n = s.int64(0);
  EXPECT_FALSE(s.step()) << sql;
  return n;
}

TEST(PgConnection, OpensItsServerAndRefusesBadTargetsWithoutShowingPasswords) {
  REQUIRE_SERVER(server);
  PgConnection good(server->uri());
  EXPECT_TRUE(good.isOpen());
  EXPECT_EQ(single(good, "SELECT 41 + 1"), 42);
  EXPECT_EQ(good.target().find(server->password), std::string::npos) << good.target();

  // Nothing listens on the port of a socket that was just closed.
  ServerUri closed = *server;
  closed.port = "1";
  Error e = errorOf([&] { PgConnection c(closed.uri()); });
  EXPECT_EQ(e.number(), errc::OdbcConnectionFailed) << shown(e);
  EXPECT_TRUE(contains(e, "ODBC--connection to 'postgresql://" + server->user + "@" + server->host + ":1/" +
                              server->database + "' failed. ")) << shown(e);
  EXPECT_TRUE(contains(e, "refused")) << shown(e);
  EXPECT_FALSE(contains(e, server->password)) << shown(e);

  ServerUri wrong = *server;
  wrong.password = "Wrong-Secret-4711";
  e = errorOf([&] { PgConnection c(wrong.uri()); });
  EXPECT_EQ(e.number(), errc::OdbcConnectionFailed) << shown(e);
  EXPECT_TRUE(contains(e, "password authentication failed")) << shown(e);
  EXPECT_FALSE(contains(e, wrong.password)) << shown(e);
  EXPECT_FALSE(contains(e, "4711")) << shown(e);

  // libpq's key=value form, with the password among the keys.
  e = errorOf([&] {
    PgConnection c("host=" + server->host + " port=" + server->port + " user=" + server->user +
                   " password=Wrong-Secret-4711 dbname=" + server->database);
  });
  EXPECT_EQ(e.number(), errc::OdbcConnectionFailed) << shown(e);
  EXPECT_FALSE(contains(e, "Wrong-Secret")) << shown(e);

  // A good password for a database that is not there: refused by the server
  // after the password was accepted.
  ServerUri missing = *server;
  missing.database = "tw_no_such_database";
  e = errorOf([&] { PgConnection c(missing.uri()); });
  EXPECT_EQ(e.number(), errc::OdbcConnectionFailed) << shown(e);
  EXPECT_TRUE(contains(e, "\"tw_no_such_database\" does not exist")) << shown(e);
  EXPECT_FALSE(contains(e, server->password)) << shown(e);

  // A password from libpq's environment rather than the URI is not shown either.
  ::setenv("PGPASSWORD", server->password.c_str(), 1);
  e = errorOf([&] {
    PgConnection c("postgresql://" + server->user + "@" + server->host + ":" + server->port + "/tw_no_such_database");
  });
  ::unsetenv("PGPASSWORD");
  EXPECT_EQ(e.number(), errc::OdbcConnectionFailed) << shown(e);
  EXPECT_FALSE(contains(e, server->password)) << shown(e);

  // A URI that libpq cannot read is quoted whole in its message; the
  // password in it is hidden all the same, even one that the hiding's own
  // mark contains.
  e = errorOf([&] { PgConnection c("postgresql://" + server->user + ":Wrong-Secret-4711@[::1"); });
  EXPECT_EQ(e.number(), errc::OdbcConnectionFailed) << shown(e);
  EXPECT_FALSE(contains(e, "Wrong-Secret")) << shown(e);
  e = errorOf([&] { PgConnection c("postgresql://" + server->user + ":*@[::1"); });
  EXPECT_EQ(e.number(), errc::OdbcConnectionFailed) << shown(e);
  EXPECT_FALSE(contains(e, ":*@")) << shown(e);
}

TEST(PgConnection, StatementsRunWithParametersAndReadTheirRows) {
  REQUIRE_SERVER(server);
  PgConnection c(server->uri());
  c.exec("DROP TABLE IF EXISTS tw_params; CREATE TABLE tw_params (id bigint PRIMARY KEY, price double precision, "
         "name text, flag boolean, amount numeric(12,2))");

  PgStatement& insert = c.cached("INSERT INTO tw_params VALUES ($1, $2, $3, $4, $5)");
  EXPECT_EQ(insert.parameterCount(), 5);
  EXPECT_EQ(insert.columnCount(), 0);
  insert.bind(1, std::int64_t{1});
  insert.bind(2, 2.5);
  insert.bind(3, std::string_view("Zürich 'quoted' \"name\""));
  insert.bind(4, std::string_view("true"));
  insert.bind(5, std::string_view("1234.56"));
  EXPECT_FALSE(insert.step());
  EXPECT_EQ(c.changes(), 1);
  // Bindings stay for the next run; what is bound again replaces them, and
  // what is left unbound after a reset is Null.
  insert.bind(1, std::int64_t{9007199254740993});
  insert.bind(2, 0.1);
  EXPECT_FALSE(insert.step());
  EXPECT_EQ(&c.cached("INSERT INTO tw_params VALUES ($1, $2, $3, $4, $5)"), &insert);
  insert.bind(1, RawValue(std::int64_t{3}));
  insert.bind(2, RawValue(-1e300));
  EXPECT_FALSE(insert.step());

  PgStatement& select = c.cached("SELECT id, price, name, flag, amount FROM tw_params WHERE id >= $1 ORDER BY id");
  ASSERT_EQ(select.columnCount(), 5);
  EXPECT_EQ(select.columnName(2), "name");
  select.bind(1, std::int64_t{1});
  ASSERT_TRUE(select.step());
  EXPECT_EQ(select.int64(0), 1);
  EXPECT_EQ(select.real(1), 2.5);
  EXPECT_EQ(select.text(2), "Zürich 'quoted' \"name\"");
  EXPECT_EQ(select.int64(3), 1);
  EXPECT_EQ(std::get<double>(select.raw(4)), 1234.56);
  EXPECT_EQ(std::get<std::string>(select.raw(2)), "Zürich 'quoted' \"name\"");
  ASSERT_TRUE(select.step());
  EXPECT_EQ(select.int64(0), 3);
  EXPECT_EQ(select.real(1), -1e300);
  EXPECT_TRUE(select.isNull(2));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(select.raw(3)));
  ASSERT_TRUE(select.step());
  EXPECT_EQ(std::get<std::int64_t>(select.raw(0)), 9007199254740993);
  EXPECT_EQ(select.real(1), 0.1);
  EXPECT_FALSE(select.step());
  // A finished statement runs again on the next step, as a stored one does.
  ASSERT_TRUE(select.step());
  EXPECT_EQ(select.int64(0), 1);
  select.reset();

  c.exec("UPDATE tw_params SET name = 'x' WHERE id < 100");
  EXPECT_EQ(c.changes(), 2);
  EXPECT_EQ(single(c, "SELECT count(*) FROM tw_params WHERE name = 'x'"), 2);
  EXPECT_EQ(c.changes(), 2);

  // Statements the cache drops are dropped on the server too.
  for (int i = 0; i < 260; ++i) {
    PgStatement& s = c.cached("SELECT $1::integer + " + std::to_string(i));
    s.bind(1, std::int64_t{1});
    ASSERT_TRUE(s.step());
    ASSERT_EQ(s.int64(0), i + 1);
  }
  const std::int64_t prepared =
      single(c, "SELECT count(*) FROM pg_prepared_statements WHERE name ~ '^tw_s[0-9]+$'");
  EXPECT_LE(prepared, static_cast<std::int64_t>(Session::kCachedStatements) + 1);
  EXPECT_GE(prepared, static_cast<std::int64_t>(Session::kCacheKeepsLast));
  // The commands that open and close a change stay prepared all along.
  EXPECT_EQ(single(c, "SELECT count(*) FROM pg_prepared_statements WHERE name IN "
                      "('tw_begin', 'tw_savepoint', 'tw_release')"),
            3);

  // A statement the server cannot read is refused as the file backend
  // refuses one (callers name it a syntax error), and the session goes on.
  const Error e = errorOf([&] { c.cached("SELEC 1"); });
  EXPECT_EQ(e.number(), errc::InvalidArgument) << shown(e);
  EXPECT_TRUE(contains(e, "syntax error at or near \"SELEC\"")) << shown(e);
  EXPECT_EQ(single(c, "SELECT 7"), 7);
  c.exec("DROP TABLE tw_params");
}

TEST(PgConnection, LargeResultsStreamWhileOtherStatementsUseTheSession) {
  REQUIRE_SERVER(server);
  PgConnection c(server->uri());
  c.exec("DROP TABLE IF EXISTS tw_rows; CREATE TABLE tw_rows (n integer PRIMARY KEY, label text)");
  c.exec("INSERT INTO tw_rows SELECT g, 'row ' || g FROM generate_series(1, 20000) AS g");

  // Another statement and plain commands run between the rows of the first:
  // the first keeps its place and reads on.
  PgStatement& scan = c.cached("SELECT n, label FROM tw_rows ORDER BY n");
  PgStatement& count = c.cached("SELECT count(*) FROM tw_rows WHERE n <= $1");
  std::int64_t expected = 0;
  while (scan.step()) {
    ++expected;
    ASSERT_EQ(scan.int64(0), expected);
    if (expected % 5000 == 0) {
      ASSERT_EQ(scan.text(1), "row " + std::to_string(expected));
      count.bind(1, expected);
      ASSERT_TRUE(count.step());
      EXPECT_EQ(count.int64(0), expected);
      count.reset();
      c.exec("UPDATE tw_rows SET label = 'changed' WHERE n = 20000");
    }
  }
  EXPECT_EQ(expected, 20000);

  // A scan left half way frees the session for the next statement.
  ASSERT_TRUE(scan.step());
  ASSERT_TRUE(scan.step());
  EXPECT_EQ(scan.int64(0), 2);
  EXPECT_EQ(single(c, "SELECT max(n) FROM tw_rows"), 20000);
  scan.reset();
  EXPECT_EQ(single(c, "SELECT count(*) FROM tw_rows WHERE label = 'changed'"), 1);

  // Two scans stepped in turn see each their own rows.
  PgStatement& odd = c.cached("SELECT n FROM tw_rows WHERE n % 2 = 1 ORDER BY n");
  PgStatement& even = c.cached("SELECT n FROM tw_rows WHERE n % 2 = 0 ORDER BY n");
  for (std::int64_t i = 1; i <= 3000; i += 2) {
    ASSERT_TRUE(odd.step());
    ASSERT_TRUE(even.step());
    ASSERT_EQ(odd.int64(0), i);
    ASSERT_EQ(even.int64(0), i + 1);
  }
  odd.reset();
  even.reset();

  // Rows that a small LIMIT bounds come in one piece: they are read one by
  // one all the same, with their Nulls, kept while other statements run,
  // and the next run starts afresh.
  PgStatement& batch = c.cached("SELECT n, CASE WHEN n % 3 = 0 THEN NULL ELSE label END FROM tw_rows "
                                "WHERE n > $1 ORDER BY n LIMIT 64");
  for (const std::int64_t from : {100, 19990}) {
    batch.bind(1, from);
    std::int64_t n = from;
    while (batch.step()) {
      ++n;
      ASSERT_EQ(batch.int64(0), n);
      EXPECT_EQ(batch.isNull(1), n % 3 == 0) << n;
      if (n % 3 != 0 && n != 20000) {
        EXPECT_EQ(batch.text(1), "row " + std::to_string(n));
      }
      if (n % 20 == 0) {
        EXPECT_EQ(single(c, "SELECT count(*) FROM tw_rows WHERE n <= " + std::to_string(n)), n);
      }
    }
    EXPECT_EQ(n, std::min<std::int64_t>(from + 64, 20000));
    batch.reset();
  }
  c.exec("DROP TABLE tw_rows");
}

TEST(PgConnection, NestedTransactionsAreSavepointsThatRollBackByLevel) {
  REQUIRE_SERVER(server);
  PgConnection c(server->uri());
  PgConnection other(server->uri());
  c.exec("DROP TABLE IF EXISTS tw_levels; CREATE TABLE tw_levels (n integer PRIMARY KEY)");
  const auto insert = [&](std::int64_t n) {
    PgStatement& s = c.cached("INSERT INTO tw_levels VALUES ($1)");
    s.bind(1, n);
    s.step();
  };
  const auto rows = [](PgConnection& on) { return single(on, "SELECT coalesce(sum(n), 0) FROM tw_levels"); };

  EXPECT_EQ(errorOf([&] { c.commit(); }).number(), errc::NoTransaction);
  EXPECT_EQ(errorOf([&] { c.rollback(); }).number(), errc::NoTransaction);

  c.begin();
  insert(1);
  c.begin();
  insert(10);
  c.begin();
  insert(100);
  EXPECT_EQ(c.transactionDepth(), 3);
  c.commit();
  EXPECT_EQ(rows(c), 111);
  // The middle level goes, with the innermost that it had taken in.
  c.rollback();
  EXPECT_EQ(c.transactionDepth(), 1);
  EXPECT_EQ(rows(c), 1);
  insert(1000);
  EXPECT_EQ(rows(other), 0);
  c.commit();
  EXPECT_EQ(c.transactionDepth(), 0);
  EXPECT_EQ(rows(other), 1001);

  // A failed statement spoils its level until that level is rolled back;
  // the outer level then goes on.
  c.begin();
  insert(2);
  c.begin();
  EXPECT_EQ(errorOf([&] { insert(1); }).number(), errc::DuplicateKey);
  EXPECT_EQ(errorOf([&] { rows(c); }).number(), errc::OdbcCallFailed);
  c.rollback();
  insert(20);
  c.commit();
  EXPECT_EQ(rows(other), 1023);

  // A change in a write scope is undone alone when the server refuses it,
  // inside a transaction as outside one.
  c.begin();
  insert(4);
  {
    PgConnection::WriteScope change(c);
    insert(40);
    EXPECT_EQ(errorOf([&] { insert(4); }).number(), errc::DuplicateKey);
  }
  {
    PgConnection::WriteScope change(c);
    insert(400);
    change.commit();
  }
  c.commit();
  EXPECT_EQ(rows(other), 1427);
  {
    PgConnection::WriteScope change(c);
    insert(5);
    EXPECT_EQ(errorOf([&] { insert(1); }).number(), errc::DuplicateKey);
  }
  EXPECT_EQ(c.transactionDepth(), 0);
  {
    PgConnection::WriteScope change(c);
    insert(50);
    EXPECT_EQ(rows(other), 1427);
    change.commit();
  }
  EXPECT_EQ(rows(other), 1477);

  // Committing a spoilt transaction is an error, and nothing of it is saved.
  c.begin();
  insert(3);
  EXPECT_EQ(errorOf([&] { insert(3); }).number(), errc::DuplicateKey);
  const Error e = errorOf([&] { c.commit(); });
  EXPECT_EQ(e.number(), errc::OdbcCallFailed) << shown(e);
  EXPECT_EQ(c.transactionDepth(), 0);
  EXPECT_EQ(rows(c), 1477);
  c.exec("DROP TABLE tw_levels");
}

// A write scope's opening and closing go with the next command; what it
// holds must still happen in order, whatever command comes next: a
// streaming query, a statement prepared for the first time, a refusal, a
// rollback of the transaction around it.
TEST(PgConnection, WriteScopesSentWithTheNextCommandKeepTheirOrder) {
  REQUIRE_SERVER(server);
  PgConnection c(server->uri());
  PgConnection other(server->uri());
  c.exec("DROP TABLE IF EXISTS tw_scoped; CREATE TABLE tw_scoped (n integer PRIMARY KEY)");
  const auto insert = [&](std::int64_t n) {
    PgStatement& s = c.cached("INSERT INTO tw_scoped VALUES ($1) RETURNING n * 2");
    s.bind(1, n);
    EXPECT_TRUE(s.step());
    EXPECT_EQ(s.int64(0), n * 2);
    EXPECT_FALSE(s.step());
  };
  const auto sum = [](PgConnection& on) { return single(on, "SELECT coalesce(sum(n), 0) FROM tw_scoped"); };
  const auto idle = [&] { return PQtransactionStatus(c.handle()) == PQTRANS_IDLE; };

  // Scopes in which nothing ran leave no transaction and no savepoint.
  { PgConnection::WriteScope nothing(c); }
  { PgConnection::WriteScope(c).commit(); }
  EXPECT_TRUE(idle());
  c.begin();
  { PgConnection::WriteScope(c).commit(); }
  c.commit();
  EXPECT_TRUE(idle());

  // A query that streams in a scope, interrupted by another statement, and
  // a statement prepared for the first time after a scope's release.
  c.begin();
  {
    PgConnection::WriteScope change(c);
    PgStatement& rows = c.cached("SELECT g FROM generate_series(1, 20000) AS g");
    ASSERT_TRUE(rows.step());
    insert(1);
    std::int64_t total = rows.int64(0), count = 1;
    while (rows.step()) total += rows.int64(0), ++count;
    EXPECT_EQ(count, 20000);
    EXPECT_EQ(total, 20000LL * 20001 / 2);
    change.commit();
  }
  EXPECT_EQ(errorOf([&] { c.cached("SELECT no_such_column FROM tw_scoped"); }).number(), errc::TooFewParameters);
  {
    PgConnection::WriteScope change(c);
    insert(10);
    change.commit();
  }
  {
    PgConnection::WriteScope refused(c);
    EXPECT_EQ(errorOf([&] { insert(10); }).number(), errc::DuplicateKey);
  }
  EXPECT_EQ(sum(c), 11);
  EXPECT_EQ(sum(other), 0);
  // The transaction's rollback takes the scopes' changes with it.
  c.rollback();
  EXPECT_EQ(sum(c), 0);
  {
    PgConnection::WriteScope change(c);
    insert(100);
    change.commit();
  }
  EXPECT_TRUE(idle());
  EXPECT_EQ(sum(other), 100);

  // An INSERT returns every key it made: one per list of values, or a
  // stream of them from a query.
  PgStatement& listed = c.cached("INSERT INTO tw_scoped VALUES ($1), ($1 + 1), ($1 + 2) RETURNING n");
  listed.bind(1, std::int64_t{1000});
  std::int64_t keys = 0;
  while (listed.step()) keys += listed.int64(0);
  EXPECT_EQ(keys, 3003);
  EXPECT_EQ(c.changes(), 3);
  PgStatement& selected = c.cached("INSERT INTO tw_scoped SELECT g FROM generate_series(2000, 11999) AS g RETURNING n");
  keys = 0;
  int made = 0;
  while (selected.step()) keys += selected.int64(0), ++made;
  EXPECT_EQ(made, 10000);
  EXPECT_EQ(keys, 10000LL * (2000 + 11999) / 2);
  EXPECT_EQ(sum(other), 100 + 3003 + keys);
  c.exec("DROP TABLE tw_scoped");
}

TEST(PgConnection, ServerRefusalsBecomeTheEnginesErrors) {
  REQUIRE_SERVER(server);
  PgConnection c(server->uri());
  c.exec(
      "DROP TABLE IF EXISTS tw_lines; DROP TABLE IF EXISTS tw_heads;"
      "CREATE TABLE tw_heads (id integer PRIMARY KEY, title text NOT NULL);"
      "CREATE TABLE tw_lines (id integer PRIMARY KEY, head integer REFERENCES tw_heads (id));"
      "INSERT INTO tw_heads VALUES (1, 'one')");

  Error e = errorOf([&] { c.exec("INSERT INTO tw_heads VALUES (1, 'again')"); });
  EXPECT_EQ(e.number(), errc::DuplicateKey) << shown(e);

  e = errorOf([&] {
    PgStatement& s = c.cached("INSERT INTO tw_heads VALUES ($1, $2)");
    s.bind(1, std::int64_t{2});
    s.bindNull(2);
    s.step();
  });
  EXPECT_EQ(e.number(), errc::RequiredNull) << shown(e);
  EXPECT_EQ(e.description(), describe(errc::RequiredNull, u"title"));

  e = errorOf([&] { c.exec("INSERT INTO tw_lines VALUES (1, 99)"); });
  EXPECT_EQ(e.number(), errc::RelatedRecordRequired) << shown(e);
  EXPECT_EQ(e.description(), describe(errc::RelatedRecordRequired, u"tw_heads"));

  // A record that another session holds is refused at once rather than
  // waited for.
  PgConnection holder(server->uri());
  holder.begin();
  holder.exec("SELECT * FROM tw_heads WHERE id = 1 FOR UPDATE");
  e = errorOf([&] { c.exec("SELECT * FROM tw_heads WHERE id = 1 FOR UPDATE NOWAIT"); });
  EXPECT_EQ(e.number(), errc::RecordLocked) << shown(e);
  EXPECT_TRUE(contains(e, "Could not update; currently locked by user 'admin' on machine '" + server->host + "'."))
      << shown(e);
  // A change waits for the lock as long as the session's busy timeout, then
  // meets the same refusal.
  c.setBusyTimeout(150);
  const auto waited = std::chrono::steady_clock::now();
  e = errorOf([&] { c.exec("UPDATE tw_heads SET title = 'waited' WHERE id = 1"); });
  EXPECT_EQ(e.number(), errc::RecordLocked) << shown(e);
  EXPECT_GE(std::chrono::steady_clock::now() - waited, std::chrono::milliseconds(140));
  holder.rollback();
  c.exec("SELECT * FROM tw_heads WHERE id = 1 FOR UPDATE NOWAIT");
  c.exec("UPDATE tw_heads SET title = 'waited' WHERE id = 1");
  EXPECT_EQ(c.changes(), 1);

  // A table that is not there, as the file backend names it.
  e = errorOf([&] { c.exec("SELECT * FROM tw_nowhere"); });
  EXPECT_EQ(e.number(), errc::TableNotFound) << shown(e);
  EXPECT_TRUE(contains(e, "'tw_nowhere'")) << shown(e);
  // Anything else: the platform's text, then the server's.
  e = errorOf([&] { single(c, "SELECT 1 / (id - 1) FROM tw_heads"); });
  EXPECT_EQ(e.number(), errc::OdbcCallFailed) << shown(e);
  EXPECT_TRUE(contains(e, "division by zero")) << shown(e);
  c.exec("DROP TABLE tw_lines; DROP TABLE tw_heads");
}

TEST(PgConnection, ALostSessionFailsTheCallThatMeetsItAndTheNextCallOpensANewOne) {
  REQUIRE_SERVER(server);
  PgConnection admin(server->uri());
  const auto backend = [](PgConnection& c) { return single(c, "SELECT pg_backend_pid()"); };
  const auto terminate = [&](std::int64_t pid) {
    PgStatement& kill = admin.cached("SELECT pg_terminate_backend($1::integer, 5000)");
    kill.bind(1, pid);
    ASSERT_TRUE(kill.step());
    EXPECT_EQ(kill.text(0), "t");
    kill.reset();
  };

  {
    PgConnection c(server->uri());
    PgStatement& kept = c.cached("SELECT 1");
    const std::int64_t before = backend(c);
    terminate(before);
    const Error first = errorOf([&] { c.exec("SELECT 1"); });
    EXPECT_EQ(first.number(), errc::OdbcCallFailed) << shown(first);
    EXPECT_TRUE(contains(first, "ODBC--call failed. ")) << shown(first);
    EXPECT_TRUE(contains(first, "the next call opens a new one")) << shown(first);
    // The statements prepared before are prepared again on the new session.
    ASSERT_TRUE(kept.step());
    EXPECT_EQ(kept.int64(0), 1);
    kept.reset();
    EXPECT_NE(backend(c), before);
    c.begin();
    c.commit();
  }

  // Lost in the middle of a long result, inside a transaction: the
  // transaction is over, and says so until it is ended.
  {
    PgConnection c(server->uri());
    const std::int64_t pid = backend(c);
    c.begin();
    PgStatement& scan = c.cached("SELECT g, repeat('x', 100) FROM generate_series(1, 500000) AS g");
    ASSERT_TRUE(scan.step());
    terminate(pid);
    const Error e = errorOf([&] {
      while (scan.step()) {
      }
    });
    EXPECT_EQ(e.number(), errc::OdbcCallFailed) << shown(e);
    EXPECT_EQ(errorOf([&] { c.exec("SELECT 1"); }).number(), errc::OdbcCallFailed);
    EXPECT_EQ(c.transactionDepth(), 1);
    EXPECT_EQ(errorOf([&] { c.commit(); }).number(), errc::OdbcCallFailed);
    EXPECT_EQ(c.transactionDepth(), 0);
    c.exec("SELECT 1");
  }

  // A statement kept after its connection has gone finds it closed.
  std::shared_ptr<PgStatement> kept;
  {
    PgConnection c(server->uri());
    kept = c.sharedCached("SELECT 1");
  }
  EXPECT_EQ(errorOf([&] { kept->step(); }).number(), errc::ObjectInvalid);
}

}  // namespace
}  // namespace tarnwick::engine
