// The members of data controls: the database and record source they open,
// the recordset they give their bound controls and grids.
#include "ControlMembers.h"

#include <tarnwick/automation/Convert.h>

namespace tarnwick::host::impl {

namespace {

const ControlMember kDataControlMembers[] = {
    {u"Refresh", idRefresh, kMethod, kData,
     [](Control& self, Call& call) {
       call.expect(0);
       refreshData(self);
     }},
    {u"Recordset", idRecordset, kObjectProperty, kData,
     [](Control& self, Call& call) {
       call.expect(0);
       if (call.isPut()) setDataRecordset(self, call.value().value());
       else call.setResult(dataRecordset(self));
     }},
    {u"RecordSource", idRecordSource, kProperty, kData,
     [](Control& self, Call& call) { textProperty(self, call, Property::RecordSource); }},
    {u"DatabaseName", idDatabaseName, kProperty, kData,
     [](Control& self, Call& call) { textProperty(self, call, Property::DatabaseName); }},
    {u"RecordsetType", idRecordsetType, kProperty, kData,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut())
         return call.setResult(Variant(static_cast<std::int16_t>(intOf(self.state(), Property::RecordsetType))));
       const std::int16_t v = toInt16(call.value());
       if (v < 0 || v > 2) raise(errc::InvalidPropertyValue);  // 0 table, 1 dynaset, 2 snapshot
       self.store(Property::RecordsetType, Variant(v));
     }},
    {u"Database", idDatabase, kGet, kData,
     [](Control& self, Call& call) {
       call.expect(0);
       dataRecordset(self);  // opens the database on first use
       const Variant v = self.state().get(Property::Database);
       call.setResult(v.isEmpty() ? Variant(static_cast<IDispatch*>(nullptr)) : v);
     }},
    {u"UpdateControls", idUpdateControls, kMethod, kData,
     [](Control& self, Call& call) {
       call.expect(0);
       showCurrentRecord(self);
     }},
};

}  // namespace

std::span<const ControlMember> dataControlMembers() { return kDataControlMembers; }

}  // namespace tarnwick::host::impl
