// The cursor's window of record keys and the statements that fill it.
#include "Cursor.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <algorithm>
#include <bit>

namespace tarnwick::engine {

Cursor::Cursor(Source source) : source_(std::move(source)) {
  selectList_ = "rowid";
  for (const FieldInfo& f : table().fields) selectList_ += ", " + f.column;
  makeKeyList();
  dirty_.assign(source_.table->fields.size(), false);
  ahead_.withRows = connection().dialect().batchesBringRows();
  // A recordset opens on its first record.
  resetWindow();
  moveNext();
  if (eof_) bof_ = true;
}

Cursor::~Cursor() {
  endEdit();
  ahead_.clear();
}

void Cursor::close() noexcept {
  endEdit();
  ahead_.clear();
  closed_ = true;
}

void Cursor::refuseClosed() { raise(errc::ObjectInvalid); }

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

std::string Cursor::orderClause(bool backward) const {
  std::string out = " ORDER BY ";
  const Dialect& dialect = connection().dialect();
  for (const OrderKey& k : source_.order) {
    out += table().fields[static_cast<std::size_t>(k.field)].column;
    const bool descending = k.descending != backward;
    if (descending) out += " DESC";
    if (dialect.writesNullOrder()) out += ' ' + std::string(dialect.nullOrder(descending));
    out += ", ";
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

void Cursor::orderValuesOf(const Statement& row, bool keysOnly, std::vector<RawValue>& values) const {
  const std::size_t n = source_.order.size();
  if (values.size() > n) values.resize(n);
  // Grown one by one: the room is usually there (a search's values come
  // back emptied from anchorAt), and each value is read in place.
  for (std::size_t i = 0; i < n; ++i) {
    if (i == values.size()) values.emplace_back();
    row.raw(1 + (keysOnly ? static_cast<int>(i) : source_.order[i].field), values[i]);
  }
}

void Cursor::makeKeyList() {
  keyList_ = "rowid";
  for (const OrderKey& k : source_.order) keyList_ += ", " + table().fields[static_cast<std::size_t>(k.field)].column;
}

std::optional<std::vector<RawValue>> Cursor::fetchOrderValues(std::int64_t rowid) const {
  Statement& s = connection().cached("SELECT " + keyList() + " FROM " + table().quoted + where("rowid = ?"));
  int n = 1;
  s.bind(n, rowid);
  if (!s.step()) return std::nullopt;
  std::vector<RawValue> values;
  orderValuesOf(s, true, values);
  s.reset();
  return values;
}

void Cursor::resetWindow() {
  keys_.clear();
  readyPos_ = -1;
  // Clearing a hash table clears all its buckets, also when it is empty.
  if (!positions_.empty()) positions_.clear();
  positionShift_ = 0;
  positionsKept_ = false;
  base_ = 0;
  frontValues_.clear();
  backValues_.clear();
  exhausted_ = false;
  pos_ = -1;
  bof_ = eof_ = false;
  if (!deleted_.empty()) deleted_.clear();
  if (!placed_.empty()) placed_.clear();
  pendingAdded_.clear();
  // A batch that never started holds nothing to clear (a Seek or Find
  // anchors a new window at every record it finds outside the old one).
  if (ahead_.started) ahead_.clear();
  if (behind_.started) behind_.clear();
  readAheadKeys_.clear();
  lastReadKey_.reset();
  rowValid_ = false;
}

bool Cursor::reanchor(std::int64_t rowid) {
  auto values = fetchOrderValues(rowid);
  if (!values) return false;
  anchorAt(rowid, *values);
  return true;
}

void Cursor::anchorAt(std::int64_t rowid, std::vector<RawValue>& orderValues) {
  resetWindow();
  base_.reset();
  appendKey(rowid);
  // The values move in; `orderValues` keeps the room the front had.
  frontValues_.swap(orderValues);
  backValues_ = frontValues_;
  pos_ = 0;
}

std::shared_ptr<Statement> Cursor::batchAfter(const std::vector<RawValue>& values, std::optional<std::int64_t> key,
                                              bool backward, std::size_t limit) {
  std::vector<RawValue> binds;
  std::string extra;
  if (key) extra = beyond(values, *key, backward, binds);
  auto s = connection().sharedCached("SELECT " + selectList() + " FROM " + table().quoted + where(extra) +
                                     orderClause(backward) + " LIMIT " + std::to_string(limit));
  for (std::size_t i = 0; i < binds.size(); ++i) s->bind(static_cast<int>(i + 1), binds[i]);
  return s;
}

std::shared_ptr<Statement> Cursor::Prefetch::takeQueued() noexcept {
  std::shared_ptr<Statement> run = std::move(queued);
  queued.reset();
  // The statement is shared through the connection's cache: another
  // recordset may have reset it or run it for itself since.
  if (run && run->runUnderWay() == queuedRun) return run;
  return nullptr;
}

void Cursor::queueNextBatch(Prefetch& p) {
  if (!connection().dialect().batchesBringRows()) return;
  const std::uint64_t writes = connection().writeCount();
  const std::int64_t version = connection().othersCommitMark();
  // A power of two, as the batches' own sizes are: each LIMIT is a
  // statement of its own, prepared once.
  const std::size_t limit =
      std::bit_floor(std::clamp(kQueuedBytes / std::max<std::size_t>(p.rowBytes, 1), std::size_t{1}, p.batch));
  auto s = batchAfter(p.lastValues, p.lastKey, false, limit);
  if (!s->sendAhead()) return;
  p.queued = std::move(s);
  p.queuedRun = p.queued->runUnderWay();
  p.queuedLimit = limit;
  p.queuedWrites = writes;
  p.queuedVersion = version;
}

void Cursor::rowValues(const Statement& row, std::vector<Variant>& values) const {
  values.resize(table().fields.size());
  rowValues(row, values.data());
}

void Cursor::rowValues(const Statement& row, Variant* values) const {
  const auto& fields = table().fields;
  for (std::size_t i = 0; i < fields.size(); ++i) values[i] = row.value(static_cast<int>(i + 1), fields[i].type);
}

void Cursor::decodeRow(const Statement& row) {
  rowValues(row, row_);
  rowKey_ = row.int64(0);
  rowWrites_ = connection().writeCount();
  rowValid_ = true;
  rowFromBatch_ = false;
}

// Keys are read a batch at a time, by one statement that is reset before
// the call returns: a recordset never keeps the file between calls, so
// writers (this connection's too) are not held up by it, and the record
// moved to is read by key when it is used, as last committed. A record
// joins the window (and counts as reached) only when moved to.
std::optional<Cursor::Prefetched> Cursor::nextKey(Prefetch& p, bool backward, std::vector<Variant>* row) {
  for (;;) {
    if (p.keys.empty()) {
      if (p.dry) return std::nullopt;
      std::shared_ptr<Statement> s = p.takeQueued();
      std::size_t limit = p.batch;
      // Read before the batch, so that a commit between the two reads
      // makes the batch's values count as old rather than as current.
      if (!backward && p.withRows) {
        p.clearValues();
        p.writes = s ? p.queuedWrites : connection().writeCount();
        p.version = s ? p.queuedVersion : connection().othersCommitMark();
      }
      if (s) {
        limit = p.queuedLimit;
      } else {
        // A batch goes on after the last record the one before read, the
        // first one after the window's end.
        std::optional<std::int64_t> from;
        if (p.started) from = p.lastKey;
        else if (!keys_.empty()) from = backward ? keys_.front() : keys_.back();
        const std::vector<RawValue>& fromValues = p.started ? p.lastValues : backward ? frontValues_ : backValues_;
        s = batchAfter(fromValues, from, backward, limit);
      }
      p.started = true;
      p.batch = std::min(p.batch * 2, kLargestBatch);
      std::size_t stepped = 0;
      p.rowBytes = 0;
      while (s->step()) {
        // Sampled: the first record, and every 64th.
        if ((stepped & 63) == 0) p.rowBytes = std::max(p.rowBytes, s->rowBytes());
        ++stepped;
        p.lastKey = s->int64(0);
        orderValuesOf(*s, false, p.lastValues);
        p.keys.push_back({p.lastKey, p.lastValues});
        if (!backward && p.withRows) {
          // Rows the statement keeps are kept once (the batch's next rows
          // are in them too); otherwise the values are read now.
          const KeptRows* rows = s->keptNow();
          if (!rows || p.kept.empty() || p.kept.back().get() != rows) {
            std::shared_ptr<const KeptRows> kept = s->keepRows();
            rows = kept ? p.kept.emplace_back(std::move(kept)).get() : nullptr;
          }
          if (rows) {
            p.keptAt.emplace_back(rows, s->keptRow());
          } else {
            const std::size_t at = p.cells.size();
            p.cells.resize(at + table().fields.size());
            rowValues(*s, p.cells.data() + at);
          }
        }
      }
      s->reset();
      if (stepped < limit) p.dry = true;
      else if (!backward && p.withRows) queueNextBatch(p);
      if (stepped == 0) return std::nullopt;
    }
    // Every 256 records, what has come of the batch sent ahead is taken in,
    // so that the server is not held up sending it.
    if (p.queued && (p.keys.size() & 255) == 0) p.queued->absorb();
    const auto& fields = table().fields;
    const std::size_t width = fields.size();
    const std::size_t record = p.taken;
    const bool kept = record < p.keptAt.size();
    const bool withValues = width > 0 && (kept || (record + 1) * width <= p.cells.size());
    // Records this recordset placed itself come where it put them.
    const bool placed = !placed_.empty() && placed_.count(p.keys.front().first);
    if (row && !placed) {
      row->resize(withValues ? width : 0);
      if (kept) {
        // Decoded straight into the row, whose old values (the record
        // before) are let go one record at a time.
        const auto [rows, at] = p.keptAt[record];
        rows->readRow(at, 1, fields.data(), width, row->data());
      } else {
        // Swapped rather than moved: the row's old values go to the batch,
        // which lets go of them all at once when the next one is read.
        for (std::size_t i = 0; withValues && i < width; ++i) (*row)[i].swap(p.cells[record * width + i]);
      }
    }
    Prefetched next = std::move(p.keys.front());
    p.keys.pop_front();
    if (withValues) ++p.taken;
    if (!placed) return next;
  }
}

bool Cursor::stepForward() {
  if (exhausted_) return false;
  if (auto next = nextKey(ahead_, false, &steppedRow_)) {
    appendKey(next->first);
    steppedKey_ = next->first;
    backValues_ = std::move(next->second);
    if (keys_.size() == 1) frontValues_ = backValues_;
    // The record's values came with its key; a walk forward then reads
    // no record twice.
    if (!steppedRow_.empty() && ahead_.writes == connection().writeCount()) {
      std::swap(row_, steppedRow_);
      rowKey_ = keys_.back();
      rowWrites_ = ahead_.writes;
      rowValid_ = true;
      rowFromBatch_ = true;
      rowVersion_ = ahead_.version;
    }
    return true;
  }
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
  auto next = nextKey(behind_, true);
  if (!next) {
    base_ = 0;
    return false;
  }
  prependKey(next->first);
  frontValues_ = std::move(next->second);
  if (keys_.size() == 1) backValues_ = frontValues_;
  if (base_) --*base_;
  ++pos_;
  return true;
}

void Cursor::ensureRow() {
  // The record found current by the last call, nothing written since (a
  // record deleted here is a write too): a record's fields read one after
  // another.
  if (readyPos_ == pos_ && rowValid_ && !rowFromBatch_ && rowKey_ == readyKey_ &&
      rowWrites_ == connection().writeCount() && !bof_ && !eof_) {
    checkOpen();
    return;
  }
  requireCurrent();
  const std::int64_t key = keys_[static_cast<std::size_t>(pos_)];
  if (deleted(key)) raise(errc::RecordDeleted);
  if (rowValid_ && rowKey_ == key && rowWrites_ == connection().writeCount()) {
    // Values read with the key's batch are the record as last committed
    // while no other user has committed since.
    if (!rowFromBatch_ || connection().othersCommitMark() == rowVersion_) {
      rowFromBatch_ = false;
      markReady(key);
      return;
    }
  }
  // A walk forward that reads its records: the next batches bring their values.
  if (steppedKey_ == key) ahead_.withRows = true;
  // Gone since the window was read: another user deleted it.
  if (!takeReadAhead(key) && !readRow(key, nullptr)) raise(errc::RecordDeleted);
  lastReadKey_ = key;
  markReady(key);
}

void Cursor::markReady(std::int64_t key) noexcept {
  readyPos_ = pos_;
  readyKey_ = key;
}

// A walk through records whose keys the window already holds (moved to
// again after a walk that read no values, or by a grid that read their
// bookmarks first) would read each record by a statement of its own. Once
// such a walk goes forward, the window's next records are read together by
// one statement and kept as a batch's values are: used while nobody has
// written or committed since.
bool Cursor::takeReadAhead(std::int64_t key) {
  const bool ready = readAheadNext_ < readAheadKeys_.size() && readAheadKeys_[readAheadNext_] == key &&
                     readAheadWrites_ == connection().writeCount();
  if (!ready) {
    readAheadKeys_.clear();
    readAheadNext_ = 0;
    const auto here = static_cast<std::size_t>(pos_);
    const bool forward = here > 0 && lastReadKey_ == keys_[here - 1];
    const std::size_t n = std::min(kReadAhead, keys_.size() - here);
    if (!forward || n < 2) return false;
    Statement& s = kept(readAheadStatement_, {}, [&] {
      std::string sql = "SELECT " + selectList() + " FROM " + table().quoted + " WHERE rowid IN (?";
      for (std::size_t i = 1; i < kReadAhead; ++i) sql += ", ?";
      return sql + ")";
    });
    // The places past the window's end repeat its last key.
    for (std::size_t i = 0; i < kReadAhead; ++i) s.bind(static_cast<int>(i + 1), keys_[here + std::min(i, n - 1)]);
    readAheadKeys_.assign(keys_.begin() + static_cast<std::ptrdiff_t>(here),
                          keys_.begin() + static_cast<std::ptrdiff_t>(here + n));
    readAheadRows_.resize(n);
    readAheadFound_.assign(n, 0);
    readAheadWrites_ = connection().writeCount();
    readAheadVersion_ = connection().othersCommitMark();
    // The rows come in the storage's order; each goes to its key's place.
    std::size_t hint = 0;
    while (s.step()) {
      const std::int64_t found = s.int64(0);
      for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = (hint + k) % n;
        if (readAheadKeys_[i] != found) continue;
        rowValues(s, readAheadRows_[i]);
        readAheadFound_[i] = 1;
        hint = i + 1;
        break;
      }
    }
    s.rewind();
  }
  const std::size_t i = readAheadNext_++;
  // Gone since the window was read: readRow tells so.
  if (!readAheadFound_[i]) return false;
  std::swap(row_, readAheadRows_[i]);
  rowKey_ = key;
  rowWrites_ = readAheadWrites_;
  rowValid_ = true;
  rowFromBatch_ = false;
  if (connection().othersCommitMark() == readAheadVersion_) return true;
  readAheadKeys_.clear();
  rowValid_ = false;
  return false;
}

Statement& Cursor::recordByKey(bool locked) {
  const auto sql = [&] { return "SELECT " + selectList() + " FROM " + table().quoted + " WHERE rowid = ?"; };
  if (locked) return kept(lockedRecord_, {}, [&] { return sql() + " FOR UPDATE"; });
  return kept(recordByKey_, {}, sql);
}

bool Cursor::readRow(std::int64_t key, std::string* image) {
  Statement& s = recordByKey();
  s.bind(1, key);
  if (!s.step()) {
    s.rewind();
    return false;
  }
  decodeRow(s);
  if (image) *image = s.image(1, fieldCount());
  s.rewind();
  return true;
}

void Cursor::appendKey(std::int64_t rowid) {
  keys_.push_back(rowid);
  // The first of equal keys is the one found, as a search from the front finds it.
  if (positionsKept_) positions_.emplace(rowid, static_cast<std::int64_t>(keys_.size()) - 1 - positionShift_);
}

void Cursor::prependKey(std::int64_t rowid) {
  keys_.push_front(rowid);
  readyPos_ = -1;
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
