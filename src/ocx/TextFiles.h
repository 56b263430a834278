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

// The file writer that SaveFile is: the value printed as one item into a
// file created or emptied. The number of the error that stopped it, or 0.
std::int16_t writeTextFile(std::u16string_view fileName, const Variant& contents);

}  // namespace tarnwick::ocx
