// The server session's connection: opened, set up, made again for a lost
// one, and its settings.
#include "PgInternal.h"

#include "PgCatalogue.h"
#include "PgDialect.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <libpq-fe.h>

#include <algorithm>

namespace tarnwick::engine {

using impl::connectTo;
using impl::kLostTransaction;
using impl::kPreparedCommands;
using impl::passwordOf;
using impl::PgResult;
using impl::PreparedCommand;
using impl::raiseLost;
using impl::randomHolder;
using impl::shownTarget;
using impl::takePoolMode;

namespace {

std::string statementTimeout(int seconds) { return "SET statement_timeout = " + std::to_string(seconds * 1000); }

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

// ---------------------------------------------------------------------------
// The query timeout

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
