#pragma once
// 128-bit identifiers of classes, interfaces and libraries, with the
// registry text form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#include <tarnwick/automation/Export.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;

// Parses "{...}" or the same without braces; letter case does not matter.
TARNWICK_API std::optional<GUID> parseGuid(std::string_view text) noexcept;
// Upper-case text form with braces.
TARNWICK_API std::string toString(const GUID& guid);

inline constexpr GUID GUID_NULL{};

}  // namespace tarnwick
