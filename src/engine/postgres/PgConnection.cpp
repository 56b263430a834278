#include "PgConnection.h"

#include "PgCatalogue.h"
#include "PgDialect.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/HostServices.h>

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <mutex>
#include <set>

namespace tarnwick::engine {

namespace {

using impl::PgResult;

using impl::kPreparedCommands;
using impl::kScopeBegin;
using impl::kScopeRelease;
using impl::kScopeSavepoint;
using impl::PreparedCommand;

bool startsWith(std::string_view text, std::string_view prefix) noexcept {
  return text.substr(0, prefix.size()) == prefix;
}

// A connection text without its password: a URI's user information keeps
// only the user and its query is left out; a key=value text is shown by its
// parsed parts.
std::string shownTarget(const std::string& text) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
  PQfreemem(error);
  if (!options) {
    const auto scheme = text.find("://");
    if (scheme == std::string::npos) return text.find('=') == std::string::npos ? text : std::string();
    std::string shown = text.substr(0, text.find('?'));
    const auto at = shown.find('@', scheme + 3);
    const auto colon = shown.find(':', scheme + 3);
    if (at != std::string::npos && colon < at) shown.erase(colon, at - colon);
    return shown;
  }
  std::string user, host, port, dbname;
  for (const PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val) continue;
    const std::string_view key = o->keyword;
    if (key == "user") user = o->val;
    else if (key == "host" || (key == "hostaddr" && host.empty())) host = o->val;
    else if (key == "port") port = o->val;
    else if (key == "dbname") dbname = o->val;
  }
  PQconninfoFree(options);
  std::string shown = "postgresql://";
  if (!user.empty()) shown += user + '@';
  shown += host;
  if (!port.empty()) shown += ':' + port;
  if (!dbname.empty()) shown += '/' + dbname;
  return shown;
}

// The password a connection text carries. A text that libpq cannot parse
// is searched by the rules of its two forms: libpq's message about it may
// quote it whole.
std::string passwordOf(const std::string& text) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
  PQfreemem(error);
  std::string password;
  if (options) {
    for (const PQconninfoOption* o = options; o->keyword; ++o) {
      if (o->val && std::string_view(o->keyword) == "password") password = o->val;
    }
    PQconninfoFree(options);
    return password;
  }
  if (const auto scheme = text.find("://"); scheme != std::string::npos) {
    const auto at = text.find('@', scheme + 3);
    const auto colon = text.find(':', scheme + 3);
    if (at != std::string::npos && colon < at) password = text.substr(colon + 1, at - colon - 1);
  } else if (const auto key = text.find("password"); key != std::string::npos) {
    auto from = text.find_first_not_of(" =", key + 8);
    if (from != std::string::npos && text[from] == '\'') ++from;
    if (from != std::string::npos) password = text.substr(from, text.find_first_of(" '", from) - from);
  }
  return password;
}

void ignoreNotice(void*, const char*) {}

bool stoppedByTimeout(const pg_result* result) noexcept;
void noteIfUnencrypted(pg_conn* conn, const std::string& target);
[[noreturn]] void raiseQueryTimeout();

std::string_view field(const pg_result* result, int code) noexcept {
  const char* value = result ? PQresultErrorField(result, code) : nullptr;
  return value ? value : "";
}

// The name in double quotes after `prefix` in a server message.
std::u16string quotedAfter(std::string_view message, std::string_view prefix) {
  const auto at = message.find(prefix);
  if (at == std::string_view::npos) return {};
  const auto from = at + prefix.size();
  const auto to = message.find('"', from);
  return to == std::string_view::npos ? std::u16string() : fromUtf8(message.substr(from, to - from));
}

}  // namespace

namespace impl {

void PgResultFree::operator()(pg_result* result) const noexcept { PQclear(result); }

PgSession::~PgSession() { close(); }

void PgSession::close() noexcept {
  if (streaming) streaming->discard();
  endPipeline();
  deferred.clear();
  if (conn) PQfinish(conn);
  conn = nullptr;
  open = false;
}

std::string PgSession::takeDeferred() {
  std::string sql;
  if (deferred.empty()) return sql;
  for (const std::string& command : deferred) sql += command + "; ";
  deferred.clear();
  ++sends;
  return sql;
}

PgResult PgSession::run(const std::string& sql) { return PgResult(PQexec(conn, (takeDeferred() + sql).c_str())); }

PgResult PgSession::next() noexcept {
  PgResult result(PQgetResult(conn));
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
    PgResult result(PQgetResult(conn));
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
  if (streaming && streaming != next) streaming->readAhead();
  dropUnprepared();
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
  PQclear(PQexec(conn, sql.c_str()));
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

void PgSession::fail(const pg_result* result) const {
  const std::string_view state = field(result, PG_DIAG_SQLSTATE);
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
  if (state == "42703") raise(errc::TooFewParameters, u"1");
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

}  // namespace impl

// ---------------------------------------------------------------------------
// PgConnection

PgConnection::PgConnection(std::string_view uri) : session_(std::make_shared<impl::PgSession>()) {
  const std::string text(uri);
  session_->target = shownTarget(text);
  session_->secrets.push_back(passwordOf(text));
  // A server that does not answer is given up after ten seconds, unless the
  // URI says otherwise; texts always travel as UTF-8.
  const char* const keys[] = {"connect_timeout", "dbname", "client_encoding", "fallback_application_name", nullptr};
  const char* const values[] = {"10", text.c_str(), "UTF8", "tarnwick", nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (!conn) raise(errc::OutOfMemory);
  // The password libpq found elsewhere (its environment, its password file).
  if (const char* password = PQpass(conn); password && *password) session_->secrets.emplace_back(password);
  if (PQstatus(conn) != CONNECTION_OK) {
    const std::u16string message = session_->clean(PQerrorMessage(conn));
    PQfinish(conn);
    raise(Error(errc::OdbcConnectionFailed,
                describe(errc::OdbcConnectionFailed, session_->clean(session_->target)) + u' ' + message));
  }
  noteIfUnencrypted(conn, session_->target);
  // The server's notices (a table dropped only if it exists) are not errors.
  PQsetNoticeProcessor(conn, &ignoreNotice, nullptr);
  session_->conn = conn;
  session_->open = true;
  setUp();
}

PgConnection::PgConnection(std::string_view uri, bool readOnly, int busyMilliseconds) : PgConnection(uri) {
  readOnly_ = readOnly;
  if (readOnly) exec("SET default_transaction_read_only = on");
  setBusyTimeout(busyMilliseconds);
  if (!readOnly) ensureServerFunctions(*this);
}

void PgConnection::setUp() {
  pg_conn* conn = session_->conn;
  // Timestamps are read as "yyyy-mm-dd hh:mm:ss" whatever the server's
  // defaults, and bytes as hex; all in one round trip with the prepared
  // commands.
  bool sent = PQenterPipelineMode(conn);
  session_->pipelined = sent;
  for (const char* setting : {"SET DateStyle = ISO, YMD", "SET bytea_output = hex"})
    sent = sent && PQsendQueryParams(conn, setting, 0, nullptr, nullptr, nullptr, nullptr, 0);
  for (const PreparedCommand& c : kPreparedCommands)
    sent = sent && PQsendPrepare(conn, c.name, c.text.data(), 0, nullptr);
  sent = PQpipelineSync(conn) && sent;
  PgResult failure;
  session_->endPipeline(&failure);
  if (!sent || failure) session_->fail(failure.get());
}

PgConnection::~PgConnection() { close(); }

bool PgConnection::names(std::string_view name) noexcept {
  const auto scheme = [&](std::string_view prefix) {
    if (name.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
      if ((name[i] | 0x20) != prefix[i] && name[i] != prefix[i]) return false;
    return true;
  };
  return scheme("postgresql://") || scheme("postgres://");
}

const Dialect& PgConnection::dialect() const noexcept { return postgresDialect(); }

std::u16string PgConnection::name() const { return fromUtf8(target()); }

void PgConnection::checkOpen() const {
  if (!session_->conn) raise(errc::ObjectInvalid);
}

void PgConnection::closeStorage() noexcept {
  session_->close();
  depth_ = 0;
}

std::unique_ptr<Statement> PgConnection::prepare(std::string_view sql) {
  return std::make_unique<PgStatement>(*this, sql);
}

void PgConnection::exec(std::string_view sql) {
  auto& session = *session_;
  session.claim(nullptr);
  PgResult result = session.run(std::string(sql));
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) session.fail(result.get());
  session.noteChanges(result.get());
}

std::string PgConnection::relationName(unsigned oid) {
  if (oid == 0) return {};
  PgStatement& s = cached("SELECT relname FROM pg_catalog.pg_class WHERE oid = $1");
  s.bind(1, static_cast<std::int64_t>(oid));
  std::string name = s.step() ? std::string(s.text(0)) : std::string();
  s.rewind();
  return name;
}

std::string PgConnection::attributeName(unsigned table, int column) {
  if (table == 0 || column <= 0) return {};
  PgStatement& s = cached("SELECT attname FROM pg_catalog.pg_attribute WHERE attrelid = $1 AND attnum = $2");
  s.bind(1, static_cast<std::int64_t>(table));
  s.bind(2, static_cast<std::int64_t>(column));
  std::string name = s.step() ? std::string(s.text(0)) : std::string();
  s.rewind();
  return name;
}

std::string PgConnection::typeName(unsigned type, int modifier) {
  const std::uint64_t key = (static_cast<std::uint64_t>(type) << 32) | static_cast<std::uint32_t>(modifier);
  if (const auto at = typeNames_.find(key); at != typeNames_.end()) return at->second;
  PgStatement& s = cached("SELECT format_type($1, $2)");
  s.bind(1, static_cast<std::int64_t>(type));
  s.bind(2, static_cast<std::int64_t>(modifier));
  std::string name = s.step() ? std::string(s.text(0)) : std::string();
  s.rewind();
  typeNames_.emplace(key, name);
  return name;
}

void PgConnection::setBusyTimeout(int milliseconds) {
  // The server's own wait for a lock; a wait that runs out is the same
  // refusal as a lock that is not waited for.
  if (isOpen()) exec("SET lock_timeout = " + std::to_string(std::max(milliseconds, 1)));
}

void PgConnection::begin() {
  checkOpen();
  exec(depth_ == 0 ? std::string("BEGIN") : "SAVEPOINT tw" + std::to_string(depth_ + 1));
  ++depth_;
}

void PgConnection::commit() {
  checkOpen();
  if (depth_ == 0) raise(errc::NoTransaction);
  if (depth_ > 1) {
    exec("RELEASE SAVEPOINT tw" + std::to_string(depth_));
    --depth_;
    return;
  }
  // The server ends the transaction whatever the outcome.
  depth_ = 0;
  commitOnServer();
}

void PgConnection::commitOnServer() {
  auto& session = *session_;
  session.claim(nullptr);
  PgResult result = session.run("COMMIT");
  if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) session.fail(result.get());
  // A spoilt transaction is rolled back by its commit, which still succeeds.
  if (std::string_view(PQcmdStatus(result.get())) == "ROLLBACK") {
    restoreSettings();
    raise(Error(errc::OdbcCallFailed, standardDescription(errc::OdbcCallFailed) +
                                          u" the transaction was rolled back: a statement in it had failed"));
  }
}

void PgConnection::rollback() {
  checkOpen();
  if (depth_ == 0) raise(errc::NoTransaction);
  // The level ends even when the server cannot be told (a lost session has
  // lost its transaction too).
  const int level = depth_--;
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
  mark.nested = depth_ > 0;
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
  if (session.takeBack(mark.nested ? kScopeSavepoint : kScopeBegin, mark.since)) return;
  if (mark.nested) {
    // Goes with the next command: a savepoint that exists is always released.
    session.deferred.emplace_back(kScopeRelease);
  } else {
    commitOnServer();
  }
}

}  // namespace tarnwick::engine

// ---------------------------------------------------------------------------
// The query timeout

namespace tarnwick::engine {

namespace {

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

// A connection over the network that asked for encryption only where the
// server offers it (libpq's sslmode "prefer", its default, or "allow") and
// got none is said in the host's message log, once per server and database
// in the process: its texts, passwords among them, cross the network as
// they are. A session through the server's local socket is not told.
void noteIfUnencrypted(pg_conn* conn, const std::string& target) {
  if (PQsslInUse(conn)) return;
  const char* host = PQhost(conn);
  if (!host || *host == '/' || *host == '@') return;
  std::string mode;
  if (PQconninfoOption* options = PQconninfo(conn)) {
    for (const PQconninfoOption* o = options; o->keyword; ++o)
      if (o->val && std::string_view(o->keyword) == "sslmode") mode = o->val;
    PQconninfoFree(options);
  }
  if (mode != "prefer" && mode != "allow") return;
  static std::mutex mutex;
  static std::set<std::string> told;
  {
    const std::lock_guard lock(mutex);
    if (!told.insert(target).second) return;
  }
  frame::logMessage(u"The connection to '" + fromUtf8(target) + u"' is not encrypted: it asked for encryption only " +
                    u"where the server offers it (sslmode=" + fromUtf8(mode) +
                    u") and the server offers none. Ask for sslmode=verify-full to refuse such a connection.");
}

std::string statementTimeout(int seconds) { return "SET statement_timeout = " + std::to_string(seconds * 1000); }

}  // namespace

// A setting goes to the server at once, on its own: deferred to go with
// the next command, it would stand before that command's BEGIN, and a
// rollback of that transaction would undo it too.
void PgConnection::setQueryTimeout(int seconds) {
  querySeconds_ = std::max(seconds, 0);
  if (!isOpen()) return;
  exec(statementTimeout(querySeconds_));
  if (depth_ > 0 || PQtransactionStatus(session_->conn) != PQTRANS_IDLE) settingsInTransaction_ = true;
}

void PgConnection::restoreSettings() {
  if (!settingsInTransaction_) return;
  exec(statementTimeout(querySeconds_));
  // Sent inside a transaction still open, it waits on that one's outcome.
  settingsInTransaction_ = depth_ > 0;
}

}  // namespace tarnwick::engine
