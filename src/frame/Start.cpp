#include <tarnwick/frame/Start.h>

#include <atomic>
#include <mutex>

namespace tarnwick::frame {

namespace {
std::mutex sourceLock;
std::function<ScreenFactors()>& source() {
  static std::function<ScreenFactors()> installed;
  return installed;
}
std::once_flag started;
std::atomic<bool> finished{false};
ScreenFactors factors;
}  // namespace

void setScreenFactorSource(std::function<ScreenFactors()> newSource) {
  std::lock_guard lock(sourceLock);
  source() = std::move(newSource);
}

void ensureStarted() {
  std::call_once(started, [] {
    std::function<ScreenFactors()> read;
    {
      std::lock_guard lock(sourceLock);
      read = source();
    }
    // A screen that cannot report leaves the 96-dots-per-inch factors.
    if (read) {
      try {
        factors = read();
      } catch (...) {
        factors = ScreenFactors{};
      }
    }
    finished = true;
  });
}

bool hasStarted() noexcept { return finished; }

const ScreenFactors& screenFactors() {
  ensureStarted();
  return factors;
}

}  // namespace tarnwick::frame
