#include <tarnwick/automation/ErrorInfo.h>

namespace tarnwick {

namespace {
thread_local std::optional<Error> threadError;
}

void setErrorInfo(const Error& error) noexcept {
  try {
    threadError = error;
  } catch (...) {
    threadError.reset();
  }
}

void clearErrorInfo() noexcept { threadError.reset(); }

std::optional<Error> takeErrorInfo() noexcept {
  std::optional<Error> taken;
  taken.swap(threadError);
  return taken;
}

void checkEarly(HRESULT hr) {
  if (succeeded(hr)) {
    clearErrorInfo();
    return;
  }
  if (std::optional<Error> info = takeErrorInfo(); info && info->result() == hr) throw *info;
  raise(errorNumberFromResult(hr));
}

}  // namespace tarnwick
