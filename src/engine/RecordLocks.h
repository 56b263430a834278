#pragma once
// Private to the engine: the locks of records being edited pessimistically
// (LockEdits = True), shared by every connection to a database, in this
// process and in others. The backend keeps the locks themselves
// (RecordLockStore), each by a number made here from the table's name and
// the record's key; this keeps which recordset of the connection holds
// which, so that two recordsets of one connection lock each other out as
// two connections do.
#include "Storage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarnwick::engine {

class RecordLocks {
 public:
  explicit RecordLocks(std::unique_ptr<RecordLockStore> store) : store_(std::move(store)) {}
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
  // The lock's number for a record, made from the store's scope, the
  // table's name and the key.
  std::int64_t numberOf(std::string_view table, std::int64_t key) const noexcept;
  // Learns the store's scope (once).
  void knowScope();
  [[noreturn]] static void refuse();

  std::unique_ptr<RecordLockStore> store_;
  std::optional<std::string> scope_;
  std::unordered_map<std::int64_t, const void*> held_;
};

}  // namespace tarnwick::engine
