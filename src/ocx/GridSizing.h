#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::ocx {

// Column widths: SizeGridColumns, SizeGridFromWidth, SizeGridFromPanels.
void sizeGridColumns(Call& call);
void sizeGridFromWidth(Call& call);
void sizeGridFromPanels(Call& call);

// Placement of a grid and its companions: SizeGridForm, ComboInGridRowColChange.
void sizeGridForm(Call& call);
void comboInGridRowColChange(Call& call);

}  // namespace tarnwick::ocx
