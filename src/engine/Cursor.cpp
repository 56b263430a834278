#include "Cursor.h"

#include "SqlDialect.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/SafeArray.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarnwick::engine {

// ---------------------------------------------------------------------------
// Temporary tables

TemporaryTable::~TemporaryTable() {
  if (!db_ || !db_->connection.isOpen()) return;
  try {
    db_->connection.exec("DROP TABLE IF EXISTS temp." + quoteName(std::string_view(name_)));
  } catch (...) {
    // A statement still running keeps the table; it is dropped later, or
    // vanishes with the connection.
    db_->leftoverTemporaries.push_back(name_);
  }
}

namespace {

void dropLeftovers(DatabaseCore& db) {
  auto names = std::move(db.leftoverTemporaries);
  db.leftoverTemporaries.clear();
  for (const std::string& n : names) {
    try {
      db.connection.exec("DROP TABLE IF EXISTS temp." + quoteName(std::string_view(n)));
    } catch (...) {
      db.leftoverTemporaries.push_back(n);
    }
  }
}

}  // namespace

Source materialise(const std::shared_ptr<DatabaseCore>& db, const std::string& sql, std::u16string name,
                   std::int16_t type) {
  Connection& c = db->connection;
  dropLeftovers(*db);
  auto info = std::make_shared<TableInfo>();
  const std::string temporary = c.temporaryName();
  info->name = fromUtf8(temporary);
  info->quoted = "temp." + quoteName(std::string_view(temporary));
  {
    Statement query(c, sql);
    const int n = query.columnCount();
    std::vector<std::u16string> names;
    bool firstRow = false, stepped = false;
    for (int i = 0; i < n; ++i) {
      std::u16string fieldName = fromUtf8(query.columnName(i));
      if (const auto colon = fieldName.find(u':'); colon != std::u16string::npos && query.originColumn(i).size())
        fieldName = fromUtf8(query.originColumn(i));
      FieldInfo f;
      const std::string originTable = query.originTable(i);
      if (!originTable.empty()) {
        if (const auto origin = db->catalogue.table(fromUtf8(originTable))) {
          const int at = origin->fieldIndex(fromUtf8(query.originColumn(i)));
          if (at >= 0) f = origin->fields[static_cast<std::size_t>(at)];
          f.sourceTable = origin->name;
          f.sourceField = f.name;
        }
      } else {
        f = fieldFromDeclaration(fieldName, query.declaredType(i));
      }
      if (originTable.empty() && query.declaredType(i).empty()) {
        // An expression: typed by what its first value holds.
        if (!stepped) firstRow = query.step(), stepped = true;
        const int storage = firstRow ? query.storage(i) : 5;
        f.type = storage == 1 ? FieldType::Long : storage == 2 ? FieldType::Double : FieldType::Memo;
      }
      f.name = fieldName;
      f.autoIncrement = false;
      names.push_back(fieldName);
      info->fields.push_back(std::move(f));
    }
    // Fields of the same name from several tables are told apart by their table.
    for (std::size_t i = 0; i < info->fields.size(); ++i) {
      const auto same = std::count_if(names.begin(), names.end(),
                                      [&](const std::u16string& x) { return equalsIgnoreCase(x, names[i]); });
      FieldInfo& f = info->fields[i];
      if (same > 1 && !f.sourceTable.empty()) f.name = f.sourceTable + u"." + f.name;
      f.column = quoteName(std::u16string_view(f.name));
    }
  }
  std::string create = "CREATE TEMP TABLE " + quoteName(std::string_view(temporary)) + " (";
  for (std::size_t i = 0; i < info->fields.size(); ++i) {
    if (i) create += ", ";
    create += info->fields[i].column + " " + declarationOf(info->fields[i]);
  }
  create += ")";
  c.exec(create);
  auto holder = std::make_shared<TemporaryTable>(db, temporary);
  c.exec("INSERT INTO " + info->quoted + " " + sql);
  Source source;
  source.db = db;
  source.table = std::move(info);
  source.temporary = std::move(holder);
  source.name = std::move(name);
  source.type = type;
  source.updatable = false;
  return source;
}

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

}  // namespace

Variant convertForField(const Variant& input, const FieldInfo& field) {
  // A plain value is read where it is; only references and objects are
  // followed into a copy.
  const bool plain = (input.vt & VT_BYREF) == 0 && input.vt != VT_DISPATCH && input.vt != VT_UNKNOWN;
  Variant followed;
  if (!plain) followed = plainValue(input);
  const Variant& v = plain ? input : followed;
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

// ---------------------------------------------------------------------------
// Cursor

Cursor::Cursor(Source source) : source_(std::move(source)) {
  dirty_.assign(source_.table->fields.size(), false);
  // A recordset opens on its first record.
  resetWindow();
  moveNext();
  if (eof_) bof_ = true;
}

void Cursor::close() noexcept {
  closed_ = true;
  forward_ = Statement();
  backward_ = Statement();
  forwardOpen_ = backwardOpen_ = false;
  closeReread();
}

void Cursor::checkOpen() const {
  if (closed_) raise(errc::ObjectInvalid);
  source_.db->connection.checkOpen();
}

int Cursor::fieldIndex(const Variant& input) const {
  const Variant v = input.value();
  if (v.valueType() == VT_BSTR) {
    const int at = table().fieldIndex(v.text());
    if (at < 0) raise(errc::ItemNotFound);
    return at;
  }
  std::int32_t at = -1;
  try {
    at = toInt32(v);
  } catch (const Error&) {
    raise(errc::ItemNotFound);
  }
  if (at < 0 || at >= fieldCount()) raise(errc::ItemNotFound);
  return at;
}

std::string Cursor::selectList() const {
  std::string list = "rowid";
  for (const FieldInfo& f : table().fields) list += ", " + f.column;
  return list;
}

std::string Cursor::orderClause(bool backward) const {
  std::string out = " ORDER BY ";
  for (const OrderKey& k : source_.order) {
    out += table().fields[static_cast<std::size_t>(k.field)].column;
    out += (k.descending != backward) ? " DESC, " : ", ";
  }
  out += backward ? "rowid DESC" : "rowid";
  return out;
}

std::string Cursor::where(const std::string& extra) const {
  if (source_.filterSql.empty() && extra.empty()) return {};
  if (source_.filterSql.empty()) return " WHERE " + extra;
  if (extra.empty()) return " WHERE " + source_.filterSql;
  return " WHERE " + source_.filterSql + " AND " + extra;
}

std::string Cursor::beyond(const std::vector<RawValue>& keys, std::int64_t rowid, bool backward,
                           std::vector<RawValue>& binds) const {
  const auto& fields = table().fields;
  const char* rowidOp = backward ? "rowid < ?" : "rowid > ?";
  if (source_.order.empty()) {
    binds.emplace_back(rowid);
    return rowidOp;
  }
  // Row values compare exactly when no bound value is Null and all keys run
  // one way over columns that cannot hold Null (Null sorts first).
  bool rowValues = true;
  const bool firstAscending = source_.order[0].descending == backward;
  for (std::size_t i = 0; i < source_.order.size(); ++i) {
    const bool ascending = source_.order[i].descending == backward;
    const FieldInfo& f = fields[static_cast<std::size_t>(source_.order[i].field)];
    if (keys[i].index() == 0 || ascending != firstAscending || (!ascending && !f.required)) rowValues = false;
  }
  if (rowValues) {
    std::string lhs = "(", rhs = "(";
    for (std::size_t i = 0; i < source_.order.size(); ++i) {
      lhs += fields[static_cast<std::size_t>(source_.order[i].field)].column + ", ";
      rhs += "?, ";
      binds.push_back(keys[i]);
    }
    binds.emplace_back(rowid);
    return lhs + "rowid) " + (firstAscending ? "> " : "< ") + rhs + "?)";
  }
  // The general form: later on the first key, or equal there and later on the rest.
  std::string out;
  std::string closing;
  for (std::size_t i = 0; i < source_.order.size(); ++i) {
    const bool ascending = source_.order[i].descending == backward;
    const std::string& c = fields[static_cast<std::size_t>(source_.order[i].field)].column;
    const bool null = keys[i].index() == 0;
    std::string later;
    if (ascending) {
      later = null ? c + " IS NOT NULL" : c + " > ?";
    } else {
      later = null ? "0" : "(" + c + " < ? OR " + c + " IS NULL)";
    }
    if (!null) binds.push_back(keys[i]);
    out += "(" + later + " OR (" + (null ? c + " IS NULL" : c + " = ?") + " AND ";
    if (!null) binds.push_back(keys[i]);
    closing += "))";
  }
  binds.emplace_back(rowid);
  return out + rowidOp + closing;
}

std::vector<RawValue> Cursor::orderValuesOf(const Statement& row, int firstField) const {
  std::vector<RawValue> values;
  values.reserve(source_.order.size());
  for (const OrderKey& k : source_.order) values.push_back(row.raw(firstField + k.field));
  return values;
}

std::optional<std::vector<RawValue>> Cursor::fetchOrderValues(std::int64_t rowid) const {
  Statement& s = connection().cached("SELECT " + selectList() + " FROM " + table().quoted + where("rowid = ?"));
  int n = 1;
  s.bind(n, rowid);
  if (!s.step()) return std::nullopt;
  auto values = orderValuesOf(s, 1);
  s.reset();
  return values;
}

void Cursor::resetWindow() {
  keys_.clear();
  positions_.clear();
  positionShift_ = 0;
  positionsKept_ = false;
  closeReread();
  base_ = 0;
  frontValues_.clear();
  backValues_.clear();
  exhausted_ = false;
  pos_ = -1;
  bof_ = eof_ = false;
  deleted_.clear();
  placed_.clear();
  pendingAdded_.clear();
  forwardOpen_ = backwardOpen_ = false;
  rowValid_ = false;
}

bool Cursor::reanchor(std::int64_t rowid) {
  auto values = fetchOrderValues(rowid);
  if (!values) return false;
  resetWindow();
  base_.reset();
  appendKey(rowid);
  frontValues_ = *values;
  backValues_ = std::move(*values);
  pos_ = 0;
  return true;
}

void Cursor::openStepper(bool backward) {
  std::vector<RawValue> binds;
  std::string extra;
  if (!keys_.empty()) extra = beyond(backward ? frontValues_ : backValues_, backward ? keys_.front() : keys_.back(), backward, binds);
  const std::string sql = "SELECT " + selectList() + " FROM " + table().quoted + where(extra) + orderClause(backward);
  Statement& s = backward ? backward_ : forward_;
  s = Statement(connection(), sql);
  for (std::size_t i = 0; i < binds.size(); ++i) s.bind(static_cast<int>(i + 1), binds[i]);
  (backward ? backwardOpen_ : forwardOpen_) = true;
  stepperRollbacks_ = connection().rollbackCount();
}

void Cursor::decodeRow(const Statement& row) {
  const auto& fields = table().fields;
  row_.resize(fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i) row_[i] = row.value(static_cast<int>(i + 1), fields[i].type);
  rowKey_ = row.int64(0);
  rowWrites_ = connection().writeCount();
  rowValid_ = true;
}

bool Cursor::stepForward(bool decode) {
  if (exhausted_) return false;
  // A rollback may have ended the statement: resume after the window.
  if (forwardOpen_ && stepperRollbacks_ != connection().rollbackCount()) forwardOpen_ = false;
  if (!forwardOpen_) openStepper(false);
  while (forward_.step()) {
    const std::int64_t rowid = forward_.int64(0);
    if (!placed_.empty() && placed_.count(rowid)) continue;
    appendKey(rowid);
    if (!source_.order.empty()) backValues_ = orderValuesOf(forward_, 1);
    if (keys_.size() == 1) frontValues_ = backValues_;
    if (decode) decodeRow(forward_);
    return true;
  }
  forwardOpen_ = false;
  forward_ = Statement();
  exhausted_ = true;
  // Records added through this recordset come after those it had.
  const bool any = !pendingAdded_.empty();
  for (const std::int64_t id : pendingAdded_) appendKey(id);
  pendingAdded_.clear();
  if (any) {
    if (auto values = fetchOrderValues(keys_.back())) backValues_ = std::move(*values);
    rowValid_ = false;
  }
  return any;
}

bool Cursor::stepBackward() {
  if (base_ && *base_ == 0) return false;
  if (backwardOpen_ && stepperRollbacks_ != connection().rollbackCount()) backwardOpen_ = false;
  if (!backwardOpen_) openStepper(true);
  while (backward_.step()) {
    const std::int64_t rowid = backward_.int64(0);
    if (!placed_.empty() && placed_.count(rowid)) continue;
    prependKey(rowid);
    if (!source_.order.empty()) frontValues_ = orderValuesOf(backward_, 1);
    if (keys_.size() == 1) backValues_ = frontValues_;
    if (base_) --*base_;
    ++pos_;
    decodeRow(backward_);
    return true;
  }
  backwardOpen_ = false;
  backward_ = Statement();
  base_ = 0;
  return false;
}

void Cursor::ensureRow() {
  requireCurrent();
  const std::int64_t key = keys_[static_cast<std::size_t>(pos_)];
  if (deleted(key)) raise(errc::RecordDeleted);
  if (rowValid_ && rowKey_ == key && rowWrites_ == connection().writeCount()) return;
  if (rereadInOrder(key)) return;
  // Reading the record after the one read before, twice in a row, is taken
  // for a walk over the window: the records after it are then stepped to.
  const bool afterPrevious = pos_ > 0 && rowKey_ == keys_[static_cast<std::size_t>(pos_ - 1)];
  sequentialReads_ = afterPrevious ? sequentialReads_ + 1 : 0;
  Statement& s = connection().cached("SELECT " + selectList() + " FROM " + table().quoted + " WHERE rowid = ?");
  s.bind(1, key);
  if (!s.step()) raise(errc::RecordDeleted);
  decodeRow(s);
  s.reset();
  if (sequentialReads_ >= 2 && static_cast<std::size_t>(pos_) + 1 < keys_.size()) openReread(pos_);
}

bool Cursor::rereadInOrder(std::int64_t key) {
  if (!rereadOpen_) return false;
  // Only the next record of the window, with nothing written since the
  // statement began (a write may or may not show in a running statement).
  if (rereadWrites_ != connection().writeCount() || pos_ != rereadAt_ + 1) {
    closeReread();
    return false;
  }
  bool same = false;
  try {
    same = reread_.step() && reread_.int64(0) == key;
  } catch (const Error&) {
    same = false;  // read again by key below, which reports what is wrong
  }
  if (!same) {
    // A record added or moved by someone else, or one this recordset placed
    // elsewhere: the window's order wins, the statement is dropped.
    closeReread();
    return false;
  }
  decodeRow(reread_);
  rereadAt_ = pos_;
  // At the window's last record the walk is over, and the file is let go.
  if (static_cast<std::size_t>(pos_) + 1 >= keys_.size()) closeReread();
  return true;
}

void Cursor::openReread(std::ptrdiff_t at) {
  closeReread();
  const std::int64_t key = keys_[static_cast<std::size_t>(at)];
  std::vector<RawValue> binds;
  std::string extra;
  if (source_.order.empty()) {
    extra = beyond({}, key, false, binds);
  } else {
    const auto values = fetchOrderValues(key);
    if (!values) return;
    extra = beyond(*values, key, false, binds);
  }
  reread_ = Statement(connection(), "SELECT " + selectList() + " FROM " + table().quoted + where(extra) + orderClause(false));
  for (std::size_t i = 0; i < binds.size(); ++i) reread_.bind(static_cast<int>(i + 1), binds[i]);
  rereadOpen_ = true;
  rereadAt_ = at;
  rereadWrites_ = connection().writeCount();
}

void Cursor::closeReread() noexcept {
  if (rereadOpen_) reread_ = Statement();
  rereadOpen_ = false;
  rereadAt_ = -1;
}

void Cursor::appendKey(std::int64_t rowid) {
  keys_.push_back(rowid);
  // The first of equal keys is the one found, as a search from the front finds it.
  if (positionsKept_) positions_.emplace(rowid, static_cast<std::int64_t>(keys_.size()) - 1 - positionShift_);
}

void Cursor::prependKey(std::int64_t rowid) {
  keys_.push_front(rowid);
  if (positionsKept_) {
    ++positionShift_;
    positions_.insert_or_assign(rowid, -positionShift_);
  }
}

std::ptrdiff_t Cursor::windowIndexOf(std::int64_t rowid) {
  // Small windows are searched; a large one gets its index of positions once.
  constexpr std::size_t kSearched = 64;
  if (!positionsKept_) {
    if (keys_.size() <= kSearched) {
      const auto at = std::find(keys_.begin(), keys_.end(), rowid);
      return at == keys_.end() ? -1 : at - keys_.begin();
    }
    positions_.clear();
    positions_.reserve(keys_.size());
    positionShift_ = 0;
    for (std::size_t i = 0; i < keys_.size(); ++i) positions_.emplace(keys_[i], static_cast<std::int64_t>(i));
    positionsKept_ = true;
  }
  const auto at = positions_.find(rowid);
  return at == positions_.end() ? -1 : static_cast<std::ptrdiff_t>(at->second + positionShift_);
}

void Cursor::requireCurrent() const {
  checkOpen();
  if (bof_ || eof_ || pos_ < 0 || pos_ >= static_cast<std::ptrdiff_t>(keys_.size())) raise(errc::NoCurrentRecord);
}

void Cursor::requireUpdatable() const {
  checkOpen();
  if (!source_.updatable || connection().readOnly()) raise(errc::ReadOnly);
}

void Cursor::forwardOnlyRefuses() const {
  if (source_.type == kOpenForwardOnly) raise(errc::OperationNotSupported);
}

// Moving

void Cursor::moveFirst() {
  checkOpen();
  editMode_ = kEditNone;
  closeReread();
  if (source_.type == kOpenForwardOnly || !(base_ && *base_ == 0)) resetWindow();
  pos_ = -1;
  bof_ = eof_ = false;
  moveNext();
  if (eof_) bof_ = true;  // no records at all
}

void Cursor::moveLast() {
  checkOpen();
  editMode_ = kEditNone;
  closeReread();
  if (source_.type == kOpenForwardOnly) {
    if (eof_) raise(errc::NoCurrentRecord);
    while (!eof_) moveNext();
    movePrevious();
    return;
  }
  if (exhausted_ && !keys_.empty()) {
    pos_ = static_cast<std::ptrdiff_t>(keys_.size());
    eof_ = false;
    movePrevious();
    if (!bof_) return;
  }
  resetWindow();
  base_.reset();
  exhausted_ = true;
  if (!stepBackward()) {
    bof_ = eof_ = true;
    return;
  }
  pos_ = 0;
  bof_ = eof_ = false;
}

void Cursor::moveNext() {
  checkOpen();
  if (eof_) raise(errc::NoCurrentRecord);
  editMode_ = kEditNone;
  std::size_t next = static_cast<std::size_t>(pos_ + 1);
  while (next < keys_.size() && deleted(keys_[next])) ++next;
  bof_ = false;
  if (next < keys_.size()) {
    pos_ = static_cast<std::ptrdiff_t>(next);
  } else if (stepForward(true)) {
    pos_ = static_cast<std::ptrdiff_t>(keys_.size() - 1);
  } else {
    pos_ = static_cast<std::ptrdiff_t>(keys_.size());
    eof_ = true;
  }
  // A forward-only recordset keeps no record behind the current one.
  if (source_.type == kOpenForwardOnly && pos_ > 0) {
    const auto drop = static_cast<std::size_t>(pos_);
    keys_.erase(keys_.begin(), keys_.begin() + static_cast<std::ptrdiff_t>(drop));
    positions_.clear();
    positionsKept_ = false;
    if (base_) *base_ += static_cast<std::int64_t>(drop);
    pos_ = 0;
  }
}

void Cursor::movePrevious() {
  checkOpen();
  forwardOnlyRefuses();
  if (bof_) raise(errc::NoCurrentRecord);
  editMode_ = kEditNone;
  closeReread();
  std::ptrdiff_t previous = pos_ - 1;
  while (previous >= 0 && deleted(keys_[static_cast<std::size_t>(previous)])) --previous;
  eof_ = false;
  if (previous >= 0) {
    pos_ = previous;
    return;
  }
  // Before the window: step back from its first record.
  pos_ = -1;
  if (stepBackward()) {
    pos_ = 0;
    return;
  }
  bof_ = true;
  if (keys_.empty()) eof_ = true;
}

void Cursor::move(std::int32_t rows) {
  checkOpen();
  if (rows < 0) forwardOnlyRefuses();
  if (rows != 0) requireCurrent();
  for (; rows > 0 && !eof_; --rows) moveNext();
  for (; rows < 0 && !bof_; ++rows) movePrevious();
}

std::int32_t Cursor::recordCount() {
  checkOpen();
  if (!base_) {
    // The records before a window that a Seek or Find started.
    std::vector<RawValue> binds;
    const std::string extra = beyond(frontValues_, keys_.front(), true, binds);
    Statement& s = connection().cached("SELECT count(*) FROM " + table().quoted + where(extra));
    for (std::size_t i = 0; i < binds.size(); ++i) s.bind(static_cast<int>(i + 1), binds[i]);
    s.step();
    base_ = s.int64(0);
    s.reset();
  }
  std::int64_t count = *base_ + static_cast<std::int64_t>(keys_.size()) - static_cast<std::int64_t>(deleted_.size());
  if (source_.type == kOpenForwardOnly && eof_) count = *base_ + static_cast<std::int64_t>(keys_.size());
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, 0, INT32_MAX));
}

std::int32_t Cursor::absolutePosition() {
  checkOpen();
  if (bof_ || eof_ || pos_ < 0) return -1;
  recordCount();
  std::int64_t position = *base_ + pos_;
  for (std::ptrdiff_t i = 0; i < pos_ && !deleted_.empty(); ++i)
    if (deleted(keys_[static_cast<std::size_t>(i)])) --position;
  return static_cast<std::int32_t>(position);
}

void Cursor::setAbsolutePosition(std::int32_t position) {
  checkOpen();
  if (position < 0) raise(errc::InvalidArgument);
  moveFirst();
  for (std::int32_t i = 0; i < position && !eof_; ++i) moveNext();
  if (eof_) raise(errc::InvalidArgument);
}

// A bookmark is the record's row key, as eight bytes.
Variant Cursor::bookmark() {
  checkOpen();
  forwardOnlyRefuses();
  requireCurrent();
  const std::int64_t key = keys_[static_cast<std::size_t>(pos_)];
  SafeArray bytes(VT_UI1, 0, 8);
  std::memcpy(bytes.get()->pvData, &key, 8);
  return std::move(bytes).toVariant();
}

void Cursor::setBookmark(const Variant& input) {
  checkOpen();
  forwardOnlyRefuses();
  const Variant v = input.value();
  const SAFEARRAY* array = v.valueType() == (VT_ARRAY | VT_UI1) ? v.array() : nullptr;
  if (!array || array->cDims != 1 || array->rgsabound[0].cElements != 8) raise(errc::InvalidBookmark);
  std::int64_t key = 0;
  std::memcpy(&key, array->pvData, 8);
  editMode_ = kEditNone;
  if (deleted(key)) raise(errc::RecordDeleted);
  closeReread();
  if (const std::ptrdiff_t at = windowIndexOf(key); at >= 0) {
    pos_ = at;
    bof_ = eof_ = false;
    return;
  }
  if (!reanchor(key)) raise(errc::InvalidBookmark);
}

// Values

Variant Cursor::value(int field) {
  checkOpen();
  if (editMode_ != kEditNone) return buffer_[static_cast<std::size_t>(field)];
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
  // Adding many records in a row asks the file only once.
  if (automaticWrites_ == connection().writeCount()) return Variant(static_cast<std::int32_t>(nextAutomatic_));
  Statement& s = connection().cached("SELECT max(" + field.column + ") FROM " + table().quoted);
  s.step();
  std::int64_t next = s.int64(0) + 1;
  s.reset();
  // Numbers once given are not given again, even after their records went.
  Statement& counters = connection().cached("SELECT 1 FROM sqlite_master WHERE name = 'sqlite_sequence'");
  const bool counted = counters.step();
  counters.reset();
  if (counted) {
    Statement& sequence = connection().cached("SELECT seq FROM sqlite_sequence WHERE name = ?1");
    sequence.bind(1, std::string_view(toUtf8(table().name)));
    if (sequence.step()) next = std::max(next, sequence.int64(0) + 1);
    sequence.reset();
  }
  nextAutomatic_ = next;
  automaticWrites_ = connection().writeCount();
  return Variant(static_cast<std::int32_t>(next));
}

// Editing

void Cursor::addNew() {
  requireUpdatable();
  const auto& fields = table().fields;
  buffer_.resize(fields.size());
  dirty_.assign(fields.size(), false);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    buffer_[i] = Variant::null();
    if (fields[i].type == FieldType::Boolean) buffer_[i] = Variant(false);
    if (fields[i].autoIncrement) buffer_[i] = nextAutomaticValue(fields[i]);
  }
  editMode_ = kEditAdd;
}

void Cursor::edit() {
  requireUpdatable();
  editMode_ = kEditNone;
  ensureRow();
  buffer_ = row_;
  dirty_.assign(buffer_.size(), false);
  editKey_ = keys_[static_cast<std::size_t>(pos_)];
  editMode_ = kEditInProgress;
}

void Cursor::cancelUpdate() {
  checkOpen();
  if (editMode_ == kEditNone) raise(errc::NoAddNewOrEdit);
  editMode_ = kEditNone;
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
  // The rules of each field, checked before anything is written.
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!adding && !dirty_[i]) continue;
    const FieldInfo& f = fields[i];
    const Variant& v = buffer_[i];
    if (f.required && v.isNull()) raise(errc::RequiredNull, f.name);
    if (isTextType(f.type) && !f.allowZeroLength && v.valueType() == VT_BSTR && v.text().empty())
      raise(errc::ZeroLength, f.name);
  }
  std::vector<bool>& mask = maskScratch_;
  mask.assign(fields.size(), false);
  bool any = false;
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (dirty_[i] || (adding && fields[i].autoIncrement)) mask[i] = true, any = true;
  if (!adding && !any) {
    editMode_ = kEditNone;
    lastModified_ = editKey_;
    return;
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
    } else {
      sql = "UPDATE " + table().quoted + " SET ";
      for (std::size_t k = 0; k < columns.size(); ++k) sql += (k ? ", " : "") + fields[columns[k]].column + " = ?";
      sql += " WHERE rowid = ?";
    }
    saveStatement_ = &connection().cached(sql);
    saveAdding_ = adding;
    saveColumns_ = mask;
    saveColumnList_ = std::move(columns);
  }
  Statement& s = *saveStatement_;
  // Every parameter is bound again, so the old bindings need no clearing.
  s.rewind();
  int n = 0;
  for (std::size_t i : saveColumnList_) s.bind(++n, buffer_[i], fields[i].type);
  if (!adding) s.bind(++n, editKey_);
  s.step();
  s.rewind();
  const bool nobodyElseWrote = automaticWrites_ == connection().writeCount();
  connection().noteWrite();
  if (adding) {
    const std::int64_t rowid = connection().lastRowid();
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
  editMode_ = kEditNone;
  rowValid_ = false;
}

void Cursor::remove() {
  requireUpdatable();
  requireCurrent();
  editMode_ = kEditNone;
  const std::int64_t key = keys_[static_cast<std::size_t>(pos_)];
  if (deleted(key)) raise(errc::RecordDeleted);
  Statement& s = connection().cached("DELETE FROM " + table().quoted + " WHERE rowid = ?");
  s.bind(1, key);
  s.step();
  const bool gone = connection().changes() > 0;
  s.reset();
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

// Seeking and finding

void Cursor::setIndex(const std::u16string& name) {
  checkOpen();
  if (source_.type != kOpenTable) raise(errc::OperationNotSupported);
  const IndexInfo* index = table().index(name);
  if (!index) raise(errc::NotAnIndex, name);
  std::vector<OrderKey> order;
  for (std::size_t i = 0; i < index->fields.size(); ++i)
    order.push_back({table().fieldIndex(index->fields[i]), static_cast<bool>(index->descending[i])});
  source_.order = std::move(order);
  indexName_ = index->name;
  resetWindow();
  pos_ = -1;
  bof_ = eof_ = false;
  moveNext();
  if (eof_) bof_ = true;
}

void Cursor::seek(std::u16string_view comparison, const std::vector<Variant>& keys) {
  checkOpen();
  if (source_.type != kOpenTable) raise(errc::OperationNotSupported);
  if (indexName_.empty()) raise(errc::OperationWithoutIndex);
  if (keys.empty() || keys.size() > source_.order.size()) raise(errc::InvalidArgument);
  const bool less = comparison == u"<" || comparison == u"<=";
  if (comparison != u"=" && comparison != u">" && comparison != u">=" && !less) raise(errc::InvalidArgument);
  editMode_ = kEditNone;
  std::vector<Variant> values;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const FieldInfo& f = table().fields[static_cast<std::size_t>(source_.order[i].field)];
    Variant v;
    try {
      v = convertForField(keys[i], f);
    } catch (const Error&) {
      raise(errc::CriteriaMismatch);
    }
    if (v.isNull()) {
      noMatch_ = true;
      return;
    }
    values.push_back(std::move(v));
  }
  std::string lhs, rhs, order;
  for (std::size_t i = 0; i < source_.order.size(); ++i) {
    const std::string& c = table().fields[static_cast<std::size_t>(source_.order[i].field)].column;
    if (i < values.size()) {
      lhs += (i ? ", " : "") + c;
      rhs += i ? ", ?" : "?";
    }
    order += c + (less ? " DESC, " : ", ");
  }
  std::string condition;
  if (comparison == u"=") {
    for (std::size_t i = 0; i < values.size(); ++i)
      condition += (i ? " AND " : "") + table().fields[static_cast<std::size_t>(source_.order[i].field)].column + " = ?";
  } else {
    condition = "(" + lhs + ") " + toUtf8(comparison) + " (" + rhs + ")";
  }
  Statement& s = connection().cached("SELECT rowid FROM " + table().quoted + " WHERE " + condition + " ORDER BY " +
                                     order + (less ? "rowid DESC" : "rowid") + " LIMIT 1");
  for (std::size_t i = 0; i < values.size(); ++i)
    s.bind(static_cast<int>(i + 1), values[i], table().fields[static_cast<std::size_t>(source_.order[i].field)].type);
  moveToFound(s);
}

void Cursor::moveToFound(Statement& s) {
  const bool found = s.step();
  const std::int64_t rowid = found ? s.int64(0) : 0;
  s.reset();
  noMatch_ = !found;
  // A search that finds nothing leaves the current record where it was.
  if (!found) return;
  closeReread();
  if (const std::ptrdiff_t at = windowIndexOf(rowid); at >= 0 && !deleted(rowid)) {
    pos_ = at;
    bof_ = eof_ = false;
  } else {
    reanchor(rowid);
  }
}

std::string Cursor::conditionSql(std::u16string_view condition) const {
  std::string sql = translateCondition(condition, tableResolver(table()));
  // The storage reads it once, so that what it cannot parse is refused now.
  try {
    connection().cached("SELECT 1 FROM " + table().quoted + " WHERE " + sql + " LIMIT 0");
  } catch (const Error& e) {
    if (e.number() == errc::InvalidArgument) raise(errc::SyntaxError, condition);
    throw;
  }
  return sql;
}

void Cursor::find(FindKind kind, std::u16string_view condition) {
  checkOpen();
  forwardOnlyRefuses();
  if (condition != lastCondition_ || lastConditionSql_.empty()) {
    lastConditionSql_ = conditionSql(condition);
    lastCondition_ = std::u16string(condition);
  }
  editMode_ = kEditNone;
  const bool backward = kind == FindKind::Last || kind == FindKind::Previous;
  std::vector<RawValue> binds;
  std::string extra = lastConditionSql_;
  if (kind == FindKind::Next || kind == FindKind::Previous) {
    const bool fromEnd = kind == FindKind::Next ? eof_ : bof_;
    if (fromEnd) {
      noMatch_ = true;
      return;
    }
    const bool atEdge = kind == FindKind::Next ? bof_ || pos_ < 0 : eof_;
    if (!atEdge) {
      const std::int64_t key = keys_[static_cast<std::size_t>(pos_)];
      auto values = fetchOrderValues(key);
      if (!values) values = std::vector<RawValue>(source_.order.size());
      extra += " AND " + beyond(*values, key, backward, binds);
    }
  }
  Statement& s = connection().cached("SELECT rowid FROM " + table().quoted + where(extra) + orderClause(backward) +
                                     " LIMIT 1");
  for (std::size_t i = 0; i < binds.size(); ++i) s.bind(static_cast<int>(i + 1), binds[i]);
  moveToFound(s);
}

std::vector<OrderKey> Cursor::orderOf(std::u16string_view sort) const {
  const Resolver resolve = tableResolver(table());
  std::vector<OrderKey> order;
  for (const SortItem& item : parseSort(sort)) {
    const auto column = resolve(item.qualifier, item.field);
    if (!column) raise(errc::TooFewParameters, u"1");
    int at = -1;
    for (std::size_t i = 0; i < table().fields.size(); ++i)
      if (table().fields[i].column == column->sql) at = static_cast<int>(i);
    order.push_back({at, item.descending});
  }
  return order;
}

Source Cursor::derive(std::u16string_view filter, std::u16string_view sort, std::int16_t type) const {
  checkOpen();
  Source next = source_;
  next.type = type;
  if (!filter.empty()) {
    const std::string condition = conditionSql(filter);
    next.filterSql = next.filterSql.empty() ? condition : next.filterSql + " AND " + condition;
  }
  if (!sort.empty()) next.order = orderOf(sort);
  if (type == kOpenSnapshot && source_.updatable) {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < table().fields.size(); ++i) sql += (i ? ", " : "") + table().fields[i].column;
    sql += " FROM " + table().quoted + where({}) + orderClause(false);
    Source copy = materialise(source_.db, sql, source_.name, type);
    // The copy keeps the original's types and names.
    auto info = std::make_shared<TableInfo>(*copy.table);
    for (std::size_t i = 0; i < info->fields.size(); ++i) {
      const std::string column = info->fields[i].column;
      info->fields[i] = table().fields[i];
      info->fields[i].column = column;
    }
    copy.table = std::move(info);
    return copy;
  }
  // Filtering or sorting a copy reads the same copy.
  return next;
}

}  // namespace tarnwick::engine
