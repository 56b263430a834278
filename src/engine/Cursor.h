#pragma once
// Private to the engine: the records of one recordset, kept by key.
//
// A cursor never reads its table whole. It reads the keys of its records in
// the recordset's order, a batch at a time, and keeps, for the records
// reached so far, only their row keys (a window of positions). The record
// moved to is read by key, so it shows what was committed last; a record
// that is gone by then was deleted by another user (3167). Moving past
// either end of the window reads the next batch after (or before) the
// boundary record's order values. No statement stays open between calls,
// so a recordset never holds the file against writers. On a server, a walk
// forward sends its next batch's statement ahead, to be read while the
// records before are used: a reader there holds up no writer of records,
// and until the walk takes that batch, the session's next command (or the
// recordset's closing) reads it first. Seek and Find run one query
// with LIMIT 1 and, when the record lies outside the window, start a new
// window at it, so their cost does not grow with the table.
//
// Snapshots and queries over several tables are copied into a temporary
// table first (a snapshot must not change under its reader), and are then
// read the same way, read-only.
#include "Connection.h"
#include "DatabaseCore.h"
#include "SchemaCatalogue.h"
#include "SqlDialect.h"

#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarnwick::engine {

// A temporary table holding a copy of records; dropped with its last user.
// A copy lives in the connection that made it: one lost with its server
// session is gone (a snapshot is not read again behind its reader's back),
// and is made again only by Requery.
class TemporaryTable {
 public:
  TemporaryTable(std::shared_ptr<DatabaseCore> db, std::string name, std::string create, std::string after);
  TemporaryTable(const TemporaryTable&) = delete;
  TemporaryTable& operator=(const TemporaryTable&) = delete;
  ~TemporaryTable();
  // Error 3146 when the copy went with a lost session.
  void checkThere() const;
  // Fills the copy anew by `fill` (made again first if it went).
  void refill(const std::string& fill);

 private:
  std::shared_ptr<DatabaseCore> db_;
  std::string name_;
  // What makes the table, and what follows its filling (its index).
  std::string create_, after_;
  std::uint64_t generation_;
};

struct OrderKey {
  int field;  // index into the table's fields
  bool descending;
};

struct Source {
  std::shared_ptr<DatabaseCore> db;
  std::shared_ptr<const TableInfo> table;
  std::shared_ptr<TemporaryTable> temporary;
  std::u16string name;
  std::string filterSql;  // the storage's condition, or empty
  std::vector<OrderKey> order;
  std::int16_t type = 2;
  bool updatable = true;
  // For a copy: the storage's statements that fill it anew (at opening,
  // and again at Requery).
  std::string query;
};

// Copies the result of a query (the storage's SQL) into a temporary table
// and describes it as a read-only source.
// `dateColumns` are the places of result columns that hold dates, where
// the storage cannot say so (see TranslatedStatement::dateColumns).
Source materialise(const std::shared_ptr<DatabaseCore>& db, const std::string& sql, std::u16string name, std::int16_t type,
                   const std::vector<int>& dateColumns = {});

enum class FindKind { First, Last, Next, Previous };

class Cursor {
 public:
  explicit Cursor(Source source);
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;
  ~Cursor();

  const Source& source() const noexcept { return source_; }
  const TableInfo& table() const noexcept { return *source_.table; }
  int fieldCount() const noexcept { return static_cast<int>(source_.table->fields.size()); }
  // Error 3265 for a name or position that is not a field.
  int fieldIndex(const Variant& nameOrPosition) const;

  bool bof() const noexcept { return bof_; }
  bool eof() const noexcept { return eof_; }
  void moveFirst();
  void moveLast();
  void moveNext();
  void movePrevious();
  void move(std::int32_t rows);
  std::int32_t recordCount();
  // A table-type cursor's records from the current one to the end: the
  // table's count less the records before (one count, nothing read).
  std::int32_t remainingInTable();
  std::int32_t absolutePosition();
  void setAbsolutePosition(std::int32_t position);
  Variant bookmark();
  // The row key that the bookmark's eight bytes hold.
  std::int64_t bookmarkKey();
  void setBookmark(const Variant& bookmark);

  // The field's value in the current record, or in the record being edited;
  // valid until the cursor moves or changes.
  const Variant& value(int field);
  void setValue(int field, const Variant& value);

  void addNew();
  void edit();
  void update();
  void cancelUpdate();
  void remove();
  std::int16_t editMode() const noexcept { return editMode_; }
  // Pessimistic (true): Edit locks the record until Update or CancelUpdate,
  // and another user's Edit of it fails with 3260. Optimistic (false, the
  // default): Edit locks nothing, and Update fails with 3197, writing
  // nothing, when another user changed or deleted the record since Edit.
  bool lockEdits() const noexcept { return lockEdits_; }
  void setLockEdits(bool pessimistic);
  // Reads the records again: other users' changes, additions and deletions show.
  void requery();
  Variant lastModified() const;

  const std::u16string& indexName() const noexcept { return indexName_; }
  void setIndex(const std::u16string& name);
  // A Seek compares at most this many key parts.
  static constexpr std::size_t kMostSeekKeys = 13;
  // `keys` are the caller's values, each converted for its key part here.
  void seek(std::u16string_view comparison, std::span<const Variant* const> keys);
  void find(FindKind kind, std::u16string_view condition);
  bool noMatch() const noexcept { return noMatch_; }

  // A new source over the same records with a filter and sort applied.
  Source derive(std::u16string_view filter, std::u16string_view sort, std::int16_t type) const;
  // Checks a sort text against the fields (3075, 3061).
  std::vector<OrderKey> orderOf(std::u16string_view sort) const;
  // Steps a search that selects one record (as searchList) and makes it
  // current; nothing found sets NoMatch and leaves the current record.
  void moveToFound(Statement& s);
  std::string conditionSql(std::u16string_view condition) const;
  // The statement that finds the first record (last, when `backward`) that
  // meets the condition and `extra`; 3075 naming `condition` when the
  // storage cannot parse it.
  Statement& findStatement(const std::string& extra, bool backward, std::u16string_view condition);

  void close() noexcept;
  bool closed() const noexcept { return closed_; }
  // 3420 once this recordset or its database is closed.
  void checkOpen() const {
    if (closed_) refuseClosed();
    connection().checkOpen();
    if (source_.temporary) source_.temporary->checkThere();
  }
  // The database's held view (Connection::holdReads), for a walk; released
  // even after the recordset closes, so that holds stay paired.
  void holdReads() {
    checkOpen();
    connection().holdReads();
  }
  void releaseReads() noexcept { connection().releaseReads(); }

 private:
  Connection& connection() const { return source_.db->connection; }
  [[noreturn]] static void refuseClosed();
  const Dialect& dialect() const noexcept { return connection().dialect(); }
  // "rowid" and every field's column, as searches and reads select them.
  const std::string& selectList() const noexcept { return selectList_; }
  // "rowid" and the order's columns, in the order's order: what places a
  // record in the window.
  const std::string& keyList() const noexcept { return keyList_; }
  // What a search selects. In a file, a search finds the record's key (from
  // an index alone, where one serves) and the record is read when used, as
  // a walk reads it; on a server the search brings the values with it,
  // since a second read would be a second round trip.
  bool searchesBringRows() const noexcept { return connection().dialect().searchesBringRows(); }
  const std::string& searchList() const noexcept { return searchesBringRows() ? selectList_ : keyList_; }
  // A statement this cursor runs again and again, kept with the text that
  // tells it apart (a shape of search), so that a repeated call neither
  // writes its SQL again nor looks it up in the connection's cache.
  struct KeptStatement {
    std::string shape;
    std::shared_ptr<Statement> statement;
  };
  template <typename MakeSql>
  Statement& kept(KeptStatement& slot, std::string_view shape, MakeSql&& makeSql) {
    if (slot.statement && slot.shape == shape) {
      // Its users bind every parameter again: no bindings to clear.
      slot.statement->rewind();
      return *slot.statement;
    }
    slot.statement.reset();
    slot.statement = connection().sharedCached(makeSql());
    slot.shape = shape;
    return *slot.statement;
  }
  // The record with the key bound as parameter 1, whole; `locked`, on a
  // server, also locks it until the transaction ends.
  Statement& recordByKey(bool locked = false);
  std::string orderClause(bool backward) const;
  // The condition that admits the records after (or, backward, before) the
  // record with `keys` and `rowid`, in the cursor's order; binds go to `binds`.
  std::string beyond(const std::vector<RawValue>& keys, std::int64_t rowid, bool backward,
                     std::vector<RawValue>& binds) const;
  std::string where(const std::string& extra) const;
  // The order's values of a row selected as selectList (`keysOnly` false)
  // or as keyList, into `values` (kept for their room).
  void orderValuesOf(const Statement& row, bool keysOnly, std::vector<RawValue>& values) const;
  std::optional<std::vector<RawValue>> fetchOrderValues(std::int64_t rowid) const;

  void resetWindow();
  bool reanchor(std::int64_t rowid);
  // A new window of the one record `rowid`, whose order values are known
  // (taken from `orderValues`, which is left empty).
  void anchorAt(std::int64_t rowid, std::vector<RawValue>& orderValues);
  // The window's keys change only through these, so that the index of
  // positions by key stays true.
  void appendKey(std::int64_t rowid);
  void prependKey(std::int64_t rowid);
  // The window position of a record, or -1 when the window lacks it.
  std::ptrdiff_t windowIndexOf(std::int64_t rowid);
  // Keys read by one statement when the window grows: the first batch of a
  // walk, then twice as many each time the walk goes on, up to the largest
  // (a walk through a whole table then costs few statements, on a server
  // few round trips, while a look at a few records reads few).
  static constexpr std::size_t kBatch = 64;
  static constexpr std::size_t kLargestBatch = 4096;
  // The statement for the next batch past (or, backward, before) the record
  // with `key` and order `values`; from the first record without a key.
  std::shared_ptr<Statement> batchAfter(const std::vector<RawValue>& values, std::optional<std::int64_t> key,
                                        bool backward, std::size_t limit);
  // Keys read past one end of the window and not yet moved to.
  using Prefetched = std::pair<std::int64_t, std::vector<RawValue>>;
  struct Prefetch {
    std::deque<Prefetched> keys;
    // Read forward only: the records' values, read with their keys, and
    // what the file and this connection had written then.
    // Decoded only once a record reached by stepping forward was read: a
    // walk over bookmarks alone decodes no values.
    // The batch's values, record after record (a table's fields each):
    // from a file, decoded as read; from a server, each record's result
    // and row there (`kept` keeps the results), decoded when the record is
    // taken, so that a record's values are made just before they are used.
    std::vector<Variant> cells;
    std::vector<std::shared_ptr<const KeptRows>> kept;
    std::vector<std::pair<const KeptRows*, int>> keptAt;
    std::size_t taken = 0;  // the batch's records taken so far
    void clearValues() noexcept {
      cells.clear();
      kept.clear();
      keptAt.clear();
      taken = 0;
    }
    bool withRows = false;
    std::uint64_t writes = 0;
    std::int64_t version = 0;
    std::int64_t lastKey = 0;
    std::vector<RawValue> lastValues;
    bool started = false;
    bool dry = false;  // the last batch reached the end
    std::size_t batch = kBatch;  // keys the next batch reads
    // On a server, a walk forward sends the statement for its next batch as
    // soon as the batch before has arrived, so that the server reads it
    // while the records before are used: the statement, its run, its LIMIT,
    // and what this connection had written (and the file's version) then.
    std::shared_ptr<Statement> queued;
    std::uint64_t queuedRun = 0;
    std::size_t queuedLimit = 0;
    std::uint64_t queuedWrites = 0;
    std::int64_t queuedVersion = 0;
    // The widest record of the last batch, in the server's bytes.
    std::size_t rowBytes = 0;
    // The queued run, if nobody has reset the statement or run it since;
    // the queue is emptied either way.
    std::shared_ptr<Statement> takeQueued() noexcept;
    // Emptied in place: a new deque would allocate.
    void clear() noexcept {
      keys.clear();
      clearValues();
      lastKey = 0;
      lastValues.clear();
      started = dry = false;
      batch = kBatch;
      // A queued run still under way is read to its end and dropped.
      if (auto run = takeQueued()) run->rewind();
    }
  };
  // Sends the statement for the batch after `p`'s last key ahead (server only).
  void queueNextBatch(Prefetch& p);
  // The most bytes a batch sent ahead should bring. Until the walk takes
  // it, the server can finish sending it only into the connection's
  // buffers; a batch larger than they hold keeps the server's statement
  // (and its hold on the table against changes of its design) open.
  static constexpr std::size_t kQueuedBytes = 256 * 1024;
  // The next key past the window's end (or, backward, its start) with its
  // order values, read by the batch; none at the end.
  std::optional<Prefetched> nextKey(Prefetch& p, bool backward, std::vector<Variant>* row = nullptr);
  bool stepForward();
  bool stepBackward();
  void decodeRow(const Statement& row);
  void ensureRow();
  void markReady(std::int64_t key) noexcept;
  // Reads the record with `key` into the current row; false when it is gone.
  // `image` receives the record's stored bytes, to tell later whether
  // anybody changed it.
  bool readRow(std::int64_t key, std::string* image);
  // Ends an edit (or an addition) and lets go of the record's lock.
  void endEdit() noexcept;
  RecordLocks& locks() const { return source_.db->locks; }
  void requireCurrent() const;
  void requireUpdatable() const;
  void forwardOnlyRefuses() const;
  bool deleted(std::int64_t key) const { return !deleted_.empty() && deleted_.count(key) != 0; }
  void placeAt(std::int64_t rowid);
  Variant nextAutomaticValue(const FieldInfo& field);
  // After another user took the counter numbers of the record being added:
  // gives the counters the next free numbers; false when none changed.
  bool renumberCounters();

  Source source_;
  std::string selectList_;
  std::string keyList_;
  void makeKeyList();
  bool closed_ = false;
  KeptStatement recordByKey_, lockedRecord_, seekStatement_, findStatement_, readAheadStatement_;

  std::deque<std::int64_t> keys_;
  // Positions of the window's keys, made on the first lookup by key in a
  // large window and kept from then on: a key's position is its stored
  // number plus positionShift_ (records put before the window's first one
  // move all others back by one).
  std::unordered_map<std::int64_t, std::int64_t> positions_;
  std::int64_t positionShift_ = 0;
  bool positionsKept_ = false;
  std::optional<std::int64_t> base_;  // absolute position of keys_[0], when known
  std::vector<RawValue> frontValues_, backValues_;
  bool exhausted_ = false;
  std::ptrdiff_t pos_ = -1;
  bool bof_ = true, eof_ = true;
  std::unordered_set<std::int64_t> deleted_;
  std::unordered_set<std::int64_t> placed_;
  std::vector<RawValue> foundValues_;  // a search's order values, kept for their room
  std::vector<std::int64_t> pendingAdded_;
  Prefetch ahead_, behind_;

  std::vector<Variant> row_;
  std::int64_t rowKey_ = 0;
  std::uint64_t rowWrites_ = 0;
  bool rowValid_ = false;
  // The current row came with its key's batch and is used once nobody
  // else has committed since that batch was read (rowVersion_).
  bool rowFromBatch_ = false;
  // A record's values as a walk forward takes them from its batch; kept
  // between steps so that no step allocates.
  std::vector<Variant> steppedRow_;
  std::int64_t rowVersion_ = 0;
  // The window position (and its key) whose record ensureRow last found in
  // the current row; -1 once the window's positions move (a key put in
  // front, keys dropped, the window read anew). While the row still holds
  // that key's values, read since the last write and with no other user's
  // commit left to check, the next field read needs nothing more.
  std::ptrdiff_t readyPos_ = -1;
  std::int64_t readyKey_ = 0;
  std::optional<std::int64_t> steppedKey_;  // the record the last step forward reached
  // Records of the window read ahead together (see takeReadAhead): their
  // keys in the window's order, each one's values (kept for their room),
  // whether it was read, and the next one a walk forward takes.
  std::vector<std::int64_t> readAheadKeys_;
  std::vector<std::vector<Variant>> readAheadRows_;
  std::vector<std::uint8_t> readAheadFound_;
  std::size_t readAheadNext_ = 0;
  std::uint64_t readAheadWrites_ = 0;
  std::int64_t readAheadVersion_ = 0;
  std::optional<std::int64_t> lastReadKey_;  // the record ensureRow made current last
  static constexpr std::size_t kReadAhead = 64;
  bool takeReadAhead(std::int64_t key);
  // The values of a row selected as selectList, into `values`.
  void rowValues(const Statement& row, std::vector<Variant>& values) const;
  void rowValues(const Statement& row, Variant* values) const;

  std::int16_t editMode_ = 0;
  std::vector<Variant> buffer_;
  // Per field of a record being added: a counter not numbered yet (see
  // addNew); empty when there is none. Flags per field are bytes rather
  // than bits: every save reads and writes each of them.
  std::vector<std::uint8_t> unnumbered_;
  std::vector<std::uint8_t> dirty_;
  std::int64_t editKey_ = 0;
  std::string editImage_;
  bool lockEdits_ = false;
  bool lockHeld_ = false;
  std::optional<std::int64_t> lastModified_;

  // The next automatic value, valid while nobody else wrote.
  std::int64_t nextAutomatic_ = 0;
  std::uint64_t automaticWrites_ = ~std::uint64_t{0};
  // The statement that saved the last record, and the fields it writes.
  std::shared_ptr<Statement> saveStatement_;
  std::vector<std::uint8_t> saveColumns_;
  std::vector<std::size_t> saveColumnList_;
  std::vector<std::uint8_t> maskScratch_;
  bool saveAdding_ = false;

  std::u16string indexName_;
  std::vector<Variant> seekValues_;  // a Seek's keys as converted, kept for their room
  bool noMatch_ = false;
  ConditionShape conditionShape_;
  std::string lastConditionSql_;
  std::vector<RawValue> lastConditionValues_;
};

// A value converted for a field, as an assignment stores it: 3421 when it
// does not convert, 3163 for a text longer than the field.
Variant convertForField(const Variant& value, const FieldInfo& field);

}  // namespace tarnwick::engine
