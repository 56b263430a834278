// The server session's transactions: nested levels as savepoints, the
// write scope of one change, and commits whose answer may be lost with the
// connection.
#include "PgInternal.h"

#include <tarnwick/automation/Error.h>

#include <libpq-fe.h>

#include <chrono>
#include <thread>

namespace tarnwick::engine {

using impl::endsSession;
using impl::field;
using impl::kLostTransaction;
using impl::kScopeBegin;
using impl::kScopeRelease;
using impl::kScopeSavepoint;
using impl::PgResult;
using impl::raiseLost;
using impl::sendCommand;

int PgConnection::transactionDepth() const noexcept { return session_->depth; }

void PgConnection::begin() {
  checkOpen();
  int& depth = session_->depth;
  exec(depth == 0 ? std::string("BEGIN") : "SAVEPOINT tw" + std::to_string(depth + 1));
  ++depth;
}

void PgConnection::commit() {
  checkOpen();
  auto& session = *session_;
  if (session.depth == 0) raise(errc::NoTransaction);
  // A level lost with its connection ends here; nothing of it was saved,
  // and a commit that says so is no success.
  if (session.lostLevels > 0) {
    --session.depth;
    --session.lostLevels;
    raiseLost(std::u16string(kLostTransaction.substr(0, kLostTransaction.find(u';'))));
  }
  if (session.depth > 1) {
    exec("RELEASE SAVEPOINT tw" + std::to_string(session.depth));
    --session.depth;
    return;
  }
  // The server ends the transaction whatever the outcome.
  session.depth = 0;
  commitOnServer();
}

void PgConnection::commitOnServer() {
  auto& session = *session_;
  session.claim(nullptr);
  // A transaction a failed statement spoilt cannot be asked anything more:
  // its commit rolls it back, which still succeeds.
  if (PQtransactionStatus(session.conn) == PQTRANS_INERROR) {
    PgResult result = session.run("COMMIT");
    if (!impl::completed(result.get())) session.fail(result.get());
    restoreSettings();
    raiseLost(u"the transaction was rolled back: a statement in it had failed");
  }
  // The transaction's number goes ahead of the commit, in one round trip
  // but answered first (a sync between them makes the server send it), so
  // that a commit whose answer is lost with the connection can be looked
  // up afterwards.
  pg_conn* conn = session.conn;
  const int pid = PQbackendPID(conn);
  const std::vector<std::string> commands = std::move(session.deferred);
  session.deferred.clear();
  if (!commands.empty()) ++session.sends;
  bool sent = PQenterPipelineMode(conn) != 0;
  for (const std::string& command : commands) sent = sent && sendCommand(conn, command, session.pooled);
  sent = sent && sendCommand(conn, "SELECT txid_current_if_assigned(), pg_postmaster_start_time()::text") &&
         PQpipelineSync(conn);
  // Whether the commit itself went (it is the last thing sent).
  sent = sent && sendCommand(conn, "COMMIT") && PQpipelineSync(conn);
  std::optional<std::string> number;
  bool numbered = false;
  PgResult committed, failure;
  // The server the transaction ran on: its number means the same only to
  // that server, in the same run of it (a server that restarted after a
  // crash, or a standby promoted in its place, may give it out again).
  std::string server = std::string(PQhost(conn) ? PQhost(conn) : "") + ':' + (PQport(conn) ? PQport(conn) : "");
  for (int syncs = 0, ends = 0; sent && syncs < 2;) {
    PgResult result = session.answer();
    if (!result) {
      // Each command's results end with a null result; a lost connection
      // gives nothing more.
      if (PQstatus(conn) == CONNECTION_BAD && ++ends > 2) break;
      continue;
    }
    ends = 0;
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_PIPELINE_SYNC) {
      ++syncs;
    } else if (status == PGRES_TUPLES_OK && impl::completed(result.get()) && PQntuples(result.get()) == 1) {
      numbered = true;
      if (PQntuples(result.get()) == 1 && !PQgetisnull(result.get(), 0, 0)) number = PQgetvalue(result.get(), 0, 0);
      if (PQntuples(result.get()) == 1 && PQnfields(result.get()) == 2) server += '@' + std::string(PQgetvalue(result.get(), 0, 1));
    } else if (status == PGRES_COMMAND_OK && impl::completed(result.get())) {
      if (syncs == 1) committed = std::move(result);
    } else if (status != PGRES_PIPELINE_ABORTED && !failure) {
      failure = std::move(result);
    }
  }
  if (PQpipelineStatus(conn) != PQ_PIPELINE_OFF && PQstatus(conn) == CONNECTION_OK) PQexitPipelineMode(conn);
  if (committed) {
    if (std::string_view(PQcmdStatus(committed.get())) == "COMMIT") return;
    // A command sent ahead of the commit failed, and the commit rolled
    // the transaction back (and with it a setting made inside).
    restoreSettings();
    if (failure && !endsSession(field(failure.get(), PG_DIAG_SQLSTATE))) session.fail(failure.get());
    raiseLost(u"the transaction was rolled back: a statement in it had failed");
  }
  // The commit's own refusal (a check the transaction put off to its end):
  // the server rolled it back.
  const bool down = session.noteLoss() || (failure && endsSession(field(failure.get(), PG_DIAG_SQLSTATE)));
  if (sent && !down && failure) session.fail(failure.get());
  session.markLost();
  // Nothing reached the server: the transaction went with its connection.
  if (!sent) raiseLost(u"the transaction was rolled back: the server session was lost before it committed");
  // The transaction wrote nothing: there was nothing to save.
  if (numbered && !number) return;
  if (numbered) {
    if (const std::optional<bool> outcome = commitOutcome(*number, pid, server)) {
      if (*outcome) return;
      raiseLost(u"the transaction was rolled back: the server session was lost before it committed");
    }
  }
  raiseLost(u"the outcome of the commit is unknown: the server session was lost before it answered, and a new "
            u"session could not learn what became of the transaction (the server did not answer, restarted, or "
            u"another server took its place)");
}

std::optional<bool> PgConnection::commitOutcome(const std::string& number, int formerPid,
                                                const std::string& server) noexcept {
  // On a new connection to the same server, still running since the
  // transaction, the server tells what became of a transaction by its
  // number; one still in progress belonged to a server process that has
  // not yet noticed its client went, which is given a few seconds and then
  // stopped.
  try {
    session_->claim(nullptr);
    pg_conn* conn = session_->conn;
    PgResult started(PQexec(conn, "SELECT pg_postmaster_start_time()::text"));
    if (!impl::completed(started.get()) || PQntuples(started.get()) != 1) return std::nullopt;
    const std::string now = std::string(PQhost(conn) ? PQhost(conn) : "") + ':' + (PQport(conn) ? PQport(conn) : "") +
                            '@' + PQgetvalue(started.get(), 0, 0);
    if (now != server) return std::nullopt;
    for (int attempt = 0; attempt < 50; ++attempt) {
      const char* values[] = {number.c_str()};
      PgResult status(PQexecParams(conn, "SELECT txid_status($1::bigint)", 1, nullptr, values, nullptr, nullptr, 0));
      if (!impl::completed(status.get()) || PQntuples(status.get()) != 1 || PQgetisnull(status.get(), 0, 0))
        return std::nullopt;
      const std::string_view answer = PQgetvalue(status.get(), 0, 0);
      if (answer == "aborted") return false;
      if (answer == "committed") {
        // Committed here, but where commits wait for a standby, perhaps not
        // yet there: a commit of this session's own waits for everything
        // committed before it.
        PgResult after(PQexec(conn, "BEGIN; SELECT txid_current(); COMMIT"));
        if (impl::completed(after.get()) && std::string_view(PQcmdStatus(after.get())) == "COMMIT") return true;
        return std::nullopt;
      }
      // Only the process still in that transaction (its number may have
      // gone to another process since).
      if (attempt == 30 && formerPid > 0) {
        const std::string pid = std::to_string(formerPid);
        const char* stop[] = {pid.c_str(), number.c_str()};
        PQclear(PQexecParams(conn,
                             "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE pid = $1::int AND "
                             "backend_xid = ($2::bigint % 4294967296)::text::xid",
                             2, nullptr, stop, nullptr, nullptr, 0));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  } catch (...) {
  }
  return std::nullopt;
}

void PgConnection::rollback() {
  checkOpen();
  auto& session = *session_;
  if (session.depth == 0) raise(errc::NoTransaction);
  // The level ends even when the server cannot be told (a lost session has
  // lost its transaction too).
  const int level = session.depth--;
  if (session.lostLevels > 0) {
    --session.lostLevels;
    return;
  }
  if (level == 1) {
    exec("ROLLBACK");
  } else {
    const std::string name = "tw" + std::to_string(level);
    exec("ROLLBACK TO SAVEPOINT " + name + "; RELEASE SAVEPOINT " + name);
  }
  restoreSettings();
}

WriteMark PgConnection::openWrite() {
  auto& session = *session_;
  if (!session.conn) raise(errc::ObjectInvalid);
  WriteMark mark;
  // Inside a transaction, or inside another change's own transaction (a
  // lock or the catalogue asked for while a record is saved): a savepoint,
  // so that the inner change does not commit the outer one.
  mark.nested = session.depth > 0 || session.scopes > 0;
  if (!mark.nested) ++session.scopes;
  // Sent with the change's own statement.
  session.deferred.emplace_back(mark.nested ? kScopeSavepoint : kScopeBegin);
  mark.since = session.sends;
  mark.open = true;
  return mark;
}

bool PgConnection::undoWrite(WriteMark& mark) noexcept {
  if (!mark.open) return false;
  mark.open = false;
  // Not committed: the change is undone, and what was read may differ.
  auto& session = *session_;
  if (!mark.nested) --session.scopes;
  if (!session.conn) return true;
  // Nothing was sent in the scope: there is nothing to undo.
  if (session.takeBack(mark.nested ? kScopeSavepoint : kScopeBegin, mark.since)) return true;
  try {
    session.claim(nullptr);
  } catch (...) {
    return true;
  }
  // A lost session has lost the change already; nothing is left to undo.
  session.run(mark.nested ? "ROLLBACK TO SAVEPOINT tw_write; RELEASE SAVEPOINT tw_write" : "ROLLBACK");
  return true;
}

void PgConnection::commitWrite(WriteMark& mark) {
  if (!mark.open) return;
  mark.open = false;
  auto& session = *session_;
  if (!mark.nested) --session.scopes;
  if (session.takeBack(mark.nested ? kScopeSavepoint : kScopeBegin, mark.since)) return;
  if (mark.nested) {
    // Goes with the next command: a savepoint that exists is always released.
    session.deferred.emplace_back(kScopeRelease);
  } else {
    commitOnServer();
  }
}


}  // namespace tarnwick::engine
