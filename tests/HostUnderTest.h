#pragma once
// Which host the form and control tests run on. The same tests run on the
// headless host and on the Qt host (whose main sets the flag); a test asks
// only where it checks something that belongs to one host alone.
namespace tarnwick::testing {

inline bool& qtHostFlag() noexcept {
  static bool onQt = false;
  return onQt;
}

// True when Form::create builds real Qt widgets in this test program.
inline bool onQtHost() noexcept { return qtHostFlag(); }
inline void setOnQtHost(bool on) noexcept { qtHostFlag() = on; }

}  // namespace tarnwick::testing
