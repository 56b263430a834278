#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::dataaccess {

// Record to controls: ReadFromRecordToControlArray, ReadFromSnapToControlArray
// (the same routine) and ReadFromRecordToControls.
void readFromRecordToControlArray(Call& call);
void readFromRecordToControls(Call& call);
// Controls to record: SaveRecordFromControls and SaveRecordFromControlArray_b.
void saveRecordFromControls(Call& call);
void saveRecordFromControlArray(Call& call);

}  // namespace tarnwick::dataaccess
