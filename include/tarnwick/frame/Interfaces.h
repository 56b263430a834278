#pragma once
// The four dual interfaces of the Tarnwick type library. Each function
// follows the seven of IDispatch in slot order; every parameter is passed by
// reference, and a routine with a result returns it through the last
// parameter. A failed call returns a result code and leaves the error's
// number and description in the thread's error information.
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/SafeArray.h>
#include <tarnwick/automation/Variant.h>

#include <cstdint>

namespace tarnwick::frame {

// The dual interface of class DataAccessWrapper, in slot order.
struct TARNWICK_API _DataAccessWrapper : IDispatch {
  static constexpr IID iid{0xBE34CB75, 0x7557, 0x11D2, {0x8E, 0x42, 0x00, 0x08, 0xC7, 0xEA, 0x3D, 0xBB}};
  virtual HRESULT SaveMergeFieldsFromDatasource(VARIANT* vArrayControlArrays, BSTR* tFileToSave,
                                                VARIANT* tAddressFields, VARIANT* tAddressvalues,
                                                std::int16_t* result) noexcept = 0;
  virtual HRESULT SortRecordset_rs(IDispatch** objRecordset, BSTR* tFieldToSort, IDispatch** result) noexcept = 0;
  virtual HRESULT ValidateDataTypeOnLostFocus_s(IDispatch** objRecordset, VARIANT* vControl, BSTR* tDateFormatString,
                                                VARIANT_BOOL* bControlArray, BSTR* result) noexcept = 0;
  virtual HRESULT FillUnboundControlsFromRS_s(IDispatch** objRecordset, IDispatch** objTextBoxUnbound,
                                              std::int16_t* iLbound, BSTR* result) noexcept = 0;
  virtual HRESULT FillRSFromUnboundControls_s(IDispatch** objRecordset, IDispatch** objTextBoxUnbound,
                                              std::int16_t* iLbound, BSTR* result) noexcept = 0;
  virtual HRESULT GetBetweenWhereClauseFromTags_s(VARIANT* caControlArray, std::int16_t* iLbound, std::int16_t* iUbound,
                                                  VARIANT_BOOL* bDaoOrCrystal, VARIANT_BOOL* bSqlCriteria,
                                                  BSTR* result) noexcept = 0;
  virtual HRESULT ReadFromRecordToControlArray(VARIANT* caControlArray, IDispatch** tblTable) noexcept = 0;
  virtual HRESULT ReadFromSnapToControlArray(VARIANT* caControlArray, IDispatch** snpSnapshot) noexcept = 0;
  virtual HRESULT SaveRecordFromControls(IDispatch** frmForm, IDispatch** tblTable, SAFEARRAY** NotSaveThisTaggers,
                                         VARIANT* result) noexcept = 0;
  virtual HRESULT SaveRecordFromControlArray_b(VARIANT_BOOL* bBeginTrans, VARIANT* ctrControlArray,
                                               IDispatch** tblTable, SAFEARRAY** NotSaveThisTaggers,
                                               VARIANT_BOOL* result) noexcept = 0;
  virtual HRESULT ReadFromRecordToControls(IDispatch** frmForm, IDispatch** rsRecordset, VARIANT* result) noexcept = 0;
  virtual HRESULT GetWhereClauseFromTags_s(VARIANT* vArrayControlArrays, VARIANT_BOOL* bDaoOrCrystal,
                                           VARIANT_BOOL* bSqlCriteria, SAFEARRAY** NotSeekThisTaggers,
                                           BSTR* result) noexcept = 0;
  virtual HRESULT MakeCurrentRecord_b(IDispatch** tblTable, BSTR* sIndexes, VARIANT* vIdToFind,
                                      VARIANT_BOOL* result) noexcept = 0;
  virtual HRESULT FindRecord_b(VARIANT_BOOL* bFirst, IDispatch** rsRecordset, BSTR* tWhereClause,
                               VARIANT_BOOL* result) noexcept = 0;

 protected:
  _DataAccessWrapper() = default;
  _DataAccessWrapper(const _DataAccessWrapper&) = default;
  _DataAccessWrapper& operator=(const _DataAccessWrapper&) = default;
  ~_DataAccessWrapper() = default;
};

// The dual interface of class OcxWrapper, in slot order.
struct TARNWICK_API _OcxWrapper : IDispatch {
  static constexpr IID iid{0xBE34CB77, 0x7557, 0x11D2, {0x8E, 0x42, 0x00, 0x08, 0xC7, 0xEA, 0x3D, 0xBB}};
  virtual HRESULT SizeGridForm(IDispatch** objGrid, SAFEARRAY** vControls, std::int16_t* result) noexcept = 0;
  virtual HRESULT SizeGridColumns(IDispatch** objGrid, VARIANT_BOOL* bVerticalScrollBar, std::int16_t* iVisibleCols,
                                  VARIANT* vArrayColWidth, std::int16_t* result) noexcept = 0;
  virtual HRESULT ComboInGridRowColChange(IDispatch** objDBGrid, IDispatch** objDBCombo, VARIANT* iAdjustTop,
                                          std::int16_t* result) noexcept = 0;
  virtual HRESULT ReadFromFile_t(BSTR* tFileName, std::int16_t* bAsBinary, BSTR* result) noexcept = 0;
  virtual HRESULT ShowResultInGrid_s(IDispatch** frmView, IDispatch** objDatacontrol, IDispatch** objGrid,
                                     IDispatch** objRecordset, BSTR* tPanelText, VARIANT* arrColWidth,
                                     VARIANT* tCallFromOther, BSTR* result) noexcept = 0;
  virtual HRESULT SizeGridFromWidth(IDispatch** objGrid, VARIANT* iColsHide, std::int16_t* result) noexcept = 0;
  virtual HRESULT SetAsDefaultValue(BSTR* tFormName, BSTR* tControlName, BSTR* tValue, BSTR* tIniFileName,
                                    std::int32_t* result) noexcept = 0;
  virtual HRESULT GetDefaultValues(IDispatch** objForm, BSTR* tIniFileName, std::int32_t* result) noexcept = 0;
  virtual HRESULT SaveMergeFieldsFromTags(VARIANT* vArrayControlArrays, BSTR* tFileToSave, VARIANT* tAddressFields,
                                          VARIANT* tAddressvalues, std::int16_t* result) noexcept = 0;
  virtual HRESULT FillGridWithRecords(IDispatch** ctrlMSFlexGrid, IDispatch** rsRecordset,
                                      VARIANT* vExcpetionField) noexcept = 0;
  virtual HRESULT SaveToFile(BSTR* tFileName, BSTR* tFileContents, std::int16_t* bAsBinary,
                             std::int16_t* result) noexcept = 0;
  virtual HRESULT SaveFile(BSTR* tFileName, VARIANT* tFileContents, std::int16_t* result) noexcept = 0;
  virtual HRESULT OpenFileForInput_t(BSTR* tFileName, BSTR* result) noexcept = 0;
  virtual HRESULT SetHighlightColorWhite_b(VARIANT_BOOL* bWhite, VARIANT_BOOL* result) noexcept = 0;
  virtual HRESULT ClearControls(VARIANT* caControls, std::int16_t* iLbound, std::int16_t* iUbound) noexcept = 0;
  virtual HRESULT ClearAllControlValues(IDispatch** frmForm) noexcept = 0;
  virtual HRESULT ComboKeySeek(IDispatch** cmbComboBox) noexcept = 0;
  virtual HRESULT Center(IDispatch** frmForm) noexcept = 0;
  virtual HRESULT SelAllText(IDispatch** ctrControl) noexcept = 0;
  virtual HRESULT SetControlsTransparent(VARIANT* caCtrlArray) noexcept = 0;
  virtual HRESULT AddRowTextToGrid(IDispatch** grdGrid, SAFEARRAY** vValuesToAdd) noexcept = 0;
  virtual HRESULT AddValuesToRecordset(IDispatch** rsRecordset, BSTR* tExcpetionField, std::int32_t* lEdit,
                                       SAFEARRAY** vValuesToAdd, std::int32_t* result) noexcept = 0;
  virtual HRESULT AddFromGridToRecordset(IDispatch** rsRecordset, IDispatch** grdGrid, BSTR* tExcpetionField,
                                         std::int32_t* lEdit, SAFEARRAY** vValuesToAdd,
                                         std::int32_t* result) noexcept = 0;
  virtual HRESULT CopyFromDbGrid(IDispatch** grdDBGrid, IDispatch** rsRecordset, std::int16_t* result) noexcept = 0;
  virtual HRESULT PasteToDbGrid(IDispatch** rsRecordsetOfDBGrid, std::int16_t* result) noexcept = 0;
  virtual HRESULT DeleteSelectedRecordsFromDbGrid(IDispatch** grdDBGrid, IDispatch** dcDataControl,
                                                  IDispatch** dbDataBase, std::int16_t* result) noexcept = 0;
  virtual HRESULT SizeGridFromPanels(IDispatch** ctrlMSFlexGrid, IDispatch** caPanel,
                                     std::int16_t* iLbound) noexcept = 0;

 protected:
  _OcxWrapper() = default;
  _OcxWrapper(const _OcxWrapper&) = default;
  _OcxWrapper& operator=(const _OcxWrapper&) = default;
  ~_OcxWrapper() = default;
};

// The dual interface of class Customize, in slot order.
struct TARNWICK_API _Customize : IDispatch {
  static constexpr IID iid{0xBE34CB79, 0x7557, 0x11D2, {0x8E, 0x42, 0x00, 0x08, 0xC7, 0xEA, 0x3D, 0xBB}};
  virtual HRESULT GenerateIniColumnWidths(IDispatch** objGrid, BSTR* tFormName, std::int16_t* result) noexcept = 0;
  virtual HRESULT GetIniColumnWidths_i(IDispatch** objGrid, BSTR* tFormName, std::int16_t* result) noexcept = 0;
  virtual HRESULT GenerateIniTips(IDispatch** objFormCtrlColl, BSTR* tFormName, std::int16_t* result) noexcept = 0;
  virtual HRESULT GetIniTips(IDispatch** objFormCtrlColl, BSTR* tFormName, std::int16_t* result) noexcept = 0;
  virtual HRESULT GenerateIniCaptions(IDispatch** objControls, BSTR* tFormName, std::int16_t* result) noexcept = 0;
  virtual HRESULT GetIniCaptions(IDispatch** objControls, BSTR* tFormName, std::int16_t* result) noexcept = 0;

 protected:
  _Customize() = default;
  _Customize(const _Customize&) = default;
  _Customize& operator=(const _Customize&) = default;
  ~_Customize() = default;
};

// The dual interface of class APIWrapper, in slot order.
struct TARNWICK_API _APIWrapper : IDispatch {
  static constexpr IID iid{0xBE34CB7B, 0x7557, 0x11D2, {0x8E, 0x42, 0x00, 0x08, 0xC7, 0xEA, 0x3D, 0xBB}};
  virtual HRESULT AppActivateClass(BSTR* lpClassName, VARIANT* result) noexcept = 0;
  virtual HRESULT GetIniValue(BSTR* tSection, BSTR* tVariable, BSTR* tFileName, BSTR* result) noexcept = 0;
  virtual HRESULT GetSystemDir(BSTR* result) noexcept = 0;
  virtual HRESULT GetWindowsDir(BSTR* result) noexcept = 0;
  virtual HRESULT StayOnTop(IDispatch** frmForm, VARIANT_BOOL* bOnTop) noexcept = 0;
  virtual HRESULT WriteIniValue(BSTR* tSection, BSTR* tVariable, BSTR* tValue, BSTR* tFileName,
                                std::int32_t* result) noexcept = 0;

 protected:
  _APIWrapper() = default;
  _APIWrapper(const _APIWrapper&) = default;
  _APIWrapper& operator=(const _APIWrapper&) = default;
  ~_APIWrapper() = default;
};

}  // namespace tarnwick::frame
