#pragma once
// Grids filled and selected row by row, for routines that touch many rows.
//
// A flex grid filled row by row: what the
// grid's AddItem member does with a row's text at the end of the grid, as
// one call without a lookup by name and without a string made for each
// row. The host's flex grids offer it; any other grid is filled by name.
// Each method answers with a result code, leaving a failure's error in the
// thread's error information (checkEarly), as the member would raise it.
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Unknown.h>

#include <cstdint>

namespace tarnwick::frame {

struct IGridRows : IUnknown {
  static constexpr IID iid{0x3C5F9B21, 0x7D4A, 0x4E0B, {0xA6, 0x18, 0x92, 0x4D, 0x0E, 0x71, 0xC3, 0x5B}};
  // AddItem with the text `row` (cells separated by tabs) and no index.
  virtual HRESULT AddRow(const char16_t* row, std::uint32_t length) noexcept = 0;

 protected:
  IGridRows() = default;
  IGridRows(const IGridRows&) = default;
  IGridRows& operator=(const IGridRows&) = default;
  ~IGridRows() = default;
};

// A data grid's selected rows (its SelBookmarks), added to by a routine
// that selects every record it walks: what Add does with the bookmark of
// a record source's walk, given as its eight bytes (GetBookmarkBytes).
struct IBookmarkList : IUnknown {
  static constexpr IID iid{0x8E2D4A67, 0x1B9C, 0x4F35, {0xB0, 0x7E, 0x5A, 0x23, 0xC9, 0x16, 0xD4, 0x88}};
  virtual HRESULT AddBookmarkBytes(std::uint64_t bytes) noexcept = 0;

 protected:
  IBookmarkList() = default;
  IBookmarkList(const IBookmarkList&) = default;
  IBookmarkList& operator=(const IBookmarkList&) = default;
  ~IBookmarkList() = default;
};

// The grid's rows, or null when it offers none.
inline ComPtr<IGridRows> gridRows(const Object& grid) noexcept {
  return grid ? grid.pointer().tryAs<IGridRows>() : ComPtr<IGridRows>();
}

}  // namespace tarnwick::frame
