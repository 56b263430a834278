#pragma once
// Late binding by member name: IDispatch and the argument block of Invoke.
// Arguments of Invoke stand in reverse order: rgvarg[0] is the last argument.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/automation/Unknown.h>

#include <cstdint>

namespace tarnwick {

struct VARIANT;
struct ITypeInfo;

using DISPID = std::int32_t;
using LCID = std::uint32_t;
using UINT = std::uint32_t;
using WORD = std::uint16_t;

inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

struct DISPPARAMS {
  VARIANT* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  UINT cArgs = 0;
  UINT cNamedArgs = 0;
};

// Rich error information returned by Invoke with DISP_E_EXCEPTION.
struct EXCEPINFO {
  WORD wCode = 0;
  WORD wReserved = 0;
  BSTR bstrSource = nullptr;
  BSTR bstrDescription = nullptr;
  BSTR bstrHelpFile = nullptr;
  std::uint32_t dwHelpContext = 0;
  void* pvReserved = nullptr;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*) = nullptr;
  SCODE scode = 0;
};

// {00020400-0000-0000-C000-000000000046}
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct TARNWICK_API IDispatch : IUnknown {
  static constexpr const IID& iid = IID_IDispatch;
  virtual HRESULT GetTypeInfoCount(UINT* count) noexcept = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept = 0;
  virtual HRESULT GetIDsOfNames(const IID& riid, const char16_t* const* names, UINT count, LCID lcid,
                                DISPID* ids) noexcept = 0;
  virtual HRESULT Invoke(DISPID id, const IID& riid, LCID lcid, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) noexcept = 0;

 protected:
  IDispatch() = default;
  IDispatch(const IDispatch&) = default;
  IDispatch& operator=(const IDispatch&) = default;
  ~IDispatch() = default;
};

}  // namespace tarnwick
