// Statements prepared on the server: their runs, the rows they stream and
// the description of their columns.
#include "PgInternal.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <libpq-fe.h>

#include <cctype>
#include <charconv>
#include <cstring>

namespace tarnwick::engine {

using impl::PgResult;
using impl::startsWith;

namespace {

// Whether a statement's text ends in a LIMIT of at most `most` rows.
bool fewRows(std::string_view sql, std::uint64_t most) {
  while (!sql.empty() && (sql.back() == ' ' || sql.back() == ';')) sql.remove_suffix(1);
  const auto space = sql.find_last_of(' ');
  if (space == std::string_view::npos || space < 6) return false;
  const std::string_view number = sql.substr(space + 1);
  std::uint64_t n = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), n);
  if (error != std::errc() || end != number.data() + number.size() || n > most) return false;
  std::string_view before = sql.substr(0, space);
  while (!before.empty() && before.back() == ' ') before.remove_suffix(1);
  if (before.size() < 6) return false;
  std::string word(before.substr(before.size() - 6));
  for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return word == " LIMIT";
}

// Whether a statement is an INSERT of listed values, whose rows (if it
// returns any) are one per list of values written in its text.
bool insertOfValues(std::string_view sql) {
  std::string upper(sql);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return startsWith(upper, "INSERT ") && upper.find("SELECT") == std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------------------
// PgStatement

std::string serverParameters(std::string_view sql) {
  if (sql.find('?') == std::string_view::npos) return std::string(sql);
  std::string out;
  out.reserve(sql.size() + 8);
  int next = 0;
  char quote = 0;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
      out += c;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      out += c;
      continue;
    }
    if (c != '?') {
      out += c;
      continue;
    }
    std::size_t digits = i + 1;
    while (digits < sql.size() && sql[digits] >= '0' && sql[digits] <= '9') ++digits;
    out += '$';
    if (digits > i + 1) {
      out.append(sql.substr(i + 1, digits - i - 1));
      next = std::max(next, std::atoi(std::string(sql.substr(i + 1, digits - i - 1)).c_str()));
      i = digits - 1;
    } else {
      out += std::to_string(++next);
    }
  }
  return out;
}

PgStatement::PgStatement(PgConnection& connection, std::string_view sql)
    : session_(connection.session_), connection_(&connection), text_(serverParameters(sql)) {
  connection.checkOpen();
  // A batch of records, a search's one record, or a new record's key.
  whole_ = fewRows(text_, 4096) || insertOfValues(text_);
  prepareOnServer();
}

void PgStatement::prepareOnServer() {
  auto& session = *session_;
  session.claim(nullptr);
  // The savepoint below must come after what waits to be sent.
  if (!session.deferred.empty()) {
    PgResult flushed = session.run("");
    if (!flushed || PQresultStatus(flushed.get()) != PGRES_COMMAND_OK) session.fail(flushed.get());
  }
  // Behind a pooler a statement goes unnamed, its text with every run: a
  // name would be the server connection's, and the next transaction may
  // have another. Its description is asked in the same transaction.
  std::string name = session.pooled ? std::string() : "tw_s" + std::to_string(++session.names);
  // Inside a transaction, a statement the server refuses would spoil the
  // transaction: it is prepared under a savepoint there.
  const bool guarded = PQtransactionStatus(session.conn) == PQTRANS_INTRANS;
  if (guarded) session.collect(PQsendQuery(session.conn, "SAVEPOINT tw_prepare"));
  PgResult prepared, described;
  if (session.pooled) {
    bool sent = PQenterPipelineMode(session.conn) && PQsendPrepare(session.conn, "", text_.c_str(), 0, nullptr) &&
                PQsendDescribePrepared(session.conn, "") && PQpipelineSync(session.conn);
    for (int syncs = 0, ends = 0; sent && syncs < 1;) {
      PgResult result = session.answer();
      if (!result) {
        if (PQstatus(session.conn) == CONNECTION_BAD && ++ends > 2) break;
        continue;
      }
      const ExecStatusType status = PQresultStatus(result.get());
      if (status == PGRES_PIPELINE_SYNC) ++syncs;
      else if (!prepared) prepared = std::move(result);
      else if (!described) described = std::move(result);
    }
    if (PQstatus(session.conn) == CONNECTION_OK) PQexitPipelineMode(session.conn);
  } else {
    prepared = session.collect(PQsendPrepare(session.conn, name.c_str(), text_.c_str(), 0, nullptr));
  }
  const bool failed = !prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK;
  if (guarded)
    session.collect(PQsendQuery(session.conn, failed ? "ROLLBACK TO SAVEPOINT tw_prepare; RELEASE SAVEPOINT tw_prepare"
                                                    : "RELEASE SAVEPOINT tw_prepare"));
  if (failed) session.fail(prepared.get());
  name_ = std::move(name);
  if (!session.pooled) described = session.collect(PQsendDescribePrepared(session.conn, name_.c_str()));
  if (!described || PQresultStatus(described.get()) != PGRES_COMMAND_OK) session.fail(described.get());
  parameters_ = PQnparams(described.get());
  types_.resize(static_cast<std::size_t>(PQnfields(described.get())));
  for (std::size_t i = 0; i < types_.size(); ++i) types_[i] = PQftype(described.get(), static_cast<int>(i));
  description_ = std::move(described);
  preparedIn_ = session.generation;
}

PgStatement::~PgStatement() {
  discard();
  // A statement prepared on a connection that went is gone with it.
  if (session_->conn && preparedIn_ == session_->generation && !name_.empty())
    session_->unprepared.push_back(name_);
}

void PgStatement::start() {
  auto& session = *session_;
  session.claim(this);
  if (preparedIn_ != session.generation) prepareOnServer();
  std::vector<const char*> values(static_cast<std::size_t>(parameters_), nullptr);
  for (std::size_t i = 0; i < values.size() && i < values_.size(); ++i) {
    if (values_[i]) values[i] = values_[i]->c_str();
  }
  if (!session.deferred.empty() || !session.settingsFor().empty()) return startPipelined(values);
  if (!sendRun(values.data())) session.fail(nullptr);
  // Rows one at a time, as they arrive, rather than the whole result at its end.
  if (!whole_) PQsetSingleRowMode(session.conn);
  session.streaming = this;
  running_ = true;
  ended_ = false;
  runIn_ = session.generation;
  ++runs_;
}

bool PgStatement::sendAhead() {
  const auto& session = *session_;
  if (running_ || !session.conn || session.pooled || session.lost || session.lostLevels > 0 ||
      preparedIn_ != session.generation ||
      session.streaming || !session.deferred.empty() ||
      PQtransactionStatus(session.conn) != PQTRANS_IDLE)
    return false;
  start();
  return true;
}

void PgStatement::absorb() noexcept {
  if (session_->streaming == this) PQconsumeInput(session_->conn);
}

std::size_t PgStatement::rowBytes() const noexcept {
  std::size_t bytes = 0;
  for (int i = 0; result_ && i < columns_; ++i) bytes += static_cast<std::size_t>(PQgetlength(result_, rowIndex_, i));
  return bytes;
}

bool PgStatement::sendRun(const char* const* values) {
  pg_conn* conn = session_->conn;
  return name_.empty()
             ? PQsendQueryParams(conn, text_.c_str(), parameters_, nullptr, values, nullptr, nullptr, 0) != 0
             : PQsendQueryPrepared(conn, name_.c_str(), parameters_, values, nullptr, nullptr, 0) != 0;
}

void PgStatement::startPipelined(const std::vector<const char*>& values) {
  auto& session = *session_;
  pg_conn* conn = session.conn;
  // The settings a pooler's transaction needs go after an opening command
  // (in the transaction it opens) and before the run.
  std::vector<std::string> commands = std::move(session.deferred);
  session.deferred.clear();
  if (const std::string& settings = session.settingsFor(); !settings.empty()) {
    const bool opens = !commands.empty() && commands.front() == impl::kScopeBegin;
    commands.insert(commands.begin() + (opens ? 1 : 0), settings);
  }
  ++session.sends;
  if (!PQenterPipelineMode(conn)) session.fail(nullptr);
  session.pipelined = true;
  bool sent = true;
  for (const std::string& command : commands) {
    const char* name = session.pooled ? nullptr : impl::preparedName(command);
    sent = sent && (name ? PQsendQueryPrepared(conn, name, 0, nullptr, nullptr, nullptr, 0)
                         : PQsendQueryParams(conn, command.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
  }
  sent = sent && sendRun(values.data());
  sent = PQpipelineSync(conn) && sent;
  if (!sent) {
    session.endPipeline();
    session.fail(nullptr);
  }
  // The deferred commands' results come first; the run's rows stream after them.
  PgResult failure;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    while (PgResult result = session.answer()) {
      if (!impl::completed(result.get()) && !failure) failure = std::move(result);
    }
  }
  if (!whole_) PQsetSingleRowMode(conn);
  session.streaming = this;
  running_ = true;
  ended_ = false;
  runIn_ = session.generation;
  ++runs_;
  if (failure) {
    discard();
    session.fail(failure.get());
  }
}

PgResult PgStatement::nextResult() noexcept {
  if (!ahead_.empty()) {
    PgResult next = std::move(ahead_.front());
    ahead_.pop_front();
    return next;
  }
  if (session_->streaming != this) return nullptr;
  return session_->next();
}

bool PgStatement::step() {
  if (!running_) start();
  if (result_ && ++rowIndex_ < PQntuples(result_)) return true;
  dropRows();
  PgResult result = nextResult();
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_COMMAND_OK;
  if (status == PGRES_SINGLE_TUPLE) {
    adopt(std::move(result));
    return true;
  }
  // A result read whole, or the end of the rows: the run's end follows, and
  // is read now. Outside a transaction the server commits a change when the
  // run ends, and may have sent the change's result before (a connection
  // lost while it commits): the change counts only once the run has ended.
  const bool whole = status == PGRES_TUPLES_OK && PQntuples(result.get()) > 0;
  if (impl::completed(result.get())) {
    session_->noteChanges(result.get());
    ended_ = true;
    if (PgResult tail = nextResult()) {
      discard();
      session_->fail(tail.get());
    }
    if (whole) {
      adopt(std::move(result));
      return true;
    }
  }
  discard();
  if (!result) {
    if (ended_) return false;
    // The rows stopped before their end: the connection went under them
    // (never the end of the rows, which the server marks).
    if (runIn_ != session_->generation) session_->failCut();
    session_->fail(nullptr);
  }
  if (impl::completed(result.get())) return false;
  session_->fail(result.get());
}

void PgStatement::readAhead() noexcept {
  if (session_->streaming != this) return;
  while (PgResult next = session_->next()) ahead_.push_back(std::move(next));
}

void PgStatement::discard() noexcept {
  if (session_->streaming == this) {
    // The rest of the rows are read and dropped: the session carries no
    // other command before they have all arrived.
    while (session_->next()) {
    }
  }
  ahead_.clear();
  running_ = false;
}

void PgStatement::rewind() noexcept {
  discard();
  dropRows();
}

void PgStatement::reset() noexcept {
  rewind();
  values_.clear();
}

int PgStatement::columnCount() const noexcept {
  const pg_result* result = result_ ? result_ : description_.get();
  return result ? PQnfields(result) : 0;
}

std::string PgStatement::columnName(int column) const {
  const pg_result* result = result_ ? result_ : description_.get();
  const char* name = result ? PQfname(result, column) : nullptr;
  return name ? name : "";
}

unsigned PgStatement::tableOid(int column) const noexcept {
  return description_ ? PQftable(description_.get(), column) : 0;
}
int PgStatement::tableColumn(int column) const noexcept {
  return description_ ? PQftablecol(description_.get(), column) : 0;
}
unsigned PgStatement::typeOid(int column) const noexcept {
  return description_ ? PQftype(description_.get(), column) : 0;
}
std::string PgStatement::originTable(int column) const { return connection_->relationName(tableOid(column)); }

std::string PgStatement::originColumn(int column) const {
  return connection_->attributeName(tableOid(column), tableColumn(column));
}

std::string PgStatement::declaredType(int column) const {
  return connection_->typeName(typeOid(column), typeModifier(column));
}

int PgStatement::typeModifier(int column) const noexcept {
  return description_ ? PQfmod(description_.get(), column) : -1;
}


}  // namespace tarnwick::engine
