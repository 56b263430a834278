#include <tarnwick/frame/RecordReader.h>

#include <tarnwick/automation/ErrorInfo.h>

namespace tarnwick::frame {

RecordReader::RecordReader(const Object& records, Uses uses) : records_(records), walk_(frame::recordWalk(records)) {
  const bool byName = uses != Uses::Bookmarks && !walk_;
  if (byName) eofId_ = records.idOf(u"EOF");
  // Putting a bookmark has no walk of its own: it is always by name.
  if (uses != Uses::Walk) bookmarkId_ = records.idOf(u"Bookmark");
  if (byName) moveNextId_ = records.idOf(u"MoveNext");
}

namespace {

void check(HRESULT hr) {
  if (failed(hr)) checkEarly(hr);
}

}  // namespace

Variant RecordReader::eof() {
  if (!walk_) return records_.invoke(eofId_, DISPATCH_PROPERTYGET, {}, nullptr);
  VARIANT_BOOL atEnd = VARIANT_FALSE;
  check(walk_->AtEnd(&atEnd));
  return Variant(atEnd != VARIANT_FALSE);
}

void RecordReader::moveNext() {
  if (!walk_) {
    records_.invoke(moveNextId_, DISPATCH_METHOD, {}, nullptr);
    return;
  }
  check(walk_->MoveNext());
}

Variant RecordReader::bookmark() {
  if (!walk_) return records_.invoke(bookmarkId_, DISPATCH_PROPERTYGET, {}, nullptr);
  Variant mark;
  check(walk_->GetBookmark(&mark));
  return mark;
}

std::optional<std::uint64_t> RecordReader::bookmarkBytes() {
  if (!walk_) return std::nullopt;
  std::uint64_t bytes = 0;
  check(walk_->GetBookmarkBytes(&bytes));
  return bytes;
}

void RecordReader::setBookmark(const Variant& bookmark) {
  records_.invoke(bookmarkId_, DISPATCH_PROPERTYPUT, {}, &bookmark);
}

const Variant& RecordReader::value(const Object& field, DISPID valueId, std::int32_t position) {
  if (!walk_) {
    read_ = field.invoke(valueId, DISPATCH_PROPERTYGET, {}, nullptr);
    return read_;
  }
  const VARIANT* value = nullptr;
  check(walk_->PeekValue(position, &value));
  // The engine keeps its values as Variants.
  return static_cast<const Variant&>(*value);
}

}  // namespace tarnwick::frame
