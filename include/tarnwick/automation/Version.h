#pragma once

namespace tarnwick {

// The library's version as "major.minor.patch".
const char* libraryVersion() noexcept;

}  // namespace tarnwick
