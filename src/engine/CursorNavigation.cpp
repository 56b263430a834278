// Moving over a cursor's records: moves, positions, bookmarks, Seek and
// the Find methods.
#include "Cursor.h"

#include "SqlDialect.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/SafeArray.h>

#include <array>
#include <cstring>

namespace tarnwick::engine {

void Cursor::moveFirst() {
  checkOpen();
  endEdit();
  if (source_.type == kOpenForwardOnly || !(base_ && *base_ == 0)) resetWindow();
  pos_ = -1;
  bof_ = eof_ = false;
  moveNext();
  if (eof_) bof_ = true;  // no records at all
}

void Cursor::moveLast() {
  checkOpen();
  endEdit();
  if (source_.type == kOpenForwardOnly) {
    if (eof_) raise(errc::NoCurrentRecord);
    while (!eof_) moveNext();
    movePrevious();
    return;
  }
  if (exhausted_ && !keys_.empty()) {
    pos_ = static_cast<std::ptrdiff_t>(keys_.size());
    bof_ = eof_ = false;
    movePrevious();
    if (!bof_) return;
  }
  resetWindow();
  base_.reset();
  exhausted_ = true;
  pos_ = -1;
  if (!stepBackward()) {
    bof_ = eof_ = true;
    return;
  }
  bof_ = eof_ = false;
}

void Cursor::moveNext() {
  checkOpen();
  if (eof_) raise(errc::NoCurrentRecord);
  endEdit();
  std::size_t next = static_cast<std::size_t>(pos_ + 1);
  while (next < keys_.size() && deleted(keys_[next])) ++next;
  bof_ = false;
  if (next < keys_.size()) {
    pos_ = static_cast<std::ptrdiff_t>(next);
  } else if (stepForward()) {
    pos_ = static_cast<std::ptrdiff_t>(next);
  } else {
    pos_ = static_cast<std::ptrdiff_t>(keys_.size());
    eof_ = true;
  }
  // A forward-only recordset keeps no record behind the current one.
  if (source_.type == kOpenForwardOnly && pos_ > 0) {
    const auto drop = static_cast<std::size_t>(pos_);
    keys_.erase(keys_.begin(), keys_.begin() + static_cast<std::ptrdiff_t>(drop));
    readyPos_ = -1;
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
  endEdit();
  std::ptrdiff_t previous = pos_ - 1;
  while (previous >= 0 && deleted(keys_[static_cast<std::size_t>(previous)])) --previous;
  eof_ = false;
  if (previous >= 0) {
    pos_ = previous;
    return;
  }
  // Before the window: step back from its first record.
  pos_ = -1;
  if (stepBackward()) return;
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

std::int32_t Cursor::remainingInTable() {
  checkOpen();
  Statement& s = connection().cached("SELECT count(*) FROM " + table().quoted);
  s.step();
  const std::int64_t all = s.int64(0);
  s.reset();
  const std::int64_t before = std::max(absolutePosition(), 0);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(all - before, 0, INT32_MAX));
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
std::int64_t Cursor::bookmarkKey() {
  checkOpen();
  forwardOnlyRefuses();
  requireCurrent();
  return keys_[static_cast<std::size_t>(pos_)];
}

Variant Cursor::bookmark() {
  const std::int64_t key = bookmarkKey();
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
  endEdit();
  if (deleted(key)) raise(errc::RecordDeleted);
  if (const std::ptrdiff_t at = windowIndexOf(key); at >= 0) {
    pos_ = at;
    bof_ = eof_ = false;
    return;
  }
  if (!reanchor(key)) raise(errc::InvalidBookmark);
}

void Cursor::setIndex(const std::u16string& name) {
  checkOpen();
  if (source_.type != kOpenTable) raise(errc::OperationNotSupported);
  const IndexInfo* index = table().index(name);
  if (!index) raise(errc::NotAnIndex, name);
  std::vector<OrderKey> order;
  for (std::size_t i = 0; i < index->fields.size(); ++i)
    order.push_back({table().fieldIndex(index->fields[i]), static_cast<bool>(index->descending[i])});
  source_.order = std::move(order);
  makeKeyList();
  indexName_ = index->name;
  // Searches kept for the old order would walk it.
  seekStatement_ = {};
  findStatement_ = {};
  resetWindow();
  pos_ = -1;
  bof_ = eof_ = false;
  moveNext();
  if (eof_) bof_ = true;
}

void Cursor::seek(std::u16string_view comparison, std::span<const Variant* const> keys) {
  checkOpen();
  if (source_.type != kOpenTable) raise(errc::OperationNotSupported);
  if (indexName_.empty()) raise(errc::OperationWithoutIndex);
  if (keys.empty() || keys.size() > source_.order.size() || keys.size() > kMostSeekKeys)
    raise(errc::InvalidArgument);
  // "=", "<", ">", "<=" or ">=".
  const char16_t first = comparison.empty() ? u'\0' : comparison[0];
  const bool ordering = first == u'<' || first == u'>';
  if (!(comparison.size() == 1 && (ordering || first == u'=')) &&
      !(comparison.size() == 2 && ordering && comparison[1] == u'='))
    raise(errc::InvalidArgument);
  const bool less = first == u'<';
  endEdit();
  std::vector<Variant>& values = seekValues_;
  values.resize(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const FieldInfo& f = table().fields[static_cast<std::size_t>(source_.order[i].field)];
    try {
      values[i] = convertForField(*keys[i], f);
    } catch (const Error&) {
      raise(errc::CriteriaMismatch);
    }
    if (values[i].isNull()) {
      noMatch_ = true;
      return;
    }
  }
  // One statement per comparison and number of key parts, written once.
  // The comparison is one of the few above, all ASCII.
  char shapeText[4];
  std::size_t shapeSize = 0;
  for (const char16_t c : comparison) shapeText[shapeSize++] = static_cast<char>(c);
  shapeText[shapeSize++] = static_cast<char>('0' + values.size());
  Statement& s = kept(seekStatement_, std::string_view(shapeText, shapeSize), [&] {
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
    return "SELECT " + searchList() + " FROM " + table().quoted + " WHERE " + condition + " ORDER BY " + order +
           (less ? "rowid DESC" : "rowid") + " LIMIT 1";
  });
  for (std::size_t i = 0; i < values.size(); ++i)
    s.bind(static_cast<int>(i + 1), values[i], table().fields[static_cast<std::size_t>(source_.order[i].field)].type);
  moveToFound(s);
}

void Cursor::moveToFound(Statement& s) {
  const bool found = s.step();
  noMatch_ = !found;
  // A search that finds nothing leaves the current record where it was.
  if (!found) {
    s.rewind();
    return;
  }
  const std::int64_t rowid = s.int64(0);
  const bool withRow = searchesBringRows();
  if (const std::ptrdiff_t at = windowIndexOf(rowid); at >= 0 && !deleted(rowid)) {
    pos_ = at;
    bof_ = eof_ = false;
  } else {
    orderValuesOf(s, !withRow, foundValues_);
    anchorAt(rowid, foundValues_);
  }
  // A search that read the whole record makes it the current row without a
  // second read; otherwise the record is read as last committed when used.
  if (withRow) decodeRow(s);
  else rowValid_ = false;
  s.rewind();
}

std::string Cursor::conditionSql(std::u16string_view condition) const {
  std::string sql = translateCondition(condition, tableResolver(table()), nullptr, dialect());
  // The storage reads it once, so that what it cannot parse is refused now.
  try {
    connection().cached("SELECT 1 FROM " + table().quoted + " WHERE " + sql + " LIMIT 0");
  } catch (const Error& e) {
    if (e.number() == errc::InvalidArgument) raise(errc::SyntaxError, condition);
    throw;
  }
  return sql;
}

Statement& Cursor::findStatement(const std::string& extra, bool backward, std::u16string_view condition) {
  try {
    std::string shape = extra;
    shape += backward ? '<' : '>';
    return kept(findStatement_, shape, [&] {
      return "SELECT " + searchList() + " FROM " + table().quoted + where(extra) + orderClause(backward) + " LIMIT 1";
    });
  } catch (const Error& e) {
    if (e.number() == errc::InvalidArgument) raise(errc::SyntaxError, condition);
    throw;
  }
}

// The condition's values are parameters, so each shape of condition is
// compiled once however its values change. A new condition is read by the
// storage before anything moves, as the statement a FindFirst runs, so that
// what it cannot parse is refused at once.
void Cursor::find(FindKind kind, std::u16string_view condition) {
  checkOpen();
  forwardOnlyRefuses();
  Statement* checked = nullptr;
  const std::string& sql = conditionShape_.translate(condition, table(), lastConditionValues_, dialect());
  if (sql != lastConditionSql_) {
    checked = &findStatement(sql, false, condition);
    lastConditionSql_ = sql;
  }
  endEdit();
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
  Statement& s = kind == FindKind::First && checked ? *checked : findStatement(extra, backward, condition);
  int at = 0;
  for (const RawValue& value : lastConditionValues_) s.bind(++at, value);
  for (const RawValue& value : binds) s.bind(++at, value);
  moveToFound(s);
}

}  // namespace tarnwick::engine
