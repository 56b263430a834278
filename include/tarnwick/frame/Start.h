#pragma once
// The start procedure: runs once per process, before the first instance of
// any of the library's classes serves a call, and keeps the screen's twips
// per pixel as two library-wide signed 16-bit factors, horizontal first.
#include <tarnwick/automation/Export.h>

#include <cstdint>
#include <functional>

namespace tarnwick::frame {

struct ScreenFactors {
  std::int16_t twipsPerPixelX = 15;
  std::int16_t twipsPerPixelY = 15;
};

// Where the start procedure reads the screen's factors: a host installs
// its screen here before the first call. Without one, the factors of a
// 96-dots-per-inch screen (15 twips per pixel) apply.
TARNWICK_API void setScreenFactorSource(std::function<ScreenFactors()> source);

// Runs the start procedure if it has not run yet in this process.
TARNWICK_API void ensureStarted();
// True once the start procedure has run in this process.
TARNWICK_API bool hasStarted() noexcept;
// The factors the start procedure read; they stay fixed for the process's life.
TARNWICK_API const ScreenFactors& screenFactors();

}  // namespace tarnwick::frame
