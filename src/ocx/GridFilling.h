#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::ocx {

// Putting data into grids: FillGridWithRecords, AddRowTextToGrid, ShowResultInGrid_s.
void fillGridWithRecords(Call& call);
void addRowTextToGrid(Call& call);
void showResultInGrid(Call& call);

// One record from a caller's values: AddValuesToRecordset, AddFromGridToRecordset.
void addValuesToRecordset(Call& call);
void addFromGridToRecordset(Call& call);

}  // namespace tarnwick::ocx
