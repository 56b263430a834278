#include "Connection.h"

#include "FieldValues.h"
#include "Functions.h"
#include "sqlite/SqliteSession.h"
#include "postgres/PgConnection.h"
#include "postgres/PgDialect.h"
#include "sqlite/SqliteDialect.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/SafeArray.h>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <chrono>
#include <system_error>
#include <thread>

namespace tarnwick::engine {

// ---------------------------------------------------------------------------
// Names

std::string quoteName(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out += '"';
  for (char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string quoteName(std::u16string_view name) { return quoteName(std::string_view(toUtf8(name))); }

// ---------------------------------------------------------------------------
// Statement

Statement::Statement(Connection& connection, std::string_view sql) : connection_(&connection) {
  connection.checkOpen();
  if (connection.server()) {
    pg_ = std::make_unique<PgStatement>(*connection.server(), sql);
    return;
  }
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(connection.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    connection.fail(rc);
  }
  texts_.resize(static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt_)) + 1);
}

Statement::Statement() noexcept = default;

Statement::Statement(Statement&& other) noexcept
    : connection_(std::exchange(other.connection_, nullptr)),
      stmt_(std::exchange(other.stmt_, nullptr)),
      pg_(std::move(other.pg_)),
      texts_(std::move(other.texts_)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    connection_ = std::exchange(other.connection_, nullptr);
    stmt_ = std::exchange(other.stmt_, nullptr);
    pg_ = std::move(other.pg_);
    texts_ = std::move(other.texts_);
  }
  return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::operator bool() const noexcept { return stmt_ != nullptr || pg_ != nullptr; }

void Statement::bindNull(int index) {
  if (pg_) return pg_->bindNull(index);
  sqlite3_bind_null(stmt_, index);
}
void Statement::bind(int index, std::int64_t value) {
  if (pg_) return pg_->bind(index, value);
  sqlite3_bind_int64(stmt_, index, value);
}
void Statement::bind(int index, double value) {
  if (pg_) return pg_->bind(index, value);
  sqlite3_bind_double(stmt_, index, value);
}
void Statement::bind(int index, std::string_view utf8) {
  if (pg_) return pg_->bind(index, utf8);
  if (index <= 0 || static_cast<std::size_t>(index) >= texts_.size()) {
    sqlite3_bind_text64(stmt_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return;
  }
  texts_[static_cast<std::size_t>(index)].assign(utf8);
  bindKept(index);
}

void Statement::bindKept(int index) {
  const std::string& kept = texts_[static_cast<std::size_t>(index)];
  sqlite3_bind_text64(stmt_, index, kept.data(), kept.size(), SQLITE_STATIC, SQLITE_UTF8);
}

void Statement::bind(int index, std::string&& utf8) {
  if (pg_) return pg_->bind(index, std::string_view(utf8));
  if (index <= 0 || static_cast<std::size_t>(index) >= texts_.size()) return bind(index, std::string_view(utf8));
  texts_[static_cast<std::size_t>(index)] = std::move(utf8);
  bindKept(index);
}

void Statement::bind(int index, const RawValue& value) {
  switch (value.index()) {
    case 1: bind(index, std::get<std::int64_t>(value)); break;
    case 2: bind(index, std::get<double>(value)); break;
    case 3: bind(index, std::string_view(std::get<std::string>(value))); break;
    default: bindNull(index); break;
  }
}

void Statement::bind(int index, const Variant& value, FieldType type) {
  if (pg_) return pg_->bind(index, value, type);
  // What an assignment leaves for its field's type binds as it is, as
  // storedValue would store it.
  switch (value.vt) {
    case VT_I4:
      if (isIntegerType(type)) return bind(index, std::int64_t{value.lVal});
      break;
    case VT_R8:
      if (type == FieldType::Double) return bind(index, value.dblVal);
      break;
    case VT_DATE:
      if (type == FieldType::Date) return bind(index, static_cast<double>(value.VARIANT::date));
      break;
    case VT_BOOL:
      if (type == FieldType::Boolean) return bind(index, std::int64_t{value.boolVal ? -1 : 0});
      break;
    case VT_BSTR:
      // A text for a text field goes into the parameter's kept room.
      if (isTextType(type) && index > 0 && static_cast<std::size_t>(index) < texts_.size()) {
        if (narrowAscii(value.text(), texts_[static_cast<std::size_t>(index)])) return bindKept(index);
      }
      break;
    default: break;
  }
  StoredValue stored = storedValue(value, type);
  switch (stored.kind) {
    case StoredKind::Integer: return bind(index, stored.integer);
    case StoredKind::Real: return bind(index, stored.real);
    case StoredKind::Text: return bind(index, std::move(stored.bytes));
    case StoredKind::Blob:
      sqlite3_bind_blob64(stmt_, index, stored.bytes.empty() ? "" : stored.bytes.data(), stored.bytes.size(),
                          SQLITE_TRANSIENT);
      return;
    case StoredKind::Null: break;
  }
  bindNull(index);
}

bool Statement::step() {
  if (pg_) return pg_->step();
  connection_->startPending();
  if (connection_->readsHeld() && !sqlite3_stmt_readonly(stmt_)) connection_->endHeldRead();
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // The statement's own code; sqlite3_reset hands back the extended one.
  const int code = sqlite3_reset(stmt_);
  connection_->fail(code != SQLITE_OK ? code : rc);
}

void Statement::rewind() noexcept {
  if (pg_) return pg_->rewind();
  if (stmt_) sqlite3_reset(stmt_);
}

bool Statement::sendAhead() { return pg_ && pg_->sendAhead(); }

std::uint64_t Statement::runUnderWay() const noexcept { return pg_ ? pg_->runUnderWay() : 0; }

void Statement::absorb() noexcept {
  if (pg_) pg_->absorb();
}

std::size_t Statement::rowBytes() const noexcept { return pg_ ? pg_->rowBytes() : 0; }

std::shared_ptr<const KeptRows> Statement::keepRows() { return pg_ ? pg_->keepRows() : nullptr; }

const KeptRows* Statement::keptNow() const noexcept { return pg_ ? pg_->keptNow() : nullptr; }

int Statement::keptRow() const noexcept { return pg_ ? pg_->rowIndex() : 0; }

void Statement::reset() noexcept {
  if (pg_) return pg_->reset();
  if (stmt_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

int Statement::columnCount() const noexcept { return pg_ ? pg_->columnCount() : sqlite3_column_count(stmt_); }
bool Statement::isNull(int column) const noexcept {
  return pg_ ? pg_->isNull(column) : sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}
int Statement::storage(int column) const noexcept {
  if (pg_) {
    if (pg_->isNull(column)) return SQLITE_NULL;
    const RawValue raw = pg_->raw(column);
    return raw.index() == 1 ? SQLITE_INTEGER : raw.index() == 2 ? SQLITE_FLOAT : SQLITE_TEXT;
  }
  return sqlite3_column_type(stmt_, column);
}
std::int64_t Statement::int64(int column) const noexcept {
  return pg_ ? pg_->int64(column) : sqlite3_column_int64(stmt_, column);
}
double Statement::real(int column) const noexcept { return pg_ ? pg_->real(column) : sqlite3_column_double(stmt_, column); }
std::string_view Statement::text(int column) const noexcept {
  if (pg_) return pg_->text(column);
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  const int n = sqlite3_column_bytes(stmt_, column);
  return p ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
}

RawValue Statement::raw(int column) const {
  RawValue value;
  raw(column, value);
  return value;
}

void Statement::raw(int column, RawValue& value) const {
  if (pg_) {
    value = pg_->raw(column);
    return;
  }
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER: value.emplace<std::int64_t>(sqlite3_column_int64(stmt_, column)); return;
    case SQLITE_FLOAT: value.emplace<double>(sqlite3_column_double(stmt_, column)); return;
    case SQLITE_NULL: value.emplace<std::monostate>(); return;
    default:
      if (auto* kept = std::get_if<std::string>(&value)) kept->assign(text(column));
      else value.emplace<std::string>(text(column));
  }
}

Variant Statement::value(int column, FieldType type) const {
  if (pg_) return pg_->value(column, type);
  StoredView stored;
  stored.kind = static_cast<StoredKind>(sqlite3_column_type(stmt_, column));
  switch (stored.kind) {
    case StoredKind::Integer:
      stored.integer = int64(column);
      stored.real = static_cast<double>(stored.integer);
      break;
    case StoredKind::Real: stored.real = real(column); break;
    case StoredKind::Text: stored.bytes = text(column); break;
    case StoredKind::Blob: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
      if (p) stored.bytes = std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
      break;
    }
    case StoredKind::Null: break;
  }
  return fieldValue(stored, type);
}

std::string Statement::columnName(int column) const {
  if (pg_) return pg_->columnName(column);
  const char* name = sqlite3_column_name(stmt_, column);
  return name ? name : "";
}
std::string Statement::originTable(int column) const {
  if (pg_) return connection_->server()->relationName(pg_->tableOid(column));
  const char* name = sqlite3_column_table_name(stmt_, column);
  return name ? name : "";
}
std::string Statement::originColumn(int column) const {
  if (pg_) return connection_->server()->attributeName(pg_->tableOid(column), pg_->tableColumn(column));
  const char* name = sqlite3_column_origin_name(stmt_, column);
  return name ? name : "";
}
// On the server, every result column has a type, expressions too.
std::string Statement::declaredType(int column) const {
  if (pg_) return connection_->server()->typeName(pg_->typeOid(column), pg_->typeModifier(column));
  const char* name = sqlite3_column_decltype(stmt_, column);
  return name ? name : "";
}

std::string Statement::image(int first, int count) const {
  if (pg_) return pg_->image(first, count);
  std::string out;
  for (int i = first; i < first + count; ++i) {
    const int storage = sqlite3_column_type(stmt_, i);
    out += static_cast<char>('0' + storage);
    if (storage == SQLITE_INTEGER) {
      const std::int64_t n = sqlite3_column_int64(stmt_, i);
      out.append(reinterpret_cast<const char*>(&n), sizeof n);
    } else if (storage == SQLITE_FLOAT) {
      const double d = sqlite3_column_double(stmt_, i);
      out.append(reinterpret_cast<const char*>(&d), sizeof d);
    } else if (storage != SQLITE_NULL) {
      const void* p = storage == SQLITE_BLOB ? sqlite3_column_blob(stmt_, i) : sqlite3_column_text(stmt_, i);
      const auto n = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i));
      out += std::to_string(n) + ':';
      if (p) out.append(static_cast<const char*>(p), n);
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Connection

namespace {

std::u16string pathText(const std::filesystem::path& path) { return fromUtf8(path.string()); }

}  // namespace

Connection::Connection(const std::filesystem::path& path, bool create, bool readOnly, int busyMilliseconds)
    : path_(path), readOnly_(readOnly) {
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  if (create && exists) raise(errc::DatabaseExists);
  if (!create && !exists) raise(errc::CouldNotFindFile, pathText(path));
  if (!create && std::filesystem::is_directory(path, ec)) raise(errc::CannotOpenDatabase, pathText(path));
  int flags = SQLITE_OPEN_NOMUTEX;
  flags |= readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (create) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    raise(rc == SQLITE_NOTADB ? errc::UnrecognizedFormat : errc::CannotOpenDatabase, pathText(path));
  }
  sqlite3_extended_result_codes(db_, 1);
  // A name in double quotes is always a name, never a text.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  setBusyTimeout(busyMilliseconds);
  if (sqlite3_db_readonly(db_, "main") == 1) readOnly_ = true;
  try {
    // Functions are replaced before any statement runs (a running one
    // would keep the storage's own).
    registerFunctions(db_);
    {
      // Reading the schema proves that the file is a database.
      Statement probe(*this, "SELECT count(*) FROM sqlite_master");
      probe.step();
    }
    exec("PRAGMA foreign_keys = ON");
    if (!readOnly_) {
      // Changing the journal needs the file to itself for a moment; while
      // another connection holds a file still in the old mode, this opening
      // keeps that mode and a later one switches.
      try {
        exec("PRAGMA journal_mode = WAL");
      } catch (const Error& e) {
        if (e.number() != errc::Locked) throw;
      }
      exec("PRAGMA synchronous = NORMAL");
    }
    Statement mode(*this, "PRAGMA journal_mode");
    wal_ = mode.step() && mode.text(0) == "wal";
  } catch (const Error& e) {
    close();
    // A file that stayed busy is reported as busy (3218): it can be opened
    // once the other user lets go, which 3051 would deny.
    if (e.number() == errc::UnrecognizedFormat) raise(errc::UnrecognizedFormat, pathText(path));
    throw;
  }
}

Connection::Connection(std::string_view serverUri, bool readOnly, int busyMilliseconds)
    : readOnly_(readOnly), pg_(std::make_unique<PgConnection>(serverUri)), serverLink_(pg_->sessionLink()) {
  if (readOnly) pg_->exec("SET default_transaction_read_only = on");
  setBusyTimeout(busyMilliseconds);
  if (!readOnly) ensureServerFunctions(*pg_);
}

Connection::~Connection() { close(); }

std::u16string Connection::name() const { return pg_ ? fromUtf8(pg_->target()) : pathText(path_); }

const Dialect& Connection::dialect() const noexcept { return pg_ ? postgresDialect() : sqliteDialect(); }

bool Connection::isOpen() const noexcept { return pg_ ? pg_->isOpen() : db_ != nullptr; }

int Connection::transactionDepth() const noexcept { return pg_ ? pg_->transactionDepth() : depth_; }

void Connection::close() noexcept {
  endHeldRead();
  readHolds_ = 0;
  versionStatement_.reset();
  cache_.clear();
  if (pg_) pg_->close();
  if (!db_) return;
  // Statements that recordsets still hold finish the close when they go.
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Connection::checkServerOpen() const {
  if (!isOpen()) raise(errc::ObjectInvalid);
}

void Connection::exec(std::string_view sql) {
  checkOpen();
  if (pg_) return pg_->exec(sql);
  endHeldRead();
  startPending();
  const std::string text(sql);
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) fail(rc);
}

Statement& Connection::cached(const std::string& sql) { return *sharedCached(sql); }

std::shared_ptr<Statement> Connection::sharedCached(const std::string& sql) {
  checkOpen();
  std::shared_ptr<Statement> statement;
  if (const auto* kept = cache_.find(sql)) {
    statement = *kept;
  } else {
    statement = std::make_shared<Statement>(*this, sql);
    // A statement's bytes are estimated from its text: asking SQLite to
    // measure them walks the whole compiled statement under the
    // connection's lock, which costs more than a lookup that compiles a new
    // condition. No entry counts for more than its share of the bytes, so
    // the statements cached last are never dropped for the next one (see
    // kCacheKeepsLast).
    const std::size_t bytes = std::min(kStatementBytes + kStatementBytesPerCharacter * sql.size(),
                                       kCachedStatementBytes / kCacheKeepsLast);
    cache_.insert(sql, statement, bytes);
  }
  statement->reset();
  return statement;
}

std::int64_t Connection::dataVersion() {
  if (pg_) return 0;
  if (readHeld_ && heldVersion_) return *heldVersion_;
  if (!versionStatement_) versionStatement_ = sharedCached("PRAGMA data_version");
  Statement& s = *versionStatement_;
  if (!s.step()) return 0;
  const std::int64_t version = s.int64(0);
  s.rewind();
  if (readHeld_) heldVersion_ = version;
  return version;
}

void Connection::holdReads() {
  checkOpen();
  if (++readHolds_ > 1 || pg_ || !wal_ || depth_ > 0 || pending_ || !sqlite3_get_autocommit(db_)) return;
  const int rc = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    --readHolds_;
    fail(rc);
  }
  readHeld_ = true;
  heldVersion_.reset();
  // The view is taken by the first read, which is this one: the moment
  // held is now, not whenever the routine first reads.
  try {
    dataVersion();
  } catch (...) {
    endHeldRead();
    --readHolds_;
    throw;
  }
}

void Connection::releaseReads() noexcept {
  if (readHolds_ > 0 && --readHolds_ == 0) endHeldRead();
}

void Connection::endHeldRead() noexcept {
  if (!readHeld_) return;
  readHeld_ = false;
  heldVersion_.reset();
  // A transaction that only read has nothing to lose: should its commit
  // fail, it is rolled back.
  if (db_ && !sqlite3_get_autocommit(db_) && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

std::int64_t Connection::changes() const noexcept {
  if (pg_) return pg_->changes();
  return db_ ? sqlite3_changes64(db_) : 0;
}
std::int64_t Connection::lastRowid() const noexcept { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

// Waits for a busy file in short steps that grow to a millisecond: the
// storage's own wait sleeps up to a tenth of a second at a time, far longer
// than the transactions of other users that it waits for.
int Connection::busyWait(void* self, int count) noexcept {
  auto& c = *static_cast<Connection*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) c.busySince_ = now;
  if (now - c.busySince_ >= std::chrono::milliseconds(c.busyMilliseconds_)) return 0;
  constexpr int kFirstMicroseconds = 20, kLongestMicroseconds = 1000;
  const int step = std::min(kFirstMicroseconds << std::min(count, 6), kLongestMicroseconds);
  std::this_thread::sleep_for(std::chrono::microseconds(step));
  return 1;
}

void Connection::setBusyTimeout(int milliseconds) {
  busyMilliseconds_ = std::max(milliseconds, 0);
  if (pg_) {
    if (pg_->isOpen()) pg_->setBusyTimeout(busyMilliseconds_);
    return;
  }
  if (db_) sqlite3_busy_handler(db_, busyMilliseconds_ > 0 ? &Connection::busyWait : nullptr, this);
}

void Connection::begin() {
  checkOpen();
  if (pg_) return pg_->begin();
  if (depth_ == 0) {
    pending_ = true;
  } else {
    exec("SAVEPOINT tw" + std::to_string(depth_ + 1));
  }
  ++depth_;
}

void Connection::startTransaction() {
  endHeldRead();
  // Cleared first: the statement below is the transaction's first.
  pending_ = false;
  try {
    exec(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE");
  } catch (...) {
    pending_ = true;
    throw;
  }
}

void Connection::commit() {
  if (pg_) {
    checkOpen();
    return pg_->commit();
  }
  if (depth_ == 0) raise(errc::NoTransaction);
  if (depth_ == 1) {
    if (!pending_) exec("COMMIT");
    pending_ = false;
  } else {
    exec("RELEASE tw" + std::to_string(depth_));
  }
  --depth_;
}

void Connection::rollback() {
  if (pg_) {
    checkOpen();
    pg_->rollback();
    ++rollbacks_;
    noteWrite();
    return;
  }
  if (depth_ == 0) raise(errc::NoTransaction);
  // The outermost level ends the storage's transaction outright.
  if (depth_ == 1) {
    if (!pending_ && db_ && !sqlite3_get_autocommit(db_)) exec("ROLLBACK");
    pending_ = false;
  } else {
    const std::string name = "tw" + std::to_string(depth_);
    exec("ROLLBACK TO " + name);
    exec("RELEASE " + name);
  }
  --depth_;
  ++rollbacks_;
  noteWrite();
}

struct Connection::PgScope {
  explicit PgScope(PgConnection& c) : scope(c) {}
  PgConnection::WriteScope scope;
};

Connection::WriteScope::WriteScope(Connection& c) : c_(c) {
  if (c.pg_) {
    c.checkOpen();
    server_ = std::make_unique<PgScope>(*c.pg_);
    own_ = true;
    return;
  }
  c.endHeldRead();
  c.startPending();
  if (c.db_ && sqlite3_get_autocommit(c.db_)) {
    c.exec("BEGIN IMMEDIATE");
    own_ = true;
  }
}

Connection::WriteScope::~WriteScope() {
  if (server_) {
    // Not committed: the change is undone, and what was read may differ.
    if (own_) c_.noteWrite();
    return;
  }
  if (own_ && c_.db_ && !sqlite3_get_autocommit(c_.db_)) sqlite3_exec(c_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::WriteScope::commit() {
  if (server_) {
    server_->scope.commit();
    own_ = false;
    return;
  }
  if (own_) c_.exec("COMMIT");
  own_ = false;
}

std::string Connection::temporaryName() { return "tw_temporary_" + std::to_string(++temporaries_); }

void Connection::fail(int code, std::string_view) const {
  const std::string message = db_ ? sqlite3_errmsg(db_) : "";
  const auto after = [&](std::string_view prefix) -> std::u16string {
    const auto at = message.find(prefix);
    return at == std::string::npos ? std::u16string() : fromUtf8(std::string_view(message).substr(at + prefix.size()));
  };
  switch (code) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_ROWID:
      raise(errc::DuplicateKey);
    case SQLITE_CONSTRAINT_NOTNULL: {
      std::u16string field = after("failed: ");
      if (const auto dot = field.find(u'.'); dot != std::u16string::npos) field.erase(0, dot + 1);
      raise(errc::RequiredNull, field);
    }
    case SQLITE_CONSTRAINT_FOREIGNKEY:
      raise(errc::RelatedRecordRequired, u"");
    default:
      break;
  }
  switch (code & 0xFF) {
    case SQLITE_CONSTRAINT: raise(errc::DuplicateKey);
    case SQLITE_BUSY: case SQLITE_LOCKED: raise(errc::Locked);
    case SQLITE_READONLY: raise(errc::ReadOnly);
    case SQLITE_NOTADB: case SQLITE_CORRUPT: raise(errc::UnrecognizedFormat, pathText(path_));
    case SQLITE_CANTOPEN: case SQLITE_PERM: case SQLITE_AUTH: raise(errc::CannotOpenDatabase, pathText(path_));
    case SQLITE_FULL: raise(errc::DiskFull);
    case SQLITE_IOERR: raise(errc::DeviceIOError);
    case SQLITE_NOMEM: raise(errc::OutOfMemory);
    case SQLITE_MISMATCH: raise(errc::CriteriaMismatch);
    case SQLITE_TOOBIG: raise(errc::FieldTooSmall);
    default: break;
  }
  // Failures raised by the engine's own functions carry their number.
  if (message.rfind("tw:", 0) == 0) {
    const std::int32_t number = std::atoi(message.c_str() + 3);
    const auto colon = message.find(':', 3);
    raise(number, colon == std::string::npos ? std::u16string() : fromUtf8(message.substr(colon + 1)));
  }
  if (message.rfind("no such table: ", 0) == 0) {
    std::u16string table = after("no such table: ");
    if (table.rfind(u"main.", 0) == 0) table.erase(0, 5);
    raise(errc::TableNotFound, table);
  }
  // A name that is no field counts as a parameter without a value.
  if (message.rfind("no such column", 0) == 0) raise(errc::TooFewParameters, u"1");
  raise(errc::InvalidArgument, {}, u"(" + fromUtf8(message) + u")");
}

}  // namespace tarnwick::engine
