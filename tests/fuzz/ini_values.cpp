// The INI reader and writer on real files: whatever a file holds, a value
// written reads back (trimmed and unquoted, as reads give values), a deleted
// key reads as nothing, and every line the write did not have to touch stays
// byte for byte, in order.
#include "FuzzInput.h"

#include <tarnwick/frame/Profile.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

using namespace tarnwick;

namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines of a file without their line ends.
std::vector<std::string> linesOf(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

// What a read gives for a value that was written.
std::u16string asRead(std::u16string_view value) {
  value = trimmed(value);
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::u16string(value.substr(0, 499));
}

// The key a line sets, when it is a key line.
std::optional<std::u16string> keyOf(const std::string& line) {
  const std::u16string text = fromUtf8(line);
  const std::u16string_view t = trimmed(text);
  if (t.empty() || t.front() == u';' || t.front() == u'[') return std::nullopt;
  const std::size_t equals = t.find(u'=');
  if (equals == std::u16string_view::npos) return std::nullopt;
  return std::u16string(trimmed(t.substr(0, equals)));
}

// The old lines reappear in order; the write may change one of them (the
// key's own line), add the key's line and a section header, or take the
// key's lines out.
void checkOtherLines(const std::string& before, const std::string& after, const std::u16string& section,
                     const std::u16string& key, bool deleted) {
  const std::vector<std::string> was = linesOf(before);
  const std::vector<std::string> now = linesOf(after);
  const auto setsKey = [&](const std::string& line) {
    const auto name = keyOf(line);
    return name && equalsIgnoreCase(*name, key);
  };
  const std::string header = "[" + toUtf8(section) + "]";
  std::size_t i = 0, j = 0, changed = 0;
  while (i < was.size() || j < now.size()) {
    if (i < was.size() && j < now.size() && was[i] == now[j]) {
      ++i, ++j;
    } else if (!deleted && j < now.size() && setsKey(now[j]) && i < was.size() && setsKey(was[i])) {
      ++i, ++j, ++changed;  // the key's line, written anew
    } else if (!deleted && j < now.size() && (setsKey(now[j]) || now[j] == header)) {
      ++j, ++changed;  // the key's line or its section, added
    } else if (deleted && i < was.size() && setsKey(was[i])) {
      ++i, ++changed;  // the key's line, taken out
    } else {
      fuzz::fail("a line the write did not have to touch changed", fromUtf8(before + "\n----\n" + after));
    }
  }
  // A deletion takes out every line of the key in its section; a write
  // changes or adds the key's line and perhaps its section's header.
  fuzz::check(deleted || changed <= 2, "the write changed more than the key and its section", fromUtf8(after));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::size_t counter = 0;
  fuzz::Input input(data, size);
  const bool deleting = input.byte() & 1;
  const std::u16string section = input.textLine();
  const std::u16string key = input.textLine();
  const std::u16string value = input.textLine();
  const std::string before(input.rest());

  const std::filesystem::path path = fuzz::scratchFolder() / ("values-" + std::to_string(++counter) + ".ini");
  std::ofstream(path, std::ios::binary) << before;
  const std::u16string file = fromUtf8(path.string());
  // Read once first, so that the write must replace what reads keep of the file.
  (void)frame::iniRead(section, key, file);

  const frame::OptionalText written = deleting ? frame::OptionalText() : frame::OptionalText(value);
  if (frame::iniWrite(section, key, written, file) != 0) {
    const std::string after = readFile(path);
    const std::u16string read = frame::iniRead(section, key, file);
    if (deleting) {
      fuzz::check(read.empty(), "a deleted key still reads", fromUtf8(after));
    } else {
      fuzz::check(read == asRead(value), "a written value does not read back", read + u" / " + fromUtf8(after));
    }
    checkOtherLines(before, after, section, key, deleting);
  } else {
    fuzz::check(readFile(path) == before, "a refused write changed the file");
  }
  std::filesystem::remove(path);
  return 0;
}
