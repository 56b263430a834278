#pragma once
// The routines' five error styles, each built once:
// - no handling: the routine's body simply lets Error propagate, and the
//   caller receives its number and description;
// - continue-on-error: `ContinueOnError` runs one statement at a time, a
//   failing statement is skipped, and the last error stays pending until
//   it is cleared or read;
// - handler and finish: `runThenFinish` runs the routine's steps up to the
//   first error and then shows that error's description in the host's
//   message box (OK only, no title of its own);
// - result is the error: `errorNumberOf` runs the body and answers with the
//   number of the error that stopped it, 0 for success; `errorOf` gives the
//   whole error, for a routine that answers with its description;
// - result is a message: the routine returns its validation text itself.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Error.h>

#include <cstdint>
#include <optional>
#include <utility>

namespace tarnwick::frame {

// Runs `body`; the error that stopped it, or nullopt when it ran to its end.
template <typename F>
std::optional<Error> errorOf(F&& body) {
  try {
    std::forward<F>(body)();
    return std::nullopt;
  } catch (const Error& e) {
    return e;
  }
}

// Runs `body`; the number of the error that stopped it, or 0.
template <typename F>
std::int32_t errorNumberOf(F&& body) {
  const std::optional<Error> error = frame::errorOf(std::forward<F>(body));
  return error ? error->number() : 0;
}

class ContinueOnError {
 public:
  // Runs one statement; an Error it raises becomes the pending error and
  // the routine goes on. Returns true when the statement completed.
  template <typename F>
  bool run(F&& statement) {
    std::optional<Error> error = frame::errorOf(std::forward<F>(statement));
    if (!error) return true;
    pending_ = std::move(error);
    return false;
  }
  // The pending error's number, 0 when there is none.
  std::int32_t number() const noexcept { return pending_ ? pending_->number() : 0; }
  const std::optional<Error>& pending() const noexcept { return pending_; }
  void clear() noexcept { pending_.reset(); }

 private:
  std::optional<Error> pending_;
};

// The finishing step: shows the pending error's description, if any, in a
// message box with only an OK button and no title of its own. Returns
// whether there was an error. A message box that fails raises its error.
TARNWICK_API bool finish(const std::optional<Error>& pending);

// What becomes of an error of the finish's own message box: most routines
// of the style let it reach their caller; one that catches every error
// passes over it, so that its undoing still runs.
enum class FinishErrors { Raised, Ignored };

// Runs the routine's steps up to the first error, then the finish. Returns
// that error, which the routine's undoing (a rollback) and result go by.
template <typename Steps>
std::optional<Error> runThenFinish(Steps&& steps, FinishErrors finishErrors = FinishErrors::Raised) {
  std::optional<Error> pending = frame::errorOf(std::forward<Steps>(steps));
  if (finishErrors == FinishErrors::Ignored) frame::errorOf([&] { finish(pending); });
  else finish(pending);
  return pending;
}

}  // namespace tarnwick::frame
