// Text files, read whole and written whole, for the routines that keep
// texts in files.
//
// Bytes and characters: the system's code page here is UTF-8. Text access
// decodes and encodes UTF-8, so a file with accented letters reads back
// whole; a file that is not valid UTF-8 cannot be read as text, and the
// read gives "" like any failed read. Binary access keeps one character per
// byte (byte b is character U+00b), so any file round-trips; a character
// above U+00FF has no byte and is written as "?".
//
// Text output writes the text alone, with no line end after it, so that a
// file saved and read again gives back exactly the saved text. An
// end-of-file mark (character 26) has no special meaning on input.
//
// Writes replace the file whole: the new content goes to a new file that is
// renamed over the old one, so a failure leaves the old file as it was and
// a binary write never leaves an old tail behind a shorter text. A write
// through a symbolic link replaces the link's target and keeps the link.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/FileIo.h>
#include <tarnwick/frame/TextFile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::frame {

// The runtime error of a failed file operation.
std::int16_t fileError(int error) noexcept {
  switch (error) {
    case ENOENT: return errc::FileNotFound;
    case ENOTDIR: return errc::PathNotFound;
    case EISDIR:
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return errc::PathFileAccessError;
    case ENOSPC:
    case EDQUOT: return errc::DiskFull;
    case EMFILE:
    case ENFILE: return errc::TooManyFiles;
    case ENAMETOOLONG:
    case EILSEQ:
    case EINVAL: return errc::BadFileNameOrNumber;
    default: return errc::DeviceIOError;
  }
}

namespace {

using impl::Descriptor;

// The file name as the file system takes it; nullopt for a name it cannot
// hold (a NUL, or a character that UTF-8 has no bytes for).
std::optional<std::string> fileNameBytes(std::u16string_view name) {
  if (name.empty() || name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) ++i;
    else if (c >= 0xD800 && c <= 0xDFFF) return std::nullopt;
  }
  return toUtf8(name);
}

// True when `bytes` is well-formed UTF-8 (what decoding may turn back into
// the same bytes).
bool isWellFormedUtf8(std::string_view bytes) { return toUtf8(fromUtf8(bytes)) == bytes; }

std::u16string readContent(std::u16string_view fileName, bool binary) {
  const auto name = fileNameBytes(fileName);
  if (!name) return {};
  // What is not a regular file (a FIFO, a device, a folder) reads as a missing file.
  Descriptor fd(impl::openRegularFile(*name));
  if (fd.get() < 0) return {};
  std::string bytes;
  if (!impl::readWhole(fd.get(), bytes)) return {};
  if (binary) {
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<unsigned char>(bytes[i]);
    return text;
  }
  if (!isWellFormedUtf8(bytes)) return {};
  return fromUtf8(bytes);
}

std::string binaryBytes(std::u16string_view text) {
  std::string bytes(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = text[i] <= 0xFF ? static_cast<char>(text[i]) : '?';
  return bytes;
}

// Writes a file whole; the error number, or 0.
std::int16_t writeWholeFile(std::u16string_view fileName, std::string_view bytes) {
  const auto name = fileNameBytes(fileName);
  if (!name) return errc::BadFileNameOrNumber;
  const std::filesystem::path path(*name);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    // An existing file must be one we may write, as opening it for output requires.
    if (S_ISDIR(st.st_mode) || ::access(path.c_str(), W_OK) != 0) return errc::PathFileAccessError;
  } else if (errno == ENOENT) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    struct stat folderStat {};
    if (::stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode)) return errc::PathNotFound;
  } else {
    return fileError(errno);
  }
  if (const int error = impl::replaceFile(path, bytes); error != 0) return fileError(error);
  return 0;
}

// A value as the sequential print writes it: a text as it stands, a number
// with a blank before it (where a minus sign would stand) and one after it,
// a date, a boolean, Null and an error in their print forms, Empty as nothing.
std::u16string printForm(const Variant& contents) {
  const Variant value = plainValue(contents);
  switch (value.type()) {
    case VT_EMPTY: return {};
    case VT_NULL: return u"Null";
    case VT_BSTR: return std::u16string(value.text());
    case VT_ERROR: return u"Error " + numberToText(static_cast<double>(value.scode & 0xFFFF)).substr(1);
    case VT_BOOL:
    case VT_DATE: return toText(value);
    default: return numberToText(value) + u" ";
  }
}

}  // namespace

std::u16string readFile(std::u16string_view fileName, bool binary) { return readContent(fileName, binary); }

std::int16_t writeFile(std::u16string_view fileName, std::u16string_view text, bool binary) {
  return writeWholeFile(fileName, binary ? binaryBytes(text) : toUtf8(text));
}

std::int16_t printToFile(std::u16string_view fileName, const Variant& contents) {
  try {
    return writeWholeFile(fileName, toUtf8(printForm(contents)));
  } catch (const Error& e) {
    return static_cast<std::int16_t>(e.number());
  }
}

}  // namespace tarnwick::frame
