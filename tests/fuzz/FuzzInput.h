#pragma once
// The pieces a fuzz target cuts its input into. Inputs are mostly text, so
// that the seed corpus stays readable: a piece is a line, and a few targets
// take a leading byte as a choice among their variants.
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick::fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  bool empty() const noexcept { return rest_.empty(); }
  // The next byte, 0 when none is left.
  std::uint8_t byte() noexcept {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  // The text up to the next line feed (which is dropped), or all that is left.
  std::string_view line() noexcept {
    const std::size_t end = rest_.find('\n');
    const std::string_view piece = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return piece;
  }
  std::u16string textLine() { return fromUtf8(line()); }
  std::string_view rest() noexcept {
    const std::string_view all = rest_;
    rest_ = {};
    return all;
  }
  std::u16string textRest() { return fromUtf8(rest()); }

 private:
  std::string_view rest_;
};

// A finding: what was expected and what came, then an abort that libFuzzer
// records as a crash with this input.
[[noreturn]] inline void fail(const char* what, std::u16string_view detail = {}) {
  std::fprintf(stderr, "fuzz check failed: %s", what);
  if (!detail.empty()) std::fprintf(stderr, " [%s]", toUtf8(detail).c_str());
  std::fputc('\n', stderr);
  std::abort();
}
inline void check(bool condition, const char* what, std::u16string_view detail = {}) {
  if (!condition) fail(what, detail);
}

// A folder of the target's own for files it must write, named after the
// process. libFuzzer may end a run without the exit handlers, so each
// target removes the folders of processes that are gone when it starts.
inline const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    // In memory where the machine has it: the writers' flushes to disk
    // would otherwise set the pace.
    std::error_code ec;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    constexpr std::string_view kPrefix = "tarnwick-fuzz-";
    for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
      const std::string name = entry.path().filename().string();
      if (!name.starts_with(kPrefix)) continue;
      char* end = nullptr;
      const long pid = std::strtol(name.c_str() + kPrefix.size(), &end, 10);
      if (pid > 0 && *end == '\0' && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        std::filesystem::remove_all(entry.path(), ec);
    }
    const std::filesystem::path own = base / (std::string(kPrefix) + std::to_string(::getpid()));
    std::filesystem::create_directories(own, ec);
    if (ec) fail("no scratch folder");
    return own;
  }();
  return folder;
}

}  // namespace tarnwick::fuzz
