#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::ocx {

// ClearControls, ClearAllControlValues, SetAsDefaultValue, GetDefaultValues.
void clearControls(Call& call);
void clearAllControlValues(Call& call);
void setAsDefaultValue(Call& call);
void getDefaultValues(Call& call);

}  // namespace tarnwick::ocx
