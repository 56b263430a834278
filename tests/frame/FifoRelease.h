#pragma once
// Guards a test that reads a FIFO: should a read wait for a writer, a helper
// opens the FIFO for writing after a grace period so that the read ends and
// the test can report the wait instead of hanging.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace tarnwick::testing {

class FifoRelease {
 public:
  explicit FifoRelease(std::filesystem::path fifo) : fifo_(std::move(fifo)), helper_([this] { run(); }) {}
  FifoRelease(const FifoRelease&) = delete;
  FifoRelease& operator=(const FifoRelease&) = delete;
  ~FifoRelease() {
    done_ = true;
    helper_.join();
  }
  // True when some read had to be released.
  bool released() const noexcept { return released_; }

 private:
  void run() {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (!done_ && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    while (!done_) {
      // Succeeds only while a reader waits in its open.
      if (const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
        released_ = true;
        ::close(fd);
      }
      std::this_thread::sleep_for(5ms);
    }
  }

  std::filesystem::path fifo_;
  std::atomic<bool> done_{false};
  std::atomic<bool> released_{false};
  std::thread helper_;
};

}  // namespace tarnwick::testing
