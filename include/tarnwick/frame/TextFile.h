#pragma once
// Files read whole into a string and strings written whole into files.
// Text access is UTF-8, binary access one character per byte; a write
// replaces the file whole (or leaves it as it was when it fails).
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::frame {

// The runtime error of a failed file operation, from its errno.
TARNWICK_API std::int16_t fileError(int error) noexcept;

// The file's content; "" when it cannot be read (missing, a folder, no
// access, not UTF-8 in text access).
std::u16string readFile(std::u16string_view fileName, bool binary);
// Writes the text; the number of the error that stopped it, or 0.
std::int16_t writeFile(std::u16string_view fileName, std::u16string_view text, bool binary);
// Writes a value as one printed item (a text as it stands, a number with a
// blank before and after it, ...) in text access; the error number, or 0.
std::int16_t printToFile(std::u16string_view fileName, const Variant& contents);

}  // namespace tarnwick::frame
