#pragma once
// Texts of the front end's messages, put together piece by piece.
#include <tarnwick/automation/Convert.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace orders {

inline void appendPart(std::u16string& out, std::u16string_view part) { out += part; }
inline void appendPart(std::u16string& out, std::int32_t number) { out += tarnwick::toText(tarnwick::Variant(number)); }

// The parts (texts and whole numbers) one after the other.
template <typename... Parts>
std::u16string concat(const Parts&... parts) {
  std::u16string out;
  (appendPart(out, parts), ...);
  return out;
}

}  // namespace orders
