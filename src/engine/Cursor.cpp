// The cursor's window of record keys and the statements that fill it.
#include "Cursor.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <algorithm>

namespace tarnwick::engine {

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
    if (at < 0) raise(Error(errc::ItemNotFound).noted(u"field " + quotedName(v.text())));
    return at;
  }
  std::int32_t at = -1;
  try {
    at = toInt32(v);
  } catch (const Error&) {
    raise(errc::ItemNotFound);
  }
  if (at < 0 || at >= fieldCount())
    raise(Error(errc::ItemNotFound).noted(u"field index " + fromUtf8(std::to_string(at)) + u" of " + fromUtf8(std::to_string(fieldCount())) + u" fields"));
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

}  // namespace tarnwick::engine
