#include "PgConnection.h"

#include "PgCatalogue.h"
#include "PgDialect.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/HostServices.h>

#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <charconv>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
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
  // Several servers: each host with its port ("h1:p1,h2:p2"); a single
  // port stands for all of them.
  const auto item = [](const std::string& list, std::size_t index) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < index && from != std::string::npos; ++i) {
      from = list.find(',', from);
      if (from != std::string::npos) ++from;
    }
    if (from == std::string::npos) return std::string();
    return list.substr(from, list.find(',', from) - from);
  };
  const std::size_t hosts = static_cast<std::size_t>(std::count(host.begin(), host.end(), ',')) + 1;
  const bool onePort = port.find(',') == std::string::npos;
  for (std::size_t i = 0; i < hosts; ++i) {
    if (i > 0) shown += ',';
    shown += item(host, i);
    const std::string p = onePort ? port : item(port, i);
    if (!p.empty()) shown += ':' + p;
  }
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

// Takes the engine's own parameter "pool_mode" out of a connection text
// (libpq knows no such parameter): "transaction" when the server is
// reached through a transaction pooler. In a URI it is one of the query's
// parameters, in the key=value form one of the pairs.
std::string takePoolMode(std::string& text) {
  constexpr std::string_view kKey = "pool_mode=";
  std::string mode;
  const bool uri = text.find("://") != std::string::npos;
  for (std::size_t at = text.find(kKey); at != std::string::npos; at = text.find(kKey, at + 1)) {
    const char before = at == 0 ? ' ' : text[at - 1];
    if (uri ? before != '?' && before != '&' : before != ' ' && before != '\t') continue;
    std::size_t end = at + kKey.size();
    while (end < text.size() && text[end] != '&' && text[end] != ' ' && text[end] != '\t') ++end;
    mode = text.substr(at + kKey.size(), end - at - kKey.size());
    // The parameter goes with one separator: the one after it, or else the
    // one before.
    std::size_t from = at, to = end;
    if (to < text.size()) ++to;
    else if (from > 0 && (text[from - 1] == '&' || (!uri && text[from - 1] == ' '))) --from;
    text.erase(from, to - from);
    if (uri && !text.empty() && text.back() == '?') text.pop_back();
    break;
  }
  return mode;
}

// A name of the session's own, for what other sessions may see: 64 random bits.
std::string randomHolder() {
  std::random_device random;
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", random(), random());
  return text;
}

// What an error of a lost session adds: a call outside a transaction opens
// a new session; a transaction cannot go on in one.
constexpr std::u16string_view kLostSession = u"the server session was lost; the next call opens a new one";
constexpr std::u16string_view kLostTransaction =
    u"the server session was lost, and with it the open transaction: nothing of it was saved; end it with Rollback";

// Whether the server's error ends the session: its connection failed, or
// the server stopped the session (an administrator, a shutdown, a crash).
bool endsSession(std::string_view state) noexcept {
  return startsWith(state, "08") || state == "57P01" || state == "57P02" || state == "57P03";
}

// Sends one command of a pipeline: a command prepared once per session by
// its name (none is behind a pooler).
bool sendCommand(pg_conn* conn, const std::string& command, bool pooled = false) {
  const char* name = pooled ? nullptr : impl::preparedName(command);
  return name ? PQsendQueryPrepared(conn, name, 0, nullptr, nullptr, nullptr, 0) != 0
              : PQsendQueryParams(conn, command.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 0;
}

[[noreturn]] void raiseLost(std::u16string detail) {
  raise(Error(errc::OdbcCallFailed, standardDescription(errc::OdbcCallFailed) + u' ' + std::move(detail)));
}
bool stoppedByTimeout(const pg_result* result) noexcept;
void noteIfUnencrypted(pg_conn* conn, const std::string& target);
std::string statementTimeout(int seconds);
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
  if (answerMilliseconds <= 0 || !conn || timedOut) return;
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

}  // namespace impl

// ---------------------------------------------------------------------------
// PgConnection

namespace {

// A connection by `text`; fails with 3151: the platform's text with the
// target (without its password), then the server's message.
pg_conn* connectTo(const std::string& text, impl::PgSession& session) {
  // A server that does not answer is given up after ten seconds, unless the
  // text says otherwise; texts always travel as UTF-8.
  const char* const keys[] = {"connect_timeout", "dbname", "client_encoding", "fallback_application_name", nullptr};
  const char* const values[] = {"10", text.c_str(), "UTF8", "tarnwick", nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (!conn) raise(errc::OutOfMemory);
  // The password libpq found elsewhere (its environment, its password file).
  if (const char* password = PQpass(conn); password && *password) {
    if (std::find(session.secrets.begin(), session.secrets.end(), password) == session.secrets.end())
      session.secrets.emplace_back(password);
  }
  if (PQstatus(conn) != CONNECTION_OK) {
    const std::u16string message = session.clean(PQerrorMessage(conn));
    PQfinish(conn);
    raise(Error(errc::OdbcConnectionFailed,
                describe(errc::OdbcConnectionFailed, session.clean(session.target)) + u' ' + message));
  }
  noteIfUnencrypted(conn, session.target);
  // The server's notices (a table dropped only if it exists) are not errors.
  PQsetNoticeProcessor(conn, &ignoreNotice, nullptr);
  return conn;
}

}  // namespace

PgConnection::PgConnection(std::string_view uri)
    : session_(std::make_shared<impl::PgSession>()), text_(uri), holder_(randomHolder()) {
  const std::string mode = takePoolMode(text_);
  session_->target = shownTarget(text_);
  session_->secrets.push_back(passwordOf(text_));
  if (mode == "transaction") session_->pooled = true;
  else if (!mode.empty() && mode != "session")
    raise(Error(errc::OdbcConnectionFailed,
                describe(errc::OdbcConnectionFailed, session_->clean(session_->target)) +
                    u" pool_mode must be session or transaction"));
  composeSettings();
  session_->conn = connectTo(text_, *session_);
  session_->open = true;
  session_->renew = [this] { renew(); };
  setUp();
}

PgConnection::PgConnection(std::string_view uri, bool readOnly, int busyMilliseconds) : PgConnection(uri) {
  readOnly_ = readOnly;
  busyMilliseconds_ = busyMilliseconds;
  setUpDatabase(true);
}

void PgConnection::setUpDatabase(bool fresh) {
  if (readOnly_ && !session_->pooled) exec("SET default_transaction_read_only = on");
  setBusyTimeout(busyMilliseconds_);
  if (readOnly_) return;
  ensureServerFunctions(*this);
  // A database the engine has never used gets the engine's own table and
  // collation now, before any statement of the client needs them.
  if (!fresh) return;
  PgCatalogueStore(*this).ensureCatalogue();
  if (session_->pooled) ensureLockTable();
}

// A session whose connection went is made again on a new connection, as
// it was: its settings, its functions found, its prepared statements (each
// prepared again before its next run) and its record locks. A transaction
// does not survive: the server rolled it back, and until the client ends
// it, every call says so.
void PgConnection::renew() {
  auto& s = *session_;
  if (s.lostLevels > 0)
    raiseLost(std::u16string(kLostTransaction));
  pg_conn* fresh = connectTo(text_, s);
  pg_conn* old = s.conn;
  s.conn = fresh;
  PQfinish(old);
  // Runs cut by the loss fail when stepped (their generation is gone).
  s.streaming = nullptr;
  s.pipelined = false;
  s.unprepared.clear();
  s.lost = false;
  s.timedOut = false;
  // Commands that wait to go with the next one belong to the call under
  // way: they go after the session is set up again.
  std::vector<std::string> pending = std::move(s.deferred);
  s.deferred.clear();
  try {
    setUp();
    setUpDatabase(false);
    // A new connection has the server's defaults: the query timeout is
    // set again (behind a pooler it goes with every transaction anyway).
    settingsInTransaction_ = false;
    if (!s.pooled && querySeconds_ > 0) exec(statementTimeout(querySeconds_));
    retakeLocks();
  } catch (...) {
    s.deferred = std::move(pending);
    throw;
  }
  s.deferred = std::move(pending);
}

void PgConnection::setUp() {
  // Behind a pooler the settings go with every transaction, and commands
  // are not prepared: a server connection is the session's only for one
  // transaction.
  if (session_->pooled) return;
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
  // A URI of any scheme ("word://"), or libpq's key=value form (a first
  // word followed by "="): never a file's path, though only the server's
  // own schemes and keywords open (libpq then tells what is wrong with the
  // rest). A file whose name starts so is named with a folder ("./a=b").
  std::size_t word = 0;
  while (word < name.size() && (std::isalnum(static_cast<unsigned char>(name[word])) || name[word] == '_' ||
                                (word > 0 && (name[word] == '+' || name[word] == '-' || name[word] == '.'))))
    ++word;
  if (word == 0) {
    // Leading blanks go before a key=value text's first word.
    const auto first = name.find_first_not_of(" \t");
    return first != std::string_view::npos && first > 0 && names(name.substr(first));
  }
  if (name.substr(word, 3) == "://") return true;
  std::size_t at = word;
  while (at < name.size() && (name[at] == ' ' || name[at] == '\t')) ++at;
  return at < name.size() && name[at] == '=' && name.substr(0, word).find_first_of("+-.") == std::string_view::npos;
}

const Dialect& PgConnection::dialect() const noexcept {
  return session_->pooled ? pooledPostgresDialect() : postgresDialect();
}

std::u16string PgConnection::name() const { return fromUtf8(target()); }

void PgConnection::checkOpen() const {
  if (!session_->conn) raise(errc::ObjectInvalid);
}

void PgConnection::closeStorage() noexcept {
  session_->close();
  session_->depth = 0;
  session_->lostLevels = 0;
  session_->scopes = 0;
}

std::unique_ptr<Statement> PgConnection::prepare(std::string_view sql) {
  return std::make_unique<PgStatement>(*this, sql);
}

void PgConnection::exec(std::string_view sql) {
  auto& session = *session_;
  session.claim(nullptr);
  PgResult result = session.run(std::string(sql));
  if (!impl::completed(result.get())) session.fail(result.get());
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
  busyMilliseconds_ = milliseconds;
  composeSettings();
  // The server's own wait for a lock; a wait that runs out is the same
  // refusal as a lock that is not waited for.
  if (isOpen() && !session_->pooled) exec("SET lock_timeout = " + std::to_string(std::max(milliseconds, 1)));
}

void PgConnection::composeSettings() {
  if (!session_->pooled) return;
  // For the transaction it runs in only (set_config's third argument):
  // timestamps and bytes as the session reads them, the wait for locks,
  // the query timeout, and the engine's schema last on the search path.
  session_->settings =
      "SELECT set_config('DateStyle', 'ISO, YMD', true), set_config('bytea_output', 'hex', true), "
      "set_config('lock_timeout', '" +
      std::to_string(std::max(busyMilliseconds_, 1)) +
      "', true), set_config('statement_timeout', '" +
      std::to_string(querySeconds_ * 1000) +
      "', true), set_config('search_path', current_setting('search_path') || CASE WHEN 'tarnwick' = "
      "ANY (current_schemas(false)) THEN '' ELSE ', tarnwick' END, true)";
}

std::string PgConnection::copyStem() const {
  return session_->pooled ? "tw_copy_" + holder_ + "_" : std::string("tw_temporary_");
}

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
  // The server stops a statement at the timeout; a server that does not
  // answer at all is given up a little later.
  constexpr int kGraceMilliseconds = 2000;
  session_->answerMilliseconds = querySeconds_ > 0 ? querySeconds_ * 1000 + kGraceMilliseconds : 0;
  // Behind a pooler it goes with every transaction.
  composeSettings();
  if (!isOpen() || session_->pooled) return;
  exec(statementTimeout(querySeconds_));
  if (session_->depth > 0 || PQtransactionStatus(session_->conn) != PQTRANS_IDLE) settingsInTransaction_ = true;
}

void PgConnection::restoreSettings() {
  if (!settingsInTransaction_ || session_->pooled) return;
  exec(statementTimeout(querySeconds_));
  // Sent inside a transaction still open, it waits on that one's outcome.
  settingsInTransaction_ = session_->depth > 0;
}

}  // namespace tarnwick::engine
