#pragma once
// The one helper from which every automation object builds its IUnknown and
// IDispatch: a table of members (name, dispatch id, kinds of access, handler)
// replaces hand-written name lookups and argument unpacking. Names are found
// without regard to letter case; a handler receives a Call and may throw
// Error, which becomes the exception information of Invoke.
//
//   class Label final : public AutomationObject<Label> {   // final: deleted as itself
//    public:
//     static std::u16string_view typeName() { return u"Label"; }
//     static std::span<const Member<Label>> members();
//   };
#include <tarnwick/automation/Call.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/TypeInfo.h>
#include <tarnwick/automation/UnknownBase.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

namespace tarnwick {

enum MemberKind : std::uint8_t {
  kMethod = DISPATCH_METHOD,
  kGet = DISPATCH_PROPERTYGET,
  kPut = DISPATCH_PROPERTYPUT,
  kPutRef = DISPATCH_PROPERTYPUTREF,
  kProperty = kGet | kPut,
  kObjectProperty = kGet | kPut | kPutRef,
};

template <typename T>
struct Member {
  std::u16string_view name;
  DISPID id;
  std::uint8_t kinds;
  void (*handler)(T& self, Call& call);
};

namespace impl {
// Counts the automation objects alive in the process, for the server's
// unload test.
TARNWICK_API std::atomic<long>& liveObjects() noexcept;
// Type information that answers with a type's name.
TARNWICK_API ITypeInfo* newNamedTypeInfo(std::u16string_view name) noexcept;
// Turns the exception in flight into Invoke's result and exception
// information (DISP_E_EXCEPTION when the caller gave room for it).
TARNWICK_API HRESULT reportException(EXCEPINFO* info, std::u16string_view source) noexcept;
TARNWICK_API HRESULT reportException(EXCEPINFO* info, UINT* argErr, const Call& call,
                                     std::u16string_view source) noexcept;
// Checks the shape of Invoke's arguments; S_OK when the member may run.
TARNWICK_API HRESULT checkInvoke(std::uint8_t kinds, WORD flags, const DISPPARAMS* params) noexcept;
}  // namespace impl

template <typename Derived, typename Primary = IDispatch>
class AutomationObject : public UnknownBase<Derived, Primary> {
 public:
  HRESULT GetTypeInfoCount(UINT* count) noexcept override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = impl::newNamedTypeInfo(static_cast<const Derived*>(this)->instanceTypeName());
    return *info ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetIDsOfNames(const IID&, const char16_t* const* names, UINT count, LCID, DISPID* ids) noexcept override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    const Member<Derived>* member = findByName(names[0]);
    ids[0] = member ? member->id : DISPID_UNKNOWN;
    bool allKnown = member != nullptr;
    for (UINT i = 1; i < count; ++i) {
      ids[i] = member && names[i] ? static_cast<const Derived*>(this)->parameterId(*member, names[i]) : DISPID_UNKNOWN;
      allKnown = allKnown && ids[i] != DISPID_UNKNOWN;
    }
    return allKnown ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID id, const IID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                 UINT* argErr) noexcept override {
    const Member<Derived>* member = findById(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    return invokeMember(*member, flags, params, result, info, argErr);
  }

  // Hooks a derived class may hide: the dispatch id of a named parameter,
  // and the type name of this instance (further interfaces: answersTo).
  DISPID parameterId(const Member<Derived>&, const char16_t*) const noexcept { return DISPID_UNKNOWN; }
  std::u16string_view instanceTypeName() const noexcept { return Derived::typeName(); }

  static const Member<Derived>* findByName(const char16_t* name) noexcept {
    if (!name) return nullptr;
    const std::u16string_view wanted(name);
    for (const Member<Derived>& m : Derived::members())
      if (m.name.size() == wanted.size() && equalsIgnoreCase(m.name, wanted)) return &m;
    return nullptr;
  }
  static const Member<Derived>* findById(DISPID id) noexcept {
    const auto all = Derived::members();
    // Members are mostly listed in the order of their ids, from 0 or 1: the
    // place an id names is tried before the whole list is.
    const auto at = static_cast<std::size_t>(id);
    if (at < all.size() && all[at].id == id) return &all[at];
    if (at - 1 < all.size() && all[at - 1].id == id) return &all[at - 1];
    for (const Member<Derived>& m : all)
      if (m.id == id) return &m;
    return nullptr;
  }

 protected:
  // Runs a member the derived class found in its own way (Invoke's part
  // after the lookup).
  HRESULT invokeMember(const Member<Derived>& member, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* info, UINT* argErr) noexcept {
    // The usual shapes pass here: a call or get with positional arguments,
    // and a put with its value as the one named argument. checkInvoke
    // answers for all others.
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const bool usual = params && (params->cArgs == 0 || params->rgvarg) && (member.kinds & flags) != 0 &&
                       (put ? params->cNamedArgs == 1 && params->cArgs > 0 && params->rgdispidNamedArgs &&
                                  params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT
                            : params->cNamedArgs == 0);
    if (!usual) {
      if (const HRESULT hr = impl::checkInvoke(member.kinds, flags, params); failed(hr)) return hr;
    }
    Call call(flags, *params, result);
    try {
      member.handler(static_cast<Derived&>(*this), call);
      return S_OK;
    } catch (...) {
      return impl::reportException(info, argErr, call, static_cast<const Derived*>(this)->instanceTypeName());
    }
  }

  AutomationObject() noexcept { ++impl::liveObjects(); }
  AutomationObject(const AutomationObject&) = delete;
  AutomationObject& operator=(const AutomationObject&) = delete;
  ~AutomationObject() { --impl::liveObjects(); }
};

// Creates an automation object; the pointer holds its one reference.
template <typename T, typename... Args>
ComPtr<T> makeObject(Args&&... args) {
  return ComPtr<T>::attach(new T(std::forward<Args>(args)...));
}

}  // namespace tarnwick
