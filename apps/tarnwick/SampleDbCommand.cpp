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
        return fail(tarnwick::Error(tarnwick::errc::InvalidProcedureCall)
                        .noted(u"--rows needs a count, not " + tarnwick::quotedName(tarnwick::fromUtf8(n))));
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
    return fail(e);
  }
  std::printf("%.*s: %d orders\n", static_cast<int>(path.size()), path.data(), rows);
  return 0;
}
