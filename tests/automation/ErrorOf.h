#pragma once
#include <tarnwick/automation/Error.h>

#include <cstdint>
#include <string>
#include <utility>

namespace tarnwick::testing {

// The error number that `body` throws, or 0 when it throws none.
template <typename F>
std::int32_t errorOf(F&& body) {
  try {
    body();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

// The error number and description that `body` throws; 0 and "" when it throws none.
template <typename F>
std::pair<std::int32_t, std::u16string> failureOf(F&& body) {
  try {
    body();
  } catch (const Error& e) {
    return {e.number(), e.description()};
  }
  return {0, u""};
}

}  // namespace tarnwick::testing
