#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/SafeArray.h>
#include <tarnwick/automation/ErrorInfo.h>
#include <tarnwick/frame/RecordWalk.h>
#include <tarnwick/host/BoundRows.h>

#include <string>

namespace tarnwick::host {

namespace {

constexpr std::size_t kBatch = 256;

bool atEnd(const Object& rs) { return toBool(rs.get(u"EOF")); }
bool noCurrentRecord(const Object& rs) { return atEnd(rs) || toBool(rs.get(u"BOF")); }

SafeArray ownedArray(const Variant& v) {
  VARIANT raw = v.value().detach();
  return SafeArray(raw.parray);
}

}  // namespace

std::u16string bookmarkKey(const Variant& v) {
  const auto number = [](std::int64_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
  };
  if (!v.isArray()) return u"V" + number(v.valueType()) + u':' + toText(v);
  // Each element's text goes in with its length, so no two arrays share a key.
  const SafeArray a = ownedArray(v);
  std::u16string key = u"A" + number(a.lowerBound()) + u':' + number(a.upperBound());
  for (std::int32_t i = a.lowerBound(); i <= a.upperBound(); ++i) {
    const std::u16string text = toText(a.get({i}));
    key += u':' + number(static_cast<std::int64_t>(text.size())) + u':' + text;
  }
  return key;
}

bool sameBookmark(const Variant& a, const Variant& b) { return bookmarkKey(a) == bookmarkKey(b); }

CurrentRecord::CurrentRecord(const Object& recordset) : recordset_(recordset), had_(!noCurrentRecord(recordset)) {
  if (had_) bookmark_ = recordset.get(u"Bookmark");
}

void CurrentRecord::restore() const {
  if (had_) recordset_.put(u"Bookmark", bookmark_);
}

Variant BoundRows::at(std::size_t row) const {
  if (!marks_.empty()) return marks_.at(row);
  return frame::bookmarkOfBytes(bytes_.at(row));
}

void BoundRows::add(const Variant& mark) {
  if (marks_.empty()) {
    if (const auto bytes = frame::bookmarkBytes(mark)) {
      bytes_.push_back(*bytes);
      return;
    }
    marks_.reserve(bytes_.size() + 1);
    for (const std::uint64_t b : bytes_) marks_.push_back(frame::bookmarkOfBytes(b));
    bytes_.clear();
  }
  marks_.push_back(mark);
}

std::size_t BoundRows::fetchMore(const Object& rs, std::size_t count) {
  if (complete_ || count == 0) return 0;
  // The walk moves the recordset; its current record is put back afterwards.
  const CurrentRecord kept(rs);
  const std::size_t before = fetched();
  if (before == 0) {
    if (atEnd(rs) && toBool(rs.get(u"BOF"))) {
      complete_ = true;  // no records at all
      return 0;
    }
    rs.call(u"MoveFirst");
  } else {
    rs.put(u"Bookmark", at(before - 1));
    rs.call(u"MoveNext");
  }
  if (const ComPtr<frame::IRecordWalk> walk = frame::recordWalk(rs); walk && marks_.empty()) {
    const frame::HeldReads held(walk);
    // The engine's records: their bookmarks' bytes, with no lookup by name
    // and no array per record.
    const auto check = [](HRESULT hr) {
      if (failed(hr)) checkEarly(hr);
    };
    while (bytes_.size() - before < count) {
      VARIANT_BOOL eof = VARIANT_FALSE;
      check(walk->AtEnd(&eof));
      if (eof != VARIANT_FALSE) {
        complete_ = true;
        break;
      }
      std::uint64_t bytes = 0;
      check(walk->GetBookmarkBytes(&bytes));
      bytes_.push_back(bytes);
      check(walk->MoveNext());
    }
  } else {
    // The members of the walk, looked up once for the batch.
    const DISPID eofId = rs.idOf(u"EOF"), bookmarkId = rs.idOf(u"Bookmark"), moveNextId = rs.idOf(u"MoveNext");
    while (fetched() - before < count) {
      if (toBool(rs.invoke(eofId, DISPATCH_PROPERTYGET, {}, nullptr))) {
        complete_ = true;
        break;
      }
      add(rs.invoke(bookmarkId, DISPATCH_PROPERTYGET, {}, nullptr));
      rs.invoke(moveNextId, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, nullptr);
    }
  }
  kept.restore();
  return fetched() - before;
}

bool BoundRows::reach(const Object& rs, std::size_t row) {
  while (row >= fetched() && !complete_) fetchMore(rs, std::max(kBatch, row + 1 - fetched()));
  return row < fetched();
}

void BoundRows::fetchAll(const Object& rs) {
  while (!complete_) fetchMore(rs, kBatch * 16);
}

std::optional<std::size_t> BoundRows::find(const Object& rs, const Variant& mark) {
  // The sought bookmark's bytes or key are made once, not once per row compared.
  const std::optional<std::uint64_t> bytes = frame::bookmarkBytes(mark);
  std::optional<std::u16string> key;
  for (std::size_t i = 0;; ++i) {
    if (i == fetched() && (complete_ || fetchMore(rs, kBatch) == 0)) return std::nullopt;
    if (marks_.empty() && bytes) {
      if (bytes_[i] == *bytes) return i;
      continue;
    }
    if (!key) key = bookmarkKey(mark);
    if (bookmarkKey(marks_.empty() ? at(i) : marks_[i]) == *key) return i;
  }
}

}  // namespace tarnwick::host
