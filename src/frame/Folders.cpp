#include <tarnwick/frame/Folders.h>

#include <cstdlib>
#include <mutex>

namespace tarnwick::frame {

namespace {
std::mutex sourceLock;
std::function<Folders()>& installedSource() {
  static std::function<Folders()> source;
  return source;
}

std::filesystem::path configBase() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) return config;
  if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".config";
  return std::filesystem::temp_directory_path();
}

std::filesystem::path fromEnvironment(const char* variable, const char* fallback) {
  if (const char* value = std::getenv(variable); value && *value) return value;
  return configBase() / "tarnwick" / fallback;
}
}  // namespace

void setFolderSource(std::function<Folders()> source) {
  std::lock_guard lock(sourceLock);
  installedSource() = std::move(source);
}

std::function<Folders()> folderSource() {
  std::lock_guard lock(sourceLock);
  return installedSource();
}

Folders defaultFolders() {
  return Folders{fromEnvironment("TARNWICK_SYSTEM_DIR", "system"), fromEnvironment("TARNWICK_WINDOWS_DIR", "windows")};
}

Folders folders() {
  std::function<Folders()> source;
  {
    std::lock_guard lock(sourceLock);
    source = installedSource();
  }
  return source ? source() : defaultFolders();
}

}  // namespace tarnwick::frame
