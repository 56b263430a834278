#pragma once
// Class Customize: its routines behind the dual interface _Customize.
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/Interfaces.h>
#include <tarnwick/frame/LibraryClass.h>

#include <span>

namespace tarnwick::customize {

class TARNWICK_API Customize final : public frame::LibraryClass<Customize, frame::_Customize> {
 public:
  static const frame::ClassInfo& classInfo();
  // The routine bodies by routine name.
  static std::span<const frame::RoutineBinding> bindings();

  HRESULT GenerateIniColumnWidths(IDispatch** objGrid, BSTR* tFormName, std::int16_t* result) noexcept override {
    return early(1, result, objGrid, tFormName);
  }
  HRESULT GetIniColumnWidths_i(IDispatch** objGrid, BSTR* tFormName, std::int16_t* result) noexcept override {
    return early(2, result, objGrid, tFormName);
  }
  HRESULT GenerateIniTips(IDispatch** objFormCtrlColl, BSTR* tFormName, std::int16_t* result) noexcept override {
    return early(3, result, objFormCtrlColl, tFormName);
  }
  HRESULT GetIniTips(IDispatch** objFormCtrlColl, BSTR* tFormName, std::int16_t* result) noexcept override {
    return early(4, result, objFormCtrlColl, tFormName);
  }
  HRESULT GenerateIniCaptions(IDispatch** objControls, BSTR* tFormName, std::int16_t* result) noexcept override {
    return early(5, result, objControls, tFormName);
  }
  HRESULT GetIniCaptions(IDispatch** objControls, BSTR* tFormName, std::int16_t* result) noexcept override {
    return early(6, result, objControls, tFormName);
  }
};

}  // namespace tarnwick::customize
