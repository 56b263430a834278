#pragma once
// The one error type: a runtime error number, its description and the
// source that raised it. Errors travel as C++ exceptions inside the library
// and become result codes (plus exception information) at a binary
// interface, and only there.
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

  // The result code that carries this error across a binary interface.
  HRESULT result() const noexcept;
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::int32_t number_;
  std::u16string description_;
  std::u16string source_;
  std::string what_;
};

// Numbers of the runtime errors that the library raises itself.
namespace errc {
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t OutOfMemory = 7;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t ArrayLocked = 10;
inline constexpr std::int32_t DivisionByZero = 11;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t BadFileNameOrNumber = 52;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t BadFileMode = 54;
inline constexpr std::int32_t FileAlreadyOpen = 55;
inline constexpr std::int32_t DeviceIOError = 57;
inline constexpr std::int32_t FileAlreadyExists = 58;
inline constexpr std::int32_t DiskFull = 61;
inline constexpr std::int32_t InputPastEndOfFile = 62;
inline constexpr std::int32_t TooManyFiles = 67;
inline constexpr std::int32_t DeviceUnavailable = 68;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t DiskNotReady = 71;
inline constexpr std::int32_t PathFileAccessError = 75;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t ObjectNotSet = 91;
inline constexpr std::int32_t InvalidUseOfNull = 94;
inline constexpr std::int32_t ControlArrayElementMissing = 340;
inline constexpr std::int32_t NotAnArray = 343;
inline constexpr std::int32_t InvalidPropertyValue = 380;
inline constexpr std::int32_t InvalidPropertyArrayIndex = 381;
inline constexpr std::int32_t PropertyOrMethodNotFound = 423;
inline constexpr std::int32_t ObjectRequired = 424;
inline constexpr std::int32_t CantCreateObject = 429;
inline constexpr std::int32_t NoAutomationSupport = 430;
inline constexpr std::int32_t MemberNotSupported = 438;
inline constexpr std::int32_t AutomationError = 440;
inline constexpr std::int32_t ActionNotSupported = 445;
inline constexpr std::int32_t NamedArgumentsNotSupported = 446;
inline constexpr std::int32_t NamedArgumentNotFound = 448;
inline constexpr std::int32_t ArgumentNotOptional = 449;
inline constexpr std::int32_t WrongArgumentCount = 450;
}  // namespace errc

// The standard description of a runtime or data-engine error number; for a
// number the table does not know, "Application-defined or object-defined error".
TARNWICK_API std::u16string standardDescription(std::int32_t number);

// The description, with `detail` put where the text names a value (the field
// name, index or expression of descriptions such as 340 or 3265).
TARNWICK_API std::u16string describe(std::int32_t number, std::u16string_view detail);

// The runtime error number that a result code stands for: 0x800A0000 | n
// gives n, the dispatch codes give their runtime equivalents (type mismatch
// 13, overflow 6, wrong argument count 450, ...), anything else 440.
TARNWICK_API std::int32_t errorNumberFromResult(HRESULT hr) noexcept;
// The result code for a runtime error number: the dispatch code where the
// platform has one that callers test for, else 0x800A0000 | number.
TARNWICK_API HRESULT resultFromErrorNumber(std::int32_t number) noexcept;

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
