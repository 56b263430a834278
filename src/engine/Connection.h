#pragma once
// Private to the engine: a database's connection, as the object model above
// the storage sees it: one Session of a backend (Storage.h) with the
// engine's bookkeeping around it. Nothing here knows which backend it holds.
#include "Storage.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick::engine {

class Connection {
 public:
  // Opens a database by its name: a file's path, or a server's connection
  // URI (see openSession). `create` makes a new file (a server's databases
  // are its administrator's to make).
  Connection(const std::filesystem::path& name, bool create, bool readOnly, int busyMilliseconds);
  explicit Connection(std::unique_ptr<Session> session);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  Session& session() const noexcept { return *session_; }
  const Dialect& dialect() const noexcept { return *dialect_; }
  // The file's path, or the server's URI without its password.
  std::u16string name() const { return session_->name(); }
  bool readOnly() const noexcept { return readOnly_; }
  bool isOpen() const noexcept { return *open_; }
  // Ends the session; statements still held finish the close when they go
  // (or fail with 3420).
  void close() noexcept { session_->close(); }
  // Error 3420 once the database has been closed (or its session lost).
  void checkOpen() const {
    if (!*open_) refuseClosed();
  }

  void exec(std::string_view sql) {
    checkOpen();
    session_->exec(sql);
  }
  // See Session::cached and Session::sharedCached.
  Statement& cached(const std::string& sql) { return *sharedCached(sql); }
  std::shared_ptr<Statement> sharedCached(const std::string& sql) {
    checkOpen();
    return session_->sharedCached(sql);
  }
  std::unique_ptr<Statement> prepare(std::string_view sql) {
    checkOpen();
    return session_->prepare(sql);
  }
  std::int64_t changes() const noexcept { return session_->changes(); }
  std::int64_t lastRowid() const noexcept { return session_->lastRowid(); }

  // Counts the changes made through this connection, so that objects that
  // keep copies of records know when to read them again.
  std::uint64_t writeCount() const noexcept { return session_->writeCount(); }
  void noteWrite() noexcept { session_->noteWrite(); }
  // See Session::othersCommitMark.
  std::int64_t othersCommitMark() { return session_->othersCommitMark(); }
  // See Session::holdReads.
  void holdReads() {
    checkOpen();
    session_->holdReads();
  }
  void releaseReads() noexcept { session_->releaseReads(); }
  bool readsHeld() const noexcept { return session_->readsHeld(); }
  // Counts rollbacks, which may end statements that were running.
  std::uint64_t rollbackCount() const noexcept { return rollbacks_; }

  void setBusyTimeout(int milliseconds) { session_->setBusyTimeout(milliseconds); }
  void setQueryTimeout(int seconds) { session_->setQueryTimeout(seconds); }
  int queryTimeout() const noexcept { return session_->queryTimeout(); }

  int transactionDepth() const noexcept { return session_->transactionDepth(); }
  void begin() {
    checkOpen();
    session_->begin();
  }
  // A session checks that it is open where its rules put the check (a
  // file says first that no transaction is open).
  void commit() { session_->commit(); }
  // The level ends even when the storage cannot be told.
  void rollback();

  // A name unique within this connection, for temporary tables.
  std::string temporaryName();

 private:
  [[noreturn]] static void refuseClosed();
  std::unique_ptr<Session> session_;
  // What the session answers always, kept here: they are asked for every
  // record saved.
  const Dialect* dialect_;
  bool readOnly_;
  const bool* open_;
  std::uint64_t temporaries_ = 0;
  std::uint64_t rollbacks_ = 0;
};

// A session of the backend that `name` belongs to: a server's connection
// URI ("postgresql://..."), or else a database file's path.
std::unique_ptr<Session> openSession(const std::filesystem::path& name, bool create, bool readOnly,
                                     int busyMilliseconds);
// Removes what a creation of the database `name` that failed left behind
// (a file is removed whole; what was made in a server's database stays).
void discardDatabase(const std::filesystem::path& name) noexcept;

}  // namespace tarnwick::engine
