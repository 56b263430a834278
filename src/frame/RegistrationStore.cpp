#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/RegistrationStore.h>

#include <tarnwick/frame/FileIo.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tarnwick::frame {

bool CaseInsensitiveLess::operator()(const std::u16string& a, const std::u16string& b) const noexcept {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = upperCase(a[i]);
    const char16_t y = upperCase(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

std::optional<std::u16string> StoreContents::value(std::u16string_view key, std::u16string_view name) const {
  const auto k = keys.find(std::u16string(key));
  if (k == keys.end()) return std::nullopt;
  const auto v = k->second.find(std::u16string(name));
  if (v == k->second.end()) return std::nullopt;
  return v->second;
}

void StoreContents::set(std::u16string_view key, std::u16string_view name, std::u16string_view value) {
  keys[std::u16string(key)][std::u16string(name)] = std::u16string(value);
}

void StoreContents::removeTree(std::u16string_view key) {
  const std::u16string prefix = std::u16string(key) + u"\\";
  for (auto it = keys.begin(); it != keys.end();) {
    const bool below = it->first.size() >= prefix.size() && equalsIgnoreCase(std::u16string_view(it->first).substr(0, prefix.size()), prefix);
    if (equalsIgnoreCase(it->first, key) || below) it = keys.erase(it);
    else ++it;
  }
}

namespace {

std::string escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

bool unescape(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

[[noreturn]] void throwFileError(int error, const std::filesystem::path& path) {
  const std::u16string name = fromUtf8(path.string());
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: raise(Error(errc::PermissionDenied, standardDescription(errc::PermissionDenied) + u": " + name));
    case ENOENT:
    case ENOTDIR: raise(Error(errc::PathNotFound, standardDescription(errc::PathNotFound) + u": " + name));
    case ENOSPC: raise(Error(errc::DiskFull, standardDescription(errc::DiskFull) + u": " + name));
    default: raise(Error(errc::PathFileAccessError, standardDescription(errc::PathFileAccessError) + u": " + name));
  }
}

}  // namespace

StoreContents RegistrationStore::parse(std::string_view text) {
  StoreContents contents;
  StoreContents::Values* current = nullptr;
  std::string value;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool cutShort = end == std::string_view::npos;
    if (cutShort) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    // A last line without its line end may have been cut off mid-write.
    if (cutShort) {
      ++contents.damagedLines;
      break;
    }
    if (line.front() == '[') {
      if (line.size() < 3 || line.back() != ']') {
        ++contents.damagedLines;
        current = nullptr;
        continue;
      }
      current = &contents.keys[fromUtf8(line.substr(1, line.size() - 2))];
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!current || equals == std::string_view::npos || !unescape(line.substr(equals + 1), value)) {
      ++contents.damagedLines;
      continue;
    }
    std::string_view name = line.substr(0, equals);
    if (name == "@") name = {};
    (*current)[fromUtf8(name)] = fromUtf8(value);
  }
  return contents;
}

std::string RegistrationStore::serialise(const StoreContents& contents) {
  std::string out = "# Tarnwick registration store: keys in brackets, then name=value (@ is the default value).\n";
  for (const auto& [key, values] : contents.keys) {
    out += '[';
    out += toUtf8(key);
    out += "]\n";
    for (const auto& [name, value] : values) {
      out += name.empty() ? std::string("@") : toUtf8(name);
      out += '=';
      out += escape(toUtf8(value));
      out += '\n';
    }
  }
  return out;
}

std::filesystem::path RegistrationStore::defaultPath() {
  if (const char* explicitPath = std::getenv("TARNWICK_REGISTRY"); explicitPath && *explicitPath)
    return explicitPath;
  std::filesystem::path base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) base = config;
  else if (const char* home = std::getenv("HOME"); home && *home) base = std::filesystem::path(home) / ".config";
  else base = std::filesystem::temp_directory_path();
  return base / "tarnwick" / "registry.txt";
}

RegistrationStore::RegistrationStore(std::filesystem::path path) : path_(std::move(path)) {}

StoreContents RegistrationStore::read() const {
  impl::Descriptor in(impl::openRegularFile(path_));
  std::string text;
  if (in.get() < 0 || !impl::readWhole(in.get(), text)) return {};
  return parse(text);
}

void RegistrationStore::update(const std::function<void(StoreContents&)>& change) const {
  std::error_code ec;
  if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
  std::filesystem::path lockPath = path_;
  lockPath += ".lock";
  impl::Descriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (lock.get() < 0) throwFileError(errno, lockPath);
  while (::flock(lock.get(), LOCK_EX) != 0)
    if (errno != EINTR) throwFileError(errno, lockPath);

  StoreContents contents = read();
  change(contents);
  const std::string text = serialise(contents);

  if (const int error = impl::replaceFile(path_, text); error != 0) throwFileError(error, path_);
  // The lock is released when its handle closes.
}

}  // namespace tarnwick::frame
