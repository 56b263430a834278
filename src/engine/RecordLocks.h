#pragma once
// Private to the engine: the locks of records being edited pessimistically
// (LockEdits = True), shared by every connection to a database file, in
// this process and in others.
//
// A record is locked by a lock on one byte of a file beside the database
// ("<file>-lock"), at an offset made from the table's name and the record's
// key. The locks belong to the open file (not to the process): two
// connections in one process lock each other out as two processes do, and
// the system lets go of a lock when its holder closes the file or dies, so
// no lock outlives a crashed program. The database file itself is never
// locked this way (the storage keeps its own locks on it).
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarnwick::engine {

class PgConnection;

// On a server, a record's lock is an advisory lock of the session, keyed by
// the same number; the server lets go of it when the session ends.
class RecordLocks {
 public:
  explicit RecordLocks(std::filesystem::path database) : database_(std::move(database)) {}
  explicit RecordLocks(PgConnection& server) : server_(&server) {}
  RecordLocks(const RecordLocks&) = delete;
  RecordLocks& operator=(const RecordLocks&) = delete;
  ~RecordLocks();

  // Locks a record for `holder` (one recordset); 3260 when another
  // connection or another recordset of this one holds it.
  void lock(std::string_view table, std::int64_t key, const void* holder);
  void unlock(std::string_view table, std::int64_t key, const void* holder) noexcept;
  // 3260 when anyone but `holder` holds the record; holds nothing after.
  void checkFree(std::string_view table, std::int64_t key, const void* holder);
  // Lets go of every lock (the connection closes).
  void clear() noexcept;

 private:
  // The lock's number for a record. On a server the session's schema is
  // part of it, since one database's schemas may each hold a table of the
  // same name and a server's advisory locks span them all.
  std::int64_t offsetOf(std::string_view table, std::int64_t key) const noexcept;
  // Learns the session's schema (once; nothing for a file).
  void knowSchema();
  int file();
  // True when the byte could be locked (or this connection holds it).
  bool take(std::int64_t offset);
  void give(std::int64_t offset) noexcept;
  [[noreturn]] static void refuse();

  std::filesystem::path database_;
  PgConnection* server_ = nullptr;
  std::string schema_;
  int fd_ = -1;
  std::unordered_map<std::int64_t, const void*> held_;
};

}  // namespace tarnwick::engine
