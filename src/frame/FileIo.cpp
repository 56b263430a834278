#include <tarnwick/frame/FileIo.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace tarnwick::frame::impl {

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

int replaceFile(const std::filesystem::path& path, std::string_view data) {
  std::filesystem::path temporary = path;
  temporary += ".new-" + std::to_string(::getpid());
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  {
    Descriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.get() < 0) return errno;
    if (exists) ::fchmod(out.get(), existing.st_mode & 07777);
    if (!writeWhole(out.get(), data) || ::fsync(out.get()) != 0) {
      const int error = errno;
      ::unlink(temporary.c_str());
      return error ? error : EIO;
    }
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return error;
  }
  return 0;
}

}  // namespace tarnwick::frame::impl
