#pragma once
// The records a data grid shows, as the bookmarks of its recordset's
// records in order. They are read as they are needed (the rows a view
// shows, the row of the current record), never all at once when the grid
// is bound, so a grid over a large table opens at once. Reading keeps the
// recordset's current record where it was.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Variant.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::host {

class TARNWICK_API BoundRows {
 public:
  // Forgets the rows read; the next read starts at the first record.
  void reset() noexcept {
    bytes_.clear();
    marks_.clear();
    complete_ = false;
  }
  std::size_t fetched() const noexcept { return marks_.empty() ? bytes_.size() : marks_.size(); }
  // True once the last record has been read.
  bool complete() const noexcept { return complete_; }
  Variant at(std::size_t row) const;

  // Reads up to `count` more records; returns how many came.
  std::size_t fetchMore(const Object& recordset, std::size_t count);
  // Reads until row `row` is read or the records end; true when it is read.
  bool reach(const Object& recordset, std::size_t row);
  void fetchAll(const Object& recordset);
  // The row of the record with bookmark `mark`, reading on as far as needed.
  std::optional<std::size_t> find(const Object& recordset, const Variant& mark);

 private:
  void add(const Variant& mark);
  // Bookmarks of eight bytes are kept as numbers, with no array each
  // (bytes_); from the first of any other form on, every one is kept as it
  // came (marks_).
  std::vector<std::uint64_t> bytes_;
  std::vector<Variant> marks_;
  bool complete_ = false;
};

// The current record of a recordset, kept before a walk moves it, so that
// restore() puts it back (a recordset before its first or after its last
// record has none, and stays as the walk left it).
class TARNWICK_API CurrentRecord {
 public:
  explicit CurrentRecord(const Object& recordset);
  void restore() const;

 private:
  const Object& recordset_;
  Variant bookmark_;
  bool had_;
};

// Bookmarks are compared by value: byte arrays element by element, other values by their type and text.
TARNWICK_API bool sameBookmark(const Variant& a, const Variant& b);
// A text that two bookmarks share exactly when they are the same bookmark, for
// finding many bookmarks among many rows through a hash.
TARNWICK_API std::u16string bookmarkKey(const Variant& bookmark);

}  // namespace tarnwick::host
