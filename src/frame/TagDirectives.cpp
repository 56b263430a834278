#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/TagDirectives.h>

namespace tarnwick::frame::tags {

namespace {

constexpr std::size_t npos = std::u16string_view::npos;

// The characters from `start` (0-based) for `length` characters. A negative
// length is error 5; a start beyond the end gives "".
std::u16string cut(std::u16string_view tag, std::size_t start, long long length) {
  if (length < 0) raise(errc::InvalidProcedureCall);
  if (start >= tag.size()) return {};
  return std::u16string(tag.substr(start, static_cast<std::size_t>(length)));
}

// 1-based position of `what` at or after 1-based `from`, 0 when absent.
long long find(std::u16string_view tag, std::u16string_view what, long long from = 1) {
  const std::size_t at = tag.find(what, static_cast<std::size_t>(from - 1));
  return at == npos ? 0 : static_cast<long long>(at) + 1;
}

// The field name between 1-based opening and closing positions.
std::u16string fieldBetween(std::u16string_view tag, long long opening, long long closing) {
  return cut(tag, static_cast<std::size_t>(opening + 1), closing - opening - 3);
}

}  // namespace

std::optional<std::u16string> bindingTable(std::u16string_view tag) {
  const long long opening = find(tag, u"(");
  if (opening == 0) return std::nullopt;
  return cut(tag, 0, opening - 1);
}

std::u16string bindingField(std::u16string_view tag) { return fieldBetween(tag, find(tag, u"("), find(tag, u")")); }

std::optional<Directive> binding(std::u16string_view tag) {
  auto table = bindingTable(tag);
  if (!table) return std::nullopt;
  return Directive{std::move(*table), bindingField(tag)};
}

std::optional<Directive> search(std::u16string_view tag) {
  const long long start = find(tag, u"S=");
  if (start == 0) return std::nullopt;
  const long long marker = start + 1;  // the position of the "="
  long long opening = find(tag, u"(", marker);
  if (opening == 0) opening = find(tag, u"[", marker);
  long long closing = find(tag, u")", marker);
  if (closing == 0) closing = find(tag, u"]", marker);
  Directive d;
  d.table = cut(tag, static_cast<std::size_t>(marker), opening - marker - 1);
  d.field = fieldBetween(tag, opening, closing);
  return d;
}

std::optional<std::u16string> searchTypeWord(std::u16string_view tag) {
  const long long marker = find(tag, u"!");
  if (marker == 0) return std::nullopt;
  const long long end = find(tag, u";", marker);
  return cut(tag, static_cast<std::size_t>(marker), end - marker - 1);
}

std::optional<std::u16string> saveTypeWord(std::u16string_view tag) {
  const std::size_t marker = tag.find(u'!');
  if (marker == npos) return std::nullopt;
  return std::u16string(tag.substr(marker + 1));
}

std::optional<std::u16string> mergeField(std::u16string_view tag) {
  const std::size_t marker = tag.find(u"M=");
  if (marker == npos) return std::nullopt;
  return std::u16string(tag.substr(marker + 2));
}

}  // namespace tarnwick::frame::tags
