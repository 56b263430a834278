#pragma once
// The two folders that stand for the platform's system folder and Windows
// folder. The Windows folder is also the settings folder: an INI file name
// that is not a full path denotes a file there.
//
// Defaults: $TARNWICK_WINDOWS_DIR, else $XDG_CONFIG_HOME/tarnwick/windows
// (~/.config/tarnwick/windows); $TARNWICK_SYSTEM_DIR, else
// $XDG_CONFIG_HOME/tarnwick/system. A host may install its own source.
#include <tarnwick/automation/Export.h>

#include <filesystem>
#include <functional>

namespace tarnwick::frame {

struct Folders {
  std::filesystem::path system;
  std::filesystem::path windows;
};

TARNWICK_API void setFolderSource(std::function<Folders()> source);
// The source installed now (empty when none), so that it can be put back.
TARNWICK_API std::function<Folders()> folderSource();
// The folders as the environment gives them, without a host's source.
TARNWICK_API Folders defaultFolders();
// The current folders (the host's source when one is installed).
TARNWICK_API Folders folders();

}  // namespace tarnwick::frame
