#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/frame/ClassCatalogue.h>

#include <array>

#include "MergeExport.h"
#include "RecordControls.h"
#include "RecordLookup.h"
#include "SearchRoutines.h"
#include "UnboundControls.h"

namespace tarnwick::dataaccess {

namespace {

// The routine bodies in slot order. A routine whose body is not built yet
// answers every call with an error that says so.
constexpr std::array<frame::RoutineBody, 14> kBodies{
    saveMergeFieldsFromDatasource,     // 1 SaveMergeFieldsFromDatasource
    sortRecordset,                     // 2 SortRecordset_rs
    validateDataTypeOnLostFocus,       // 3 ValidateDataTypeOnLostFocus_s
    fillUnboundControlsFromRecordset,  // 4 FillUnboundControlsFromRS_s
    fillRecordsetFromUnboundControls,  // 5 FillRSFromUnboundControls_s
    getBetweenWhereClauseFromTags,     // 6 GetBetweenWhereClauseFromTags_s
    readFromRecordToControlArray,      // 7 ReadFromRecordToControlArray
    readFromRecordToControlArray,      // 8 ReadFromSnapToControlArray
    saveRecordFromControls,            // 9 SaveRecordFromControls
    saveRecordFromControlArray,        // 10 SaveRecordFromControlArray_b
    readFromRecordToControls,          // 11 ReadFromRecordToControls
    getWhereClauseFromTags,            // 12 GetWhereClauseFromTags_s
    makeCurrentRecord,                 // 13 MakeCurrentRecord_b
    findRecord,                        // 14 FindRecord_b
};

[[maybe_unused]] const bool registered =
    frame::addLibraryClass(DataAccessWrapper::classInfo().clsid, DataAccessWrapper::classInfo().progId,
                           frame::createAndQuery<DataAccessWrapper>);

}  // namespace

const frame::ClassInfo& DataAccessWrapper::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"DataAccessWrapper");
  return info;
}

std::span<const frame::RoutineBody> DataAccessWrapper::bodies() { return kBodies; }

}  // namespace tarnwick::dataaccess
