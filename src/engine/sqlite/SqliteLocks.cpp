// The file's record locks: each a lock on one byte of a file beside the
// database ("<file>-lock"), at the lock's number. The locks belong to the
// open file (not to the process): two connections in one process lock each
// other out as two processes do, and the system lets go of a lock when its
// holder closes the file or dies, so no lock outlives a crashed program.
// The database file itself is never locked this way (SQLite keeps its own
// locks on it).
#include "SqliteSession.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::engine {

namespace {

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

class FileLocks final : public RecordLockStore {
 public:
  explicit FileLocks(std::filesystem::path database) : database_(std::move(database)) {}
  ~FileLocks() override { clear(); }

  std::string scope() override { return {}; }

  bool take(std::int64_t number) override {
    if (lockByte(file(), number, F_WRLCK)) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    raise(errc::FileInUse, fromUtf8(lockFile()));
  }

  void give(std::int64_t number) noexcept override {
    if (fd_ >= 0) lockByte(fd_, number, F_UNLCK);
  }

  bool heldElsewhere(std::int64_t number) override {
    // Asked, not taken: one call to the system instead of two.
    struct flock f = byteAt(number, F_WRLCK);
    if (::fcntl(file(), F_OFD_GETLK, &f) != 0) raise(errc::FileInUse, fromUtf8(lockFile()));
    return f.l_type != F_UNLCK;
  }

  void clear() noexcept override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  std::string lockFile() const { return database_.string() + "-lock"; }
  int file() {
    if (fd_ < 0) {
      const std::string name = lockFile();
      fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (fd_ < 0) raise(errc::FileInUse, fromUtf8(name));
    }
    return fd_;
  }

  std::filesystem::path database_;
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<RecordLockStore> SqliteSession::recordLockStore() { return std::make_unique<FileLocks>(path_); }

}  // namespace tarnwick::engine
