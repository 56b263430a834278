#include <tarnwick/frame/FileIo.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <random>
#include <vector>

namespace tarnwick::frame::impl {

namespace fs = std::filesystem;

bool readWhole(int fd, std::string& out) {
  out.clear();
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    out.append(chunk, static_cast<std::size_t>(got));
  }
}

bool writeWhole(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

int openRegularFile(const fs::path& path) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = ENOENT;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool followLinks(const fs::path& path, fs::path& target) {
  constexpr int kMostLinks = 40;  // as the kernel allows in one path
  target = path;
  for (int hops = 0; hops < kMostLinks; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::vector<char> text(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t length = ::readlink(target.c_str(), text.data(), text.size());
    if (length < 0) return true;  // gone meanwhile: the path as it stands
    const fs::path link(std::string(text.data(), static_cast<std::size_t>(length)));
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  errno = ELOOP;
  return false;
}

namespace {

// The start of every temporary file name for a target: the target's name
// says whose it is; a long name is cut so the whole stays a valid name.
std::string temporaryPrefix(const std::string& name) {
  constexpr std::size_t kLongestNamePart = 200;
  // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) of
  // the same text built with operator+.
  std::string prefix = ".";
  prefix.append(name, 0, kLongestNamePart);
  prefix += ".tarnwick-";
  return prefix;
}
constexpr std::string_view kTemporarySuffix = ".tmp";

std::uint64_t randomNumber() {
  std::uint64_t value = 0;
  if (::getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value)) return value;
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

std::string hex(std::uint64_t value) {
  char digits[17];
  const auto end = std::to_chars(digits, digits + 16, value, 16).ptr;
  return std::string(digits, end);
}

// True when a process of that pid runs (one of another user included).
bool processRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// Removes the temporary files of `name` whose writers are gone. A writer
// holds a lock on its file from just after creating it until it is renamed;
// a file without the lock whose writer's pid still runs may be one between
// the two steps, so it stays.
void removeAbandoned(int folder, const std::string& name) {
  const int listing = ::dup(folder);
  if (listing < 0) return;
  DIR* dir = ::fdopendir(listing);
  if (!dir) {
    ::close(listing);
    return;
  }
  ::rewinddir(dir);
  const std::string prefix = temporaryPrefix(name);
  std::vector<std::string> abandoned;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view entryName = entry->d_name;
    if (!entryName.starts_with(prefix) || !entryName.ends_with(kTemporarySuffix)) continue;
    const std::string_view rest = entryName.substr(prefix.size());
    int pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (error != std::errc() || end == rest.data() || *end != '-' || pid <= 0) continue;
    Descriptor file(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;  // its writer is at work
    if (processRuns(static_cast<pid_t>(pid))) continue;
    abandoned.emplace_back(entryName);
  }
  ::closedir(dir);
  for (const std::string& gone : abandoned) ::unlinkat(folder, gone.c_str(), 0);
}

// Rewrites a hard-linked file in its own inode; 0 or the errno.
int rewriteInPlace(int folder, const std::string& name, const struct stat& expected, std::string_view data) {
  Descriptor out(::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (out.get() < 0) return errno;
  struct stat st {};
  if (::fstat(out.get(), &st) != 0) return errno;
  if (st.st_dev != expected.st_dev || st.st_ino != expected.st_ino) return EAGAIN;  // replaced meanwhile
  if (!writeWhole(out.get(), data) || ::ftruncate(out.get(), static_cast<off_t>(data.size())) != 0 ||
      ::fsync(out.get()) != 0)
    return errno ? errno : EIO;
  return 0;
}

}  // namespace

ReplacementFile::~ReplacementFile() { abandon(); }

void ReplacementFile::abandon() noexcept {
  if (fd_ >= 0) {
    ::unlinkat(folder_, temporary_.c_str(), 0);
    ::close(fd_);
    fd_ = -1;
  }
  if (folder_ >= 0) ::close(folder_);
  folder_ = -1;
}

int ReplacementFile::open(const fs::path& path) {
  abandon();
  fs::path target;
  if (!followLinks(path, target)) return errno;
  name_ = target.filename().string();
  if (name_.empty() || name_ == "." || name_ == "..") return EISDIR;
  const fs::path folderPath = target.has_parent_path() ? target.parent_path() : fs::path(".");
  folder_ = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) return errno;
  const auto fail = [&](int error) {
    abandon();
    return error ? error : EIO;
  };

  struct stat existing {};
  const bool exists = ::fstatat(folder_, name_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
  if (!exists && errno != ENOENT) return fail(errno);
  if (exists) {
    if (S_ISDIR(existing.st_mode)) return fail(EISDIR);
    if (!S_ISREG(existing.st_mode)) return fail(EACCES);
    if ((existing.st_mode & 0222) == 0 || ::faccessat(folder_, name_.c_str(), W_OK, AT_EACCESS) != 0)
      return fail(EACCES);
  }
  removeAbandoned(folder_, name_);
  linked_ = exists && existing.st_nlink > 1;
  existing_ = existing;

  // A new file gets the permissions any program's new file gets (0666 less
  // the umask); an existing one keeps its own.
  constexpr int kAttempts = 16;
  for (int attempt = 0; attempt < kAttempts && fd_ < 0; ++attempt) {
    temporary_ = temporaryPrefix(name_) + std::to_string(::getpid()) + "-" + hex(randomNumber()) +
                 std::string(kTemporarySuffix);
    fd_ = ::openat(folder_, temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                   exists ? 0600 : 0666);
    if (fd_ < 0 && errno != EEXIST) return fail(errno);
  }
  if (fd_ < 0) return fail(EEXIST);
  while (::flock(fd_, LOCK_EX) != 0)
    if (errno != EINTR) return fail(errno);
  if (exists && !linked_) {
    // The owner first: changing it clears set-id bits that the mode then restores.
    if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0) errno = 0;
    if (::fchmod(fd_, existing.st_mode & 07777) != 0) return fail(errno);
  }
  return 0;
}

fs::path ReplacementFile::temporaryPath() const {
  return fs::path("/proc/self/fd") / std::to_string(folder_) / temporary_;
}

int ReplacementFile::commit() {
  if (fd_ < 0) return EBADF;
  const auto fail = [&](int error) {
    abandon();
    return error ? error : EIO;
  };
  if (::fsync(fd_) != 0) return fail(errno);
  if (linked_) {
    // Every name of a hard-linked file keeps showing one content: the new
    // content is copied into the file itself (such a write is not atomic).
    std::string data;
    if (::lseek(fd_, 0, SEEK_SET) != 0 || !readWhole(fd_, data)) return fail(errno);
    const int error = rewriteInPlace(folder_, name_, existing_, data);
    abandon();
    return error;
  }
  // The folder is not flushed: until the file system commits the rename, a
  // crash of the machine leaves the old content, which is whole as well.
  if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) return fail(errno);
  ::close(fd_);
  fd_ = -1;
  abandon();
  return 0;
}

int replaceFile(const fs::path& path, std::string_view data) {
  ReplacementFile file;
  if (const int error = file.open(path); error != 0) return error;
  if (!writeWhole(file.descriptor(), data)) {
    const int error = errno ? errno : EIO;
    file.abandon();
    return error;
  }
  return file.commit();
}

}  // namespace tarnwick::frame::impl
