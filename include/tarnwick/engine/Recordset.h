#pragma once
// A recordset: the records of a table or query, one of them current, of
// one of four kinds (table, dynaset, snapshot, forward-only). Reached by
// name like every engine object; the default member with a field's name or
// position reads and writes that field's value.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/engine/Collection.h>
#include <tarnwick/frame/RecordWalk.h>

#include <memory>
#include <span>
#include <string>

namespace tarnwick::engine {

class Cursor;

class TARNWICK_API Recordset final : public AutomationObject<Recordset>, public frame::IRecordWalk {
 public:
  explicit Recordset(std::shared_ptr<Cursor> cursor);
  ~Recordset();

  // One identity for both interfaces.
  HRESULT QueryInterface(const IID& riid, void** object) noexcept override;
  ULONG AddRef() noexcept override { return AutomationObject::AddRef(); }
  ULONG Release() noexcept override { return AutomationObject::Release(); }

  // The walk: the members EOF, MoveNext, Bookmark and a field's Value.
  HRESULT AtEnd(VARIANT_BOOL* eof) noexcept override;
  HRESULT MoveNext() noexcept override;
  HRESULT GetBookmark(VARIANT* bookmark) noexcept override;
  HRESULT GetBookmarkBytes(std::uint64_t* bytes) noexcept override;
  HRESULT PeekValue(std::int32_t position, const VARIANT** value) noexcept override;
  HRESULT BeginReads() noexcept override;
  HRESULT EndReads() noexcept override;
  HRESULT CountRemaining(std::int32_t* count) noexcept override;

  static std::u16string_view typeName() { return u"Recordset"; }
  static std::span<const Member<Recordset>> members();

  Cursor& cursor() noexcept { return *cursor_; }
  Collection& fields() noexcept { return *fields_.get(); }
  IDispatch* fieldsObject() const noexcept { return fields_.get(); }
  std::u16string sort;
  std::u16string filter;

 private:
  std::shared_ptr<Cursor> cursor_;
  ComPtr<Collection> fields_;
};

}  // namespace tarnwick::engine
