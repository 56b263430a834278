#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::ocx {

// Center, SelAllText, SetHighlightColorWhite_b, SetControlsTransparent, ComboKeySeek.
void center(Call& call);
void selAllText(Call& call);
void setHighlightColorWhite(Call& call);
void doNothing(Call& call);

}  // namespace tarnwick::ocx
