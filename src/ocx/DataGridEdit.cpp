// The editing commands of a data grid: copy records to the clipboard as
// tab-separated text, paste such text as new records inside one
// transaction, and delete the selected records or all the grid shows.
#include "DataGridEdit.h"

#include "ClipboardRows.h"
#include "Int16Math.h"
#include <tarnwick/frame/RecordReader.h>

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/ErrorInfo.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/GridRows.h>
#include <tarnwick/frame/HostServices.h>
#include <tarnwick/frame/Progress.h>
#include <tarnwick/frame/Transaction.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace tarnwick::ocx {

namespace {

// The engine's error for a collection item that is not there.

constexpr std::int16_t kYesNoQuestion = frame::msgbox::YesNo + frame::msgbox::Question;

void callById(const Object& object, DISPID id) { object.invoke(id, DISPATCH_METHOD, {}, nullptr); }

// Counts of records and selected rows are the engine's and the grid's long
// integers, so grids of more than 32,767 records copy, paste and delete
// whole; the 16-bit rule holds for the grid's columns.

// The bookmarks of a grid's selected rows, in the order they were selected.
std::vector<Variant> selectedBookmarks(const Object& marks) {
  const std::int32_t count = toInt32(marks.get(u"Count"));
  std::vector<Variant> list;
  for (std::int32_t i = 0; i < count; ++i) {
    Variant index[] = {Variant(i)};
    list.push_back(marks.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, index, nullptr));
  }
  return list;
}

// A field as the copy reads it: through its Value member, found once.
struct CopiedField {
  Object field;
  DISPID valueId;
};

std::vector<CopiedField> copiedFields(const Object& records) {
  std::vector<CopiedField> list;
  for (Object& field : frame::collectionItems(Object(records.get(u"Fields")))) {
    const DISPID valueId = field.idOf(u"Value");
    list.push_back({std::move(field), valueId});
  }
  return list;
}

// A record's fields as one row of the copy: cells separated by tabs, closed
// by a carriage return.
void appendRow(std::u16string& text, frame::RecordReader& reader, const std::vector<CopiedField>& fields) {
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) text += u'\t';
    appendCopyText(text, reader.value(fields[k].field, fields[k].valueId, static_cast<std::int32_t>(k)));
  }
  text += u'\r';
}

// Every record from the first, in record order: each one's bookmark is
// added to the grid's selection (all rows then show as selected) and its
// row written while it is current, so no record is sought twice. The
// records copied are the ones walked, not as many as RecordCount says (it
// counts only the records reached so far) nor whatever the selection held
// before. The recordset ends on the last record copied.
std::u16string allRecordsText(const Object& records, const Object& marks, const std::vector<CopiedField>& fields) {
  records.call(u"MoveFirst");
  frame::RecordReader reader(records, frame::RecordReader::Uses::WalkAndBookmarks);
  const DISPID addId = marks.idOf(u"Add");
  // The engine's bookmarks go to the host's selection as their bytes, with
  // no array made for each record on the way.
  const ComPtr<frame::IBookmarkList> byBytes = marks.pointer().tryAs<frame::IBookmarkList>();
  std::u16string text;
  Variant mark[1];
  std::optional<std::uint64_t> lastBytes;
  frame::WorkProgress progress(u"Copying records");
  progress.countRemaining(records);
  // The first record is read before the end is tested: an empty recordset
  // has no current record to copy (the engine's error), rather than
  // silently emptying the clipboard.
  do {
    progress.next();
    if (byBytes && (lastBytes = reader.bookmarkBytes())) {
      if (const HRESULT hr = byBytes->AddBookmarkBytes(*lastBytes); failed(hr)) checkEarly(hr);
    } else {
      mark[0] = reader.bookmark();
      marks.invoke(addId, DISPATCH_METHOD, mark, nullptr);
    }
    appendRow(text, reader, fields);
    reader.moveNext();
  } while (!toBool(reader.eof()));
  reader.setBookmark(lastBytes ? frame::bookmarkOfBytes(*lastBytes) : mark[0]);
  return text;
}

std::u16string copiedText(const Object& grid, const Object& records) {
  const Object marks(grid.get(u"SelBookmarks"));
  const Int16 lastColumn = Int16::of(Object(grid.get(u"Columns")).get(u"Count")) - 1_i16;
  const std::vector<CopiedField> fields = copiedFields(records);
  // A column selection that reaches the last column copies every record.
  if (Int16::of(grid.get(u"SelEndCol")) == lastColumn) return allRecordsText(records, marks, fields);
  frame::RecordReader reader(records, frame::RecordReader::Uses::Bookmarks);
  std::u16string text;
  const std::vector<Variant> bookmarks = selectedBookmarks(marks);
  frame::WorkProgress progress(u"Copying records", static_cast<std::int32_t>(bookmarks.size()));
  for (const Variant& bookmark : bookmarks) {
    progress.next();
    reader.setBookmark(bookmark);
    appendRow(text, reader, fields);
  }
  return text;
}

// A field of the recordset a paste appends to.
struct PasteField {
  Object field;
  frame::FieldType type;
  bool allowZeroLength;
};

std::vector<PasteField> pasteFields(const Object& records) {
  std::vector<PasteField> list;
  for (Object& field : frame::collectionItems(Object(records.get(u"Fields")))) {
    const auto type = static_cast<frame::FieldType>(toInt16(field.get(u"Type")));
    const bool allowZeroLength = toBool(field.get(u"AllowZeroLength"));
    list.push_back({std::move(field), type, allowZeroLength});
  }
  return list;
}

bool isEmptyText(const Variant& value) { return value.valueType() == VT_BSTR && value.text().empty(); }

// Appends one record per row of `text` to the recordset. A field that may
// not hold the empty text gets Null instead before each record is saved.
void pasteRows(const Object& records, std::u16string_view text) {
  const std::vector<PasteField> fields = pasteFields(records);
  const Int16 last = Int16::of(static_cast<std::int64_t>(fields.size())) - 1_i16;
  const DISPID addNewId = records.idOf(u"AddNew");
  const DISPID updateId = records.idOf(u"Update");
  // Whether the record being added may hold the empty text in a field: true
  // until the paste stores a value other than the empty text there.
  std::vector<bool> mayBeEmpty(fields.size(), true);
  PasteCells cells(text);
  // One record per row; a cancel is undone with the rest of the paste.
  frame::WorkProgress progress(u"Pasting records", static_cast<std::int32_t>(std::count(text.begin(), text.end(), u'\r')));
  Int16 f;
  for (;;) {
    if (f == Int16()) {
      progress.next();
      callById(records, addNewId);
      mayBeEmpty.assign(fields.size(), true);
    }
    const PasteCells::Cell cell = cells.next(f == Int16());
    if (static_cast<std::size_t>(f.value()) >= fields.size()) raise(errc::ItemNotFound);
    const PasteField& field = fields[static_cast<std::size_t>(f.value())];
    if (const std::optional<Variant> value = pasteValue(cell.text, field.type)) {
      field.field.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &*value);
      mayBeEmpty[static_cast<std::size_t>(f.value())] = isEmptyText(*value);
    }
    if (f == last) {
      const Variant null = Variant::null();
      for (std::size_t k = 0; k < fields.size(); ++k) {
        if (fields[k].allowZeroLength || !mayBeEmpty[k]) continue;
        if (isEmptyText(fields[k].field.value())) fields[k].field.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &null);
      }
      callById(records, updateId);
      f = Int16();
    } else {
      ++f;
    }
    if (cell.last) break;
  }
}

// Undoes a paste that stopped on error `number`: none of the pasted records
// remain, and the record being added is dropped too, so that no later
// Update can save it half filled. The result is the error's number, or the
// rollback's when that fails as well.
std::int32_t undoPaste(std::optional<frame::Transaction>& transaction, const Object& records, std::int32_t number) {
  if (transaction && transaction->open())
    if (const std::int32_t rolledBack = frame::errorNumberOf([&] { transaction->rollback(); })) number = rolledBack;
  frame::errorNumberOf([&] {
    if (records && toInt32(records.get(u"EditMode")) != 0) records.call(u"CancelUpdate");
  });
  return number;
}

}  // namespace

void copyFromDbGrid(Call& call) {
  const std::int32_t number = frame::errorNumberOf([&] {
    const Object grid(call.object(0));
    const Object records(call.object(1));
    const std::u16string text = copiedText(grid, records);
    // The copy replaces whatever the clipboard held, in every format.
    const Object clipboard(frame::hostServices().get(u"Clipboard"));
    clipboard.call(u"Clear");
    clipboard.call(u"SetText", text);
  });
  call.setResult(static_cast<std::int16_t>(number));
}

void pasteToDbGrid(Call& call) {
  Object records;
  std::optional<frame::Transaction> transaction;  // begun once there is text to paste
  // Every error is caught, the finish's own too: the message is shown when
  // it can be, and the undoing runs even when it cannot.
  const std::optional<Error> failure = frame::runThenFinish(
      [&] {
        records = Object(call.object(0));
        const std::u16string text = toText(Object(frame::hostServices().get(u"Clipboard")).call(u"GetText"));
        if (text.find(u'\t') == std::u16string::npos) {
          frame::showMessage(u"Nothing to do", frame::msgbox::OkOnly);
          return;
        }
        transaction.emplace();
        pasteRows(records, text);
        transaction->commit();
      },
      frame::FinishErrors::Ignored);
  call.setResult(static_cast<std::int16_t>(failure ? undoPaste(transaction, records, failure->number()) : 0));
}

void deleteSelectedRecordsFromDbGrid(Call& call) {
  // Begun only when the host watches the delete and so may cancel it.
  std::optional<frame::Transaction> transaction;
  std::int32_t number = frame::errorNumberOf([&] {
    const Object grid(call.object(0));
    const Object dataControl(call.object(1));
    if (toInt32(grid.get(u"SelEndCol")) > -1) {
      if (frame::showMessage(u"Do you want to Delete all records in this Grid?", kYesNoQuestion) !=
          frame::msgbox::AnswerYes)
        return;
      const Object database(call.object(2));
      const std::u16string source = toText(dataControl.get(u"RecordSource"));
      requireDeleteAllSource(source);
      database.call(u"DeleteShownRecords", source);
      dataControl.call(u"Refresh");
      return;
    }
    const Object marks(grid.get(u"SelBookmarks"));
    std::u16string prompt = u"You are about to Delete ";
    prompt += numberToText(toDouble(marks.get(u"Count")));
    prompt += u" record(s). Do You want to continue?";
    if (frame::showMessage(prompt, kYesNoQuestion) != frame::msgbox::AnswerYes) return;
    // The selection is read whole first: deleting a record must not shift
    // the bookmarks still to be visited.
    const std::vector<Variant> bookmarks = selectedBookmarks(marks);
    const Object records(dataControl.get(u"Recordset"));
    frame::WorkProgress progress(u"Deleting records", static_cast<std::int32_t>(bookmarks.size()));
    if (progress.watched()) transaction.emplace();
    for (const Variant& bookmark : bookmarks) {
      progress.next();
      records.put(u"Bookmark", bookmark);
      records.call(u"Delete");
    }
  });
  // A cancelled delete is undone whole (the transaction rolls back as it
  // goes); one that an error stopped keeps the records deleted before it.
  if (transaction && number != errc::UserInterrupt)
    if (const std::int32_t committed = frame::errorNumberOf([&] { transaction->commit(); })) number = committed;
  call.setResult(static_cast<std::int16_t>(number));
}

}  // namespace tarnwick::ocx
