#include <tarnwick/engine/TableDef.h>

#include "DatabaseCore.h"

#include <tarnwick/engine/Field.h>
#include <tarnwick/engine/Index.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Error.h>

namespace tarnwick::engine {

TableDef::TableDef(std::shared_ptr<DatabaseCore> db, std::u16string name)
    : db_(std::move(db)), fields_(makeObject<Collection>(u"Fields")), indexes_(makeObject<Collection>(u"Indexes")) {
  const auto info = db_->catalogue.table(name);
  if (!info) raise(errc::TableNotFound, name);
  name_ = info->name;
  for (const FieldInfo& f : info->fields) fields_->add(f.name, makeObject<Field>(db_, name_, f).as<IDispatch>());
  for (const IndexInfo& index : info->indexes) {
    auto keys = makeObject<Collection>(u"IndexFields");
    for (const std::u16string& field : index.fields) {
      const int at = info->fieldIndex(field);
      if (at >= 0) keys->add(field, makeObject<Field>(db_, name_, info->fields[static_cast<std::size_t>(at)]).as<IDispatch>());
    }
    indexes_->add(index.name, makeObject<Index>(index.name, index.primary, index.unique, std::move(keys)).as<IDispatch>());
  }
}

namespace {

const Member<TableDef> kMembers[] = {
    {u"Name", 1, kGet, [](TableDef& self, Call& call) {
       call.expect(0);
       call.setResult(self.name());
     }},
    {u"Fields", DISPID_VALUE, kGet | kMethod, [](TableDef& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 1) call.setResult(self.fields().item(call.arg(0)));
       else call.setResult(static_cast<IDispatch*>(&self.fields()));
     }},
    {u"Indexes", 2, kGet | kMethod, [](TableDef& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 1) call.setResult(self.indexes().item(call.arg(0)));
       else call.setResult(static_cast<IDispatch*>(&self.indexes()));
     }},
    {u"RecordCount", 3, kGet, [](TableDef& self, Call& call) {
       call.expect(0);
       self.db()->connection.checkOpen();
       const auto info = self.db()->catalogue.table(self.name());
       if (!info) raise(errc::TableNotFound, self.name());
       Statement& s = self.db()->connection.cached("SELECT count(*) FROM " + info->quoted);
       s.step();
       call.setResult(static_cast<std::int32_t>(s.int64(0)));
       s.reset();
     }},
};

const Member<Index> kIndexMembers[] = {
    {u"Name", DISPID_VALUE, kGet, [](Index& self, Call& call) {
       call.expect(0);
       call.setResult(self.name());
     }},
    {u"Fields", 1, kGet | kMethod, [](Index& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 1) call.setResult(Object(self.fieldsObject()).get(u"Item", {call.arg(0).value()}));
       else call.setResult(self.fieldsObject());
     }},
    {u"Primary", 2, kGet, [](Index& self, Call& call) {
       call.expect(0);
       call.setResult(self.primary());
     }},
    {u"Unique", 3, kGet, [](Index& self, Call& call) {
       call.expect(0);
       call.setResult(self.unique());
     }},
};

}  // namespace

std::span<const Member<TableDef>> TableDef::members() { return kMembers; }
std::span<const Member<Index>> Index::members() { return kIndexMembers; }

}  // namespace tarnwick::engine
