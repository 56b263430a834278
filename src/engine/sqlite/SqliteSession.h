#pragma once
// Private to the engine: the storage of a database file, through SQLite's
// C interface (included only in this folder).
#include "../Storage.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tarnwick::engine {

class SqliteSession;

// Registers like() (the dialect's Like), tw_date(), tw_datevalue(),
// tw_len(), tw_text(), the text functions (tw_ucase, tw_lcase, tw_trim,
// tw_ltrim, tw_rtrim, tw_mid), tw_today() and tw_now().
void registerFunctions(sqlite3* db);

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(SqliteSession& session, std::string_view sql);
  ~SqliteStatement() override;

  void bindNull(int index) override;
  void bind(int index, std::int64_t value) override;
  void bind(int index, double value) override;
  void bind(int index, std::string_view utf8) override;
  void bind(int index, std::string&& utf8) override;
  void bind(int index, const Variant& value, FieldType type) override;
  using Statement::bind;

  bool step() override;
  void reset() noexcept override;
  void rewind() noexcept override;

  int columnCount() const noexcept override;
  bool isNull(int column) const noexcept override;
  StoredKind kind(int column) const noexcept override;
  std::int64_t int64(int column) const noexcept override;
  double real(int column) const noexcept override;
  std::string_view text(int column) const noexcept override;
  void raw(int column, RawValue& value) const override;
  using Statement::raw;
  Variant value(int column, FieldType type) const override;
  std::string columnName(int column) const override;
  std::string originTable(int column) const override;
  std::string originColumn(int column) const override;
  std::string declaredType(int column) const override;
  std::string image(int first, int count) const override;

 private:
  SqliteSession* session_;
  sqlite3_stmt* stmt_ = nullptr;
  // The texts bound, one place per parameter (made with the statement, so
  // that no place moves): the storage reads them where they are instead of
  // copying each, until the parameter is bound again or the statement reset.
  std::vector<std::string> texts_;
  // Binds the text kept for parameter `index` where it is.
  void bindKept(int index);
};

// One open database file.
//
// Files are kept in write-ahead-log mode: readers see the last committed
// state while one writer commits, so a reader never waits for a writer and
// a writer waits only for another writer. Commits are made durable at
// checkpoints (synchronous NORMAL): a process that dies loses nothing it
// committed; only a power cut can lose the last transactions, never the
// file's integrity.
class SqliteSession final : public Session {
 public:
  // Opens an existing file (`create` false) or makes a new one. Errors:
  // 3024 missing file, 3343 not a database, 3051 no permission, 3204 exists,
  // 3218 when the file stayed busy for longer than `busyMilliseconds`.
  SqliteSession(const std::filesystem::path& path, bool create, bool readOnly, int busyMilliseconds);
  ~SqliteSession() override;
  // Removes a file that could not be made whole, with its journal.
  static void discard(const std::filesystem::path& path) noexcept;

  const Dialect& dialect() const noexcept override;
  std::u16string name() const override;
  bool readOnly() const noexcept override { return readOnly_; }
  const bool& openFlag() const noexcept override { return open_; }
  sqlite3* handle() const noexcept { return db_; }
  const std::filesystem::path& path() const noexcept { return path_; }

  std::unique_ptr<Statement> prepare(std::string_view sql) override;
  void exec(std::string_view sql) override;
  std::int64_t changes() const noexcept override;
  std::int64_t lastRowid() const noexcept override;
  std::optional<std::int64_t> highestNumberGiven(std::u16string_view table) override;

  // Changes whenever another connection commits to the file (this
  // connection's own changes count in writeCount instead).
  std::int64_t othersCommitMark() override;
  // One view of the file held across many reads: one read transaction
  // instead of one per statement, during which no other user's commit shows
  // and the mark stands still. Only outside transactions, and only in
  // write-ahead-log mode, where a reader holds up no writer.
  void holdReads() override;
  void releaseReads() noexcept override;
  bool readsHeld() const noexcept override { return readHeld_; }
  // Lets go of the held view now (the holds stay counted, with no view).
  void endHeldRead() noexcept;

  void setBusyTimeout(int milliseconds) override;
  // A statement still running when the query timeout runs out is stopped
  // by the storage's progress handler (3234). The storage then undoes the
  // statement, and when it wrote inside a transaction, the transaction
  // whole: the levels still open refuse further work until they are
  // rolled back (see startPending).
  void setQueryTimeout(int seconds) override;
  int queryTimeout() const noexcept override { return querySeconds_; }
  // The query timeout's clock, running while it lives (a step of a
  // statement, a run of exec). Nested clocks keep the outer deadline.
  class QueryClock {
   public:
    explicit QueryClock(SqliteSession& session) noexcept;
    ~QueryClock() { session_.deadline_ = outer_; }
    QueryClock(const QueryClock&) = delete;
    QueryClock& operator=(const QueryClock&) = delete;

   private:
    SqliteSession& session_;
    std::chrono::steady_clock::time_point outer_;
  };

  // The outermost level starts in the storage only when its first
  // statement runs, and then as a writer (it waits for other writers there,
  // under the busy timeout): a transaction that read first and wrote later
  // could not wait for the file, because the records it read may have
  // changed meanwhile.
  int transactionDepth() const noexcept override { return depth_; }
  void begin() override;
  void commit() override;
  void rollback() override;
  // Starts the storage's transaction that begin() left for later. A
  // transaction the storage has rolled back on its own (a statement in it
  // stopped by the query timeout, or a full disk) refuses work with 3219
  // until it is rolled back: what ran after it would be saved at once,
  // outside any transaction.
  void startPending() {
    if (pending_) startTransaction();
    else if (depth_ > 0 && transactionLost()) refuseLostTransaction();
  }
  // Inside a transaction nothing: the outer one holds the file.
  WriteMark openWrite() override;
  void commitWrite(WriteMark& mark) override;
  bool undoWrite(WriteMark& mark) noexcept override;

  std::unique_ptr<CatalogueStore> catalogueStore() override;
  std::unique_ptr<RecordLockStore> recordLockStore() override;

  // Turns the file's last failure into the engine's error.
  [[noreturn]] void fail(int code) const;
  void checkOpen() const;

 protected:
  void closeStorage() noexcept override;

 private:
  // Opens the file by `name` (a path, or a URI with SQLITE_OPEN_URI) and
  // sets the connection up.
  void openHandle(const std::string& name, int flags, int busyMilliseconds);
  bool readableOnlyAsItStands() const;
  static std::string immutableUri(const std::filesystem::path& path);
  void startTransaction();
  // Runs statements as they are (exec without its checks).
  void run(std::string_view sql);
  static int busyWait(void* self, int count) noexcept;
  static int pastDeadline(void* self) noexcept;
  bool transactionLost() const noexcept;
  [[noreturn]] static void refuseLostTransaction();

  sqlite3* db_ = nullptr;
  bool open_ = false;
  std::filesystem::path path_;
  bool readOnly_ = false;
  int depth_ = 0;
  bool pending_ = false;
  int busyMilliseconds_ = 0;
  std::chrono::steady_clock::time_point busySince_;
  int querySeconds_ = 0;
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
  bool wal_ = false;
  int readHolds_ = 0;
  bool readHeld_ = false;
  std::optional<std::int64_t> heldMark_;
  std::shared_ptr<Statement> markStatement_;  // kept apart: it runs for every record a walk reads
};

}  // namespace tarnwick::engine
