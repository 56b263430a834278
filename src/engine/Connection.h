#pragma once
// Private to the engine: the seam to the storage. A Connection is either a
// database file or a session with a database server (PgConnection), and a
// Statement runs on either; the object model above talks only to these.
// Everything that speaks SQLite's C interface lives here (and in the schema
// catalogue built on it); everything that speaks libpq in PgConnection.
//
// Both backends read the same statements, with a few differences that the
// engine's own statements keep to: parameters are "?" or "?n" (the server's
// "$n" are made from them), every table the engine reads records from has
// a whole-number row key named rowid (the file's own; a column of the
// engine's on the server), and temporary tables are named with
// temporaryPrefix().
#include "EngineTypes.h"
#include <tarnwick/automation/Variant.h>
#include <tarnwick/frame/LruCache.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;

namespace tarnwick::engine {

class Connection;
class PgConnection;
struct FieldInfo;
class PgStatement;
class Dialect;

// A raw stored value, as the storage keeps it (no engine type applied).
// Used for keys that must be bound back exactly as they were read.
using RawValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// Rows a statement has read, kept after it moves on, so that their values
// are decoded only when used (a server's result, read whole).
class KeptRows {
 public:
  virtual ~KeptRows() = default;
  // Row `row`'s columns from `first` on, one for each of the `count`
  // fields, into `out` as engine values of the fields' types, as
  // Statement::value reads them (a place that is not there reads as Null).
  virtual void readRow(int row, int first, const FieldInfo* fields, std::size_t count, Variant* out) const = 0;
};

// A prepared statement; finalised by its destructor.
class Statement {
 public:
  Statement() noexcept;
  Statement(Connection& connection, std::string_view sql);
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  explicit operator bool() const noexcept;

  // Parameters count from 1.
  void bindNull(int index);
  void bind(int index, std::int64_t value);
  void bind(int index, double value);
  void bind(int index, std::string_view utf8);
  void bind(int index, std::string&& utf8);
  void bind(int index, const RawValue& value);
  // An engine value, stored the way its field type keeps it.
  void bind(int index, const Variant& value, FieldType type);

  // Steps once: true when a row is ready, false when done. Failures throw
  // the engine's error for them.
  bool step();
  void reset() noexcept;
  // Ready to run again with the same bindings (for statements rebound whole).
  void rewind() noexcept;
  // On a server, sends the run now for rows stepped over later; see
  // PgStatement::sendAhead. A file's statement runs as it is stepped, so
  // nothing goes ahead there (false, and no run is under way).
  bool sendAhead();
  std::uint64_t runUnderWay() const noexcept;
  void absorb() noexcept;
  // A server's bytes for the current row's values (0 for a file's).
  std::size_t rowBytes() const noexcept;
  // On a server, the result holding the current row, kept for its values to
  // be read after the statement has moved on, and the row's place in it. A
  // file's statement keeps nothing (null): its values are read while it
  // stands on the row.
  std::shared_ptr<const KeptRows> keepRows();
  // The result already kept by keepRows, if the current row is in it.
  const KeptRows* keptNow() const noexcept;
  int keptRow() const noexcept;

  int columnCount() const noexcept;
  bool isNull(int column) const noexcept;
  // The storage class of a column of the current row: 1 integer, 2 real,
  // 3 text, 4 blob, 5 Null.
  int storage(int column) const noexcept;
  std::int64_t int64(int column) const noexcept;
  double real(int column) const noexcept;
  std::string_view text(int column) const noexcept;
  RawValue raw(int column) const;
  // The same into `value`, whose text keeps its room for the next read.
  void raw(int column, RawValue& value) const;
  // The column as an engine value of `type`.
  Variant value(int column, FieldType type) const;
  std::string columnName(int column) const;
  // The table and column a result column comes from (empty for expressions).
  std::string originTable(int column) const;
  std::string originColumn(int column) const;
  std::string declaredType(int column) const;
  // The stored bytes of `count` columns from `first`, with their storage
  // classes: equal images mean equal stored values.
  std::string image(int first, int count) const;

 private:
  Connection* connection_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  std::unique_ptr<PgStatement> pg_;
  // The texts bound, one place per parameter (made with the statement, so
  // that no place moves): the storage reads them where they are instead of
  // copying each, until the parameter is bound again or the statement reset.
  std::vector<std::string> texts_;
  // Binds the text kept for parameter `index` where it is.
  void bindKept(int index);
};

// One open database file.
class Connection {
 public:
  // Opens an existing file (`create` false) or makes a new one. Errors:
  // 3024 missing file, 3343 not a database, 3051 no permission, 3204 exists,
  // 3218 when the file stayed busy for longer than `busyMilliseconds`.
  //
  // Files are kept in write-ahead-log mode: readers see the last committed
  // state while one writer commits, so a reader never waits for a writer and
  // a writer waits only for another writer. Commits are made durable at
  // checkpoints (synchronous NORMAL): a process that dies loses nothing it
  // committed; only a power cut can lose the last transactions, never the
  // file's integrity.
  Connection(const std::filesystem::path& path, bool create, bool readOnly, int busyMilliseconds);
  // A session with a server database, by its connection URI (see
  // PgConnection). Read-only, every transaction of the session is.
  Connection(std::string_view serverUri, bool readOnly, int busyMilliseconds);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  sqlite3* handle() const noexcept { return db_; }
  // The server's session, or null for a file.
  PgConnection* server() const noexcept { return pg_.get(); }
  const std::filesystem::path& path() const noexcept { return path_; }
  // The file's path, or the server's URI without its password.
  std::u16string name() const;
  bool readOnly() const noexcept { return readOnly_; }
  // Where the backend's SQL and rules of a save differ from another's.
  const Dialect& dialect() const noexcept;
  bool isOpen() const noexcept;
  // How a temporary table's name is qualified.
  std::string_view temporaryPrefix() const noexcept { return pg_ ? "pg_temp." : "temp."; }
  // Closes the file; statements still held finish the close when they go.
  void close() noexcept;
  // Error 3420 once the database has been closed. A file's connection is
  // open while it holds its handle (checked here, as every call checks it).
  void checkOpen() const {
    if (!db_ && !(serverLink_ && *serverLink_)) checkServerOpen();
  }

  // Runs statements without results.
  void exec(std::string_view sql);
  // A statement from the cache, reset and with its bindings cleared; valid
  // until the next call of cached() with the same text, or until
  // kCacheKeepsLast other texts have been cached after it (the cache drops
  // what was used least recently).
  Statement& cached(const std::string& sql);
  // The same, for a caller that keeps the statement across calls: it stays
  // valid as long as the caller holds it.
  std::shared_ptr<Statement> sharedCached(const std::string& sql);
  // The cache is bounded: conditions that differ in every call (FindFirst
  // with the value written in) would otherwise keep a statement each for
  // the connection's life.
  static constexpr std::size_t kCachedStatements = 200;
  static constexpr std::size_t kCachedStatementBytes = 8 * 1024 * 1024;
  static constexpr std::size_t kCacheKeepsLast = 16;
  // The estimate of a compiled statement's memory: a FindFirst condition of
  // about 150 characters compiles to about 4.6 kB.
  static constexpr std::size_t kStatementBytes = 1024;
  static constexpr std::size_t kStatementBytesPerCharacter = 24;
  // Rows changed by the last statement.
  std::int64_t changes() const noexcept;
  std::int64_t lastRowid() const noexcept;

  // Counts the changes made through this connection, so that objects that
  // keep copies of records know when to read them again.
  std::uint64_t writeCount() const noexcept { return writes_; }
  void noteWrite() noexcept { ++writes_; }
  // Changes whenever another connection commits to the file (this
  // connection's own changes count in writeCount instead). A server tells
  // no such thing: it is always 0 there, so what a session read stays
  // valid until the session itself writes (read committed, at the moment
  // of reading).
  std::int64_t dataVersion();
  // One view of the file held across many reads (a routine walking a
  // recordset): one read transaction instead of one per statement, during
  // which no other user's commit shows and the data version stands still.
  // Holds nest. Only outside transactions, and only on a file in
  // write-ahead-log mode, where a reader holds up no writer; anything that
  // writes through this connection lets go of the view first, so a write
  // never runs on an old view. Nothing on a server.
  void holdReads();
  void releaseReads() noexcept;
  bool readsHeld() const noexcept { return readHeld_; }
  // Lets go of the held view now (the holds stay counted, with no view).
  void endHeldRead() noexcept;
  // Counts rollbacks, which may end statements that were running.
  std::uint64_t rollbackCount() const noexcept { return rollbacks_; }

  // How long a statement waits for a file that another connection holds
  // before it fails with 3218.
  void setBusyTimeout(int milliseconds);

  // Nested transactions; the depth counts from 1. The outermost level
  // starts in the storage only when its first statement runs, and then as a
  // writer (it waits for other writers there, under the busy timeout):
  // a transaction that read first and wrote later could not wait for the
  // file, because the records it read may have changed meanwhile.
  int transactionDepth() const noexcept;
  void begin();
  void commit();
  void rollback();
  // Starts the storage's transaction that begin() left for later.
  void startPending() {
    if (pending_) startTransaction();
  }
  struct PgScope;
  // The storage's own write transaction around one change of a record, when
  // no transaction is open (inside one, nothing: the outer one holds the file).
  class WriteScope {
   public:
    explicit WriteScope(Connection& c);
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;
    ~WriteScope();
    void commit();

   private:
    Connection& c_;
    bool own_ = false;
    std::unique_ptr<PgScope> server_;
  };

  // Turns the connection's last failure into the engine's error.
  [[noreturn]] void fail(int code, std::string_view context = {}) const;

  // A name unique within this connection, for temporary tables.
  std::string temporaryName();

 private:
  void checkServerOpen() const;
  sqlite3* db_ = nullptr;
  std::filesystem::path path_;
  bool readOnly_ = false;
  void startTransaction();
  static int busyWait(void* self, int count) noexcept;

  int depth_ = 0;
  bool pending_ = false;
  int busyMilliseconds_ = 0;
  std::chrono::steady_clock::time_point busySince_;
  std::uint64_t writes_ = 0;
  std::uint64_t temporaries_ = 0;
  std::uint64_t rollbacks_ = 0;
  bool wal_ = false;
  int readHolds_ = 0;
  bool readHeld_ = false;
  std::optional<std::int64_t> heldVersion_;
  std::unique_ptr<PgConnection> pg_;
  // Where the server's session keeps its connection (null once the session
  // has ended), for checkOpen to read without a call.
  pg_conn* const* serverLink_ = nullptr;
  std::shared_ptr<Statement> versionStatement_;  // kept apart: it runs for every record a walk reads
  frame::impl::LruCache<std::string, std::shared_ptr<Statement>> cache_{kCachedStatements, kCachedStatementBytes};
};

// Quotes a name for SQL ("a""b").
std::string quoteName(std::u16string_view name);
std::string quoteName(std::string_view utf8);

}  // namespace tarnwick::engine
