#pragma once
// Private to the engine: the storage interface, the one seam between the
// object model above (databases, recordsets, cursors, the SQL writer) and a
// backend below. A backend (sqlite/ for database files, postgres/ for
// server databases) implements a Session, its Statements, the rows a
// statement keeps, a record lock store, the backend part of the schema
// catalogue and a Dialect; nothing above asks which backend it holds.
//
// Everything here speaks the engine's own vocabulary: values as engine
// values of a field type, stored values as StoredKind, errors as the
// engine's errors (each backend maps its own failures).
//
// Statements read the engine's SQL as the SQL writer leaves it: parameters
// are "?" or "?n", every table the engine reads records from has a
// whole-number row key named rowid, and temporary tables are qualified with
// the dialect's temporaryPrefix().
#include "EngineTypes.h"
#include "FieldValues.h"

#include <tarnwick/automation/Variant.h>
#include <tarnwick/frame/LruCache.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tarnwick::engine {

class Dialect;
struct FieldInfo;
struct IndexInfo;
struct TableInfo;

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

// A prepared statement; finalised when it goes. A statement may outlive
// its session: it then fails with 3420.
class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  virtual ~Statement() = default;

  // Parameters count from 1.
  virtual void bindNull(int index) = 0;
  virtual void bind(int index, std::int64_t value) = 0;
  virtual void bind(int index, double value) = 0;
  virtual void bind(int index, std::string_view utf8) = 0;
  // A text the statement may keep as it is rather than copy.
  virtual void bind(int index, std::string&& utf8) = 0;
  // An engine value, stored the way its field type keeps it.
  virtual void bind(int index, const Variant& value, FieldType type) = 0;
  void bind(int index, const RawValue& value);

  // Steps once: true when a row is ready, false when done. Failures throw
  // the engine's error for them.
  virtual bool step() = 0;
  // Ends a run; reset() clears the bindings too, rewind() keeps them (for
  // statements rebound whole).
  virtual void reset() noexcept = 0;
  virtual void rewind() noexcept = 0;

  // Sends the run now, for rows stepped over later, while the caller goes
  // on with other work (false when it did not go, as where a statement runs
  // only as it is stepped). runUnderWay() numbers the run sent (0 when
  // none is), so that whoever sent it knows nobody has since reset the
  // statement or run it again; absorb() takes in what has arrived of it.
  virtual bool sendAhead() { return false; }
  virtual std::uint64_t runUnderWay() const noexcept { return 0; }
  virtual void absorb() noexcept {}
  // The bytes the storage sent for the current row's values (0 where
  // nothing is sent).
  virtual std::size_t rowBytes() const noexcept { return 0; }
  // The rows holding the current row, kept for their values to be read
  // after the statement has moved on, and the row's place in them. A
  // statement whose values are read only while it stands on the row keeps
  // nothing (null).
  virtual std::shared_ptr<const KeptRows> keepRows() { return nullptr; }
  // The rows already kept by keepRows, if the current row is in them.
  virtual const KeptRows* keptNow() const noexcept { return nullptr; }
  virtual int keptRow() const noexcept { return 0; }

  virtual int columnCount() const noexcept = 0;
  virtual bool isNull(int column) const noexcept = 0;
  // What a column of the current row holds.
  virtual StoredKind kind(int column) const noexcept = 0;
  virtual std::int64_t int64(int column) const noexcept = 0;
  virtual double real(int column) const noexcept = 0;
  virtual std::string_view text(int column) const noexcept = 0;
  RawValue raw(int column) const;
  // The same into `value`, whose text keeps its room for the next read.
  virtual void raw(int column, RawValue& value) const = 0;
  // The column as an engine value of `type`.
  virtual Variant value(int column, FieldType type) const = 0;
  virtual std::string columnName(int column) const = 0;
  // The table and column a result column comes from (empty for expressions).
  virtual std::string originTable(int column) const = 0;
  virtual std::string originColumn(int column) const = 0;
  // The column's declared type, as the storage writes it (empty where it
  // has none).
  virtual std::string declaredType(int column) const = 0;
  // The stored values of `count` columns from `first`: equal images mean
  // equal stored values.
  virtual std::string image(int first, int count) const = 0;
};

// The locks of records being edited pessimistically, as a backend keeps
// them against other connections: each by a number (RecordLocks makes the
// numbers and keeps who in this connection holds what).
class RecordLockStore {
 public:
  virtual ~RecordLockStore() = default;
  // What sets this database's numbers apart from another's that the same
  // locks could meet (asked once, before the first lock).
  virtual std::string scope() = 0;
  // True when the lock could be taken.
  virtual bool take(std::int64_t number) = 0;
  virtual void give(std::int64_t number) noexcept = 0;
  // Whether another connection holds the lock: asked, not taken.
  virtual bool heldElsewhere(std::int64_t number) = 0;
  // Whether a lock this connection took is still its own (a store whose
  // locks can be lost, as when their file is replaced, says so here).
  virtual bool keeps(std::int64_t number) {
    static_cast<void>(number);
    return true;
  }
  // Lets go of every lock (the connection closes).
  virtual void clear() noexcept {}
};

// A table as the storage describes it, before the engine's own record of
// its fields is read over it.
struct StoredTable {
  std::string name;  // as stored
  std::shared_ptr<TableInfo> info;  // name, quoted name, row key, fields and indexes
  // Per field: required by a key of the storage rather than by the field's
  // own rule (the engine's record then says whether the field is required).
  std::vector<bool> requiredByKey;
};

// The backend's part of the schema catalogue (SchemaCatalogue keeps what is
// known and reads the engine's own record of the fields over it).
class CatalogueStore {
 public:
  virtual ~CatalogueStore() = default;
  // The user tables, in the order of creation (the engine's own hidden).
  virtual std::vector<std::u16string> tableNames() = 0;
  // Changes whenever the schema changes in a way this session cannot know
  // of; a storage that cannot tell gives the same number always (this
  // session's own changes drop what is known themselves).
  virtual std::int64_t schemaVersion() = 0;
  // The table named `name` (letter case ignored), described; nothing when
  // there is no such table.
  virtual std::optional<StoredTable> describe(std::u16string_view name) = 0;
  // Whether the database holds the engine's own table of fields.
  virtual bool hasCatalogue() = 0;
  // Creates the engine's own table (and what it needs) if the database
  // lacks them.
  virtual void ensureCatalogue() = 0;
};

// What a write scope opened, as its session marks it.
struct WriteMark {
  // The scope opened a transaction or a savepoint of its own, not yet
  // committed or undone.
  bool open = false;
  // It is a savepoint inside an open transaction.
  bool nested = false;
  // The session's own mark of when it opened.
  std::uint64_t since = 0;
};

// One session with a database: a file opened, or a session with a server.
class Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  virtual ~Session() = default;

  virtual const Dialect& dialect() const noexcept = 0;
  // The file's path, or the server's URI without its password.
  virtual std::u16string name() const = 0;
  // Read-only, every transaction of the session is.
  virtual bool readOnly() const noexcept = 0;
  // True while the session lasts: false once it is closed or lost. Read
  // where it is (Connection::checkOpen runs before every call).
  virtual const bool& openFlag() const noexcept = 0;
  // Ends the session; statements still held fail with 3420 from then on
  // (or finish the close when they go).
  void close() noexcept;
  // Counts the connections under the session: a session that makes a new
  // connection for a lost one (a server's) counts on, and what lived only
  // in the old one (temporary tables) is gone. A file's session is one.
  virtual std::uint64_t generation() const noexcept { return 1; }
  // How the names of this session's copies of records begin: copies that
  // other sessions may see (where the storage cannot keep them to the
  // session) carry a name of the session's own.
  virtual std::string copyStem() const { return "tw_temporary_"; }

  virtual std::unique_ptr<Statement> prepare(std::string_view sql) = 0;
  // Runs statements without results.
  virtual void exec(std::string_view sql) = 0;
  // A statement from the cache, reset and with its bindings cleared; valid
  // until the next call of cached() with the same text, or until
  // kCacheKeepsLast other texts have been cached after it (the cache drops
  // what was used least recently).
  Statement& cached(const std::string& sql) { return *sharedCached(sql); }
  // The same, for a caller that keeps the statement across calls: it stays
  // valid as long as the caller holds it.
  std::shared_ptr<Statement> sharedCached(const std::string& sql);
  // The cache is bounded: conditions that differ in every call (FindFirst
  // with the value written in) would otherwise keep a statement each for
  // the session's life.
  static constexpr std::size_t kCachedStatements = 200;
  static constexpr std::size_t kCachedStatementBytes = 8 * 1024 * 1024;
  // No entry counts for more than its share of the bytes, so the statements
  // cached last are never dropped for the next one.
  static constexpr std::size_t kCacheKeepsLast = 16;
  // The estimate of a prepared statement's memory, from its text (asking
  // the storage to measure it costs more than a lookup that prepares a new
  // condition): a FindFirst condition of about 150 characters compiles to
  // about 4.6 kB.
  static constexpr std::size_t kStatementBytes = 1024;
  static constexpr std::size_t kStatementBytesPerCharacter = 24;

  // Rows changed by the last insert, update or delete.
  virtual std::int64_t changes() const noexcept = 0;
  // The row key of the last record added, where the dialect's INSERT does
  // not give it back.
  virtual std::int64_t lastRowid() const noexcept { return 0; }
  // Where the engine numbers counters itself: the highest number the
  // storage has ever given a record of `table`, if it keeps one (numbers
  // once given are not given again, even after their records went).
  virtual std::optional<std::int64_t> highestNumberGiven(std::u16string_view table) {
    static_cast<void>(table);
    return std::nullopt;
  }

  // Counts the changes made through this session (and the transactions or
  // write scopes undone), so that objects that keep copies of records know
  // when to read them again.
  std::uint64_t writeCount() const noexcept { return writes_; }
  void noteWrite() noexcept { ++writes_; }
  // A mark of other sessions' commits: two marks differ when another
  // session committed between them. A storage that cannot tell gives the
  // same mark always: what a session read then stays valid until the
  // session itself writes (read committed, at the moment of reading).
  virtual std::int64_t othersCommitMark() { return 0; }
  // One view of the database held across many reads (a routine walking a
  // recordset), where the storage offers one: holds nest, and anything
  // that writes lets go of the view first.
  virtual void holdReads() {}
  virtual void releaseReads() noexcept {}
  virtual bool readsHeld() const noexcept { return false; }

  // How long a statement waits for what another session holds before it
  // fails (3218 for a busy file, 3260 for a locked record or table).
  virtual void setBusyTimeout(int milliseconds) = 0;
  // How long one statement may run before it is stopped with 3234, having
  // changed nothing (0: as long as it takes). A session keeps the value for
  // as long as it lasts, so that whatever makes it again can apply it again.
  virtual void setQueryTimeout(int seconds) = 0;
  virtual int queryTimeout() const noexcept = 0;

  // Nested transactions; the depth counts from 1.
  virtual int transactionDepth() const noexcept = 0;
  virtual void begin() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;
  // The storage's write transaction around one change of a record: see
  // WriteScope.
  virtual WriteMark openWrite() = 0;
  virtual void commitWrite(WriteMark& mark) = 0;
  // Undoes what the scope wrote; true when what was read may differ since.
  virtual bool undoWrite(WriteMark& mark) noexcept = 0;

  // The parts of the backend that the engine keeps beside the session.
  virtual std::unique_ptr<CatalogueStore> catalogueStore() = 0;
  virtual std::unique_ptr<RecordLockStore> recordLockStore() = 0;

 protected:
  // Lets go of the backend's own handle; the cached statements are gone.
  virtual void closeStorage() noexcept = 0;

 private:
  std::uint64_t writes_ = 0;
  frame::impl::LruCache<std::string, std::shared_ptr<Statement>> cache_{kCachedStatements, kCachedStatementBytes};
};

// One change of a record, all or nothing: the storage's write transaction
// when none is open; inside one, whatever the session needs so that a
// change it refuses is undone alone (a savepoint, or nothing where the
// open transaction holds the database whole). Not committed, it is undone
// when it goes.
class WriteScope {
 public:
  explicit WriteScope(Session& session) : session_(session), mark_(session.openWrite()) {}
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;
  ~WriteScope() {
    if (mark_.open && session_.undoWrite(mark_)) session_.noteWrite();
  }
  void commit() { session_.commitWrite(mark_); }

 private:
  Session& session_;
  WriteMark mark_;
};

// Quotes a name for SQL ("a""b").
std::string quoteName(std::u16string_view name);
std::string quoteName(std::string_view utf8);

}  // namespace tarnwick::engine
