#pragma once
// The stacking order of top-level windows, by window handle: which windows
// stay on top of all others, and in what order they lie.
#include <tarnwick/automation/Export.h>

#include <cstdint>
#include <mutex>
#include <vector>

namespace tarnwick::host {

inline constexpr std::int32_t HWND_TOP = 0, HWND_BOTTOM = 1, HWND_TOPMOST = -1, HWND_NOTOPMOST = -2;
inline constexpr std::uint32_t SWP_NOSIZE = 1, SWP_NOMOVE = 2, SWP_NOZORDER = 4;

class TARNWICK_API WindowStack {
 public:
  virtual ~WindowStack() = default;
  // A window comes into being (on top of its layer) or goes away.
  virtual void addWindow(std::int32_t handle) = 0;
  virtual void removeWindow(std::int32_t handle) = 0;
  // Changes a window's place in the stacking order, as the platform's
  // window-position call does with `insertAfter` one of the HWND_ values or
  // another window's handle. Position and size are the window's own
  // business (its form's Move); this service only orders windows. False for
  // an unknown handle or insert-after window; nothing changes then.
  virtual bool setWindowPos(std::int32_t handle, std::int32_t insertAfter, std::int32_t x, std::int32_t y,
                            std::int32_t cx, std::int32_t cy, std::uint32_t flags) = 0;
  virtual bool isTopmost(std::int32_t handle) const = 0;
  // The windows from the top of the stack down.
  virtual std::vector<std::int32_t> order() const = 0;
};

class TARNWICK_API HeadlessWindowStack final : public WindowStack {
 public:
  void addWindow(std::int32_t handle) override;
  void removeWindow(std::int32_t handle) override;
  bool setWindowPos(std::int32_t handle, std::int32_t insertAfter, std::int32_t x, std::int32_t y, std::int32_t cx,
                    std::int32_t cy, std::uint32_t flags) override;
  bool isTopmost(std::int32_t handle) const override;
  std::vector<std::int32_t> order() const override;

 private:
  struct Window {
    std::int32_t handle;
    bool topmost;
  };
  // Topmost windows always stand before the others.
  void place(Window window, std::size_t at);
  mutable std::mutex mutex_;
  std::vector<Window> windows_;
};

}  // namespace tarnwick::host
