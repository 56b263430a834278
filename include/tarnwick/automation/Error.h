#pragma once
// The one error type: a runtime error number, its description and the
// source that raised it. Errors travel as C++ exceptions inside the library
// and become result codes (plus exception information) at a binary
// interface, and only there.
#include <tarnwick/automation/ErrorCatalogue.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Result.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace tarnwick {

class TARNWICK_API Error : public std::exception {
 public:
  // An error with the runtime's standard description for `number`.
  explicit Error(std::int32_t number);
  Error(std::int32_t number, std::u16string description, std::u16string source = {});

  std::int32_t number() const noexcept { return number_; }
  const std::u16string& description() const noexcept { return description_; }
  const std::u16string& source() const noexcept { return source_; }
  void setSource(std::u16string source) { source_ = std::move(source); }

  // What is at fault, for a reader outside the routines: the member, field,
  // control or file the error is about. It stays out of the description,
  // which routines show, return and compare as the platform words it; the
  // tool and the Python module print it after the description. A note once
  // set is kept: the innermost place knows best.
  const std::u16string& note() const noexcept { return note_; }
  Error& noted(std::u16string_view note) &;
  Error&& noted(std::u16string_view note) &&;
  // The description followed by the note in parentheses, when there is one.
  std::u16string message() const;

  // The result code that carries this error across a binary interface.
  HRESULT result() const noexcept;
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::int32_t number_;
  std::u16string description_;
  std::u16string source_;
  std::u16string note_;
  std::string what_;
};


// The standard description of a runtime or data-engine error number; for a
// number the table does not know, "Application-defined or object-defined error".
TARNWICK_API std::u16string standardDescription(std::int32_t number);

// The description, with `detail` put where the text names a value (the field
// name, index or expression of descriptions such as 340 or 3265).
TARNWICK_API std::u16string describe(std::int32_t number, std::u16string_view detail);

// The one way to raise an error: its number from `errc`, the catalogue's
// text with `detail` in the place the text keeps for a name or value, and
// an optional `note` after the text that says what is at fault (a position,
// a file) without changing the platform's own words.
[[noreturn]] TARNWICK_API void raise(std::int32_t number, std::u16string_view detail = {}, std::u16string_view note = {});
// Raises an error that already has its text: one passed along from another
// object, or a number whose text this library words for the occasion.
[[noreturn]] TARNWICK_API void raise(Error error);

// The runtime error number that a result code stands for: 0x800A0000 | n
// gives n, the dispatch codes give their runtime equivalents (type mismatch
// 13, overflow 6, wrong argument count 450, ...), anything else 440.
TARNWICK_API std::int32_t errorNumberFromResult(HRESULT hr) noexcept;
// The result code for a runtime error number: the dispatch code where the
// platform has one that callers test for, else 0x800A0000 | number.
TARNWICK_API HRESULT resultFromErrorNumber(std::int32_t number) noexcept;

// A name quoted for a note: 'txtQty'.
TARNWICK_API std::u16string quotedName(std::u16string_view name);

// Runs `body`; an error leaving it without a note gets `note()`'s answer, so
// that a routine working through controls or fields can say which one failed.
template <typename F, typename N>
decltype(auto) withNote(F&& body, N&& note) {
  try {
    return body();
  } catch (Error& e) {
    if (e.note().empty()) {
      try {
        e.noted(note());
      } catch (...) {
        // Without its note the error is still the error.
      }
    }
    throw;
  }
}

// Throws Error for a failed result code (description from the number).
TARNWICK_API void check(HRESULT hr);

// Runs `body`, turning any exception into a result code; used at every
// binary interface so that no C++ exception crosses it.
template <typename F>
HRESULT guard(F&& body) noexcept;

namespace impl {
TARNWICK_API HRESULT currentExceptionToResult() noexcept;
}

template <typename F>
HRESULT guard(F&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (...) {
    return impl::currentExceptionToResult();
  }
}

}  // namespace tarnwick
