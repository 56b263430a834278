#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace tarnwick {

namespace {
// A BSTR's allocation: a 32-bit byte count, then the text, then a NUL unit.
// The pointer handed out points at the text.
constexpr std::size_t kHeader = sizeof(std::uint32_t);
// Keeps the text 8-byte aligned after the header.
constexpr std::size_t kPadding = 4;

std::uint32_t* headerOf(BSTR text) noexcept {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(text) - kHeader);
}
}  // namespace

BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length) noexcept {
  constexpr std::uint32_t kMaxUnits = (std::numeric_limits<std::uint32_t>::max() / 2) - 16;
  if (length > kMaxUnits) return nullptr;
  const std::size_t bytes = std::size_t{length} * sizeof(char16_t);
  auto* block = static_cast<char*>(std::malloc(kPadding + kHeader + bytes + sizeof(char16_t)));
  if (!block) return nullptr;
  char* start = block + kPadding;
  const auto byteCount = static_cast<std::uint32_t>(bytes);
  std::memcpy(start, &byteCount, kHeader);
  auto* units = reinterpret_cast<char16_t*>(start + kHeader);
  if (text && length) std::memcpy(units, text, bytes);
  else if (length) std::memset(units, 0, bytes);
  units[length] = u'\0';
  return units;
}

BSTR SysAllocString(const char16_t* text) noexcept {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<std::uint32_t>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text) noexcept {
  if (!text) return;
  std::free(reinterpret_cast<char*>(headerOf(text)) - kPadding);
}

std::uint32_t SysStringLen(BSTR text) noexcept {
  if (!text) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, headerOf(text), kHeader);
  return bytes / static_cast<std::uint32_t>(sizeof(char16_t));
}

BSTR allocBstr(std::u16string_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) raise(errc::OutOfMemory);
  BSTR result = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
  if (!result) raise(errc::OutOfMemory);
  return result;
}

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void appendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}
}  // namespace

std::string toUtf8(std::u16string_view text) {
  // Most texts (names, paths, SQL) are ASCII throughout, or start so: that
  // run is copied a character to a byte, without a test of capacity each.
  std::size_t ascii = 0;
  while (ascii < text.size() && text[ascii] < 0x80) ++ascii;
  std::string out(ascii, '\0');
  for (std::size_t i = 0; i < ascii; ++i) out[i] = static_cast<char>(text[i]);
  if (ascii == text.size()) return out;
  out.reserve(text.size() + text.size() / 2);
  for (std::size_t i = ascii; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
      } else {
        c = kReplacement;
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      c = kReplacement;
    }
    appendUtf8(out, c);
  }
  return out;
}

std::u16string fromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    int extra;
    char32_t cp;
    char32_t minimum;
    if (b0 < 0x80) { out.push_back(b0); ++i; continue; }
    if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1Fu; minimum = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0Fu; minimum = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07u; minimum = 0x10000; }
    else { out.push_back(static_cast<char16_t>(kReplacement)); ++i; continue; }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= text.size() || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (static_cast<unsigned char>(text[j]) & 0x3Fu);
    }
    if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      i = j;  // resume at the first byte that did not belong
      continue;
    }
    appendUtf16(out, cp);
    i = j;
  }
  return out;
}

char16_t upperCase(char16_t c) noexcept {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  // Latin-1 lower-case letters, but for the division sign and ÿ/ß which have
  // no single upper-case unit here.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  return c;
}

char16_t lowerCase(char16_t c) noexcept {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upperCase(a[i]) != upperCase(b[i])) return false;
  return true;
}

bool startsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) noexcept {
  return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace tarnwick
