// The members of data grids: a view of the records of the recordset that a
// data control binds to them, with columns, a current row and selected records.
#include "ControlMembers.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/Columns.h>

#include <algorithm>
#include <vector>

namespace tarnwick::host::impl {

namespace {

// SelStartCol and SelEndCol: a column of the grid, or -1 for none.
void selectedColumn(Control& self, Call& call, Property p) {
  call.expect(0);
  if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), p)));
  const std::int32_t n = longValue(call.value());
  if (n < -1 || n >= static_cast<std::int32_t>(self.state().columnCount())) raise(errc::InvalidPropertyArrayIndex);
  self.store(p, Variant(n));
}

const ControlMember kDataGridMembers[] = {
    // A data grid, unlike a bound control, is bound again while the form runs.
    {u"DataSource", idDataSource, kObjectProperty, kDBGrid,
     [](Control& self, Call& call) {
       objectProperty(self, call, Property::DataSource, false);
       if (call.isPut() && !self.designMode()) rebindGrid(self);
     }},
    {u"Refresh", idRefresh, kMethod, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0);
       rebindGrid(self);
     }},
    {u"Row", idRow, kProperty, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0);
       if (call.isPut()) setGridRow(self, longValue(call.value()));
       else call.setResult(Variant(gridRow(self)));
     }},
    {u"Col", idCol, kProperty, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::Col)));
       const std::int32_t n = longValue(call.value());
       if (n < 0 || static_cast<std::size_t>(n) >= self.state().columnCount()) raise(errc::InvalidPropertyArrayIndex);
       self.store(Property::Col, Variant(n));
     }},
    {u"RowHeight", idRowHeight, kProperty, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(self.state().get(Property::RowHeight));
       const float h = single(call.value());
       if (h <= 0) raise(errc::InvalidPropertyValue);
       self.store(Property::RowHeight, Variant(h));
     }},
    {u"Columns", idColumns, kGet, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 1) return call.setResult(columnObject(self, call.int32(0)));
       ComPtr<Columns> columns = makeObject<Columns>(ComPtr<Control>(&self));
       call.setResult(Variant(static_cast<IDispatch*>(columns.get())));
     }},
    {u"RecordSelectors", idRecordSelectors, kProperty, kDBGrid,
     [](Control& self, Call& call) { flagProperty(self, call, Property::RecordSelectors); }},
    {u"ColumnHeaders", idColumnHeaders, kProperty, kDBGrid,
     [](Control& self, Call& call) { flagProperty(self, call, Property::ColumnHeaders); }},
    {u"VisibleRows", idVisibleRows, kGet, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(visibleRows(self)));
     }},
    {u"SelStartCol", idSelStartCol, kProperty, kDBGrid,
     [](Control& self, Call& call) { selectedColumn(self, call, Property::SelStartCol); }},
    {u"SelEndCol", idSelEndCol, kProperty, kDBGrid,
     [](Control& self, Call& call) { selectedColumn(self, call, Property::SelEndCol); }},
    {u"SelBookmarks", idSelBookmarks, kGet, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0, 1);
       std::vector<Variant>& marks = self.state().selectedBookmarks();
       if (call.count() == 1) return call.setResult(marks[indexIn(call, 0, marks.size(), errc::SubscriptOutOfRange)]);
       ComPtr<SelBookmarks> list = makeObject<SelBookmarks>(ComPtr<Control>(&self));
       call.setResult(Variant(static_cast<IDispatch*>(list.get())));
     }},
    {u"Bookmark", idBookmark, kProperty, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0);
       const Object rs = gridRecordset(self);
       if (!rs) raise(errc::ObjectNotSet);
       if (call.isPut()) rs.put(u"Bookmark", call.value());
       else call.setResult(rs.get(u"Bookmark"));
     }},
    {u"ApproxCount", idApproxCount, kGet, kDBGrid,
     [](Control& self, Call& call) {
       call.expect(0);
       // The count of every record: reading it reads all the bookmarks.
       BoundRows& rows = self.boundRows();
       if (const Object rs = gridRecordset(self)) rows.fetchAll(rs);
       call.setResult(Variant(static_cast<std::int32_t>(std::min<std::size_t>(rows.fetched(), 0x7FFFFFFF))));
     }},
};

}  // namespace

std::span<const ControlMember> dataGridMembers() { return kDataGridMembers; }

}  // namespace tarnwick::host::impl
