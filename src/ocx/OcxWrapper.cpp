#include <tarnwick/frame/ClassCatalogue.h>

#include "ControlValues.h"
#include "Cosmetics.h"
#include "DataGridEdit.h"
#include "GridFilling.h"
#include "GridSizing.h"
#include "MergeExport.h"
#include "TextFiles.h"
#include <tarnwick/ocx/OcxWrapper.h>

#include <array>

namespace tarnwick::ocx {

namespace {

// The routine bodies in slot order. A routine whose body is not built yet
// answers every call with an error that says so.
constexpr std::array<frame::RoutineBody, 27> kBodies{
    sizeGridForm,
    sizeGridColumns,
    comboInGridRowColChange,
    readFromFile,
    showResultInGrid,
    sizeGridFromWidth,
    setAsDefaultValue,
    getDefaultValues,
    saveMergeFieldsFromTags,
    fillGridWithRecords,
    saveToFile,
    saveFile,
    openFileForInput,
    setHighlightColorWhite,
    clearControls,
    clearAllControlValues,
    doNothing,  // ComboKeySeek
    center,
    selAllText,
    doNothing,  // SetControlsTransparent
    addRowTextToGrid,
    addValuesToRecordset,
    addFromGridToRecordset,
    copyFromDbGrid,
    pasteToDbGrid,
    deleteSelectedRecordsFromDbGrid,
    sizeGridFromPanels,
};

[[maybe_unused]] const bool registered = frame::addLibraryClass(
    OcxWrapper::classInfo().clsid, OcxWrapper::classInfo().progId, frame::createAndQuery<OcxWrapper>);

}  // namespace

const frame::ClassInfo& OcxWrapper::classInfo() {
  static const frame::ClassInfo& info = *frame::typeLibrary().findClass(u"OcxWrapper");
  return info;
}

std::span<const frame::RoutineBody> OcxWrapper::bodies() { return kBodies; }

}  // namespace tarnwick::ocx
