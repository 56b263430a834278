#include "RecordLocks.h"

#include "postgres/PgConnection.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::engine {

namespace {

// Offsets start far beyond anything a file holds, so that locks of
// records never meet bytes someone might read.
constexpr std::uint64_t kFirstOffset = std::uint64_t{1} << 40;
constexpr std::uint64_t kOffsets = std::uint64_t{1} << 60;

struct flock byteAt(std::int64_t offset, short type) noexcept {
  struct flock f {};
  f.l_type = type;
  f.l_whence = SEEK_SET;
  f.l_start = static_cast<off_t>(offset);
  f.l_len = 1;
  return f;
}

bool lockByte(int fd, std::int64_t offset, short type) noexcept {
  struct flock f = byteAt(offset, type);
  return ::fcntl(fd, F_OFD_SETLK, &f) == 0;
}

}  // namespace

RecordLocks::~RecordLocks() { clear(); }

void RecordLocks::knowSchema() {
  if (!server_ || !schema_.empty()) return;
  PgStatement& s = server_->cached("SELECT current_schema()");
  schema_ = s.step() ? std::string(s.text(0)) + "." : std::string(".");
  s.rewind();
}

std::int64_t RecordLocks::offsetOf(std::string_view table, std::int64_t key) const noexcept {
  // FNV-1a over the schema (on a server), the table's name and the key.
  std::uint64_t h = 14695981039346656037ull;
  const auto mix = [&](unsigned char c) { h = (h ^ c) * 1099511628211ull; };
  for (char c : schema_) mix(static_cast<unsigned char>(c));
  for (char c : table) mix(static_cast<unsigned char>(c));
  mix(0);
  for (int i = 0; i < 8; ++i) mix(static_cast<unsigned char>(static_cast<std::uint64_t>(key) >> (8 * i)));
  return static_cast<std::int64_t>(kFirstOffset + h % kOffsets);
}

int RecordLocks::file() {
  if (fd_ < 0) {
    const std::string name = database_.string() + "-lock";
    fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) raise(errc::FileInUse, fromUtf8(name));
  }
  return fd_;
}

[[noreturn]] void RecordLocks::refuse() {
  // The lock file says nothing of its holder; every program on a file is
  // seen as the workspace's default user on this machine.
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = 0;
  std::u16string text = standardDescription(errc::RecordLocked);
  if (const auto at = text.find(u"|2"); at != std::u16string::npos) text.replace(at, 2, u"admin");
  if (const auto at = text.find(u"|1"); at != std::u16string::npos) text.replace(at, 2, fromUtf8(host));
  raise(Error(errc::RecordLocked, std::move(text)));
}

namespace {

// The server's advisory locks of two 32-bit keys, apart from those of one
// 64-bit key (which the engine takes for other ends).
bool serverLock(PgConnection& server, std::int64_t offset, bool take) {
  PgStatement& s = server.cached(take ? "SELECT pg_try_advisory_lock($1::int, $2::int)"
                                      : "SELECT pg_advisory_unlock($1::int, $2::int)");
  const auto bits = static_cast<std::uint64_t>(offset);
  s.bind(1, static_cast<std::int64_t>(static_cast<std::int32_t>(bits >> 32)));
  s.bind(2, static_cast<std::int64_t>(static_cast<std::int32_t>(bits & 0xFFFFFFFFu)));
  const bool done = s.step() && s.int64(0) != 0;
  s.rewind();
  return done;
}

// Whether another session holds a record's advisory lock, by the server's
// table of locks: asked, not taken, so that users saving the same record at
// once never see each other's question as a lock.
bool heldElsewhere(PgConnection& server, std::int64_t offset) {
  PgStatement& s = server.cached(
      "SELECT 1 FROM pg_locks WHERE locktype = 'advisory' AND classid = $1::int::oid AND objid = $2::int::oid "
      "AND objsubid = 2 AND granted AND pid <> pg_backend_pid() LIMIT 1");
  const auto bits = static_cast<std::uint64_t>(offset);
  s.bind(1, static_cast<std::int64_t>(static_cast<std::int32_t>(bits >> 32)));
  s.bind(2, static_cast<std::int64_t>(static_cast<std::int32_t>(bits & 0xFFFFFFFFu)));
  const bool held = s.step();
  s.rewind();
  return held;
}

}  // namespace

bool RecordLocks::take(std::int64_t offset) {
  if (held_.count(offset)) return true;
  if (server_) return serverLock(*server_, offset, true);
  if (lockByte(file(), offset, F_WRLCK)) return true;
  if (errno == EAGAIN || errno == EACCES) return false;
  raise(errc::FileInUse, fromUtf8(database_.string() + "-lock"));
}

void RecordLocks::give(std::int64_t offset) noexcept {
  if (server_) {
    try {
      if (server_->isOpen()) serverLock(*server_, offset, false);
    } catch (...) {
      // A session that is gone holds no locks.
    }
    return;
  }
  if (fd_ >= 0) lockByte(fd_, offset, F_UNLCK);
}

void RecordLocks::lock(std::string_view table, std::int64_t key, const void* holder) {
  knowSchema();
  const std::int64_t offset = offsetOf(table, key);
  if (const auto at = held_.find(offset); at != held_.end()) {
    if (at->second != holder) refuse();
    return;
  }
  if (!take(offset)) refuse();
  held_.emplace(offset, holder);
}

void RecordLocks::unlock(std::string_view table, std::int64_t key, const void* holder) noexcept {
  // Known since the lock was taken: asks the server nothing.
  if (server_ && schema_.empty()) return;
  const std::int64_t offset = offsetOf(table, key);
  const auto at = held_.find(offset);
  if (at == held_.end() || at->second != holder) return;
  held_.erase(at);
  give(offset);
}

void RecordLocks::checkFree(std::string_view table, std::int64_t key, const void* holder) {
  knowSchema();
  const std::int64_t offset = offsetOf(table, key);
  if (const auto at = held_.find(offset); at != held_.end()) {
    if (at->second != holder) refuse();
    return;
  }
  if (server_) {
    if (heldElsewhere(*server_, offset)) refuse();
    return;
  }
  // Asked, not taken: one call to the system instead of two.
  struct flock f = byteAt(offset, F_WRLCK);
  if (::fcntl(file(), F_OFD_GETLK, &f) != 0) raise(errc::FileInUse, fromUtf8(database_.string() + "-lock"));
  if (f.l_type != F_UNLCK) refuse();
}

void RecordLocks::clear() noexcept {
  held_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace tarnwick::engine
