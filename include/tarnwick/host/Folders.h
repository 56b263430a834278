#pragma once
// The two folders standing for the platform's system folder and Windows
// folder (the settings folder, where an INI file name that is not a full
// path lives). The headless service takes them from the environment:
// $TARNWICK_WINDOWS_DIR, else $XDG_CONFIG_HOME/tarnwick/windows (or
// ~/.config/tarnwick/windows); $TARNWICK_SYSTEM_DIR, else
// $XDG_CONFIG_HOME/tarnwick/system.
#include <tarnwick/automation/Export.h>

#include <filesystem>

namespace tarnwick::host {

class TARNWICK_API Folders {
 public:
  virtual ~Folders() = default;
  virtual std::filesystem::path systemFolder() const = 0;
  virtual std::filesystem::path windowsFolder() const = 0;
};

// Reads the environment at each call, so a changed variable takes effect.
class TARNWICK_API EnvironmentFolders final : public Folders {
 public:
  std::filesystem::path systemFolder() const override;
  std::filesystem::path windowsFolder() const override;
};

// Two fixed folders, for clients and tests that choose their own.
class TARNWICK_API FixedFolders final : public Folders {
 public:
  FixedFolders(std::filesystem::path system, std::filesystem::path windows)
      : system_(std::move(system)), windows_(std::move(windows)) {}
  std::filesystem::path systemFolder() const override { return system_; }
  std::filesystem::path windowsFolder() const override { return windows_; }

 private:
  std::filesystem::path system_, windows_;
};

}  // namespace tarnwick::host
