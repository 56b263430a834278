#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::api {

void getIniValue(Call& call);
void writeIniValue(Call& call);
void getSystemDir(Call& call);
void getWindowsDir(Call& call);
void stayOnTop(Call& call);
void appActivateClass(Call& call);

}  // namespace tarnwick::api
