#include "HostInternal.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/frame/LibraryClass.h>
#include <tarnwick/frame/RecordWalk.h>
#include <tarnwick/host/Columns.h>

#include <cfloat>
#include <cmath>

namespace tarnwick::host {

namespace {

std::size_t columnAt(const Control& grid, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= grid.state().columnCount()) raise(errc::SubscriptOutOfRange);
  return static_cast<std::size_t>(index);
}

const Member<Columns> kColumnsMembers[] = {
    {u"Item", DISPID_VALUE, kGet | kMethod,
     [](Columns& self, Call& call) {
       call.expect(1);
       call.setResult(columnObject(self.grid(), call.int32(0)));
     }},
    {u"Count", 1, kGet,
     [](Columns& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int32_t>(self.grid().state().columnCount())));
     }},
    {u"Add", 2, kMethod,
     [](Columns& self, Call& call) {
       call.expect(1);
       const std::int32_t i = call.int32(0);
       ControlState& s = self.grid().state();
       if (i < 0 || static_cast<std::size_t>(i) > s.columnCount()) raise(errc::SubscriptOutOfRange);
       s.insertColumn(static_cast<std::size_t>(i), GridColumn{u"", u"", kDefaultColWidth, true});
       call.setResult(columnObject(self.grid(), i));
     }},
    {u"Remove", 3, kMethod,
     [](Columns& self, Call& call) {
       call.expect(1);
       Control& grid = self.grid();
       const std::size_t at = columnAt(grid, call.int32(0));
       std::vector<GridColumn> keep;
       for (std::size_t i = 0; i < grid.state().columnCount(); ++i)
         if (i != at) keep.push_back(grid.state().column(i));
       grid.state().clearColumns();
       for (std::size_t i = 0; i < keep.size(); ++i) grid.state().insertColumn(i, std::move(keep[i]));
     }},
    {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod,
     [](Columns& self, Call& call) {
       call.expect(0);
       std::vector<Variant> list;
       for (std::size_t i = 0; i < self.grid().state().columnCount(); ++i)
         list.push_back(columnObject(self.grid(), static_cast<std::int32_t>(i)));
       call.setResult(makeEnumerator(std::move(list)));
     }},
};

void editColumn(Column& self, Call& call, auto&& read, auto&& write) {
  call.expect(0);
  const std::size_t at = self.position();
  GridColumn column = self.grid().state().column(at);
  if (!call.isPut()) return call.setResult(read(column));
  write(column, call.value().value());
  self.grid().state().setColumn(at, std::move(column));
}

const Member<Column> kColumnMembers[] = {
    {u"Value", DISPID_VALUE, kProperty,
     [](Column& self, Call& call) {
       call.expect(0);
       const std::size_t at = self.position();
       if (!call.isPut()) return call.setResult(impl::columnValue(self.grid(), at));
       Control& grid = self.grid();
       const Variant before = grid.state().get(Property::Col);
       grid.state().set(Property::Col, Variant(static_cast<std::int32_t>(at)));
       try {
         impl::setGridText(grid, toText(call.value()));
       } catch (...) {
         grid.state().set(Property::Col, before);
         throw;
       }
       grid.state().set(Property::Col, before);
     }},
    {u"Text", 1, kGet,
     [](Column& self, Call& call) {
       call.expect(0);
       const Variant v = impl::columnValue(self.grid(), self.position());
       call.setResult(Variant(v.isNull() ? std::u16string() : toText(v)));
     }},
    {u"Width", 2, kProperty,
     [](Column& self, Call& call) {
       editColumn(self, call, [](const GridColumn& c) { return Variant(static_cast<float>(c.width)); },
                  [](GridColumn& c, const Variant& v) {
                    const double w = toDouble(v);
                    if (!std::isfinite(w) || w < 0 || w > FLT_MAX) raise(errc::InvalidPropertyValue);
                    c.width = static_cast<float>(w);  // a single-precision width, as the grid keeps it
                  });
     }},
    {u"Left", 3, kGet,
     [](Column& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<float>(impl::columnLeft(self.grid(), self.position()))));
     }},
    {u"Caption", 4, kProperty,
     [](Column& self, Call& call) {
       editColumn(self, call, [](const GridColumn& c) { return Variant(c.caption); },
                  [](GridColumn& c, const Variant& v) { c.caption = toText(v); });
     }},
    {u"Visible", 5, kProperty,
     [](Column& self, Call& call) {
       // A Null visibility counts as hidden.
       editColumn(self, call, [](const GridColumn& c) { return Variant(c.visible); },
                  [](GridColumn& c, const Variant& v) { c.visible = !v.isNull() && toBool(v); });
     }},
    {u"DataField", 6, kProperty,
     [](Column& self, Call& call) {
       editColumn(self, call, [](const GridColumn& c) { return Variant(c.dataField); },
                  [](GridColumn& c, const Variant& v) { c.dataField = toText(v); });
     }},
    {u"ColIndex", 7, kGet,
     [](Column& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int32_t>(self.position())));
     }},
};

const Member<SelBookmarks> kSelBookmarksMembers[] = {
    {u"Item", DISPID_VALUE, kGet | kMethod,
     [](SelBookmarks& self, Call& call) {
       call.expect(1);
       auto& marks = self.grid().state().selectedBookmarks();
       const std::int32_t i = call.int32(0);
       if (i < 0 || static_cast<std::size_t>(i) >= marks.size()) raise(errc::SubscriptOutOfRange);
       call.setResult(marks[static_cast<std::size_t>(i)]);
     }},
    {u"Count", 1, kGet,
     [](SelBookmarks& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int32_t>(self.grid().state().selectedBookmarks().size())));
     }},
    {u"Add", 2, kMethod,
     [](SelBookmarks& self, Call& call) {
       call.expect(1);
       Variant mark = call.arg(0).value();
       if (mark.isEmpty() || mark.isNull() || mark.isMissing()) raise(errc::InvalidProcedureCall);
       self.grid().state().selectedBookmarks().push_back(std::move(mark));
       self.grid().state().bookmarksChanged();
     }},
    {u"Remove", 3, kMethod,
     [](SelBookmarks& self, Call& call) {
       call.expect(1);
       auto& marks = self.grid().state().selectedBookmarks();
       const std::int32_t i = call.int32(0);
       if (i < 0 || static_cast<std::size_t>(i) >= marks.size()) raise(errc::SubscriptOutOfRange);
       marks.erase(marks.begin() + i);
       self.grid().state().bookmarksChanged();
     }},
    {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod,
     [](SelBookmarks& self, Call& call) {
       call.expect(0);
       call.setResult(makeEnumerator(self.grid().state().selectedBookmarks()));
     }},
};

}  // namespace

std::span<const Member<Columns>> Columns::members() { return kColumnsMembers; }
std::span<const Member<Column>> Column::members() { return kColumnMembers; }
std::span<const Member<SelBookmarks>> SelBookmarks::members() { return kSelBookmarksMembers; }

HRESULT SelBookmarks::QueryInterface(const IID& riid, void** object) noexcept {
  if (object && riid == frame::IBookmarkList::iid) {
    *object = static_cast<frame::IBookmarkList*>(this);
    AddRef();
    return S_OK;
  }
  return AutomationObject::QueryInterface(riid, object);
}

HRESULT SelBookmarks::AddBookmarkBytes(std::uint64_t bytes) noexcept {
  try {
    grid().state().selectedBookmarks().push_back(frame::bookmarkOfBytes(bytes));
    grid().state().bookmarksChanged();
    return S_OK;
  } catch (...) {
    return frame::impl::reportEarlyCurrent(typeName());
  }
}

std::size_t Column::position() const {
  if (index_ >= grid_->state().columnCount()) raise(errc::SubscriptOutOfRange);
  return index_;
}

Variant columnObject(Control& grid, std::int32_t index) {
  const std::size_t at = columnAt(grid, index);
  ComPtr<Column> column = makeObject<Column>(ComPtr<Control>(&grid), at);
  return Variant(static_cast<IDispatch*>(column.get()));
}

}  // namespace tarnwick::host
