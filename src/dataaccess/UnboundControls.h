#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::dataaccess {

// FillUnboundControlsFromRS_s, FillRSFromUnboundControls_s and
// ValidateDataTypeOnLostFocus_s: controls that name their field in DataField.
void fillUnboundControlsFromRecordset(Call& call);
void fillRecordsetFromUnboundControls(Call& call);
void validateDataTypeOnLostFocus(Call& call);

}  // namespace tarnwick::dataaccess
