#pragma once
// The registration store: a text file of keys and named values, in the
// shape of the platform's class registry. Keys are paths such as
// "CLSID\{...}\InprocServer32"; the value named "" is the key's default.
// Key paths and value names are found without regard to letter case.
//
// The file is read whole and written whole: a new file is written beside
// it and renamed over it, under an exclusive lock on a companion lock file,
// so a crash never leaves half a file and processes that register at the
// same time do not lose each other's entries. A damaged file (truncated or
// garbled lines) is read as far as it makes sense, the damage is reported,
// and the next write replaces it whole.
#include <tarnwick/automation/Export.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::frame {

struct TARNWICK_API CaseInsensitiveLess {
  bool operator()(const std::u16string& a, const std::u16string& b) const noexcept;
};

struct TARNWICK_API StoreContents {
  using Values = std::map<std::u16string, std::u16string, CaseInsensitiveLess>;
  std::map<std::u16string, Values, CaseInsensitiveLess> keys;
  // Lines that could not be read, and whether the last line was cut short.
  std::size_t damagedLines = 0;

  std::optional<std::u16string> value(std::u16string_view key, std::u16string_view name = {}) const;
  void set(std::u16string_view key, std::u16string_view name, std::u16string_view value);
  // Removes the key and every key below it.
  void removeTree(std::u16string_view key);
};

class TARNWICK_API RegistrationStore {
 public:
  // $TARNWICK_REGISTRY when set; else registry.txt in $XDG_CONFIG_HOME/tarnwick
  // (or ~/.config/tarnwick).
  static std::filesystem::path defaultPath();

  explicit RegistrationStore(std::filesystem::path path = defaultPath());
  const std::filesystem::path& path() const noexcept { return path_; }

  // The store as it is on disk (empty when there is no file yet).
  StoreContents read() const;
  // Reads, lets `change` edit, and writes the result whole, all under the
  // store's lock. Throws Error (75, 70) when the file cannot be written.
  void update(const std::function<void(StoreContents&)>& change) const;

  static StoreContents parse(std::string_view text);
  static std::string serialise(const StoreContents& contents);

 private:
  std::filesystem::path path_;
};

}  // namespace tarnwick::frame
