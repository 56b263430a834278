#pragma once
// A recordset: the records of a table or query, one of them current, of
// one of four kinds (table, dynaset, snapshot, forward-only). Reached by
// name like every engine object; the default member with a field's name or
// position reads and writes that field's value.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/engine/Collection.h>

#include <memory>
#include <span>
#include <string>

namespace tarnwick::engine {

class Cursor;

class TARNWICK_API Recordset final : public AutomationObject<Recordset> {
 public:
  explicit Recordset(std::shared_ptr<Cursor> cursor);
  ~Recordset();

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
