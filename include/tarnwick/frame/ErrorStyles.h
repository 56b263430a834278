#pragma once
// The routines' five error styles, each built once:
// - no handling: the routine's body simply lets Error propagate, and the
//   caller receives its number and description;
// - continue-on-error: `ContinueOnError` runs one statement at a time, a
//   failing statement is skipped, and the last error stays pending until
//   it is cleared or read;
// - handler and finish: `finish` shows a pending error's description in the
//   host's message box (OK only, no title of its own);
// - result is the error: `errorNumberOf` runs the body and answers with the
//   number of the error that stopped it, 0 for success;
// - result is a message: the routine returns its validation text itself.
#include <tarnwick/automation/Error.h>

#include <cstdint>
#include <optional>
#include <utility>

namespace tarnwick::frame {

class ContinueOnError {
 public:
  // Runs one statement; an Error it raises becomes the pending error and
  // the routine goes on. Returns true when the statement completed.
  template <typename F>
  bool run(F&& statement) {
    try {
      std::forward<F>(statement)();
      return true;
    } catch (const Error& e) {
      pending_ = e;
      return false;
    }
  }
  // The pending error's number, 0 when there is none.
  std::int32_t number() const noexcept { return pending_ ? pending_->number() : 0; }
  const std::optional<Error>& pending() const noexcept { return pending_; }
  void clear() noexcept { pending_.reset(); }

 private:
  std::optional<Error> pending_;
};

// Runs `body`; the number of the error that stopped it, or 0.
template <typename F>
std::int32_t errorNumberOf(F&& body) {
  try {
    std::forward<F>(body)();
    return 0;
  } catch (const Error& e) {
    return e.number();
  }
}

// The finishing step: shows the pending error's description, if any, in a
// message box with only an OK button and no title of its own. Returns
// whether there was an error.
bool finish(const std::optional<Error>& pending, std::int16_t buttons = 0);

}  // namespace tarnwick::frame
