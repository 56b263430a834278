#pragma once
// A record source as the grid routines walk it: EOF, MoveNext, Bookmark and
// the fields' values, through the source's walk interface where it offers
// one (no lookup by name, no copy of a value per cell), and otherwise
// through its members, each looked up once.
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/RecordWalk.h>

#include <cstdint>
#include <optional>

namespace tarnwick::frame {

class RecordReader {
 public:
  // The members a routine uses, looked up by name (for a source without the
  // walk) in the order given here, so that a source lacking some names the
  // same one as before.
  enum class Uses { Walk, WalkAndBookmarks, Bookmarks };
  RecordReader(const Object& records, Uses uses);
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // The EOF member's value (a foreign source may answer Null).
  Variant eof();
  void moveNext();
  Variant bookmark();
  // The current bookmark's eight bytes, when the source offers its walk.
  std::optional<std::uint64_t> bookmarkBytes();
  void setBookmark(const Variant& bookmark);
  // The value of `field`, the item at `position` of the source's Fields, in
  // the current record; valid until the next call of this reader.
  const Variant& value(const Object& field, DISPID valueId, std::int32_t position);

 private:
  const Object& records_;
  ComPtr<IRecordWalk> walk_;
  // A routine reads its records as they stood when it began.
  HeldReads held_{walk_};
  DISPID eofId_ = 0, moveNextId_ = 0, bookmarkId_ = 0;
  Variant read_;
};

}  // namespace tarnwick::frame
