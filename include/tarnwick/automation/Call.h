#pragma once
// One call of an automation member, as its handler sees it: the arguments
// in the caller's order (the binary interface passes them reversed), the
// kind of access, the value of a property put, and the result.
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Variant.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

class TARNWICK_API Call {
 public:
  // A property put carries its value as the named argument DISPID_PROPERTYPUT,
  // which stands first in the reversed list; the indices follow it.
  Call(WORD flags, DISPPARAMS& params, VARIANT* result) noexcept
      : flags_(flags), params_(params), result_(result), count_(params.cArgs), valueOffset_(0) {
    if (isPut() && params.cArgs > 0) {
      count_ = params.cArgs - 1;
      valueOffset_ = 1;
    }
  }

  bool isPut() const noexcept { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
  bool isGet() const noexcept { return (flags_ & DISPATCH_PROPERTYGET) != 0; }
  bool isMethod() const noexcept { return (flags_ & DISPATCH_METHOD) != 0; }

  // Positional arguments (for a put: the indices, without the value).
  std::size_t count() const noexcept { return count_; }
  // True when argument `i` was passed and is not the missing marker.
  bool has(std::size_t i) const noexcept;
  // Argument `i` as the caller passed it (possibly a reference to the
  // caller's variable; Variant::assign writes through it). Error 449 when
  // it was not passed.
  Variant& arg(std::size_t i);
  // Checks the count of positional arguments: Error 450 outside [min, max].
  void expect(std::size_t min, std::size_t max) const {
    if (count_ < min || count_ > max) wrongCount();
  }
  void expect(std::size_t exactly) const { expect(exactly, exactly); }

  // Typed readers of argument `i`: 449 when missing, 13 when it does not
  // convert, 6 when out of range.
  std::u16string text(std::size_t i);
  // A string argument that may be the null string: nullopt for null (and
  // for a missing argument), as distinct from "".
  std::optional<std::u16string> nullableText(std::size_t i);
  std::int16_t int16(std::size_t i);
  std::int32_t int32(std::size_t i);
  double number(std::size_t i);
  bool flag(std::size_t i);
  // An object argument: 424 when the argument is no object, 91 for Nothing.
  IDispatch* object(std::size_t i);

  // The value assigned by a property put (Error 450 when there is none).
  Variant& value() {
    if (!isPut() || params_.cArgs == 0) wrongCount();
    lastPosition_ = 0;
    return static_cast<Variant&>(params_.rgvarg[0]);
  }

  // The caller's result variable; writing to it is ignored when the caller
  // asked for no result.
  // A value the callee keeps (a record's field) is copied straight into the
  // result; one made for the call is moved there.
  void setResult(const Variant& v);
  void setResult(Variant&& v);
  template <typename T>
  void setResult(T&& v) {
    setResult(Variant(std::forward<T>(v)));
  }

  // The position (in the binary interface's reversed order) of the last
  // argument read, for the argument-error out-parameter of Invoke.
  std::uint32_t lastArgumentPosition() const noexcept { return lastPosition_; }

 private:
  [[noreturn]] static void wrongCount();
  VARIANT& slot(std::size_t i);
  WORD flags_;
  DISPPARAMS& params_;
  VARIANT* result_;
  std::size_t count_;
  std::size_t valueOffset_;
  std::uint32_t lastPosition_ = 0;
};

}  // namespace tarnwick
