#pragma once
// A field: of a recordset (its Value is the current record's, or the edit
// buffer's while a record is being added or edited), or of a table's
// definition (its rules: Required and AllowZeroLength can be changed there).
#include <tarnwick/automation/AutomationObject.h>

#include <memory>
#include <span>
#include <string>

namespace tarnwick::engine {

class Cursor;
struct DatabaseCore;
struct FieldInfo;

class Field final : public AutomationObject<Field> {
 public:
  // A field of a recordset.
  Field(std::shared_ptr<Cursor> cursor, int index);
  // A field of a table's definition.
  Field(std::shared_ptr<DatabaseCore> db, std::u16string table, const FieldInfo& info);
  ~Field();

  static std::u16string_view typeName() { return u"Field"; }
  static std::span<const Member<Field>> members();

  struct State;
  State& state() noexcept { return *state_; }

 private:
  std::unique_ptr<State> state_;
};

}  // namespace tarnwick::engine
