#pragma once
// File handling shared by the stores that write files whole: a descriptor
// that closes itself, whole reads and writes, opening a file for reading
// only when it is a regular file, and replacing a file's content through a
// new file renamed over it.
#include <tarnwick/automation/Export.h>

#include <sys/stat.h>
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

// Opens a regular file for reading. Anything else (a folder, a FIFO, a
// device) is no file to read: -1 with errno ENOENT, as for a missing file,
// and opening it never waits for a writer.
int openRegularFile(const std::filesystem::path& path);

// The file a path names once symbolic links at its end are followed; the
// path itself when it is no link or its link leads nowhere yet. False with
// errno ELOOP for links that go round.
bool followLinks(const std::filesystem::path& path, std::filesystem::path& target);

// Replaces the content of the file `path` names, following symbolic links
// to their target, so that readers see the old content or the new, never a
// mix:
// - the new content goes to a temporary file beside the target, created
//   exclusively and without following links, named
//   ".<name>.tarnwick-<pid>-<random>.tmp" and locked by its writer while it
//   lives; it is flushed to disk and renamed over the target. An existing
//   file keeps its permissions and, where allowed, its owner;
// - each write first removes temporary files of the same target whose
//   writer is gone (not locked, and no process of that pid), left by
//   writers that were killed;
// - a file with more than one hard link is rewritten in place so that all
//   its names keep showing one content (such a write is not atomic);
// - a file that is read-only (no write permission for this process, or no
//   write permission bit at all, which binds the superuser too) and a path
//   that names a folder or something other than a regular file are refused.
// Returns 0 or the errno of the step that failed (nothing is then changed).
int replaceFile(const std::filesystem::path& path, std::string_view data);

// replaceFile for content written a piece at a time, as long work writes
// it: open() makes the temporary file by the rules above, the writer writes
// to descriptor(), and commit() flushes it and renames it over the target.
// Until then the target is untouched; abandon() (or the destructor, or a
// failed step) removes the temporary file, so the file is written whole or
// not at all. open() and commit() return 0 or the errno of the step that
// failed.
class TARNWICK_API ReplacementFile {
 public:
  ReplacementFile() = default;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile();

  int open(const std::filesystem::path& path);
  int descriptor() const noexcept { return fd_; }
  // A path naming the temporary file, for a writer that opens files by name.
  std::filesystem::path temporaryPath() const;
  int commit();
  void abandon() noexcept;

 private:
  int folder_ = -1;
  int fd_ = -1;
  std::string name_;
  std::string temporary_;
  bool linked_ = false;
  struct stat existing_ {};
};

}  // namespace tarnwick::frame::impl
