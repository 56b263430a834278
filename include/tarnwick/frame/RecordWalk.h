#pragma once
// A record source read in place, for routines that walk many records: what
// they would otherwise ask member by member (EOF, MoveNext, Bookmark, each
// field's Value) as one call each, without looking members up by name and
// without copying values. The engine's recordsets offer it; any other
// record source is walked by name. Each method does exactly what the member
// of the same name does, and answers with a result code, leaving a
// failure's error in the thread's error information (checkEarly).
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Unknown.h>
#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <optional>

namespace tarnwick::frame {

struct IRecordWalk : IUnknown {
  static constexpr IID iid{0x6A1E5D31, 0x2F4B, 0x4C8E, {0x9D, 0x21, 0x5B, 0x7C, 0x30, 0xE4, 0x18, 0xA2}};
  virtual HRESULT AtEnd(VARIANT_BOOL* eof) noexcept = 0;
  virtual HRESULT MoveNext() noexcept = 0;
  virtual HRESULT GetBookmark(VARIANT* bookmark) noexcept = 0;
  // The bookmark's eight bytes as one number, for a caller that keeps many
  // bookmarks without an array each: a bookmark of `bytes` is the array of
  // those eight bytes from index 0.
  virtual HRESULT GetBookmarkBytes(std::uint64_t* bytes) noexcept = 0;
  // The value of the field at `position` in Fields, in the current record
  // (or the record being edited). It stays the recordset's: valid until the
  // recordset moves or changes, and not to be cleared.
  virtual HRESULT PeekValue(std::int32_t position, const VARIANT** value) noexcept = 0;
  // From BeginReads to its EndReads (pairs nest), a routine that reads many
  // records reads them all as they stood at one moment, and at the cost of
  // one read rather than one per record. Writing through the same database
  // ends the moment first; the reads then go on as they would without it.
  virtual HRESULT BeginReads() noexcept = 0;
  virtual HRESULT EndReads() noexcept = 0;
  // The records from the current one to the end, when they can be counted
  // without being read (a table-type recordset: one count of its table);
  // S_FALSE, and 0, when they cannot. For a progress bar's total.
  virtual HRESULT CountRemaining(std::int32_t* count) noexcept = 0;

 protected:
  IRecordWalk() = default;
  IRecordWalk(const IRecordWalk&) = default;
  IRecordWalk& operator=(const IRecordWalk&) = default;
  ~IRecordWalk() = default;
};

// A bookmark of eight bytes as one number, and back.
TARNWICK_API std::optional<std::uint64_t> bookmarkBytes(const Variant& bookmark) noexcept;
TARNWICK_API Variant bookmarkOfBytes(std::uint64_t bytes);

// Holds a walk's reads at one moment for the life of this object (see
// BeginReads); nothing for a null walk.
class HeldReads {
 public:
  explicit HeldReads(ComPtr<IRecordWalk> walk) : walk_(std::move(walk)) {
    if (walk_ && failed(walk_->BeginReads())) walk_ = {};
  }
  HeldReads(const HeldReads&) = delete;
  HeldReads& operator=(const HeldReads&) = delete;
  ~HeldReads() {
    if (walk_) walk_->EndReads();
  }

 private:
  ComPtr<IRecordWalk> walk_;
};

// The record source's walk, or null when it offers none.
inline ComPtr<IRecordWalk> recordWalk(const Object& recordSource) noexcept {
  return recordSource ? recordSource.pointer().tryAs<IRecordWalk>() : ComPtr<IRecordWalk>();
}

}  // namespace tarnwick::frame
