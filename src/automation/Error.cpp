#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <new>

namespace tarnwick {

namespace {

// Dispatch codes that callers test for, with the runtime numbers they stand for.
struct CodePair {
  HRESULT code;
  std::int32_t number;
};
constexpr CodePair kCodePairs[] = {
    {DISP_E_TYPEMISMATCH, errc::TypeMismatch},
    {DISP_E_OVERFLOW, errc::Overflow},
    {DISP_E_DIVBYZERO, errc::DivisionByZero},
    {DISP_E_BADINDEX, errc::SubscriptOutOfRange},
    {DISP_E_ARRAYISLOCKED, errc::ArrayLocked},
    {DISP_E_BADPARAMCOUNT, errc::WrongArgumentCount},
    {DISP_E_PARAMNOTOPTIONAL, errc::ArgumentNotOptional},
    {DISP_E_PARAMNOTFOUND, errc::NamedArgumentNotFound},
    {DISP_E_NONAMEDARGS, errc::NamedArgumentsNotSupported},
    {DISP_E_MEMBERNOTFOUND, errc::MemberNotSupported},
    {DISP_E_UNKNOWNNAME, errc::MemberNotSupported},
    {E_OUTOFMEMORY, errc::OutOfMemory},
    {E_INVALIDARG, errc::InvalidProcedureCall},
    {E_NOINTERFACE, errc::NoAutomationSupport},
    {E_POINTER, errc::ObjectNotSet},
    {REGDB_E_CLASSNOTREG, errc::CantCreateObject},
    {E_NOTIMPL, errc::ActionNotSupported},
};

std::string narrowWhat(std::int32_t number, std::u16string_view description) {
  return std::to_string(number) + ": " + toUtf8(description);
}

}  // namespace

Error::Error(std::int32_t number) : Error(number, describe(number, u"")) {}

Error::Error(std::int32_t number, std::u16string description, std::u16string source)
    : number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      what_(narrowWhat(number_, description_)) {}

Error& Error::noted(std::u16string_view note) & {
  if (note_.empty()) {
    note_.assign(note);
    what_ = narrowWhat(number_, message());
  }
  return *this;
}

Error&& Error::noted(std::u16string_view note) && { return std::move(noted(note)); }

std::u16string Error::message() const {
  if (note_.empty()) return description_;
  std::u16string text = description_;
  text += u" (";
  text += note_;
  text += u')';
  return text;
}

std::u16string quotedName(std::u16string_view name) {
  std::u16string text = u"'";
  text += name;
  text += u'\'';
  return text;
}

HRESULT Error::result() const noexcept { return resultFromErrorNumber(number_); }

std::int32_t errorNumberFromResult(HRESULT hr) noexcept {
  const auto bits = static_cast<std::uint32_t>(hr);
  if ((bits & 0xFFFF0000u) == kRuntimeFacilityBits) return static_cast<std::int32_t>(bits & 0xFFFFu);
  for (const auto& pair : kCodePairs)
    if (pair.code == hr) return pair.number;
  return errc::AutomationError;
}

HRESULT resultFromErrorNumber(std::int32_t number) noexcept {
  // Only the numbers whose dispatch code is unambiguous map back to it.
  switch (number) {
    case errc::TypeMismatch: return DISP_E_TYPEMISMATCH;
    case errc::Overflow: return DISP_E_OVERFLOW;
    case errc::DivisionByZero: return DISP_E_DIVBYZERO;
    case errc::WrongArgumentCount: return DISP_E_BADPARAMCOUNT;
    case errc::ArgumentNotOptional: return DISP_E_PARAMNOTOPTIONAL;
    case errc::OutOfMemory: return E_OUTOFMEMORY;
    default: break;
  }
  if (number > 0 && number <= 0xFFFF) return makeResult(kRuntimeFacilityBits | static_cast<std::uint32_t>(number));
  return E_FAIL;
}

void raise(std::int32_t number, std::u16string_view detail, std::u16string_view note) {
  std::u16string text = describe(number, detail);
  if (!note.empty()) {
    text += u' ';
    text += note;
  }
  throw Error(number, std::move(text));
}

void raise(Error error) { throw std::move(error); }

void check(HRESULT hr) {
  if (succeeded(hr)) return;
  raise(errorNumberFromResult(hr));
}

namespace impl {
HRESULT currentExceptionToResult() noexcept {
  try {
    throw;
  } catch (const Error& e) {
    return e.result();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
}  // namespace impl

}  // namespace tarnwick
