// A server database whose session is lost under its objects: walks that
// meet the loss, a new session for the next call, transactions and commits
// that went with the connection, edit locks, and the names that open a
// server.
#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

using testing::failureOf;

// A forwarder on the loopback address between the engine and the server,
// whose connections the test can cut as a network would.
class Forwarder {
 public:
  explicit Forwarder(int serverPort) : serverPort_(serverPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
  }
  ~Forwarder() {
    stop_ = true;
    thread_.join();
    cut();
    ::close(listener_);
  }
  int port() const { return port_; }
  // Ends every connection through it at once.
  void cut() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [a, b] : pairs_) {
      ::shutdown(a, SHUT_RDWR);
      ::shutdown(b, SHUT_RDWR);
      ::close(a);
      ::close(b);
    }
    pairs_.clear();
  }

 private:
  void run() {
    while (!stop_) {
      std::vector<pollfd> watched{{listener_, POLLIN, 0}};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [a, b] : pairs_) {
          watched.push_back({a, POLLIN, 0});
          watched.push_back({b, POLLIN, 0});
        }
      }
      if (::poll(watched.data(), watched.size(), 20) <= 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      if (watched[0].revents & POLLIN) accept();
      for (std::size_t i = 1; i < watched.size(); ++i) {
        if (!watched[i].revents) continue;
        const int from = watched[i].fd;
        int to = -1;
        for (auto& [a, b] : pairs_) to = from == a ? b : from == b ? a : to;
        if (to < 0) continue;  // cut meanwhile
        char buffer[65536];
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n <= 0 || ::send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) ::shutdown(to, SHUT_RDWR);
      }
    }
  }
  void accept() {
    const int client = ::accept(listener_, nullptr, nullptr);
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(serverPort_));
    if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(client);
      ::close(server);
      return;
    }
    pairs_.emplace_back(client, server);
  }

  int serverPort_, port_ = 0, listener_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::pair<int, int>> pairs_;
  std::thread thread_;
};

class ServerLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!database_.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
    testing::endLeftoverTransactions();
  }
  // The server ends this test's sessions, as an administrator or a restart does.
  void endSessions() const {
    database_.serverSql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                        database_.schema() + "'");
  }
  // The test's URI through a forwarder listening on `port`.
  std::u16string through(int port) const {
    std::string uri = toUtf8(database_.name());
    const auto slash = uri.find('/', uri.find("://") + 3);
    const auto colon = uri.rfind(':', slash);
    uri.replace(colon + 1, slash - colon - 1, std::to_string(port));
    return fromUtf8(uri);
  }
  int serverPort() const {
    const std::string uri = toUtf8(database_.name());
    const auto slash = uri.find('/', uri.find("://") + 3);
    const auto colon = uri.rfind(':', slash);
    return std::stoi(uri.substr(colon + 1, slash - colon - 1));
  }
  testing::TestDatabase database_{testing::Backend::Server};
};

bool lostSession(const std::pair<std::int32_t, std::u16string>& failure) {
  return failure.first == errc::OdbcCallFailed && failure.second.find(u"lost") != std::u16string::npos;
}

// Every kind of recordset, on a table and on an ordered query, with the
// session ended at places around the batches a walk reads (64, then
// doubling, so that 4,032 records end the batch of 2,048): the walk meets
// the loss as 3146, never as an early end. Recordsets over the table itself
// go on in a new session from where they stood, without a record twice or
// missed; copies (snapshots, forward-only) went with the session and say so
// until Requery reads them again.
TEST_F(ServerLoss, WalksMeetALostSessionAsAnErrorAndGoOnWhereTheyStood) {
  constexpr int kRecords = 5000;
  Object db(testing::engineObject().call(u"CreateDatabase", database_.name()));
  db.call(u"Execute", u"CREATE TABLE Big (Id LONG PRIMARY KEY, Label TEXT(20))");
  database_.serverSql("INSERT INTO \"Big\" SELECT i, 'label ' || i FROM generate_series(1, " +
                      std::to_string(kRecords) + ") AS i");
  for (const std::int16_t type : {std::int16_t{1}, std::int16_t{2}, std::int16_t{4}, std::int16_t{8}}) {
    for (const char16_t* source : {u"Big", u"SELECT Id, Label FROM Big ORDER BY Id"}) {
      if (type == 1 && std::u16string_view(source) != u"Big") continue;
      for (const int at : {0, 64, 1000, 4031, 4032}) {
        SCOPED_TRACE(toUtf8(source) + " type " + std::to_string(type) + " at " + std::to_string(at));
        Object rs(db.call(u"OpenRecordset", source, Variant(type)));
        std::vector<int> seen;
        for (int i = 0; i < at; ++i) {
          seen.push_back(toInt32(rs.get(u"Collect", {Variant(u"Id")})));
          rs.call(u"MoveNext");
        }
        endSessions();
        int losses = 0;
        bool ended = false, copyLost = false;
        while (!ended && !copyLost && losses < 5) {
          const auto failure = failureOf([&] {
            while (!toBool(rs.get(u"EOF"))) {
              const int id = toInt32(rs.get(u"Collect", {Variant(u"Id")}));
              if (seen.empty() || seen.back() != id) seen.push_back(id);
              rs.call(u"MoveNext");
            }
            ended = true;
          });
          if (failure.first == 0) break;
          ASSERT_TRUE(lostSession(failure)) << failure.first << ": " << toUtf8(failure.second);
          ++losses;
          copyLost = failure.second.find(u"copy") != std::u16string::npos;
        }
        // Records before the loss came once each, in order.
        for (std::size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], static_cast<int>(i) + 1);
        if (copyLost) {
          // A copy that went with the session does not end quietly either,
          // and Requery reads it again.
          EXPECT_TRUE(type != 1 && (type != 2 || std::u16string_view(source) != u"Big"));
          EXPECT_TRUE(lostSession(failureOf([&] { rs.call(u"MoveNext"); })));
          rs.call(u"Requery");
          EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"Id")})), 1);
        } else {
          EXPECT_TRUE(ended);
          EXPECT_EQ(seen.size(), static_cast<std::size_t>(kRecords));
        }
        rs.call(u"Close");
        // Where the walk had its records before the loss, the next call meets it.
        const auto next = failureOf([&] { db.call(u"Execute", u"UPDATE Big SET Label = Label WHERE Id = 0"); });
        EXPECT_TRUE(next.first == 0 || lostSession(next)) << toUtf8(next.second);
        if (losses == 0) EXPECT_TRUE(lostSession(next));
      }
    }
  }
}

// A transaction open when its session went saved nothing: the call that
// meets the loss fails, and so does every call until the client ends the
// transaction (a commit of it fails, saying so, and is then rolled back as
// any failed commit is); then the database works on a new session.
TEST_F(ServerLoss, ATransactionLostWithItsSessionSavesNothingAndMustBeEnded) {
  Object db = testing::makeOrdersDatabase(database_.name());
  Object engine = testing::engineObject();
  Object rs(db.call(u"OpenRecordset", u"Orders", Variant(std::int16_t{2})));
  const auto add = [&](int id) {
    rs.call(u"AddNew");
    rs.put(u"Collect", {Variant(u"OrderId")}, Variant(id));
    rs.put(u"Collect", {Variant(u"Qty")}, Variant(1));
    rs.call(u"Update");
  };
  for (const bool commitIt : {false, true}) {
    engine.call(u"BeginTrans");
    add(commitIt ? 10 : 20);
    endSessions();
    EXPECT_TRUE(lostSession(failureOf([&] { add(commitIt ? 11 : 21); })));
    rs.call(u"CancelUpdate");
    // Nothing goes on outside the transaction the client still thinks open.
    const auto refused = failureOf([&] { db.call(u"Execute", u"DELETE FROM Orders"); });
    EXPECT_TRUE(lostSession(refused));
    EXPECT_NE(refused.second.find(u"Rollback"), std::u16string::npos) << toUtf8(refused.second);
    if (commitIt) {
      const auto failure = failureOf([&] { engine.call(u"CommitTrans"); });
      EXPECT_EQ(failure.first, errc::OdbcCallFailed);
      EXPECT_NE(failure.second.find(u"nothing of it was saved"), std::u16string::npos) << toUtf8(failure.second);
    }
    // A failed commit leaves the workspace's transaction to be rolled back,
    // as any failed commit does.
    engine.call(u"Rollback");
    EXPECT_EQ(testing::errorOf([&] { engine.call(u"Rollback"); }), errc::NoTransaction);
  }
  // A new session, and the recordset walks on.
  add(30);
  EXPECT_EQ(testing::column(Object(db.call(u"OpenRecordset", u"SELECT OrderId FROM Orders ORDER BY OrderId")),
                            u"OrderId"),
            u"1,2,3,4,5,30");
  // A write outside a transaction that meets the loss is not half saved,
  // and the next one goes through.
  rs.call(u"MoveFirst");
  rs.call(u"Edit");
  rs.put(u"Collect", {Variant(u"Qty")}, Variant(99));
  endSessions();
  EXPECT_TRUE(lostSession(failureOf([&] { rs.call(u"Update"); })));
  rs.call(u"CancelUpdate");
  rs.call(u"Edit");
  rs.put(u"Collect", {Variant(u"Qty")}, Variant(98));
  rs.call(u"Update");
  EXPECT_EQ(testing::column(Object(db.call(u"OpenRecordset", u"SELECT Qty FROM Orders ORDER BY OrderId")), u"Qty"),
            u"98,7,2,5,11,1");
}

// A commit whose answer never came is looked up by the transaction's
// number in a new session: a connection cut while the server commits
// (a check put off to the commit makes it take a second) committed; a
// session the server ended before the commit was done rolled back.
TEST_F(ServerLoss, ACommitWhoseAnswerWasLostIsLookedUpOnTheServer) {
  Object made(testing::engineObject().call(u"CreateDatabase", database_.name()));
  made.call(u"Execute", u"CREATE TABLE Slow (Id LONG PRIMARY KEY)");
  made.call(u"Close");
  database_.serverSql(
      "CREATE FUNCTION slow_commit() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN PERFORM pg_sleep(1); RETURN NULL; "
      "END $$; CREATE CONSTRAINT TRIGGER slow AFTER INSERT ON \"Slow\" DEFERRABLE INITIALLY DEFERRED FOR EACH ROW "
      "EXECUTE FUNCTION slow_commit()");
  Forwarder forwarder(serverPort());
  Object engine = testing::engineObject();
  Object db(engine.call(u"OpenDatabase", through(forwarder.port())));
  for (const bool cutNetwork : {true, false}) {
    SCOPED_TRACE(cutNetwork ? "network cut" : "session ended");
    const int id = cutNetwork ? 1 : 2;
    engine.call(u"BeginTrans");
    db.call(u"Execute", u"INSERT INTO Slow VALUES (" + fromUtf8(std::to_string(id)) + u")");
    std::thread interrupt([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      if (cutNetwork) forwarder.cut();
      else endSessions();
    });
    const auto failure = failureOf([&] { engine.call(u"CommitTrans"); });
    interrupt.join();
    if (cutNetwork) {
      EXPECT_EQ(failure.first, 0) << toUtf8(failure.second);
    } else {
      EXPECT_EQ(failure.first, errc::OdbcCallFailed);
      EXPECT_NE(failure.second.find(u"rolled back"), std::u16string::npos) << toUtf8(failure.second);
    }
  }
  EXPECT_EQ(testing::column(Object(db.call(u"OpenRecordset", u"SELECT Id FROM Slow ORDER BY Id")), u"Id"), u"1");
}

// An edit lock (LockEdits) is taken again in the new session; one that
// another user took while the session was down is reported at Update as
// that user's lock, never silently dropped.
TEST_F(ServerLoss, AnEditLockLostWithItsSessionIsTakenAgainOrReported) {
  Object db = testing::makeOrdersDatabase(database_.name());
  std::u16string otherName = database_.name();
  otherName += u"_other";  // another application name: its sessions stay
  Object other(testing::engineObject().call(u"OpenDatabase", otherName));
  Object mine(db.call(u"OpenRecordset", u"Orders", Variant(std::int16_t{2})));
  Object theirs(other.call(u"OpenRecordset", u"Orders", Variant(std::int16_t{2})));
  mine.put(u"LockEdits", Variant(true));
  theirs.put(u"LockEdits", Variant(true));
  // Nobody takes it meanwhile: the lock is held again, and the save goes.
  mine.call(u"Edit");
  mine.put(u"Collect", {Variant(u"Qty")}, Variant(40));
  endSessions();
  const auto first = failureOf([&] { mine.call(u"Update"); });
  if (first.first != 0) {
    EXPECT_TRUE(lostSession(first)) << toUtf8(first.second);
    mine.call(u"CancelUpdate");
    mine.call(u"Edit");
    mine.put(u"Collect", {Variant(u"Qty")}, Variant(40));
    EXPECT_EQ(testing::errorOf([&] { theirs.call(u"Edit"); }), errc::RecordLocked);
    mine.call(u"Update");
  }
  // Another user takes it while the session is down: reported at Update.
  mine.call(u"Edit");
  mine.put(u"Collect", {Variant(u"Qty")}, Variant(41));
  mine.call(u"MoveNext");  // ends the edit; the lock goes with it
  mine.call(u"MovePrevious");
  mine.call(u"Edit");
  mine.put(u"Collect", {Variant(u"Qty")}, Variant(41));
  endSessions();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  theirs.call(u"MoveFirst");
  theirs.call(u"Edit");
  const auto taken = failureOf([&] { mine.call(u"Update"); });
  EXPECT_TRUE(taken.first == errc::RecordLocked || lostSession(taken)) << toUtf8(taken.second);
  if (taken.first != errc::RecordLocked) {
    EXPECT_EQ(testing::errorOf([&] { mine.call(u"Update"); }), errc::RecordLocked);
  }
  theirs.put(u"Collect", {Variant(u"Qty")}, Variant(50));
  theirs.call(u"Update");
  EXPECT_EQ(testing::column(Object(db.call(u"OpenRecordset", u"SELECT Qty FROM Orders ORDER BY OrderId")), u"Qty"),
            u"50,7,2,5,11");
}

// A server process that cannot answer at all (stopped, as a machine that
// froze): a call waits no longer than the query timeout and a little more,
// fails with 3234, and the next call opens a new session.
TEST_F(ServerLoss, AServerThatDoesNotAnswerIsGivenUpAfterTheQueryTimeout) {
  Object db = testing::makeOrdersDatabase(database_.name());
  db.put(u"QueryTimeout", Variant(std::int16_t{1}));
  PGconn* admin = PQconnectdb(std::getenv("TARNWICK_TEST_PG"));
  const std::string find =
      "SELECT pid FROM pg_stat_activity WHERE application_name = '" + database_.schema() + "'";
  PGresult* found = PQexec(admin, find.c_str());
  ASSERT_EQ(PQntuples(found), 1);
  const pid_t pid = static_cast<pid_t>(std::atol(PQgetvalue(found, 0, 0)));
  PQclear(found);
  PQfinish(admin);
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  const auto start = std::chrono::steady_clock::now();
  Error failure(0, u"");
  try {
    Object(db.call(u"OpenRecordset", u"SELECT Qty FROM Orders WHERE OrderId = 3"));
  } catch (const Error& e) {
    failure = e;
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  ::kill(pid, SIGCONT);
  EXPECT_EQ(failure.number(), errc::QueryTimeout) << toUtf8(failure.description());
  EXPECT_NE(failure.note().find(u"given up"), std::u16string::npos) << toUtf8(failure.note());
  EXPECT_GE(waited, std::chrono::seconds(1));
  EXPECT_LT(waited, std::chrono::seconds(6));
  EXPECT_EQ(testing::column(Object(db.call(u"OpenRecordset", u"SELECT Qty FROM Orders WHERE OrderId = 3")), u"Qty"),
            u"2");
}

// libpq's key=value form opens the server as a URI does; a text that only
// looks like a connection text (a misspelt keyword, another scheme) fails
// without its password in the message, and no file is named after it.
TEST_F(ServerLoss, ConnectionTextsOpenTheServerAndNeverMakeAFile) {
  const std::string uri = std::getenv("TARNWICK_TEST_PG");
  const auto part = [&](std::size_t from, char until) { return uri.substr(from, uri.find(until, from) - from); };
  const std::size_t userAt = uri.find("://") + 3;
  const std::string user = part(userAt, ':');
  const std::string password = part(userAt + user.size() + 1, '@');
  const std::size_t hostAt = uri.find('@') + 1;
  const std::string host = part(hostAt, ':');
  const std::string port = part(hostAt + host.size() + 1, '/');
  const std::string name = uri.substr(uri.rfind('/') + 1);
  const std::string keyValue = "host=" + host + " port=" + port + " user=" + user + " password='" + password +
                               "' dbname=" + name + " options='-csearch_path=" + database_.schema() +
                               "' application_name=" + database_.schema();
  const auto here = std::filesystem::current_path();
  const std::filesystem::path folder = database_.dir().path();
  std::filesystem::current_path(folder);
  Object engine = testing::engineObject();
  Object db(engine.call(u"CreateDatabase", fromUtf8(keyValue)));
  // A fresh database takes a text column at once (its own collation is made).
  db.call(u"Execute", u"CREATE TABLE Books (Id LONG PRIMARY KEY, Title TEXT(40))");
  db.call(u"Execute", u"INSERT INTO Books VALUES (1, 'Emma')");
  EXPECT_EQ(toUtf8(toText(db.get(u"Name"))).find(password), std::string::npos);
  for (const std::string& wrong :
       {"host=" + host + " passwrd=" + password + " dbname=" + name, "mysql://" + user + ":" + password + "@" + host +
                                                                          "/" + name}) {
    const auto failure = failureOf([&] { engine.call(u"OpenDatabase", fromUtf8(wrong)); });
    EXPECT_EQ(failure.first, errc::OdbcConnectionFailed) << toUtf8(failure.second);
    EXPECT_EQ(toUtf8(failure.second).find(password), std::string::npos) << toUtf8(failure.second);
    EXPECT_EQ(failureOf([&] { engine.call(u"CreateDatabase", fromUtf8(wrong)); }).first, errc::OdbcConnectionFailed);
  }
  std::filesystem::current_path(here);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// A server database the engine never used: opened (not created) by the
// engine, its first statement with a text column just works.
TEST_F(ServerLoss, AFreshServerDatabaseTakesATextColumnAtOnce) {
  Object db(testing::engineObject().call(u"OpenDatabase", database_.name()));
  db.call(u"Execute", u"CREATE TABLE Notes (Id LONG PRIMARY KEY, Body TEXT(50))");
  db.call(u"Execute", u"INSERT INTO Notes VALUES (1, 'Abc')");
  EXPECT_EQ(testing::column(Object(db.call(u"OpenRecordset", u"SELECT Id FROM Notes WHERE Body = 'aBC'")), u"Id"),
            u"1");
}

}  // namespace
}  // namespace tarnwick
