// The server's session: commands sent and answered, results read, and the
// server's failures as the engine's errors.
#include "PgInternal.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace tarnwick::engine::impl {

namespace {

// The name in double quotes after `prefix` in a server message.
std::u16string quotedAfter(std::string_view message, std::string_view prefix) {
  const auto at = message.find(prefix);
  if (at == std::string_view::npos) return {};
  const auto from = at + prefix.size();
  const auto to = message.find('"', from);
  return to == std::string_view::npos ? std::u16string() : fromUtf8(message.substr(from, to - from));
}

// The server stops a statement with the same state for a cancel and for
// its statement_timeout; only the text tells them apart.
bool stoppedByTimeout(const pg_result* result) noexcept {
  return field(result, PG_DIAG_MESSAGE_PRIMARY).find("statement timeout") != std::string_view::npos;
}

void raiseQueryTimeout() {
  raise(Error(errc::QueryTimeout)
            .noted(u"the statement ran longer than QueryTimeout and the server stopped it; nothing it changed was "
                   u"kept"));
}

}  // namespace

bool startsWith(std::string_view text, std::string_view prefix) noexcept {
  return text.substr(0, prefix.size()) == prefix;
}

bool endsSession(std::string_view state) noexcept {
  return startsWith(state, "08") || state == "57P01" || state == "57P02" || state == "57P03";
}

bool sendCommand(pg_conn* conn, const std::string& command, bool pooled) {
  const char* name = pooled ? nullptr : impl::preparedName(command);
  return name ? PQsendQueryPrepared(conn, name, 0, nullptr, nullptr, nullptr, 0) != 0
              : PQsendQueryParams(conn, command.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 0;
}

[[noreturn]] void raiseLost(std::u16string detail) {
  raise(Error(errc::OdbcCallFailed, standardDescription(errc::OdbcCallFailed) + u' ' + std::move(detail)));
}

std::string_view field(const pg_result* result, int code) noexcept {
  const char* value = result ? PQresultErrorField(result, code) : nullptr;
  return value ? value : "";
}


void PgResultFree::operator()(pg_result* result) const noexcept { PQclear(result); }

bool completed(const pg_result* result) noexcept {
  if (!result) return false;
  const ExecStatusType status = PQresultStatus(result);
  return (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) && *PQcmdStatus(const_cast<pg_result*>(result));
}

PgSession::~PgSession() { close(); }

void PgSession::close() noexcept {
  if (streaming) streaming->discard();
  endPipeline();
  deferred.clear();
  if (conn) PQfinish(conn);
  conn = nullptr;
  open = false;
  lost = false;
  renew = nullptr;
  heldLocks.clear();
  lostLocks.clear();
}

std::string PgSession::takeDeferred() {
  std::string sql;
  if (deferred.empty()) return sql;
  for (const std::string& command : deferred) sql += command + "; ";
  deferred.clear();
  ++sends;
  return sql;
}

const std::string& PgSession::settingsFor() const noexcept {
  static const std::string none;
  return pooled && PQtransactionStatus(conn) == PQTRANS_IDLE ? settings : none;
}

PgResult PgSession::run(const std::string& sql) {
  // The settings go first: a BEGIN after them makes their transaction the
  // one it opens.
  const std::string& prefix = settingsFor();
  return collect(PQsendQuery(conn, ((prefix.empty() ? prefix : prefix + "; ") + takeDeferred() + sql).c_str()));
}

void PgSession::awaitAnswer() noexcept {
  // Most results are there already (a walk's rows arrive ahead of their
  // reading): the clock is read only when one is not.
  if (answerMilliseconds <= 0 || !conn || timedOut || !PQisBusy(conn)) return;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerMilliseconds);
  while (PQisBusy(conn)) {
    const int socket = PQsocket(conn);
    if (socket < 0) return;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      timedOut = true;
      ::shutdown(socket, SHUT_RDWR);
      return;
    }
    pollfd ready{socket, POLLIN, 0};
    const int n = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left, 60'000)));
    if (n < 0 && errno != EINTR) return;
    if (n > 0 && !PQconsumeInput(conn)) return;
  }
}

PgResult PgSession::answer() noexcept {
  awaitAnswer();
  return PgResult(PQgetResult(conn));
}

PgResult PgSession::collect(bool sent) noexcept {
  PgResult last;
  while (sent) {
    PgResult result = answer();
    if (!result) break;
    last = std::move(result);
  }
  return last;
}

PgResult PgSession::next() noexcept {
  PgResult result = answer();
  if (!result) {
    streaming = nullptr;
    endPipeline();
  }
  return result;
}

void PgSession::endPipeline(PgResult* failure) noexcept {
  if (!pipelined) return;
  pipelined = false;
  // Each command's results end with a null result, the pipeline with its
  // end mark; a lost connection gives nothing more.
  for (int ends = 0; ends < 64 && PQstatus(conn) == CONNECTION_OK;) {
    PgResult result = answer();
    if (!result) {
      ++ends;
      continue;
    }
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_PIPELINE_SYNC) break;
    if (failure && !*failure && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) *failure = std::move(result);
  }
  PQexitPipelineMode(conn);
}

bool PgSession::takeBack(std::string_view command, std::uint64_t since) noexcept {
  if (sends != since || deferred.empty() || deferred.back() != command) return false;
  deferred.pop_back();
  return true;
}

void PgSession::claim(const PgStatement* next) {
  if (!conn) raise(errc::ObjectInvalid);
  if (lost || lostLevels > 0) renew();
  if (streaming && streaming != next) streaming->readAhead();
  dropUnprepared();
}

void PgSession::failCut() const { raiseLost(std::u16string(kLostSession)); }

void PgSession::markLost() noexcept {
  if (lost) return;
  lost = true;
  // What lived in the connection went with it: the server's transaction,
  // prepared statements, temporary tables.
  if (depth > 0) lostLevels = depth;
  ++generation;
}

bool PgSession::noteLoss() noexcept {
  if (!conn || lost) return lost;
  if (PQstatus(conn) != CONNECTION_BAD) return false;
  markLost();
  return true;
}

void PgSession::dropUnprepared() noexcept {
  // Not in a spoilt transaction: the server would refuse the command, and
  // the statements stay prepared until the next chance.
  if (unprepared.empty() || !conn) return;
  const PGTransactionStatusType state = PQtransactionStatus(conn);
  if (state != PQTRANS_IDLE && state != PQTRANS_INTRANS) return;
  std::string sql;
  for (const std::string& name : unprepared) sql += "DEALLOCATE " + name + ";";
  unprepared.clear();
  collect(PQsendQuery(conn, sql.c_str()));
}

void PgSession::noteChanges(const pg_result* result) noexcept {
  const std::string_view status = PQcmdStatus(const_cast<pg_result*>(result));
  if (startsWith(status, "INSERT") || startsWith(status, "UPDATE") || startsWith(status, "DELETE") ||
      startsWith(status, "MERGE"))
    changes = std::atoll(PQcmdTuples(const_cast<pg_result*>(result)));
}

std::u16string PgSession::clean(std::string_view message) const {
  std::string text;
  bool blank = false;
  for (char c : message) {
    if (c == '\n' || c == '\t' || c == '\r' || c == ' ') {
      blank = !text.empty();
      continue;
    }
    if (blank) text += ' ';
    blank = false;
    text += c;
  }
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    constexpr std::string_view kHidden = "***";
    for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + kHidden.size()))
      text.replace(at, secret.size(), kHidden);
  }
  return fromUtf8(text);
}

void PgSession::fail(const pg_result* result) {
  if (timedOut) {
    timedOut = false;
    markLost();
    raise(Error(errc::QueryTimeout)
              .noted(u"the server did not answer within QueryTimeout, and the session was given up (should the "
                     u"server's process resume, what the statement changed outside a transaction may yet be "
                     u"saved); the next call opens a new session"));
  }
  const std::string_view state = field(result, PG_DIAG_SQLSTATE);
  // The server ended the session (an administrator, a shutdown, a crash),
  // or the connection went down: the session is lost, whatever else the
  // result says.
  if (conn && endsSession(state)) markLost();
  // A success without the server's completion tag is libpq's own, for a
  // connection that went.
  if (conn && result && (PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK))
    markLost();
  if (noteLoss()) {
    std::string_view message = field(result, PG_DIAG_MESSAGE_PRIMARY);
    if (message.empty() && conn) message = PQerrorMessage(conn);
    if (message.empty()) message = "no connection to the server";
    raiseLost(clean(message) + u" (" + std::u16string(lostLevels > 0 ? kLostTransaction : kLostSession) + u")");
  }
  if (state == "23505") raise(errc::DuplicateKey);
  // Values the column's type cannot hold, as the engine refuses them.
  if (state == "22003") raise(errc::Overflow);
  if (state == "22001") raise(errc::FieldTooSmall);
  // A text read as a date that is none (DateValue of a field's text).
  if (state == "22007" || state == "22008") raise(errc::CriteriaMismatch);
  if (state == "23502") raise(errc::RequiredNull, fromUtf8(field(result, PG_DIAG_COLUMN_NAME)));
  if (state == "23503") {
    // The table whose record is missing is named in the detail; the error's
    // own table is the one being changed.
    std::u16string table = quotedAfter(field(result, PG_DIAG_MESSAGE_DETAIL), "is not present in table \"");
    if (table.empty()) table = fromUtf8(field(result, PG_DIAG_TABLE_NAME));
    raise(errc::RelatedRecordRequired, table);
  }
  // Names the statement uses that the database lacks, and statements the
  // server cannot read, as the file backend reports them.
  if (state == "42P01") raise(errc::TableNotFound, quotedAfter(field(result, PG_DIAG_MESSAGE_PRIMARY), "relation \""));
  if (state == "42703") {
    // "column X does not exist", X quoted or qualified as the statement wrote it.
    std::string name(field(result, PG_DIAG_MESSAGE_PRIMARY));
    if (name.rfind("column ", 0) == 0) name.erase(0, 7);
    if (const auto end = name.find(" does not exist"); end != std::string::npos) name.erase(end);
    std::erase(name, '"');
    raise(Error(errc::TooFewParameters, describe(errc::TooFewParameters, u"1"))
              .noted(u"unknown name " + quotedName(fromUtf8(name))));
  }
  if (state == "42601")
    raise(errc::InvalidArgument, {}, u"(" + clean(field(result, PG_DIAG_MESSAGE_PRIMARY)) + u")");
  if (state == "57014" && stoppedByTimeout(result)) raiseQueryTimeout();
  if (state == "55P03") {
    // The server does not say who holds the lock; every session of a server
    // is seen as the workspace's default user on the server's machine.
    std::u16string text = standardDescription(errc::RecordLocked);
    const char* host = conn ? PQhost(conn) : nullptr;
    if (const auto at = text.find(u"|2"); at != std::u16string::npos) text.replace(at, 2, u"admin");
    if (const auto at = text.find(u"|1"); at != std::u16string::npos) text.replace(at, 2, fromUtf8(host ? host : ""));
    raise(Error(errc::RecordLocked, std::move(text)));
  }
  std::string_view message = field(result, PG_DIAG_MESSAGE_PRIMARY);
  if (message.empty() && result) message = PQresultErrorMessage(result);
  if (message.empty() && conn) message = PQerrorMessage(conn);
  if (message.empty()) message = "no connection to the server";
  raise(Error(errc::OdbcCallFailed, standardDescription(errc::OdbcCallFailed) + u' ' + clean(message)));
}


}  // namespace tarnwick::engine::impl
