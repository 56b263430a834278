#pragma once
// The thread's error information: an early-bound call answers with a result
// code only, and leaves the error's number, description and source here for
// its caller to pick up, as the platform's error objects do.
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Export.h>

#include <optional>

namespace tarnwick {

TARNWICK_API void setErrorInfo(const Error& error) noexcept;
TARNWICK_API void clearErrorInfo() noexcept;
// Takes the thread's error information, leaving none behind.
TARNWICK_API std::optional<Error> takeErrorInfo() noexcept;

// Throws the error behind a failed result code: the thread's error
// information when it matches the code, else the code's standard error.
TARNWICK_API void checkEarly(HRESULT hr);

namespace impl {
// A dispatch exception carries number, description and source only; the
// note of the error travels beside it on the thread, from the object that
// failed to the caller that turns the exception back into an Error.
TARNWICK_API void passNote(const Error& error) noexcept;
// Gives `error` the passed note when it is the error that was passed.
TARNWICK_API void receiveNote(Error& error) noexcept;
}  // namespace impl

}  // namespace tarnwick
