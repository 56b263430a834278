#include <tarnwick/automation/ErrorInfo.h>

namespace tarnwick {

namespace {
thread_local std::optional<Error> threadError;
thread_local std::optional<Error> passedNote;
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

namespace impl {

void passNote(const Error& error) noexcept {
  try {
    if (error.note().empty())
      passedNote.reset();
    else
      passedNote = error;
  } catch (...) {
    passedNote.reset();
  }
}

void receiveNote(Error& error) noexcept {
  std::optional<Error> passed;
  passed.swap(passedNote);
  if (passed && passed->number() == error.number() && passed->description() == error.description()) {
    try {
      error.noted(passed->note());
    } catch (...) {
      // The error goes on without its note.
    }
  }
}

}  // namespace impl

void checkEarly(HRESULT hr) {
  if (succeeded(hr)) {
    clearErrorInfo();
    return;
  }
  if (std::optional<Error> info = takeErrorInfo(); info && info->result() == hr) throw *info;
  raise(errorNumberFromResult(hr));
}

}  // namespace tarnwick
