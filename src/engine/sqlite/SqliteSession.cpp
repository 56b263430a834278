// The storage of a database file: opening it, transactions, the held view
// of a walk, write scopes and the file's errors in the engine's terms.
#include "SqliteSession.h"

#include "SqliteCatalogue.h"
#include "SqliteDialect.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace tarnwick::engine {

namespace {

std::u16string pathText(const std::filesystem::path& path) { return fromUtf8(path.string()); }

// No database file is shorter than its header; SQLite would take such a
// file for an empty database and write one over it.
constexpr off_t kHeaderBytes = 100;

// What the name stands for, before SQLite opens it (which would wait for
// ever on a FIFO opened for reading, and write a new database over a file
// too short to hold one). Creating: anything that exists is 3204, but for
// an empty file, which the database is made in (it holds nothing to lose).
// Opening: a missing file is 3024; a folder 3051; a FIFO, socket or device
// 3024, as the text routines refuse them; an empty file, or one shorter
// than a database's header, 3343: it holds no database (only
// CreateDatabase makes one in an empty file).
void checkFileBeforeOpening(const std::filesystem::path& path, bool create) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    // Whatever hides the file from this user, SQLite says when creating.
    if (create) return;
    raise(errc::CouldNotFindFile, pathText(path));
  }
  if (create) {
    if (S_ISREG(st.st_mode) && st.st_size == 0) return;
    raise(errc::DatabaseExists);
  }
  if (S_ISDIR(st.st_mode)) raise(errc::CannotOpenDatabase, pathText(path));
  if (!S_ISREG(st.st_mode)) raise(errc::CouldNotFindFile, pathText(path));
  if (st.st_size < kHeaderBytes) raise(errc::UnrecognizedFormat, pathText(path));
}

}  // namespace

SqliteSession::SqliteSession(const std::filesystem::path& path, bool create, bool readOnly, int busyMilliseconds)
    : path_(path), readOnly_(readOnly) {
  checkFileBeforeOpening(path, create);
  int flags = SQLITE_OPEN_NOMUTEX;
  flags |= readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (create) flags |= SQLITE_OPEN_CREATE;
  try {
    openHandle(path.string(), flags, busyMilliseconds);
  } catch (const Error& e) {
    if (e.number() != errc::ReadOnly || !readOnly_ || !readableOnlyAsItStands()) throw;
    // No log beside the file and none can be made: read as the file stands.
    openHandle(immutableUri(path), SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, busyMilliseconds);
  }
}

// A database in write-ahead-log mode is read through a shared index beside
// it, which SQLite makes with the log; where this user can make neither
// (a folder it may only read) and no log is there, nobody is writing the
// file now, and it is opened as it stands (SQLite's immutable files): it
// reads without the index, and what a user who may write there commits
// later shows only when the database is opened again.
bool SqliteSession::readableOnlyAsItStands() const {
  std::error_code ec;
  const std::filesystem::path folder = path_.has_parent_path() ? path_.parent_path() : std::filesystem::path(".");
  return !std::filesystem::exists(path_.string() + "-wal", ec) && !std::filesystem::exists(path_.string() + "-shm", ec) &&
         ::access(folder.c_str(), W_OK) != 0;
}

std::string SqliteSession::immutableUri(const std::filesystem::path& path) {
  std::string uri = "file:";
  for (const char byte : std::filesystem::absolute(path).string()) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == '%' || c == '?' || c == '#' || c <= ' ' || c >= 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?immutable=1";
}

void SqliteSession::openHandle(const std::string& name, int flags, int busyMilliseconds) {
  const int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    raise(rc == SQLITE_NOTADB ? errc::UnrecognizedFormat : errc::CannotOpenDatabase, pathText(path_));
  }
  open_ = true;
  sqlite3_extended_result_codes(db_, 1);
  // A name in double quotes is always a name, never a text.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  setBusyTimeout(busyMilliseconds);
  setQueryTimeout(querySeconds_);
  if (sqlite3_db_readonly(db_, "main") == 1) readOnly_ = true;
  try {
    // Functions are replaced before any statement runs (a running one
    // would keep the storage's own).
    registerFunctions(db_);
    {
      // Reading the schema proves that the file is a database.
      SqliteStatement probe(*this, "SELECT count(*) FROM sqlite_master");
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
    SqliteStatement mode(*this, "PRAGMA journal_mode");
    wal_ = mode.step() && mode.text(0) == "wal";
  } catch (const Error& e) {
    close();
    // A file that stayed busy is reported as busy (3218): it can be opened
    // once the other user lets go, which 3051 would deny.
    if (e.number() == errc::UnrecognizedFormat) raise(errc::UnrecognizedFormat, pathText(path_));
    throw;
  }
}

SqliteSession::~SqliteSession() { close(); }

void SqliteSession::discard(const std::filesystem::path& path) noexcept {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::filesystem::remove(path.string() + "-journal", ec);
}

const Dialect& SqliteSession::dialect() const noexcept { return sqliteDialect(); }

std::u16string SqliteSession::name() const { return pathText(path_); }

void SqliteSession::closeStorage() noexcept {
  endHeldRead();
  readHolds_ = 0;
  markStatement_.reset();
  open_ = false;
  if (!db_) return;
  // Statements that recordsets still hold finish the close when they go.
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void SqliteSession::checkOpen() const {
  if (!db_) raise(errc::ObjectInvalid);
}

std::unique_ptr<Statement> SqliteSession::prepare(std::string_view sql) {
  return std::make_unique<SqliteStatement>(*this, sql);
}

void SqliteSession::exec(std::string_view sql) {
  checkOpen();
  endHeldRead();
  startPending();
  run(sql);
}

void SqliteSession::run(std::string_view sql) {
  checkOpen();
  const std::string text(sql);
  char* message = nullptr;
  const QueryClock clock(*this);
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) fail(rc);
}

std::int64_t SqliteSession::othersCommitMark() {
  if (readHeld_ && heldMark_) return *heldMark_;
  if (!markStatement_) markStatement_ = sharedCached("PRAGMA data_version");
  Statement& s = *markStatement_;
  if (!s.step()) return 0;
  const std::int64_t version = s.int64(0);
  s.rewind();
  if (readHeld_) heldMark_ = version;
  return version;
}

void SqliteSession::holdReads() {
  if (++readHolds_ > 1 || !wal_ || depth_ > 0 || pending_ || !sqlite3_get_autocommit(db_)) return;
  const int rc = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    --readHolds_;
    fail(rc);
  }
  readHeld_ = true;
  heldMark_.reset();
  // The view is taken by the first read, which is this one: the moment
  // held is now, not whenever the routine first reads.
  try {
    othersCommitMark();
  } catch (...) {
    endHeldRead();
    --readHolds_;
    throw;
  }
}

void SqliteSession::releaseReads() noexcept {
  if (readHolds_ > 0 && --readHolds_ == 0) endHeldRead();
}

void SqliteSession::endHeldRead() noexcept {
  if (!readHeld_) return;
  readHeld_ = false;
  heldMark_.reset();
  // A transaction that only read has nothing to lose: should its commit
  // fail, it is rolled back.
  if (db_ && !sqlite3_get_autocommit(db_) && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

std::optional<std::int64_t> SqliteSession::highestNumberGiven(std::u16string_view table) {
  // Kept for tables whose key is an AUTOINCREMENT row number.
  Statement& counters = cached("SELECT 1 FROM sqlite_master WHERE name = 'sqlite_sequence'");
  const bool counted = counters.step();
  counters.reset();
  if (!counted) return std::nullopt;
  Statement& sequence = cached("SELECT seq FROM sqlite_sequence WHERE name = ?1");
  sequence.bind(1, std::string_view(toUtf8(table)));
  std::optional<std::int64_t> given;
  if (sequence.step()) given = sequence.int64(0);
  sequence.reset();
  return given;
}

std::int64_t SqliteSession::changes() const noexcept { return db_ ? sqlite3_changes64(db_) : 0; }
std::int64_t SqliteSession::lastRowid() const noexcept { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

// storage's own wait sleeps up to a tenth of a second at a time, far longer
// than the transactions of other users that it waits for.
int SqliteSession::busyWait(void* self, int count) noexcept {
  auto& c = *static_cast<SqliteSession*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) c.busySince_ = now;
  if (now - c.busySince_ >= std::chrono::milliseconds(c.busyMilliseconds_)) return 0;
  constexpr int kFirstMicroseconds = 20, kLongestMicroseconds = 1000;
  const int step = std::min(kFirstMicroseconds << std::min(count, 6), kLongestMicroseconds);
  std::this_thread::sleep_for(std::chrono::microseconds(step));
  return 1;
}

void SqliteSession::setBusyTimeout(int milliseconds) {
  busyMilliseconds_ = std::max(milliseconds, 0);
  if (db_) sqlite3_busy_handler(db_, busyMilliseconds_ > 0 ? &SqliteSession::busyWait : nullptr, this);
}

// The storage asks the handler every so many steps of its programs: often
// enough that a statement stops within a fraction of a millisecond of its
// deadline, seldom enough that reading the clock costs nothing beside them.
constexpr int kStepsBetweenChecks = 1000;

void SqliteSession::setQueryTimeout(int seconds) {
  querySeconds_ = std::max(seconds, 0);
  if (db_)
    sqlite3_progress_handler(db_, querySeconds_ > 0 ? kStepsBetweenChecks : 0,
                             querySeconds_ > 0 ? &SqliteSession::pastDeadline : nullptr, this);
}

int SqliteSession::pastDeadline(void* self) noexcept {
  return std::chrono::steady_clock::now() >= static_cast<SqliteSession*>(self)->deadline_ ? 1 : 0;
}

SqliteSession::QueryClock::QueryClock(SqliteSession& session) noexcept
    : session_(session), outer_(session.deadline_) {
  if (session.querySeconds_ > 0 && outer_ == std::chrono::steady_clock::time_point::max())
    session.deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(session.querySeconds_);
}

bool SqliteSession::transactionLost() const noexcept { return db_ && sqlite3_get_autocommit(db_); }

void SqliteSession::refuseLostTransaction() {
  raise(Error(errc::InvalidOperation)
            .noted(u"the transaction was rolled back whole when a statement in it failed (stopped by QueryTimeout, "
                   u"or the disk was full); roll it back to go on"));
}


void SqliteSession::begin() {
  if (depth_ == 0) {
    pending_ = true;
  } else {
    exec("SAVEPOINT tw" + std::to_string(depth_ + 1));
  }
  ++depth_;
}

void SqliteSession::startTransaction() {
  endHeldRead();
  // Cleared first: the statement below is the transaction's first.
  pending_ = false;
  try {
    run(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE");
  } catch (...) {
    pending_ = true;
    throw;
  }
}

void SqliteSession::commit() {
  if (depth_ == 0) raise(errc::NoTransaction);
  if (depth_ == 1 && !pending_ && transactionLost()) {
    // Already rolled back: the commit ends it, and says so.
    depth_ = 0;
    refuseLostTransaction();
  }
  if (depth_ == 1) {
    if (!pending_) exec("COMMIT");
    pending_ = false;
  } else {
    exec("RELEASE tw" + std::to_string(depth_));
  }
  --depth_;
}

void SqliteSession::rollback() {
  if (depth_ == 0) raise(errc::NoTransaction);
  // The outermost level ends the storage's transaction outright.
  if (depth_ == 1) {
    if (!pending_ && db_ && !sqlite3_get_autocommit(db_)) exec("ROLLBACK");
    pending_ = false;
  } else if (!transactionLost()) {
    const std::string name = "tw" + std::to_string(depth_);
    exec("ROLLBACK TO " + name);
    exec("RELEASE " + name);
  }
  --depth_;
}

std::unique_ptr<CatalogueStore> SqliteSession::catalogueStore() { return std::make_unique<SqliteCatalogue>(*this); }

WriteMark SqliteSession::openWrite() {
  endHeldRead();
  startPending();
  WriteMark mark;
  if (db_ && sqlite3_get_autocommit(db_)) {
    exec("BEGIN IMMEDIATE");
    mark.open = true;
  }
  return mark;
}

void SqliteSession::commitWrite(WriteMark& mark) {
  if (mark.open) exec("COMMIT");
  mark.open = false;
}

bool SqliteSession::undoWrite(WriteMark& mark) noexcept {
  if (mark.open && db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  mark.open = false;
  return false;
}

void SqliteSession::fail(int code) const {
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
    case SQLITE_INTERRUPT:
      raise(Error(errc::QueryTimeout)
                .noted(u"the statement ran longer than QueryTimeout (" + fromUtf8(std::to_string(querySeconds_)) +
                       u" seconds) and was stopped; nothing it changed was kept"));
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
  if (message.rfind("no such column", 0) == 0)
    raise(Error(errc::TooFewParameters, describe(errc::TooFewParameters, u"1"))
              .noted(u"unknown name " + quotedName(after("no such column: "))));
  raise(errc::InvalidArgument, {}, u"(" + fromUtf8(message) + u")");
}

}  // namespace tarnwick::engine
