#include "ClipboardRows.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <cmath>

namespace tarnwick::ocx {

namespace {

// Writes `value` (0 ... 9999) as exactly `width` digits, zeros leading, and
// returns the end.
char16_t* putDigits(char16_t* at, int value, int width) noexcept {
  for (char16_t* p = at + width; p != at; value /= 10) *--p = static_cast<char16_t>(u'0' + value % 10);
  return at + width;
}

// "yyyy-mm-dd", and " hh:mm:ss" unless the time is midnight.
void appendDate(std::u16string& out, DATE serial) {
  const DateParts d = splitDate(serial);
  char16_t text[19];
  char16_t* p = putDigits(text, d.year, 4);
  *p++ = u'-';
  p = putDigits(p, d.month, 2);
  *p++ = u'-';
  p = putDigits(p, d.day, 2);
  if (d.hour != 0 || d.minute != 0 || d.second != 0) {
    *p++ = u' ';
    p = putDigits(p, d.hour, 2);
    *p++ = u':';
    p = putDigits(p, d.minute, 2);
    *p++ = u':';
    p = putDigits(p, d.second, 2);
  }
  out.append(text, static_cast<std::size_t>(p - text));
}

}  // namespace

void appendCopyText(std::u16string& out, const Variant& value) {
  Variant followed;
  const Variant* p = &value;
  if (value.type() & VT_BYREF) p = &(followed = value.value());
  const Variant& plain = *p;
  switch (plain.type()) {
    case VT_NULL:
    case VT_EMPTY: return;
    case VT_DATE: return appendDate(out, plain.VARIANT::date);
    case VT_BSTR: {
      const std::u16string_view text = plain.text();
      if (isNumericText(text)) out += numberToText(parseNumber(text));
      else if (const auto date = tryParseDate(text)) appendDate(out, *date);
      else out += text;
      return;
    }
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_BOOL: return appendNumberText(out, plain);
    default:
      // An object stands for its default value, which may be a number.
      if ((plain.type() == VT_DISPATCH || plain.type() == VT_UNKNOWN) && isNumeric(plain)) appendNumberText(out, plain);
      else appendText(out, plain);
  }
}

std::size_t PasteCells::nextOf(std::size_t& cache, char16_t c) const noexcept {
  if (cache != std::u16string_view::npos && cache < pos_) cache = text_.find(c, pos_);
  return cache;
}

PasteCells::Cell PasteCells::next(bool firstOfRecord) {
  constexpr auto none = std::u16string_view::npos;
  const std::size_t t = nextOf(tab_, u'\t');
  const std::size_t r = nextOf(cr_, u'\r');
  const std::size_t start = pos_;
  if (firstOfRecord) {
    if (t == none) raise(errc::InvalidProcedureCall);
    pos_ = t + 1;
    return {text_.substr(start, t - start), false};
  }
  if (t == none) {
    // The last cell ends at the carriage return; the text stays where it is.
    if (r == none) raise(errc::InvalidProcedureCall);
    return {text_.substr(start, r - start), true};
  }
  if (r == none) raise(errc::InvalidProcedureCall);  // a tab but no carriage return left
  const std::size_t end = r < t ? r : t;
  pos_ = end + 1;
  return {text_.substr(start, end - start), false};
}

namespace {

// A cell in the copy's own form of a number: the number-to-text rule's blank
// or minus, digits with a point, an exponent (" .5", "-1.5E-07"). Under a
// locale whose decimal separator is not the point, the numeric test refuses
// " .5" (a thousands separator may not lead), yet the copy wrote it.
// Blanks after it are allowed, as the numeric test allows them: otherwise
// ".5 " would paste as the text ".5", whose copy pastes back as a number.
bool isCopiedNumber(std::u16string_view cell) noexcept {
  while (!cell.empty() && cell.back() == u' ') cell.remove_suffix(1);
  std::size_t i = 0;
  if (i < cell.size() && (cell[i] == u' ' || cell[i] == u'-')) ++i;
  const auto digits = [&] {
    const std::size_t from = i;
    while (i < cell.size() && cell[i] >= u'0' && cell[i] <= u'9') ++i;
    return i - from;
  };
  std::size_t mantissa = digits();
  if (i < cell.size() && cell[i] == u'.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < cell.size() && cell[i] == u'E') {
    ++i;
    if (i < cell.size() && (cell[i] == u'+' || cell[i] == u'-')) ++i;
    if (digits() == 0) return false;
  }
  return i == cell.size();
}

}  // namespace

std::optional<Variant> pasteValue(std::u16string_view cell, frame::FieldType fieldType) {
  if (fieldType == frame::FieldType::Date) {
    if (const auto date = tryParseDate(cell)) return Variant::date(std::trunc(*date));
  }
  if ((fieldType != frame::FieldType::Text && isNumericText(cell)) || fieldType == frame::FieldType::Boolean)
    return Variant(leadingNumber(cell));
  if (fieldType != frame::FieldType::Text && isCopiedNumber(cell)) {
    try {
      return Variant(leadingNumber(cell));
    } catch (const Error&) {
      // Beyond a double ("1E999"): no number the copy wrote, and the engine judges the text.
    }
  }
  if (cell.empty()) return std::nullopt;
  const std::size_t end = cell.find_last_not_of(u' ');
  return Variant(cell.substr(0, end == std::u16string_view::npos ? 0 : end + 1));
}

void requireDeleteAllSource(std::u16string_view recordSource) {
  if (recordSource.find(u"tbl") == std::u16string_view::npos) raise(errc::InvalidProcedureCall);
}

}  // namespace tarnwick::ocx
