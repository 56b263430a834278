#pragma once
// INI files read and written as the platform's profile functions do, one
// section, key and value at a time:
// - section and key names match without regard to letter case; blanks
//   around names and values are not part of them; lines starting with ";"
//   are comments; the first of two equal keys counts;
// - a read copies at most size - 1 characters and returns the count; a
//   missing file, section or key gives the default;
// - a missing (null) key asks for the section's key names, a missing
//   section for all section names, each name followed by a NUL;
// - a write creates the file and the section, adds a key at the end of its
//   section, replaces a value in place; a null value deletes the key, a null
//   key the whole section; every other line of the file stays byte for byte;
// - a name that is not a full path denotes a file in the settings folder.
// Files are UTF-8 (the system's code page here). Writes go to a new file
// that is renamed over the old one, under an exclusive lock on the file's
// folder, so a crash never tears it and concurrent writers lose nothing; a
// symbolic link is written through to its target, and a read-only file is
// not written (0). What is not a regular file reads as a missing file.
// Reads of an unchanged file are served from a parsed copy.
#include <tarnwick/automation/Export.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::frame {

// A name that may be absent (null), as distinct from empty.
using OptionalText = std::optional<std::u16string_view>;

struct ProfileRead {
  std::u16string buffer;  // what the platform's buffer holds, cut at `count`
  std::uint32_t count = 0;
};

TARNWICK_API ProfileRead readProfileString(OptionalText section, OptionalText key, std::u16string_view defaultValue,
                                           std::uint32_t size, std::u16string_view file);

// Non-zero when the value was written; 0 when it could not be (the file is
// then unchanged).
std::int32_t writeProfileString(OptionalText section, OptionalText key, OptionalText value,
                                std::u16string_view file) noexcept;

// The library's one INI read and write, as its routines use them: a read
// through a 500-character buffer ("" when there is nothing; at most 499
// characters), and a write whose result is the profile function's.
TARNWICK_API std::u16string iniRead(OptionalText section, OptionalText key, std::u16string_view file);
TARNWICK_API std::int32_t iniWrite(OptionalText section, OptionalText key, OptionalText value,
                                   std::u16string_view file) noexcept;

// The file an INI name denotes.
TARNWICK_API std::filesystem::path profilePath(std::u16string_view file);

}  // namespace tarnwick::frame
