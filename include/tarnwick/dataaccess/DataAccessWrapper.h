#pragma once
// Class DataAccessWrapper: its routines behind the dual interface _DataAccessWrapper.
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/Interfaces.h>
#include <tarnwick/frame/LibraryClass.h>

#include <span>

namespace tarnwick::dataaccess {

class TARNWICK_API DataAccessWrapper final : public frame::LibraryClass<DataAccessWrapper, frame::_DataAccessWrapper> {
 public:
  static const frame::ClassInfo& classInfo();
  // The routine bodies by routine name.
  static std::span<const frame::RoutineBinding> bindings();

  HRESULT SaveMergeFieldsFromDatasource(VARIANT* vArrayControlArrays, BSTR* tFileToSave, VARIANT* tAddressFields,
                                        VARIANT* tAddressvalues, std::int16_t* result) noexcept override {
    return early(1, result, vArrayControlArrays, tFileToSave, tAddressFields, tAddressvalues);
  }
  HRESULT SortRecordset_rs(IDispatch** objRecordset, BSTR* tFieldToSort, IDispatch** result) noexcept override {
    return early(2, result, objRecordset, tFieldToSort);
  }
  HRESULT ValidateDataTypeOnLostFocus_s(IDispatch** objRecordset, VARIANT* vControl, BSTR* tDateFormatString,
                                        VARIANT_BOOL* bControlArray, BSTR* result) noexcept override {
    return early(3, result, objRecordset, vControl, tDateFormatString, bControlArray);
  }
  HRESULT FillUnboundControlsFromRS_s(IDispatch** objRecordset, IDispatch** objTextBoxUnbound, std::int16_t* iLbound,
                                      BSTR* result) noexcept override {
    return early(4, result, objRecordset, objTextBoxUnbound, iLbound);
  }
  HRESULT FillRSFromUnboundControls_s(IDispatch** objRecordset, IDispatch** objTextBoxUnbound, std::int16_t* iLbound,
                                      BSTR* result) noexcept override {
    return early(5, result, objRecordset, objTextBoxUnbound, iLbound);
  }
  HRESULT GetBetweenWhereClauseFromTags_s(VARIANT* caControlArray, std::int16_t* iLbound, std::int16_t* iUbound,
                                          VARIANT_BOOL* bDaoOrCrystal, VARIANT_BOOL* bSqlCriteria,
                                          BSTR* result) noexcept override {
    return early(6, result, caControlArray, iLbound, iUbound, bDaoOrCrystal, bSqlCriteria);
  }
  HRESULT ReadFromRecordToControlArray(VARIANT* caControlArray, IDispatch** tblTable) noexcept override {
    return early<void>(7, nullptr, caControlArray, tblTable);
  }
  HRESULT ReadFromSnapToControlArray(VARIANT* caControlArray, IDispatch** snpSnapshot) noexcept override {
    return early<void>(8, nullptr, caControlArray, snpSnapshot);
  }
  HRESULT SaveRecordFromControls(IDispatch** frmForm, IDispatch** tblTable, SAFEARRAY** NotSaveThisTaggers,
                                 VARIANT* result) noexcept override {
    return early(9, result, frmForm, tblTable, NotSaveThisTaggers);
  }
  HRESULT SaveRecordFromControlArray_b(VARIANT_BOOL* bBeginTrans, VARIANT* ctrControlArray, IDispatch** tblTable,
                                       SAFEARRAY** NotSaveThisTaggers, VARIANT_BOOL* result) noexcept override {
    return early(10, result, bBeginTrans, ctrControlArray, tblTable, NotSaveThisTaggers);
  }
  HRESULT ReadFromRecordToControls(IDispatch** frmForm, IDispatch** rsRecordset, VARIANT* result) noexcept override {
    return early(11, result, frmForm, rsRecordset);
  }
  HRESULT GetWhereClauseFromTags_s(VARIANT* vArrayControlArrays, VARIANT_BOOL* bDaoOrCrystal,
                                   VARIANT_BOOL* bSqlCriteria, SAFEARRAY** NotSeekThisTaggers,
                                   BSTR* result) noexcept override {
    return early(12, result, vArrayControlArrays, bDaoOrCrystal, bSqlCriteria, NotSeekThisTaggers);
  }
  HRESULT MakeCurrentRecord_b(IDispatch** tblTable, BSTR* sIndexes, VARIANT* vIdToFind,
                              VARIANT_BOOL* result) noexcept override {
    return early(13, result, tblTable, sIndexes, vIdToFind);
  }
  HRESULT FindRecord_b(VARIANT_BOOL* bFirst, IDispatch** rsRecordset, BSTR* tWhereClause,
                       VARIANT_BOOL* result) noexcept override {
    return early(14, result, bFirst, rsRecordset, tWhereClause);
  }
};

}  // namespace tarnwick::dataaccess
