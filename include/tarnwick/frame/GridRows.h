#pragma once
// A flex grid filled row by row, for routines that add many rows: what the
// grid's AddItem member does with a row's text at the end of the grid, as
// one call without a lookup by name and without a string made for each
// row. The host's flex grids offer it; any other grid is filled by name.
// AddRow answers with a result code, leaving a failure's error in the
// thread's error information (checkEarly), as AddItem would raise it.
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

// The grid's rows, or null when it offers none.
inline ComPtr<IGridRows> gridRows(const Object& grid) noexcept {
  return grid ? grid.pointer().tryAs<IGridRows>() : ComPtr<IGridRows>();
}

}  // namespace tarnwick::frame
