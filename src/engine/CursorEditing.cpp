// Changing records through a cursor: field values, AddNew, Edit, Update
// and Delete, and the conversion of a value for its field.
#include "Cursor.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/SafeArray.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace tarnwick::engine {

// ---------------------------------------------------------------------------
// Conversions for assignment

namespace {

[[noreturn]] void conversionError() { raise(errc::ConversionError); }

template <typename F>
auto converting(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const Error& e) {
    if (e.number() == errc::OutOfMemory) throw;
    conversionError();
  }
}

double numberOf(const Variant& v) {
  if (v.valueType() == VT_BSTR) {
    const std::u16string_view text = v.text();
    if (!isNumericText(text)) conversionError();
    return parseNumber(text);
  }
  return converting([&] { return toDouble(v); });
}

Variant convertPlain(const Variant& v, const FieldInfo& field) {
  const VARTYPE vt = v.valueType();
  if (vt == VT_NULL || vt == VT_EMPTY) return Variant::null();
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN || vt == VT_ERROR) conversionError();
  switch (field.type) {
    case FieldType::Boolean:
      if (vt == VT_BOOL) return Variant(v.boolVal != 0);
      if (vt == VT_BSTR && !isNumericText(v.text())) return converting([&] { return Variant(toBool(v)); });
      return Variant(numberOf(v) != 0.0);
    case FieldType::Byte: {
      const double d = numberOf(v);
      return converting([&] { return Variant(roundToByte(d)); });
    }
    case FieldType::Integer: {
      const double d = numberOf(v);
      return converting([&] { return Variant(roundToInt16(d)); });
    }
    case FieldType::Long: {
      if (vt == VT_I4) return Variant(v.lVal);
      const double d = numberOf(v);
      return converting([&] { return Variant(roundToInt32(d)); });
    }
    case FieldType::BigInt: {
      const double d = numberOf(v);
      return converting([&] { return Variant(roundToInt64(d)); });
    }
    case FieldType::Currency: {
      if (vt == VT_CY) return v;
      const double d = numberOf(v);
      return converting([&] { return Variant(doubleToCurrency(d)); });
    }
    case FieldType::Single: {
      const double d = numberOf(v);
      if (std::fabs(d) > 3.402823466e38) conversionError();
      return Variant(static_cast<float>(d));
    }
    case FieldType::Double: case FieldType::Numeric: case FieldType::Decimal: case FieldType::Float:
      if (vt == VT_R8) return Variant(v.dblVal);
      return Variant(numberOf(v));
    case FieldType::Date:
      if (vt == VT_BSTR && !isDate(v)) conversionError();
      return converting([&] { return Variant::date(toDate(v)); });
    case FieldType::Binary: case FieldType::LongBinary:
      if (v.isArray()) return v;
      return Variant(converting([&] { return toText(v); }));
    default: {
      if (vt == VT_BSTR) {
        const std::u16string_view text = v.text();
        if (field.size > 0 && text.size() > static_cast<std::size_t>(field.size)) raise(errc::FieldTooSmall);
        return Variant(text);
      }
      std::u16string text = converting([&] { return toText(v); });
      if (field.size > 0 && text.size() > static_cast<std::size_t>(field.size)) raise(errc::FieldTooSmall);
      return Variant(std::move(text));
    }
  }
}

}  // namespace

namespace {

// How a refused value is named in an error's note: its text, cut short.
std::u16string valueForNote(const Variant& value) {
  constexpr std::size_t kLongest = 40;
  const VARTYPE vt = value.valueType();
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) return u"an object";
  if (vt == VT_ERROR) return u"a missing value";
  try {
    std::u16string text = toText(value);
    if (text.size() > kLongest) text = text.substr(0, kLongest) + u"...";
    return quotedName(text);
  } catch (const Error&) {
    return u"of another type";
  }
}

}  // namespace

Variant convertForField(const Variant& input, const FieldInfo& field) {
  try {
    // A plain value is read where it is; only references and objects are
    // followed into a copy.
    if ((input.vt & VT_BYREF) == 0 && input.vt != VT_DISPATCH && input.vt != VT_UNKNOWN) return convertPlain(input, field);
    return convertPlain(plainValue(input), field);
  } catch (Error& e) {
    // The platform's text says only that a value did not fit; the note says
    // which field refused which value.
    if ((e.number() == errc::ConversionError || e.number() == errc::FieldTooSmall) && e.note().empty())
      e.noted(u"field " + quotedName(field.name) + u", value " + valueForNote(input));
    throw;
  }
}

// Values

const Variant& Cursor::value(int field) {
  if (editMode_ != kEditNone) {
    checkOpen();
    const auto at = static_cast<std::size_t>(field);
    // A counter the storage numbers is numbered when the new record first
    // shows it.
    if (!unnumbered_.empty() && unnumbered_[at]) {
      buffer_[at] = nextAutomaticValue(table().fields[at]);
      unnumbered_[at] = false;
    }
    return buffer_[at];
  }
  ensureRow();
  return row_[static_cast<std::size_t>(field)];
}

void Cursor::setValue(int field, const Variant& value) {
  requireUpdatable();
  if (editMode_ == kEditNone) raise(errc::NoAddNewOrEdit);
  const FieldInfo& f = table().fields[static_cast<std::size_t>(field)];
  if (f.autoIncrement) raise(errc::FieldNotUpdatable);
  buffer_[static_cast<std::size_t>(field)] = convertForField(value, f);
  dirty_[static_cast<std::size_t>(field)] = true;
}

Variant Cursor::nextAutomaticValue(const FieldInfo& field) {
  // A counter numbered by the storage's sequence: a number once taken is
  // nobody else's, so the record is saved with the number it showed (a
  // record never saved leaves its number unused). Numbers written by an
  // INSERT pass the sequence by: it then goes on after the highest.
  const Dialect& dialect = connection().dialect();
  if (dialect.countersFromSequence()) {
    Statement& s = connection().cached(dialect.nextCounter(table().quoted, field.column));
    const std::string name = toUtf8(field.name);
    for (int i = 1; i <= 3; i += 2) {
      s.bind(i, std::string_view(table().quoted));
      s.bind(i + 1, std::string_view(name));
    }
    s.step();
    const std::int64_t next = s.int64(0);
    s.reset();
    return Variant(static_cast<std::int32_t>(next));
  }
  // Adding many records in a row asks the file only once.
  if (automaticWrites_ == connection().writeCount()) return Variant(static_cast<std::int32_t>(nextAutomatic_));
  Statement& s = connection().cached("SELECT max(" + field.column + ") FROM " + table().quoted);
  s.step();
  std::int64_t next = s.int64(0) + 1;
  s.reset();
  // Numbers once given are not given again, even after their records went.
  if (const auto given = connection().session().highestNumberGiven(table().name)) next = std::max(next, *given + 1);
  nextAutomatic_ = next;
  automaticWrites_ = connection().writeCount();
  return Variant(static_cast<std::int32_t>(next));
}

bool Cursor::renumberCounters() {
  bool renumbered = false;
  const auto& fields = table().fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!fields[i].autoIncrement) continue;
    automaticWrites_ = ~std::uint64_t{0};  // read the file again
    Variant next = nextAutomaticValue(fields[i]);
    if (toDouble(next) > toDouble(buffer_[i])) {
      buffer_[i] = std::move(next);
      renumbered = true;
    }
  }
  return renumbered;
}

// Editing

void Cursor::addNew() {
  requireUpdatable();
  const auto& fields = table().fields;
  buffer_.resize(fields.size());
  dirty_.assign(fields.size(), false);
  unnumbered_.clear();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    // A counter nobody reads before the record is saved takes the number
    // the storage gives it: its sequence's, or the row's own number (the
    // same number the engine would show: one past the highest ever given).
    // One statement less per addition where a sequence numbers it, and the
    // storage need not check that a row's number is free.
    if (fields[i].autoIncrement && (connection().dialect().countersFromSequence() || fields[i].rowNumber)) {
      buffer_[i] = Variant::null();
      unnumbered_.resize(fields.size());
      unnumbered_[i] = true;
    }
    else if (fields[i].autoIncrement) buffer_[i] = nextAutomaticValue(fields[i]);
    else if (fields[i].type == FieldType::Boolean) buffer_[i] = Variant(false);
    else buffer_[i] = Variant::null();
  }
  editMode_ = kEditAdd;
}

void Cursor::edit() {
  requireUpdatable();
  endEdit();
  requireCurrent();
  const std::int64_t key = keys_[static_cast<std::size_t>(pos_)];
  if (deleted(key)) raise(errc::RecordDeleted);
  if (lockEdits_) {
    locks().lock(table().quoted, key, this);
    lockHeld_ = true;
    editKey_ = key;
  }
  // The record as it is now, also when this recordset read it before.
  if (!readRow(key, &editImage_)) {
    endEdit();
    raise(errc::RecordDeleted);
  }
  buffer_ = row_;
  dirty_.assign(buffer_.size(), false);
  editKey_ = key;
  editMode_ = kEditInProgress;
}

void Cursor::endEdit() noexcept {
  unnumbered_.clear();
  if (lockHeld_) locks().unlock(table().quoted, editKey_, this);
  lockHeld_ = false;
  editMode_ = kEditNone;
}

void Cursor::setLockEdits(bool pessimistic) {
  checkOpen();
  // An edit under way keeps the rule it began with.
  lockEdits_ = pessimistic;
}

void Cursor::requery() {
  if (closed_) refuseClosed();
  connection().checkOpen();
  endEdit();
  if (!source_.query.empty()) {
    // A copy lost with its session is made again here.
    if (source_.temporary) source_.temporary->refill(source_.query);
    else connection().exec(source_.query);
    connection().noteWrite();
  }
  resetWindow();
  pos_ = -1;
  moveNext();
  if (eof_) bof_ = true;
}

void Cursor::cancelUpdate() {
  checkOpen();
  if (editMode_ == kEditNone) raise(errc::NoAddNewOrEdit);
  endEdit();
}

void Cursor::placeAt(std::int64_t rowid) {
  if (exhausted_) {
    // No statement will meet it again: it simply joins the end.
    appendKey(rowid);
    if (!source_.order.empty()) {
      if (auto values = fetchOrderValues(rowid)) backValues_ = std::move(*values);
    }
    return;
  }
  pendingAdded_.push_back(rowid);
  placed_.insert(rowid);
}

void Cursor::update() {
  requireUpdatable();
  if (editMode_ == kEditNone) raise(errc::NoAddNewOrEdit);
  const auto& fields = table().fields;
  const bool adding = editMode_ == kEditAdd;
  // The fields written, and the rules of each field, checked before
  // anything is written.
  std::vector<std::uint8_t>& mask = maskScratch_;
  mask.resize(fields.size());
  bool any = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldInfo& f = fields[i];
    const bool dirty = dirty_[i];
    const bool unnumbered = adding && !unnumbered_.empty() && unnumbered_[i];
    const bool written = dirty || (adding && f.autoIncrement && !unnumbered);
    mask[i] = written;
    any = any || written;
    if ((!adding && !dirty) || unnumbered) continue;
    const Variant& v = buffer_[i];
    if (f.required && v.isNull()) raise(errc::RequiredNull, f.name);
    if (isTextType(f.type) && !f.allowZeroLength && v.valueType() == VT_BSTR && v.text().empty())
      raise(errc::ZeroLength, f.name);
  }
  if (!adding && !any) {
    endEdit();
    lastModified_ = editKey_;
    return;
  }
  // A changed record is written in one write transaction with the check
  // that nobody else changed, deleted or locked it since Edit.
  std::optional<WriteScope> scope;
  // Where a refused statement would spoil the whole open transaction, each
  // save has a savepoint of its own.
  const Dialect& dialect = connection().dialect();
  if (adding && dialect.savepointPerSave() && connection().transactionDepth() > 0) scope.emplace(connection().session());
  if (!adding) {
    scope.emplace(connection().session());
    // A lock this recordset holds is checked too: its store may have lost it.
    locks().checkFree(table().quoted, editKey_, this);
    // Where the scope does not hold the database whole, the record stays
    // locked from this read to the write, so that nobody changes it between.
    Statement& now = recordByKey(dialect.locksRecordBeforeSave());
    now.bind(1, editKey_);
    const bool there = now.step();
    const bool same = there && now.image(1, fieldCount()) == editImage_;
    now.reset();
    if (!same) {
      // The edit is over; the record shows the other user's values.
      endEdit();
      rowValid_ = false;
      raise(errc::WriteConflict);
    }
  }
  // Records saved one after another write the same fields: the statement
  // is kept rather than looked up again.
  if (!saveStatement_ || saveAdding_ != adding || saveColumns_ != mask) {
    std::vector<std::size_t> columns;
    for (std::size_t i = 0; i < fields.size(); ++i)
      if (mask[i]) columns.push_back(i);
    std::string sql;
    if (adding) {
      sql = "INSERT INTO " + table().quoted;
      if (columns.empty()) {
        sql += " DEFAULT VALUES";
      } else {
        std::string names, marks;
        for (std::size_t i : columns) {
          names += (names.empty() ? "" : ", ") + fields[i].column;
          marks += marks.empty() ? "?" : ", ?";
        }
        sql += " (" + names + ") VALUES (" + marks + ")";
      }
      sql += dialect.insertKeyClause();
    } else {
      sql = "UPDATE " + table().quoted + " SET ";
      for (std::size_t k = 0; k < columns.size(); ++k) sql += (k ? ", " : "") + fields[columns[k]].column + " = ?";
      sql += " WHERE rowid = ?";
    }
    saveStatement_ = connection().sharedCached(sql);
    saveAdding_ = adding;
    saveColumns_ = mask;
    saveColumnList_ = std::move(columns);
  }
  Statement& s = *saveStatement_;
  // Every parameter is bound again, so the old bindings need no clearing;
  // the statement was made ready again after its last run (or its failure).
  const auto bindAll = [&] {
    int n = 0;
    for (std::size_t i : saveColumnList_) s.bind(++n, buffer_[i], fields[i].type);
    if (!adding) s.bind(++n, editKey_);
  };
  bindAll();
  // A counter's number was chosen at AddNew; another user may have saved a
  // record with it since. The addition then takes the next free number (a
  // few times over, should others keep taking it).
  std::int64_t addedKey = 0;
  bool numberAndRetry = false;
  for (int attempt = 0;; ++attempt) {
    try {
      if (s.step()) addedKey = s.int64(0);
      break;
    } catch (const Error& e) {
      s.rewind();
      // A counter numbered from a sequence, which numbers written by a
      // statement pass by: the record is saved again with the counter
      // numbered past them (once the failed change is undone).
      if (adding && e.number() == errc::DuplicateKey && dialect.countersFromSequence() &&
          std::find(unnumbered_.begin(), unnumbered_.end(), std::uint8_t{1}) != unnumbered_.end()) {
        numberAndRetry = true;
        break;
      }
      if (!adding || e.number() != errc::DuplicateKey || attempt == 3 || dialect.countersFromSequence() ||
          !renumberCounters())
        throw;
      bindAll();
    }
  }
  s.rewind();
  if (numberAndRetry) {
    scope.reset();
    for (std::size_t i = 0; i < unnumbered_.size(); ++i)
      if (unnumbered_[i]) value(static_cast<int>(i));
    return update();
  }
  if (scope) scope->commit();
  const bool nobodyElseWrote = automaticWrites_ == connection().writeCount();
  connection().noteWrite();
  if (adding) {
    const std::int64_t rowid = dialect.insertReturnsKey() ? addedKey : connection().lastRowid();
    if (nobodyElseWrote) {
      nextAutomatic_ = std::max(nextAutomatic_, rowid + 1);
      automaticWrites_ = connection().writeCount();
    }
    lastModified_ = rowid;
    placeAt(rowid);
  } else {
    lastModified_ = editKey_;
    if (!source_.order.empty()) placed_.insert(editKey_);
  }
  endEdit();
  rowValid_ = false;
}

void Cursor::remove() {
  requireUpdatable();
  requireCurrent();
  endEdit();
  const std::int64_t key = keys_[static_cast<std::size_t>(pos_)];
  if (deleted(key)) raise(errc::RecordDeleted);
  locks().checkFree(table().quoted, key, this);
  std::optional<WriteScope> scope;
  if (connection().dialect().savepointPerSave() && connection().transactionDepth() > 0)
    scope.emplace(connection().session());
  Statement& s = connection().cached("DELETE FROM " + table().quoted + " WHERE rowid = ?");
  s.bind(1, key);
  s.step();
  const bool gone = connection().changes() > 0;
  s.reset();
  if (scope) scope->commit();
  connection().noteWrite();
  deleted_.insert(key);
  if (!gone) raise(errc::RecordDeleted);
}

Variant Cursor::lastModified() const {
  checkOpen();
  if (!lastModified_) raise(errc::NoCurrentRecord);
  SafeArray bytes(VT_UI1, 0, 8);
  std::memcpy(bytes.get()->pvData, &*lastModified_, 8);
  return std::move(bytes).toVariant();
}

}  // namespace tarnwick::engine
