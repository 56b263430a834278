#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::customize {

void generateIniColumnWidths(Call& call);
void getIniColumnWidths(Call& call);
void generateIniTips(Call& call);
void getIniTips(Call& call);
void generateIniCaptions(Call& call);
void getIniCaptions(Call& call);

}  // namespace tarnwick::customize
