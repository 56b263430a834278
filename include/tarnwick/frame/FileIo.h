#pragma once
// File handling shared by the stores that write files whole: a descriptor
// that closes itself, whole reads and writes, and replacing a file's
// content through a new file renamed over it.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick::frame::impl {

class Descriptor {
 public:
  explicit Descriptor(int fd) noexcept : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const noexcept { return fd_; }

 private:
  int fd_;
};

bool readWhole(int fd, std::string& out);
bool writeWhole(int fd, std::string_view data);

// Writes `data` to a new file beside `path`, flushes it to disk and renames
// it over `path`, so readers see the old content or the new, never a mix.
// An existing file keeps its permissions. Returns 0 or the errno of the
// step that failed (nothing is then changed).
int replaceFile(const std::filesystem::path& path, std::string_view data);

}  // namespace tarnwick::frame::impl
