// tarnwick sample-db PATH [--rows N]: writes the Orders sample database
// (N orders, 1000 when not given) to a new file.
#include "Commands.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/engine/SampleDatabase.h>

#include <charconv>
#include <cstdio>
#include <string>

int sampleDbCommand(const std::vector<std::string_view>& args) {
  std::string_view path;
  int rows = 1000;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--rows" && i + 1 < args.size()) {
      const std::string_view n = args[++i];
      const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), rows);
      if (ec != std::errc() || end != n.data() + n.size() || rows < 0) {
        std::fprintf(stderr, "5 Invalid procedure call or argument: --rows needs a count, not %.*s\n",
                     static_cast<int>(n.size()), n.data());
        return 1;
      }
    } else if (path.empty() && !args[i].starts_with("--")) {
      path = args[i];
    } else {
      std::fprintf(stderr, "usage: tarnwick sample-db PATH [--rows N]\n");
      return 1;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: tarnwick sample-db PATH [--rows N]\n");
    return 1;
  }
  try {
    tarnwick::engine::createSampleDatabase(std::string(path), rows);
  } catch (const tarnwick::Error& e) {
    std::fprintf(stderr, "%d %s\n", e.number(), tarnwick::toUtf8(e.description()).c_str());
    return 1;
  }
  std::printf("%.*s: %d orders\n", static_cast<int>(path.size()), path.data(), rows);
  return 0;
}
