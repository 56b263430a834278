#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/frame/ClassCatalogue.h>

#include "MergeExport.h"
#include "RecordControls.h"
#include "RecordLookup.h"
#include "SearchRoutines.h"
#include "UnboundControls.h"

namespace tarnwick::dataaccess {

namespace {

// The routine bodies by routine name, checked against the type library
// when the first instance is made.
constexpr frame::RoutineBinding kBindings[] = {
    {u"SaveMergeFieldsFromDatasource", saveMergeFieldsFromDatasource},
    {u"SortRecordset_rs", sortRecordset},
    {u"ValidateDataTypeOnLostFocus_s", validateDataTypeOnLostFocus},
    {u"FillUnboundControlsFromRS_s", fillUnboundControlsFromRecordset},
    {u"FillRSFromUnboundControls_s", fillRecordsetFromUnboundControls},
    {u"GetBetweenWhereClauseFromTags_s", getBetweenWhereClauseFromTags},
    {u"ReadFromRecordToControlArray", readFromRecordToControlArray},
    {u"ReadFromSnapToControlArray", readFromRecordToControlArray},
    {u"SaveRecordFromControls", saveRecordFromControls},
    {u"SaveRecordFromControlArray_b", saveRecordFromControlArray},
    {u"ReadFromRecordToControls", readFromRecordToControls},
    {u"GetWhereClauseFromTags_s", getWhereClauseFromTags},
    {u"MakeCurrentRecord_b", makeCurrentRecord},
    {u"FindRecord_b", findRecord},
};

[[maybe_unused]] const bool registered =
    frame::addLibraryClass(DataAccessWrapper::classInfo().clsid, DataAccessWrapper::classInfo().progId,
                           frame::createAndQuery<DataAccessWrapper>);

}  // namespace

const frame::ClassInfo& DataAccessWrapper::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"DataAccessWrapper");
  return info;
}

std::span<const frame::RoutineBinding> DataAccessWrapper::bindings() { return kBindings; }

}  // namespace tarnwick::dataaccess
