#pragma once
// Class APIWrapper: its routines behind the dual interface _APIWrapper.
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/Interfaces.h>
#include <tarnwick/frame/LibraryClass.h>

#include <span>

namespace tarnwick::api {

class TARNWICK_API APIWrapper final : public frame::LibraryClass<APIWrapper, frame::_APIWrapper> {
 public:
  static const frame::ClassInfo& classInfo();
  // The routine bodies by routine name.
  static std::span<const frame::RoutineBinding> bindings();

  HRESULT AppActivateClass(BSTR* lpClassName, VARIANT* result) noexcept override {
    return early(1, result, lpClassName);
  }
  HRESULT GetIniValue(BSTR* tSection, BSTR* tVariable, BSTR* tFileName, BSTR* result) noexcept override {
    return early(2, result, tSection, tVariable, tFileName);
  }
  HRESULT GetSystemDir(BSTR* result) noexcept override { return early(3, result); }
  HRESULT GetWindowsDir(BSTR* result) noexcept override { return early(4, result); }
  HRESULT StayOnTop(IDispatch** frmForm, VARIANT_BOOL* bOnTop) noexcept override {
    return early<void>(5, nullptr, frmForm, bOnTop);
  }
  HRESULT WriteIniValue(BSTR* tSection, BSTR* tVariable, BSTR* tValue, BSTR* tFileName,
                        std::int32_t* result) noexcept override {
    return early(6, result, tSection, tVariable, tValue, tFileName);
  }
};

}  // namespace tarnwick::api
