#pragma once
// Class OcxWrapper: its routines behind the dual interface _OcxWrapper.
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/Interfaces.h>
#include <tarnwick/frame/LibraryClass.h>

#include <span>

namespace tarnwick::ocx {

class TARNWICK_API OcxWrapper final : public frame::LibraryClass<OcxWrapper, frame::_OcxWrapper> {
 public:
  static const frame::ClassInfo& classInfo();
  // The routine bodies by routine name.
  static std::span<const frame::RoutineBinding> bindings();

  HRESULT SizeGridForm(IDispatch** objGrid, SAFEARRAY** vControls, std::int16_t* result) noexcept override {
    return early(1, result, objGrid, vControls);
  }
  HRESULT SizeGridColumns(IDispatch** objGrid, VARIANT_BOOL* bVerticalScrollBar, std::int16_t* iVisibleCols,
                          VARIANT* vArrayColWidth, std::int16_t* result) noexcept override {
    return early(2, result, objGrid, bVerticalScrollBar, iVisibleCols, vArrayColWidth);
  }
  HRESULT ComboInGridRowColChange(IDispatch** objDBGrid, IDispatch** objDBCombo, VARIANT* iAdjustTop,
                                  std::int16_t* result) noexcept override {
    return early(3, result, objDBGrid, objDBCombo, iAdjustTop);
  }
  HRESULT ReadFromFile_t(BSTR* tFileName, std::int16_t* bAsBinary, BSTR* result) noexcept override {
    return early(4, result, tFileName, bAsBinary);
  }
  HRESULT ShowResultInGrid_s(IDispatch** frmView, IDispatch** objDatacontrol, IDispatch** objGrid,
                             IDispatch** objRecordset, BSTR* tPanelText, VARIANT* arrColWidth, VARIANT* tCallFromOther,
                             BSTR* result) noexcept override {
    return early(5, result, frmView, objDatacontrol, objGrid, objRecordset, tPanelText, arrColWidth, tCallFromOther);
  }
  HRESULT SizeGridFromWidth(IDispatch** objGrid, VARIANT* iColsHide, std::int16_t* result) noexcept override {
    return early(6, result, objGrid, iColsHide);
  }
  HRESULT SetAsDefaultValue(BSTR* tFormName, BSTR* tControlName, BSTR* tValue, BSTR* tIniFileName,
                            std::int32_t* result) noexcept override {
    return early(7, result, tFormName, tControlName, tValue, tIniFileName);
  }
  HRESULT GetDefaultValues(IDispatch** objForm, BSTR* tIniFileName, std::int32_t* result) noexcept override {
    return early(8, result, objForm, tIniFileName);
  }
  HRESULT SaveMergeFieldsFromTags(VARIANT* vArrayControlArrays, BSTR* tFileToSave, VARIANT* tAddressFields,
                                  VARIANT* tAddressvalues, std::int16_t* result) noexcept override {
    return early(9, result, vArrayControlArrays, tFileToSave, tAddressFields, tAddressvalues);
  }
  HRESULT FillGridWithRecords(IDispatch** ctrlMSFlexGrid, IDispatch** rsRecordset,
                              VARIANT* vExcpetionField) noexcept override {
    return early<void>(10, nullptr, ctrlMSFlexGrid, rsRecordset, vExcpetionField);
  }
  HRESULT SaveToFile(BSTR* tFileName, BSTR* tFileContents, std::int16_t* bAsBinary,
                     std::int16_t* result) noexcept override {
    return early(11, result, tFileName, tFileContents, bAsBinary);
  }
  HRESULT SaveFile(BSTR* tFileName, VARIANT* tFileContents, std::int16_t* result) noexcept override {
    return early(12, result, tFileName, tFileContents);
  }
  HRESULT OpenFileForInput_t(BSTR* tFileName, BSTR* result) noexcept override { return early(13, result, tFileName); }
  HRESULT SetHighlightColorWhite_b(VARIANT_BOOL* bWhite, VARIANT_BOOL* result) noexcept override {
    return early(14, result, bWhite);
  }
  HRESULT ClearControls(VARIANT* caControls, std::int16_t* iLbound, std::int16_t* iUbound) noexcept override {
    return early<void>(15, nullptr, caControls, iLbound, iUbound);
  }
  HRESULT ClearAllControlValues(IDispatch** frmForm) noexcept override { return early<void>(16, nullptr, frmForm); }
  HRESULT ComboKeySeek(IDispatch** cmbComboBox) noexcept override { return early<void>(17, nullptr, cmbComboBox); }
  HRESULT Center(IDispatch** frmForm) noexcept override { return early<void>(18, nullptr, frmForm); }
  HRESULT SelAllText(IDispatch** ctrControl) noexcept override { return early<void>(19, nullptr, ctrControl); }
  HRESULT SetControlsTransparent(VARIANT* caCtrlArray) noexcept override {
    return early<void>(20, nullptr, caCtrlArray);
  }
  HRESULT AddRowTextToGrid(IDispatch** grdGrid, SAFEARRAY** vValuesToAdd) noexcept override {
    return early<void>(21, nullptr, grdGrid, vValuesToAdd);
  }
  HRESULT AddValuesToRecordset(IDispatch** rsRecordset, BSTR* tExcpetionField, std::int32_t* lEdit,
                               SAFEARRAY** vValuesToAdd, std::int32_t* result) noexcept override {
    return early(22, result, rsRecordset, tExcpetionField, lEdit, vValuesToAdd);
  }
  HRESULT AddFromGridToRecordset(IDispatch** rsRecordset, IDispatch** grdGrid, BSTR* tExcpetionField,
                                 std::int32_t* lEdit, SAFEARRAY** vValuesToAdd,
                                 std::int32_t* result) noexcept override {
    return early(23, result, rsRecordset, grdGrid, tExcpetionField, lEdit, vValuesToAdd);
  }
  HRESULT CopyFromDbGrid(IDispatch** grdDBGrid, IDispatch** rsRecordset, std::int16_t* result) noexcept override {
    return early(24, result, grdDBGrid, rsRecordset);
  }
  HRESULT PasteToDbGrid(IDispatch** rsRecordsetOfDBGrid, std::int16_t* result) noexcept override {
    return early(25, result, rsRecordsetOfDBGrid);
  }
  HRESULT DeleteSelectedRecordsFromDbGrid(IDispatch** grdDBGrid, IDispatch** dcDataControl, IDispatch** dbDataBase,
                                          std::int16_t* result) noexcept override {
    return early(26, result, grdDBGrid, dcDataControl, dbDataBase);
  }
  HRESULT SizeGridFromPanels(IDispatch** ctrlMSFlexGrid, IDispatch** caPanel, std::int16_t* iLbound) noexcept override {
    return early<void>(27, nullptr, ctrlMSFlexGrid, caPanel, iLbound);
  }
};

}  // namespace tarnwick::ocx
