#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::dataaccess {

// Record lookup and ordering: SortRecordset_rs, MakeCurrentRecord_b and
// FindRecord_b. Each makes one or two member calls on the object it is
// given; none handles errors, so the data engine's errors reach the caller.
void sortRecordset(Call& call);
void makeCurrentRecord(Call& call);
void findRecord(Call& call);

}  // namespace tarnwick::dataaccess
