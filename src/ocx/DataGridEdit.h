#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::ocx {

// A data grid's editing commands: CopyFromDbGrid, PasteToDbGrid, DeleteSelectedRecordsFromDbGrid.
void copyFromDbGrid(Call& call);
void pasteToDbGrid(Call& call);
void deleteSelectedRecordsFromDbGrid(Call& call);

}  // namespace tarnwick::ocx
