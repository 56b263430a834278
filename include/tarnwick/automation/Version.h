#pragma once
#include <tarnwick/automation/Export.h>

namespace tarnwick {

// The library's version as "major.minor.patch".
TARNWICK_API const char* libraryVersion() noexcept;

}  // namespace tarnwick
