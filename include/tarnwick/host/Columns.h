#pragma once
// A data grid's Columns collection (Count, Item from 0 with error 9
// outside, Add, Remove, enumeration) and one Column (Width, Left, Caption,
// Visible, DataField, Value/Text of the current record, ColIndex).
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/frame/GridRows.h>
#include <tarnwick/host/Control.h>

namespace tarnwick::host {

class Columns final : public AutomationObject<Columns> {
 public:
  explicit Columns(ComPtr<Control> grid) noexcept : grid_(std::move(grid)) {}
  static std::u16string_view typeName() { return u"Columns"; }
  static std::span<const Member<Columns>> members();
  Control& grid() const noexcept { return *grid_.get(); }

 private:
  ComPtr<Control> grid_;
};

class Column final : public AutomationObject<Column> {
 public:
  Column(ComPtr<Control> grid, std::size_t index) noexcept : grid_(std::move(grid)), index_(index) {}
  static std::u16string_view typeName() { return u"Column"; }
  static std::span<const Member<Column>> members();
  Control& grid() const noexcept { return *grid_.get(); }
  // The column's position; Error 9 once the column is gone.
  std::size_t position() const;

 private:
  ComPtr<Control> grid_;
  std::size_t index_;
};

// A Column object for column `index` (from 0) of the grid, as a value; Error 9 outside.
Variant columnObject(Control& grid, std::int32_t index);

// A data grid's selected rows: the bookmarks in the order they were added;
// Count, Item from 0 (error 9 outside), Add, Remove, enumeration.
class SelBookmarks final : public AutomationObject<SelBookmarks>, public frame::IBookmarkList {
 public:
  explicit SelBookmarks(ComPtr<Control> grid) noexcept : grid_(std::move(grid)) {}
  // One identity for both interfaces.
  HRESULT QueryInterface(const IID& riid, void** object) noexcept override;
  ULONG AddRef() noexcept override { return AutomationObject::AddRef(); }
  ULONG Release() noexcept override { return AutomationObject::Release(); }
  HRESULT AddBookmarkBytes(std::uint64_t bytes) noexcept override;
  static std::u16string_view typeName() { return u"SelBookmarks"; }
  static std::span<const Member<SelBookmarks>> members();
  Control& grid() const noexcept { return *grid_.get(); }

 private:
  ComPtr<Control> grid_;
};

}  // namespace tarnwick::host
