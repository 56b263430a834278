#pragma once
// Automation strings. Text is UTF-16; lengths and positions count UTF-16
// units. A BSTR is a length-prefixed buffer; the null pointer is the null
// string, which reads as "" but is distinct from an allocated empty string.
#include <tarnwick/automation/Export.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

using BSTR = char16_t*;

// Allocation of BSTRs. Every BSTR is freed with SysFreeString; nullptr is a
// valid argument everywhere and stands for the null string.
TARNWICK_API BSTR SysAllocString(const char16_t* text) noexcept;
TARNWICK_API BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length) noexcept;
TARNWICK_API void SysFreeString(BSTR text) noexcept;
TARNWICK_API std::uint32_t SysStringLen(BSTR text) noexcept;

// Allocates a BSTR copy of a view; throws Error 7 when memory runs out.
TARNWICK_API BSTR allocBstr(std::u16string_view text);
inline std::u16string_view view(BSTR text) noexcept {
  return text ? std::u16string_view(text, SysStringLen(text)) : std::u16string_view();
}

// UTF-8 at the edges (files, SQLite, the command line). Ill-formed input on
// either side becomes U+FFFD, so a lone surrogate never produces bad UTF-8.
TARNWICK_API std::string toUtf8(std::u16string_view text);
TARNWICK_API std::u16string fromUtf8(std::string_view text);

// Letter-case folding for names, keywords and month names: ASCII and the
// Latin-1 letters (enough for member names and the month names of the
// Western European locales).
TARNWICK_API char16_t upperCase(char16_t c) noexcept;
TARNWICK_API char16_t lowerCase(char16_t c) noexcept;
TARNWICK_API bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept;
// True when `text` begins with `prefix`, letter case ignored.
TARNWICK_API bool startsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) noexcept;

}  // namespace tarnwick
