#pragma once
#include <tarnwick/automation/Call.h>
#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::ocx {

// Routine bodies: whole files read into a string and strings written as files.
void readFromFile(Call& call);
void openFileForInput(Call& call);
void saveToFile(Call& call);
void saveFile(Call& call);

}  // namespace tarnwick::ocx
