// The file's record locks: each a lock on one byte of a file beside the
// database ("<file>-lock"), at the lock's number. The locks belong to the
// open file (not to the process): two connections in one process lock each
// other out as two processes do, and the system lets go of a lock when its
// holder closes the file or dies, so no lock outlives a crashed program.
// The database file itself is never locked this way (SQLite keeps its own
// locks on it, and closing any other handle of it would drop them).
//
// The lock file is shared by every user of the database, so it is made as
// SQLite makes its own files beside it: with the database file's
// permissions (whatever the maker's umask) and, made by root, owned by the
// database's owner. It is opened without following links and must be a
// regular file of one link, owned by the database's owner, by this user, or
// made with the database's permissions; anything else planted there is
// refused, never written through. A lock file that is removed or replaced
// while locks are held is noticed before a lock is trusted: the locks are
// taken again in the file the name now stands for, and one that another
// connection took there meanwhile is lost (its holder's save is refused).
#include "SqliteSession.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_set>

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
  explicit FileLocks(const std::filesystem::path& database)
      : database_(database.string()), name_(database_ + "-lock") {}
  ~FileLocks() override { clear(); }

  std::string scope() override { return {}; }

  bool take(std::int64_t number) override {
    current(true);
    if (!lockByte(fd_, number, F_WRLCK)) {
      if (errno == EAGAIN || errno == EACCES) return false;
      fail(errno);
    }
    taken_.insert(number);
    return true;
  }

  void give(std::int64_t number) noexcept override {
    if (fd_ >= 0 && taken_.erase(number)) lockByte(fd_, number, F_UNLCK);
  }

  bool heldElsewhere(std::int64_t number) override {
    current(false);
    // Asked, not taken: one call to the system instead of two.
    struct flock f = byteAt(number, F_WRLCK);
    if (::fcntl(fd_, F_OFD_GETLK, &f) != 0) fail(errno);
    return f.l_type != F_UNLCK;
  }

  bool keeps(std::int64_t number) override {
    current(false);
    return taken_.count(number) != 0;
  }

  void clear() noexcept override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    taken_.clear();
  }

 private:
  // Makes the open lock file the one the name stands for now, open for
  // writing when `writing`.
  void current(bool writing) {
    if (fd_ >= 0 && (writable_ || !writing)) {
      struct stat now {};
      if (::lstat(name_.c_str(), &now) == 0 && now.st_dev == device_ && now.st_ino == inode_) return;
    }
    reopen(writing);
  }

  void reopen(bool writing) {
    struct stat database {};
    if (::stat(database_.c_str(), &database) != 0) fail(errno);
    const mode_t mode = database.st_mode & 0666;
    int fd = ::open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    const bool made = fd >= 0;
    // Never waits: a FIFO planted there is refused below, not read from.
    if (!made && errno == EEXIST) fd = ::open(name_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    bool writable = fd >= 0;
    // A lock file this user may not write still tells who holds what.
    if (!writable && !writing && (errno == EACCES || errno == EPERM || errno == EROFS))
      fd = ::open(name_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) fail(errno);
    struct stat st {};
    const auto refuse = [&](const char16_t* why) {
      ::close(fd);
      raise(Error(errc::PathFileAccessError, standardDescription(errc::PathFileAccessError) + u": '" +
                                                 fromUtf8(name_) + u"' " + why));
    };
    if (::fstat(fd, &st) != 0) refuse(u"cannot be read");
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1) refuse(u"is not a lock file of this database");
    if (made) {
      // The maker's umask does not narrow what the other users may do.
      if (::fchmod(fd, mode) != 0 || ::fstat(fd, &st) != 0) refuse(u"cannot be given the database's permissions");
      // Made by root, it is the database owner's, as the database is
      // (should that fail, root's file still serves every user).
      if (::geteuid() == 0) static_cast<void>(!::fchown(fd, database.st_uid, database.st_gid));
    } else if (!madeForThis(fd, st, database, mode)) {
      refuse(u"is not a lock file of this database");
    }
    // The locks of a file that is gone are nobody's: they are taken again
    // in this one, where they can be.
    const std::unordered_set<std::int64_t> held = std::move(taken_);
    taken_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    writable_ = writable;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    for (const std::int64_t number : held)
      if (writable_ && lockByte(fd_, number, F_WRLCK)) taken_.insert(number);
  }

  // Whether an existing lock file is one a user of this database made: the
  // database owner's or this user's, or with the database's permissions
  // (another user's; asked twice, since its maker gives it the permissions
  // a moment after making it).
  static bool madeForThis(int fd, struct stat& st, const struct stat& database, mode_t mode) {
    for (int attempt = 0;; ++attempt) {
      if (st.st_uid == database.st_uid || st.st_uid == ::geteuid() || (st.st_mode & 0777) == mode) return true;
      if (attempt == 1) return false;
      ::usleep(2000);
      if (::fstat(fd, &st) != 0) return false;
    }
  }

  [[noreturn]] void fail(int error) const {
    const std::u16string reason = fromUtf8(std::strerror(error));
    if (error == EACCES || error == EPERM || error == EROFS)
      raise(Error(errc::PermissionDenied,
                  standardDescription(errc::PermissionDenied) + u": '" + fromUtf8(name_) + u"' (" + reason + u")"));
    if (error == ELOOP) {
      raise(Error(errc::PathFileAccessError, standardDescription(errc::PathFileAccessError) + u": '" +
                                                 fromUtf8(name_) + u"' is a symbolic link"));
    }
    raise(Error(errc::PathFileAccessError,
                standardDescription(errc::PathFileAccessError) + u": '" + fromUtf8(name_) + u"' (" + reason + u")"));
  }

  std::string database_;
  std::string name_;
  int fd_ = -1;
  bool writable_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  // The locks this connection holds in the file.
  std::unordered_set<std::int64_t> taken_;
};

}  // namespace

std::unique_ptr<RecordLockStore> SqliteSession::recordLockStore() { return std::make_unique<FileLocks>(path_); }

}  // namespace tarnwick::engine
