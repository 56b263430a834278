#pragma once
// The engine's application object. One per thread: the library creates it
// on a thread's first activation of its class identifier and keeps it for
// the thread's life, so every activation on a thread returns the same
// engine. BeginTrans, CommitTrans and Rollback act on its default
// workspace: nested transactions covering every database open in it.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Guid.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

namespace tarnwick::engine {

class Database;

// Whether a database's name is a connection text (a URI, libpq's key=value
// form) rather than a file's path: such a name is never a file.
TARNWICK_API bool namesConnection(std::u16string_view name) noexcept;

// {00000010-0000-0010-8000-00AA006D2EA4}
inline constexpr CLSID kDBEngineClassId{0x00000010, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
// {00000021-0000-0010-8000-00AA006D2EA4}
inline constexpr IID kDBEngineInterfaceId{0x00000021, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

class TARNWICK_API DBEngine final : public AutomationObject<DBEngine> {
 public:
  static std::u16string_view typeName() { return u"DBEngine"; }
  static std::span<const Member<DBEngine>> members();
  bool answersTo(const IID& riid) const noexcept { return riid == kDBEngineInterfaceId; }

  // The calling thread's engine.
  static ComPtr<DBEngine> forThisThread();

  ComPtr<Database> openDatabase(const std::filesystem::path& path, bool readOnly = false);
  ComPtr<Database> createDatabase(const std::filesystem::path& path);

  void beginTrans();
  void commitTrans();
  void rollback();
  int transactionDepth() const noexcept { return depth_; }

  // Databases join the workspace when opened and leave when closed.
  void attach(Database* database);
  void detach(Database* database) noexcept;

  // BusyTimeout: how many milliseconds a statement waits for a database
  // file that another user is writing before it fails with 3218 ("Could not
  // update; currently locked."). Applies to the databases open now and to
  // those opened later; 0 fails at once.
  static constexpr std::int32_t kDefaultBusyTimeout = 5000;
  std::int32_t busyTimeout() const noexcept { return busyTimeout_; }
  void setBusyTimeout(std::int32_t milliseconds);

  // QueryTimeout: the QueryTimeout (seconds) that databases opened or
  // created from now on start with; databases open now keep theirs.
  static constexpr std::int32_t kDefaultQueryTimeout = 60;
  std::int32_t queryTimeout() const noexcept { return queryTimeout_; }
  void setQueryTimeout(std::int32_t seconds);

 private:
  std::vector<Database*> databases_;
  int depth_ = 0;
  std::int32_t busyTimeout_ = kDefaultBusyTimeout;
  std::int32_t queryTimeout_ = kDefaultQueryTimeout;
};

}  // namespace tarnwick::engine
