#pragma once
#include <tarnwick/automation/Error.h>

#include <cstdint>

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

}  // namespace tarnwick::testing
