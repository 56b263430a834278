#pragma once
// The base of the library's four classes. Each class is a set of stateless
// routines behind one dual interface: callable early-bound through the
// interface's function table and late-bound through IDispatch by name, both
// ways running the same routine body with the same argument rules:
// every parameter by reference, optional parameters that may be left out,
// a trailing variable list received as one array (possibly empty), and
// errors that reach the caller as a result code with number and description.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Call.h>
#include <tarnwick/automation/ErrorInfo.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/Start.h>
#include <tarnwick/frame/TypeLibrary.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace tarnwick::frame {

// A routine's body: reads its parameters (in declared order, the variable
// list as one array) from the call and sets the result.
using RoutineBody = void (*)(Call& call);

// One row of a class's binding: a routine of its interface, by the name the
// type library gives it, and the body that runs it. A null body stands for a
// routine not built yet, which answers every call with an error that says so.
struct RoutineBinding {
  std::u16string_view name;
  RoutineBody body;
};

// The bodies of a class's routines in slot order, from its binding rows.
// Every routine of the interface needs exactly one row and every row must
// name one of them; a table that breaks this raises an automation error
// whose text names the class and the routine at fault.
TARNWICK_API std::vector<RoutineBody> bindRoutines(const ClassInfo& info, std::span<const RoutineBinding> rows);

namespace impl {

// The routine's parameters as the body receives them, one VARIANT each in
// declared order: a reference to the caller's variable where the caller
// passed one of the parameter's type, else a converted copy.
class TARNWICK_API PreparedCall {
 public:
  explicit PreparedCall(const RoutineInfo& routine);
  PreparedCall(const PreparedCall&) = delete;
  PreparedCall& operator=(const PreparedCall&) = delete;
  ~PreparedCall();

  // From Invoke's arguments. Returns the result code for a malformed call.
  HRESULT fromDispatch(const DISPPARAMS& params, UINT* argErr) noexcept;
  // From an early-bound call: one typed reference per parameter.
  void setReference(std::size_t index, VARTYPE type, void* pointer) noexcept;
  // Runs the body and converts its result to the routine's result type.
  // Errors come back as exceptions.
  Variant run(RoutineBody body);

 private:
  const RoutineInfo& routine_;
  std::array<VARIANT, 8> slots_;  // the largest routine has seven parameters
  std::array<bool, 8> owned_{};
};

[[noreturn]] TARNWICK_API void notImplemented(const RoutineInfo& routine);

TARNWICK_API HRESULT invoke(const InterfaceInfo& info, std::span<const RoutineBody> bodies, DISPID id, WORD flags,
                            DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr,
                            std::u16string_view source) noexcept;
TARNWICK_API HRESULT idsOfNames(const InterfaceInfo& info, const char16_t* const* names, UINT count,
                                DISPID* ids) noexcept;

// Early-bound calls: the typed references of each parameter.
inline VARTYPE referenceType(BSTR*) noexcept { return VT_BYREF | VT_BSTR; }
inline VARTYPE referenceType(std::int16_t*) noexcept { return VT_BYREF | VT_I2; }
inline VARTYPE referenceType(std::int32_t*) noexcept { return VT_BYREF | VT_I4; }
inline VARTYPE referenceType(VARIANT_BOOL*) noexcept { return VT_BYREF | VT_BOOL; }
inline VARTYPE referenceType(VARIANT*) noexcept { return VT_BYREF | VT_VARIANT; }
inline VARTYPE referenceType(IDispatch**) noexcept { return VT_BYREF | VT_DISPATCH; }
inline VARTYPE referenceType(SAFEARRAY**) noexcept { return VT_BYREF | VT_ARRAY | VT_VARIANT; }

// Writes a routine's result into an early-bound result slot.
TARNWICK_API void storeResult(Variant& value, BSTR* out);
TARNWICK_API void storeResult(Variant& value, std::int16_t* out);
TARNWICK_API void storeResult(Variant& value, std::int32_t* out);
TARNWICK_API void storeResult(Variant& value, VARIANT_BOOL* out);
TARNWICK_API void storeResult(Variant& value, VARIANT* out);
TARNWICK_API void storeResult(Variant& value, IDispatch** out);
// Sets an early-bound result slot to the empty value of its type.
TARNWICK_API void clearResult(BSTR* out) noexcept;
TARNWICK_API void clearResult(std::int16_t* out) noexcept;
TARNWICK_API void clearResult(std::int32_t* out) noexcept;
TARNWICK_API void clearResult(VARIANT_BOOL* out) noexcept;
TARNWICK_API void clearResult(VARIANT* out) noexcept;
TARNWICK_API void clearResult(IDispatch** out) noexcept;

TARNWICK_API HRESULT reportEarly(const Error& error, std::u16string_view source) noexcept;
TARNWICK_API HRESULT reportEarlyCurrent(std::u16string_view source) noexcept;

}  // namespace impl

// Derived provides:
//   static const ClassInfo& classInfo();
//   static std::span<const RoutineBinding> bindings();   // one row per routine, any order
// The rows are resolved to slots once, when the first instance is made; a
// broken table makes that creation fail with the binding's error.
template <typename Derived, typename Interface>
class LibraryClass : public AutomationObject<Derived, Interface> {
 public:
  static std::u16string_view typeName() { return Derived::classInfo().name; }
  static std::span<const Member<Derived>> members() { return {}; }

  HRESULT GetIDsOfNames(const IID&, const char16_t* const* names, UINT count, LCID, DISPID* ids) noexcept override {
    return impl::idsOfNames(info_.interface, names, count, ids);
  }
  HRESULT Invoke(DISPID id, const IID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                 UINT* argErr) noexcept override {
    return impl::invoke(info_.interface, bodies_, id, flags, params, result, info, argErr, info_.progId);
  }

  // The class's bodies in slot order, bound on first use.
  static std::span<const RoutineBody> bodies() {
    static const std::vector<RoutineBody> bound = bindRoutines(Derived::classInfo(), Derived::bindings());
    return bound;
  }

 protected:
  LibraryClass() : info_(Derived::classInfo()), bodies_(bodies()) { ensureStarted(); }
  ~LibraryClass() = default;  // deleted through the class itself, on its last Release

  // The body of an early-bound function: `slot` counts from 1; the result
  // pointer is null for a procedure.
  template <typename Result, typename... Params>
  HRESULT early(int slot, Result* result, Params*... params) noexcept {
    const ClassInfo& info = info_;
    try {
      const RoutineInfo& routine = info.interface.routines.at(static_cast<std::size_t>(slot - 1));
      if constexpr (!std::is_same_v<Result, void>) {
        if (!result) return E_POINTER;
        impl::clearResult(result);
      }
      impl::PreparedCall call(routine);
      std::size_t index = 0;
      (call.setReference(index++, impl::referenceType(params), params), ...);
      Variant value = call.run(bodies_[static_cast<std::size_t>(slot - 1)]);
      if constexpr (!std::is_same_v<Result, void>) impl::storeResult(value, result);
      clearErrorInfo();
      return S_OK;
    } catch (...) {
      return impl::reportEarlyCurrent(info.progId);
    }
  }

 private:
  const ClassInfo& info_;
  std::span<const RoutineBody> bodies_;
};

}  // namespace tarnwick::frame
