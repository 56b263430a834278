#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Folders.h>
#include <tarnwick/frame/Profile.h>

#include <tarnwick/frame/FileIo.h>
#include <tarnwick/frame/LruCache.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace tarnwick::frame {

namespace {

namespace fs = std::filesystem;
using impl::Descriptor;
using impl::readWhole;

bool isBlank(char16_t c) noexcept { return c == u' ' || c == u'\t'; }

std::u16string_view trim(std::u16string_view text) noexcept {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A value enclosed in a matching pair of double or single quotes reads
// without them, the blanks inside kept; a lone or unmatched quote stays.
std::u16string_view unquoted(std::u16string_view value) noexcept {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// One line of the file: its bytes as they stand, its line end, and what it
// means.
struct Line {
  enum class Kind { Other, Section, Key };
  std::string bytes;
  std::string end;  // "\r\n", "\n" or "" for a last line without one
  Kind kind = Kind::Other;
  std::u16string name;   // section or key name, trimmed
  std::u16string value;  // a key's value, trimmed and unquoted
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::vector<Line> splitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    Line line;
    if (end == std::string_view::npos) {
      line.bytes.assign(text.substr(start));
      start = text.size();
    } else {
      const bool crlf = end > start && text[end - 1] == '\r';
      line.bytes.assign(text.substr(start, end - start - (crlf ? 1 : 0)));
      line.end = crlf ? "\r\n" : "\n";
      start = end + 1;
    }
    std::string_view content = line.bytes;
    if (lines.empty() && content.starts_with(kByteOrderMark)) content.remove_prefix(kByteOrderMark.size());
    const std::u16string decoded = fromUtf8(content);
    const std::u16string_view t = trim(decoded);
    if (!t.empty() && t.front() == u'[') {
      // The name runs to the closing bracket, or to the end of the line.
      const std::size_t close = t.find(u']');
      line.kind = Line::Kind::Section;
      line.name = trim(t.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1));
    } else if (!t.empty() && t.front() != u';') {
      if (const std::size_t equals = t.find(u'='); equals != std::u16string_view::npos) {
        line.kind = Line::Kind::Key;
        line.name = trim(t.substr(0, equals));
        line.value = unquoted(trim(t.substr(equals + 1)));
      }
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// The parsed form that reads use.
std::u16string folded(std::u16string_view name) {
  std::u16string out(name);
  for (char16_t& c : out) c = upperCase(c);
  return out;
}

struct Parsed {
  struct Section {
    std::u16string name;
    std::vector<std::pair<std::u16string, std::u16string>> keys;
    // Letter-case-folded key to its first value, so a read does not walk
    // the section.
    std::unordered_map<std::u16string, std::size_t> index;

    const std::u16string* value(std::u16string_view key) const {
      const auto it = index.find(folded(key));
      return it == index.end() ? nullptr : &keys[it->second].second;
    }
  };
  std::vector<Section> sections;
  std::unordered_map<std::u16string, std::size_t> sectionIndex;  // first section of a name

  const Section* find(std::u16string_view name) const {
    const auto it = sectionIndex.find(folded(name));
    return it == sectionIndex.end() ? nullptr : &sections[it->second];
  }
};

Parsed parse(const std::vector<Line>& lines) {
  Parsed parsed;
  Parsed::Section* current = nullptr;
  for (const Line& line : lines) {
    if (line.kind == Line::Kind::Section) {
      parsed.sectionIndex.emplace(folded(line.name), parsed.sections.size());
      parsed.sections.push_back(Parsed::Section{line.name, {}, {}});
      current = &parsed.sections.back();
    } else if (line.kind == Line::Kind::Key && current) {
      current->index.emplace(folded(line.name), current->keys.size());
      current->keys.emplace_back(line.name, line.value);
    }
  }
  return parsed;
}

// Parsed files, kept while the file stays as it was. The cache is bounded:
// a program that reads many files, or one huge file, keeps at most
// kCachedFiles parsed files of about kCachedBytes together; a file whose
// parsed form alone is larger is read again each time.
struct CacheEntry {
  ino_t inode;
  off_t size;
  struct timespec modified;
  std::shared_ptr<const Parsed> parsed;
};
constexpr std::size_t kCachedFiles = 64;
constexpr std::size_t kCachedBytes = 16 * 1024 * 1024;
std::mutex cacheLock;
impl::LruCache<std::string, CacheEntry>& cache() {
  static impl::LruCache<std::string, CacheEntry> entries(kCachedFiles, kCachedBytes);
  return entries;
}

// What a parsed file holds in memory, near enough: its texts in UTF-16 and
// the strings, vectors and index nodes around each name.
std::size_t parsedBytes(const Parsed& parsed, std::size_t fileSize) {
  constexpr std::size_t kPerName = 160;
  std::size_t names = parsed.sections.size();
  for (const auto& section : parsed.sections) names += section.keys.size();
  return 2 * fileSize + kPerName * names;
}

bool sameFile(const CacheEntry& e, const struct stat& st) noexcept {
  return e.inode == st.st_ino && e.size == st.st_size && e.modified.tv_sec == st.st_mtim.tv_sec &&
         e.modified.tv_nsec == st.st_mtim.tv_nsec;
}

// The file an INI name denotes, as the text the system calls take: reads
// come on every routine that keeps a setting, so an absolute name is used
// as it is, with no path object made and split for it.
std::string profileFileName(std::u16string_view file) {
  std::string named = toUtf8(file);
  if (named.starts_with('/')) return named;
  std::string folder = folders().windows.native();
  if (!folder.empty() && !folder.ends_with('/')) folder += '/';
  return folder + named;
}

// The parsed file, or nullptr when there is no readable file.
std::shared_ptr<const Parsed> load(const std::string& path) {
  // An unchanged file is served from its parsed copy with one look at the
  // file's status, without opening it.
  struct stat seen {};
  if (::stat(path.c_str(), &seen) != 0 || !S_ISREG(seen.st_mode)) return nullptr;
  {
    std::lock_guard lock(cacheLock);
    if (const CacheEntry* kept = cache().find(path); kept && sameFile(*kept, seen)) return kept->parsed;
  }
  Descriptor fd(impl::openRegularFile(path));
  if (fd.get() < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return nullptr;
  std::string text;
  if (!readWhole(fd.get(), text)) return nullptr;
  auto parsed = std::make_shared<const Parsed>(parse(splitLines(text)));
  std::lock_guard lock(cacheLock);
  cache().insert(path, CacheEntry{st.st_ino, st.st_size, st.st_mtim, parsed},
                 parsedBytes(*parsed, text.size()));
  return parsed;
}

// A list of names, each followed by a NUL, cut to fit a buffer of `size`
// as the platform does (the count is then size - 2).
ProfileRead nameList(const std::vector<std::u16string>& names, std::uint32_t size) {
  std::u16string list;
  for (const std::u16string& n : names) {
    list += n;
    list += u'\0';
  }
  if (size < 2) return {};
  if (list.size() > size - 2) list.resize(size - 2);
  const auto count = static_cast<std::uint32_t>(list.size());
  return ProfileRead{std::move(list), count};
}

// Texts the file cannot hold on one line as what they are.
bool fitsOneLine(std::u16string_view text) noexcept {
  return text.find(u'\n') == std::u16string_view::npos && text.find(u'\r') == std::u16string_view::npos &&
         text.find(u'\0') == std::u16string_view::npos;
}
bool isWritableSection(std::u16string_view name) noexcept {
  return fitsOneLine(name) && name.find(u']') == std::u16string_view::npos && trim(name) == name;
}
bool isWritableKey(std::u16string_view name) noexcept {
  return fitsOneLine(name) && name.find(u'=') == std::u16string_view::npos && trim(name) == name &&
         !name.empty() && name.front() != u'[' && name.front() != u';';
}

// Gives a last line without a line end one, before a line is added after
// it. A last line that ends in a carriage return alone gets only the line
// feed: a whole "\r\n" after it would leave a stray "\r" in the line.
void endLine(Line& line, const std::string& newline) {
  if (!line.end.empty()) return;
  line.end = line.bytes.ends_with('\r') ? "\n" : newline;
}

// Applies one write to the lines; false when nothing changes.
bool edit(std::vector<Line>& lines, std::u16string_view section, OptionalText key, OptionalText value,
          const std::string& newline) {
  std::size_t header = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].kind == Line::Kind::Section && equalsIgnoreCase(lines[i].name, section)) {
      header = i;
      break;
    }
  std::size_t end = header == lines.size() ? lines.size() : header + 1;
  while (end < lines.size() && lines[end].kind != Line::Kind::Section) ++end;

  if (!key) {  // delete the whole section
    if (header == lines.size()) return false;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header), lines.begin() + static_cast<std::ptrdiff_t>(end));
    return true;
  }
  std::size_t found = lines.size();
  if (header != lines.size())
    for (std::size_t i = header + 1; i < end; ++i)
      if (lines[i].kind == Line::Kind::Key && equalsIgnoreCase(lines[i].name, *key)) {
        found = i;
        break;
      }
  if (!value) {
    // Deleting a key takes out every line of it in its section: reads give
    // the first, so a second one left would read as if nothing were deleted.
    if (found == lines.size()) return false;
    const auto isKey = [&](const Line& line) {
      return line.kind == Line::Kind::Key && equalsIgnoreCase(line.name, *key);
    };
    lines.erase(std::remove_if(lines.begin() + static_cast<std::ptrdiff_t>(found),
                               lines.begin() + static_cast<std::ptrdiff_t>(end), isKey),
                lines.begin() + static_cast<std::ptrdiff_t>(end));
    return true;
  }
  if (found != lines.size()) {
    // The key keeps its place and its own spelling.
    std::string replaced = toUtf8(lines[found].name);
    replaced += '=';
    replaced += toUtf8(*value);
    lines[found].bytes = std::move(replaced);
    if (lines[found].end.empty()) lines[found].end = newline;
    return true;
  }
  Line entry;
  entry.bytes = toUtf8(*key);
  entry.bytes += '=';
  entry.bytes += toUtf8(*value);
  entry.end = newline;
  entry.kind = Line::Kind::Key;
  if (header != lines.size()) {
    // A new key goes after the last non-blank line of its section.
    std::size_t at = end;
    while (at > header + 1 && trim(fromUtf8(lines[at - 1].bytes)).empty()) --at;
    endLine(lines[at - 1], newline);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    return true;
  }
  if (!lines.empty()) endLine(lines.back(), newline);
  Line sectionLine;
  sectionLine.bytes = "[";
  sectionLine.bytes += toUtf8(section);
  sectionLine.bytes += ']';
  sectionLine.end = newline;
  sectionLine.kind = Line::Kind::Section;
  lines.push_back(std::move(sectionLine));
  lines.push_back(std::move(entry));
  return true;
}

// Writers of INI files in one folder take turns on a lock of the folder
// itself: it stays the same object while files in it are replaced, so no
// writer can be overtaken for ever, and it leaves no lock files behind.
int lockFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

std::int32_t write(std::u16string_view section, OptionalText key, OptionalText value, std::u16string_view file) {
  if (!isWritableSection(section) || (key && !isWritableKey(*key)) || (value && !fitsOneLine(*value))) return 0;
  const fs::path path = profileFileName(file);
  std::error_code ec;
  const bool exists = fs::exists(path, ec);
  if (!exists && (!key || !value)) return 1;  // nothing to delete
  if (!exists && !fs::path(toUtf8(file)).is_absolute()) fs::create_directories(path.parent_path(), ec);
  // Writers through different links to one file take turns on the folder
  // the file itself is in.
  fs::path target;
  if (!impl::followLinks(path, target)) return 0;
  Descriptor folderLock(lockFolder(target.parent_path()));
  if (folderLock.get() < 0) return 0;
  std::string text;
  {
    Descriptor fd(impl::openRegularFile(target));
    if (fd.get() >= 0) {
      if (!readWhole(fd.get(), text)) return 0;
    } else if (errno != ENOENT) {
      return 0;
    }
  }
  std::vector<Line> lines = splitLines(text);
  std::string newline = "\r\n";
  for (const Line& line : lines)
    if (!line.end.empty()) {
      newline = line.end;
      break;
    }
  if (!edit(lines, section, key, value, newline)) return 1;
  std::string out;
  out.reserve(text.size() + 64);
  for (const Line& line : lines) {
    out += line.bytes;
    out += line.end;
  }
  if (impl::replaceFile(path, out) != 0) return 0;
  std::lock_guard lock(cacheLock);
  cache().erase(path.string());
  return 1;
}

}  // namespace

fs::path profilePath(std::u16string_view file) { return profileFileName(file); }

ProfileRead readProfileString(OptionalText section, OptionalText key, std::u16string_view defaultValue,
                              std::uint32_t size, std::u16string_view file) {
  if (size == 0) return {};
  const std::shared_ptr<const Parsed> parsed = load(profileFileName(file));
  if (!section) {
    std::vector<std::u16string> names;
    if (parsed)
      for (const auto& s : parsed->sections) names.push_back(s.name);
    return nameList(names, size);
  }
  const Parsed::Section* found = parsed ? parsed->find(*section) : nullptr;
  if (!key) {
    std::vector<std::u16string> names;
    if (found)
      for (const auto& [name, value] : found->keys) names.push_back(name);
    return nameList(names, size);
  }
  std::u16string value(defaultValue);
  if (found)
    if (const std::u16string* stored = found->value(*key)) value = *stored;
  if (value.size() > size - 1) value.resize(size - 1);
  const auto count = static_cast<std::uint32_t>(value.size());
  return ProfileRead{std::move(value), count};
}

std::int32_t writeProfileString(OptionalText section, OptionalText key, OptionalText value,
                                std::u16string_view file) noexcept {
  try {
    if (!section) return 0;
    return write(*section, key, value, file);
  } catch (...) {
    return 0;
  }
}

}  // namespace tarnwick::frame

namespace tarnwick::frame {

std::u16string iniRead(OptionalText section, OptionalText key, std::u16string_view file) {
  // The platform's buffer holds 500 characters; the value is cut at the count.
  ProfileRead read = readProfileString(section, key, u"", 500, file);
  if (read.count == 0) return {};
  read.buffer.resize(read.count);
  return std::move(read.buffer);
}

std::int32_t iniWrite(OptionalText section, OptionalText key, OptionalText value, std::u16string_view file) noexcept {
  return writeProfileString(section, key, value, file);
}

}  // namespace tarnwick::frame
