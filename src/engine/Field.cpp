#include <tarnwick/engine/Field.h>

#include "Cursor.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>

namespace tarnwick::engine {

struct Field::State {
  std::shared_ptr<Cursor> cursor;
  int index = 0;
  std::shared_ptr<DatabaseCore> db;
  std::u16string table;
  FieldInfo info;

  const FieldInfo& field() const { return cursor ? cursor->table().fields[static_cast<std::size_t>(index)] : info; }
};

Field::Field(std::shared_ptr<Cursor> cursor, int index) : state_(std::make_unique<State>()) {
  state_->cursor = std::move(cursor);
  state_->index = index;
}

Field::Field(std::shared_ptr<DatabaseCore> db, std::u16string table, const FieldInfo& info)
    : state_(std::make_unique<State>()) {
  state_->db = std::move(db);
  state_->table = std::move(table);
  state_->info = info;
}

Field::~Field() = default;

namespace {

using S = Field::State;

void readOnlyProperty(Call& call) {
  if (call.isPut()) raise(errc::InvalidOperation);
  call.expect(0);
}

// A rule of a table's field, written to the table's definition.
void changeRule(S& s, Call& call, bool FieldInfo::*rule) {
  if (s.cursor) raise(errc::InvalidOperation);
  s.db->connection.checkOpen();
  if (s.db->connection.readOnly()) raise(errc::ReadOnly);
  s.info.*rule = toBool(call.value());
  s.db->catalogue.setRule(s.table, s.info);
}

const Member<Field> kMembers[] = {
    {u"Value", DISPID_VALUE, kProperty,
     [](Field& self, Call& call) {
       call.expect(0);
       S& s = self.state();
       if (!s.cursor) raise(errc::InvalidOperation);
       if (call.isPut()) s.cursor->setValue(s.index, call.value());
       else call.setResult(s.cursor->value(s.index));
     }},
    {u"Name", 1, kProperty,
     [](Field& self, Call& call) {
       readOnlyProperty(call);
       call.setResult(self.state().field().name);
     }},
    {u"Type", 2, kProperty,
     [](Field& self, Call& call) {
       readOnlyProperty(call);
       call.setResult(static_cast<std::int16_t>(self.state().field().type));
     }},
    {u"Size", 3, kProperty,
     [](Field& self, Call& call) {
       readOnlyProperty(call);
       call.setResult(static_cast<std::int32_t>(self.state().field().size));
     }},
    {u"AllowZeroLength", 4, kProperty,
     [](Field& self, Call& call) {
       call.expect(0);
       if (call.isPut()) changeRule(self.state(), call, &FieldInfo::allowZeroLength);
       else call.setResult(self.state().field().allowZeroLength);
     }},
    {u"Required", 5, kProperty,
     [](Field& self, Call& call) {
       call.expect(0);
       if (call.isPut()) changeRule(self.state(), call, &FieldInfo::required);
       else call.setResult(self.state().field().required);
     }},
    {u"Attributes", 6, kProperty,
     [](Field& self, Call& call) {
       readOnlyProperty(call);
       const FieldInfo& f = self.state().field();
       std::int32_t attributes = f.autoIncrement ? kAutoIncrField : 0;
       if (!f.autoIncrement && (!self.state().cursor || self.state().cursor->source().updatable))
         attributes |= kUpdatableField;
       call.setResult(attributes);
     }},
    {u"OrdinalPosition", 7, kProperty,
     [](Field& self, Call& call) {
       readOnlyProperty(call);
       const S& s = self.state();
       std::int16_t position = static_cast<std::int16_t>(s.index);
       if (!s.cursor) {
         if (const auto table = s.db->catalogue.table(s.table)) position = static_cast<std::int16_t>(table->fieldIndex(s.info.name));
       }
       call.setResult(position);
     }},
    {u"SourceTable", 8, kProperty,
     [](Field& self, Call& call) {
       readOnlyProperty(call);
       const S& s = self.state();
       const FieldInfo& f = s.field();
       call.setResult(!f.sourceTable.empty() ? f.sourceTable : s.cursor ? s.cursor->table().name : s.table);
     }},
    {u"SourceField", 9, kProperty,
     [](Field& self, Call& call) {
       readOnlyProperty(call);
       const FieldInfo& f = self.state().field();
       call.setResult(f.sourceField.empty() ? f.name : f.sourceField);
     }},
};

}  // namespace

std::span<const Member<Field>> Field::members() { return kMembers; }

}  // namespace tarnwick::engine
