#include <tarnwick/engine/Recordset.h>

#include "Cursor.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/engine/Field.h>
#include <tarnwick/frame/LibraryClass.h>

#include <array>
#include <cstring>

namespace tarnwick::engine {

Recordset::Recordset(std::shared_ptr<Cursor> cursor)
    : cursor_(std::move(cursor)), fields_(makeObject<Collection>(u"Fields")) {
  for (int i = 0; i < cursor_->fieldCount(); ++i)
    fields_->add(cursor_->table().fields[static_cast<std::size_t>(i)].name,
                 makeObject<Field>(cursor_, i).as<IDispatch>());
}

Recordset::~Recordset() = default;

namespace {

void getOnly(Call& call) {
  if (call.isPut()) raise(errc::InvalidOperation);
  call.expect(0);
}

void method(Call& call, std::size_t min = 0, std::size_t max = 0) { call.expect(min, max); }

const Member<Recordset> kMembers[] = {
    // The default member: a field's value by name or position, or the
    // Fields collection when no field is named.
    {u"Collect", DISPID_VALUE, kProperty | kMethod,
     [](Recordset& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 0) {
         if (call.isPut()) raise(errc::InvalidOperation);
         call.setResult(self.fieldsObject());
         return;
       }
       Cursor& c = self.cursor();
       c.checkOpen();
       const int field = c.fieldIndex(call.arg(0));
       if (call.isPut()) c.setValue(field, call.value());
       else call.setResult(c.value(field));
     }},
    {u"Fields", 1, kGet | kMethod,
     [](Recordset& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 0) call.setResult(self.fieldsObject());
       else call.setResult(self.fields().item(call.arg(0)));
     }},
    {u"Name", 2, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       call.setResult(self.cursor().source().name);
     }},
    {u"EOF", 3, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       self.cursor().checkOpen();
       call.setResult(self.cursor().eof());
     }},
    {u"BOF", 4, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       self.cursor().checkOpen();
       call.setResult(self.cursor().bof());
     }},
    {u"MoveFirst", 5, kMethod, [](Recordset& self, Call& call) { method(call); self.cursor().moveFirst(); }},
    {u"MoveNext", 6, kMethod, [](Recordset& self, Call& call) { method(call); self.cursor().moveNext(); }},
    {u"MovePrevious", 7, kMethod, [](Recordset& self, Call& call) { method(call); self.cursor().movePrevious(); }},
    {u"MoveLast", 8, kMethod, [](Recordset& self, Call& call) { method(call, 0, 1); self.cursor().moveLast(); }},
    {u"Move", 9, kMethod, [](Recordset& self, Call& call) {
       method(call, 1, 2);
       if (call.has(1)) {
         self.cursor().setBookmark(call.arg(1));
       }
       self.cursor().move(call.int32(0));
     }},
    {u"RecordCount", 10, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       call.setResult(self.cursor().recordCount());
     }},
    {u"AbsolutePosition", 11, kProperty, [](Recordset& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.cursor().setAbsolutePosition(toInt32(call.value()));
       else call.setResult(self.cursor().absolutePosition());
     }},
    {u"Bookmark", 12, kProperty, [](Recordset& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.cursor().setBookmark(call.value());
       else call.setResult(self.cursor().bookmark());
     }},
    {u"Bookmarkable", 13, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       self.cursor().checkOpen();
       call.setResult(self.cursor().source().type != kOpenForwardOnly);
     }},
    {u"AddNew", 14, kMethod, [](Recordset& self, Call& call) { method(call); self.cursor().addNew(); }},
    {u"Edit", 15, kMethod, [](Recordset& self, Call& call) { method(call); self.cursor().edit(); }},
    {u"Update", 16, kMethod, [](Recordset& self, Call& call) { method(call, 0, 2); self.cursor().update(); }},
    {u"CancelUpdate", 17, kMethod, [](Recordset& self, Call& call) { method(call, 0, 1); self.cursor().cancelUpdate(); }},
    {u"Delete", 18, kMethod, [](Recordset& self, Call& call) { method(call); self.cursor().remove(); }},
    {u"EditMode", 19, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       self.cursor().checkOpen();
       call.setResult(self.cursor().editMode());
     }},
    {u"LastModified", 20, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       call.setResult(self.cursor().lastModified());
     }},
    // Sort and Filter apply to the recordsets that OpenRecordset makes from
    // this one; a text that does not parse is refused when it is set.
    {u"Sort", 21, kProperty, [](Recordset& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(self.sort);
       std::u16string text = toText(call.value());
       if (!text.empty()) self.cursor().orderOf(text);
       self.sort = std::move(text);
     }},
    {u"Filter", 22, kProperty, [](Recordset& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(self.filter);
       std::u16string text = toText(call.value());
       if (!text.empty()) self.cursor().conditionSql(text);
       self.filter = std::move(text);
     }},
    {u"OpenRecordset", 23, kMethod, [](Recordset& self, Call& call) {
       method(call, 0, 3);
       Cursor& c = self.cursor();
       std::int16_t type = c.source().type == kOpenTable ? kOpenDynaset : c.source().type;
       if (call.has(0)) type = call.int16(0);
       if (type != kOpenDynaset && type != kOpenSnapshot && type != kOpenForwardOnly) raise(errc::InvalidArgument);
       auto cursor = std::make_shared<Cursor>(c.derive(self.filter, self.sort, type));
       call.setResult(static_cast<IDispatch*>(makeObject<Recordset>(std::move(cursor)).get()));
     }},
    {u"FindFirst", 24, kMethod, [](Recordset& self, Call& call) { method(call, 1, 1); self.cursor().find(FindKind::First, call.text(0)); }},
    {u"FindNext", 25, kMethod, [](Recordset& self, Call& call) { method(call, 1, 1); self.cursor().find(FindKind::Next, call.text(0)); }},
    {u"FindPrevious", 26, kMethod, [](Recordset& self, Call& call) { method(call, 1, 1); self.cursor().find(FindKind::Previous, call.text(0)); }},
    {u"FindLast", 27, kMethod, [](Recordset& self, Call& call) { method(call, 1, 1); self.cursor().find(FindKind::Last, call.text(0)); }},
    {u"NoMatch", 28, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       self.cursor().checkOpen();
       call.setResult(self.cursor().noMatch());
     }},
    {u"Index", 29, kProperty, [](Recordset& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.cursor().setIndex(toText(call.value()));
       else call.setResult(self.cursor().indexName());
     }},
    {u"Seek", 30, kMethod, [](Recordset& self, Call& call) {
       method(call, 2, 1 + Cursor::kMostSeekKeys);
       // The keys are read where the caller put them (Seek converts each for
       // its field, following references), and a comparison passed as a
       // string is read without a copy.
       std::array<const Variant*, Cursor::kMostSeekKeys> keys;
       std::size_t n = 0;
       for (std::size_t i = 1; i < call.count() && call.has(i); ++i) keys[n++] = &call.arg(i);
       const Variant& comparison = call.arg(0);
       std::u16string copied;
       const std::u16string_view text =
           comparison.vt == VT_BSTR ? view(comparison.bstrVal) : std::u16string_view(copied = call.text(0));
       self.cursor().seek(text, std::span<const Variant* const>(keys.data(), n));
     }},
    {u"Close", 31, kMethod, [](Recordset& self, Call& call) {
       method(call);
       self.cursor().checkOpen();
       self.cursor().close();
     }},
    {u"Type", 32, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       call.setResult(self.cursor().source().type);
     }},
    {u"Updatable", 33, kProperty, [](Recordset& self, Call& call) {
       getOnly(call);
       const Cursor& c = self.cursor();
       call.setResult(c.source().updatable && !c.source().db->connection.readOnly());
     }},
    {u"LockEdits", 34, kProperty, [](Recordset& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.cursor().setLockEdits(toBool(call.value()));
       else call.setResult(self.cursor().lockEdits());
     }},
    {u"Requery", 35, kMethod, [](Recordset& self, Call& call) { method(call, 0, 1); self.cursor().requery(); }},
};

}  // namespace

std::span<const Member<Recordset>> Recordset::members() { return kMembers; }

HRESULT Recordset::QueryInterface(const IID& riid, void** object) noexcept {
  if (object && riid == frame::IRecordWalk::iid) {
    *object = static_cast<frame::IRecordWalk*>(this);
    AddRef();
    return S_OK;
  }
  return AutomationObject::QueryInterface(riid, object);
}

namespace {

// A walk's step fails as the member of the same name would: with the
// error's number and description, and the source of the object that owns
// the member.
template <typename F>
HRESULT walkStep(std::u16string_view source, F&& step) noexcept {
  try {
    step();
    return S_OK;
  } catch (...) {
    return frame::impl::reportEarlyCurrent(source);
  }
}

}  // namespace

HRESULT Recordset::AtEnd(VARIANT_BOOL* eof) noexcept {
  if (!eof) return E_POINTER;
  return walkStep(typeName(), [&] {
    cursor_->checkOpen();
    *eof = cursor_->eof() ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

HRESULT Recordset::MoveNext() noexcept {
  return walkStep(typeName(), [&] { cursor_->moveNext(); });
}

HRESULT Recordset::GetBookmark(VARIANT* bookmark) noexcept {
  if (!bookmark) return E_POINTER;
  return walkStep(typeName(), [&] { *bookmark = cursor_->bookmark().detach(); });
}

HRESULT Recordset::GetBookmarkBytes(std::uint64_t* bytes) noexcept {
  if (!bytes) return E_POINTER;
  return walkStep(typeName(), [&] {
    const std::int64_t key = cursor_->bookmarkKey();
    std::memcpy(bytes, &key, sizeof key);
  });
}

HRESULT Recordset::PeekValue(std::int32_t position, const VARIANT** value) noexcept {
  if (!value) return E_POINTER;
  return walkStep(Field::typeName(), [&] {
    if (position < 0 || position >= cursor_->fieldCount()) cursor_->fieldIndex(Variant(position));
    *value = &cursor_->value(position);
  });
}

HRESULT Recordset::BeginReads() noexcept {
  return walkStep(typeName(), [&] { cursor_->holdReads(); });
}

HRESULT Recordset::EndReads() noexcept {
  cursor_->releaseReads();
  return S_OK;
}

HRESULT Recordset::CountRemaining(std::int32_t* count) noexcept {
  if (!count) return E_POINTER;
  *count = 0;
  if (cursor_->source().type != kOpenTable) return S_FALSE;
  return walkStep(typeName(), [&] { *count = cursor_->remainingInTable(); });
}

}  // namespace tarnwick::engine
