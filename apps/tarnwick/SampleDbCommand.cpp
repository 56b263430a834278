// tarnwick sample-db PATH|URI [--rows N]: writes the Orders sample database
// (N orders, 1000 when not given) to a new file, or into a server's database
// (postgresql://...) that holds no tables yet. What it prints names the
// database as the engine shows it: never with the URI's password.
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
      std::fprintf(stderr, "usage: tarnwick sample-db PATH|URI [--rows N]\n");
      return 1;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: tarnwick sample-db PATH|URI [--rows N]\n");
    return 1;
  }
  std::u16string shown;
  try {
    shown = tarnwick::engine::createSampleDatabase(std::string(path), rows);
  } catch (const tarnwick::Error& e) {
    return fail(e);
  }
  std::printf("%s: %d orders\n", tarnwick::toUtf8(shown).c_str(), rows);
  return 0;
}
