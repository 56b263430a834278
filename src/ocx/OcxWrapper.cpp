#include <tarnwick/frame/ClassCatalogue.h>

#include "ControlValues.h"
#include "Cosmetics.h"
#include "DataGridEdit.h"
#include "GridFilling.h"
#include "GridSizing.h"
#include "MergeExport.h"
#include "TextFiles.h"
#include <tarnwick/ocx/OcxWrapper.h>

namespace tarnwick::ocx {

namespace {

// The routine bodies by routine name, checked against the type library
// when the first instance is made.
constexpr frame::RoutineBinding kBindings[] = {
    {u"SizeGridForm", sizeGridForm},
    {u"SizeGridColumns", sizeGridColumns},
    {u"ComboInGridRowColChange", comboInGridRowColChange},
    {u"ReadFromFile_t", readFromFile},
    {u"ShowResultInGrid_s", showResultInGrid},
    {u"SizeGridFromWidth", sizeGridFromWidth},
    {u"SetAsDefaultValue", setAsDefaultValue},
    {u"GetDefaultValues", getDefaultValues},
    {u"SaveMergeFieldsFromTags", saveMergeFieldsFromTags},
    {u"FillGridWithRecords", fillGridWithRecords},
    {u"SaveToFile", saveToFile},
    {u"SaveFile", saveFile},
    {u"OpenFileForInput_t", openFileForInput},
    {u"SetHighlightColorWhite_b", setHighlightColorWhite},
    {u"ClearControls", clearControls},
    {u"ClearAllControlValues", clearAllControlValues},
    {u"ComboKeySeek", doNothing},
    {u"Center", center},
    {u"SelAllText", selAllText},
    {u"SetControlsTransparent", doNothing},
    {u"AddRowTextToGrid", addRowTextToGrid},
    {u"AddValuesToRecordset", addValuesToRecordset},
    {u"AddFromGridToRecordset", addFromGridToRecordset},
    {u"CopyFromDbGrid", copyFromDbGrid},
    {u"PasteToDbGrid", pasteToDbGrid},
    {u"DeleteSelectedRecordsFromDbGrid", deleteSelectedRecordsFromDbGrid},
    {u"SizeGridFromPanels", sizeGridFromPanels},
};

[[maybe_unused]] const bool registered = frame::addLibraryClass(
    OcxWrapper::classInfo().clsid, OcxWrapper::classInfo().progId, frame::createAndQuery<OcxWrapper>);

}  // namespace

const frame::ClassInfo& OcxWrapper::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"OcxWrapper");
  return info;
}

std::span<const frame::RoutineBinding> OcxWrapper::bindings() { return kBindings; }

}  // namespace tarnwick::ocx
