// What a cursor reads: copies of records in temporary tables, and the
// sources derived from a cursor by a filter and a sort.
#include "Cursor.h"

#include "SqlDialect.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>

namespace tarnwick::engine {

// ---------------------------------------------------------------------------
// Temporary tables

TemporaryTable::TemporaryTable(std::shared_ptr<DatabaseCore> db, std::string name, std::string create,
                               std::string after)
    : db_(std::move(db)),
      name_(std::move(name)),
      create_(std::move(create)),
      after_(std::move(after)),
      generation_(db_->connection.session().generation()) {}

void TemporaryTable::checkThere() const {
  if (generation_ == db_->connection.session().generation()) return;
  raise(Error(errc::OdbcCallFailed,
              standardDescription(errc::OdbcCallFailed) +
                  u" the copy of the records this recordset reads went with the lost server session; Requery "
                  u"reads them again"));
}

void TemporaryTable::refill(const std::string& fill) {
  Connection& c = db_->connection;
  const bool gone = generation_ != c.session().generation();
  if (gone) c.exec(create_);
  c.exec(fill);
  if (gone && !after_.empty()) c.exec(after_);
  generation_ = c.session().generation();
}

TemporaryTable::~TemporaryTable() {
  if (!db_ || !db_->connection.isOpen() || generation_ != db_->connection.session().generation()) return;
  try {
    db_->connection.exec("DROP TABLE IF EXISTS " + std::string(db_->connection.dialect().temporaryPrefix()) +
                         quoteName(std::string_view(name_)));
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
      db.connection.exec("DROP TABLE IF EXISTS " + std::string(db.connection.dialect().temporaryPrefix()) +
                         quoteName(std::string_view(n)));
    } catch (...) {
      db.leftoverTemporaries.push_back(n);
    }
  }
}

}  // namespace

// The copy's columns are named by their place in the result ("c0", ...):
// results may repeat a name, or hold one the copy has for itself (rowid).
// Where the row key is a column of its own, a result column that is a
// table's row key is copied but is no field of the copy.
Source materialise(const std::shared_ptr<DatabaseCore>& db, const std::string& sql, std::u16string name,
                   std::int16_t type, const std::vector<int>& dateColumns) {
  Connection& c = db->connection;
  const Dialect& dialect = c.dialect();
  dropLeftovers(*db);
  auto info = std::make_shared<TableInfo>();
  const std::string temporary = c.temporaryName();
  info->name = fromUtf8(temporary);
  info->quoted = std::string(dialect.temporaryPrefix()) + quoteName(std::string_view(temporary));
  std::vector<std::string> declarations;
  std::string columns;
  {
    const auto prepared = c.prepare(sql);
    Statement& query = *prepared;
    const int n = query.columnCount();
    std::vector<std::u16string> names;
    bool firstRow = false, stepped = false;
    for (int i = 0; i < n; ++i) {
      const std::string column = quoteName(std::string_view("c" + std::to_string(i)));
      columns += (i ? ", " : "") + column;
      // Asked once: each answer may be a question to the storage's catalogue.
      const std::string originColumn = query.originColumn(i);
      std::u16string fieldName = fromUtf8(query.columnName(i));
      if (const auto colon = fieldName.find(u':'); colon != std::u16string::npos && !originColumn.empty())
        fieldName = fromUtf8(originColumn);
      FieldInfo f;
      const std::string originTable = query.originTable(i);
      const std::string declared = query.declaredType(i);
      std::shared_ptr<const TableInfo> origin;
      if (!originTable.empty()) origin = db->catalogue.table(fromUtf8(originTable));
      if (dialect.rowKeyIsColumn() && origin && originColumn == "rowid") {
        declarations.push_back(column + " bigint");
        continue;
      }
      const int at = origin ? origin->fieldIndex(fromUtf8(originColumn)) : -1;
      if (at >= 0) {
        f = origin->fields[static_cast<std::size_t>(at)];
        f.sourceTable = origin->name;
        f.sourceField = f.name;
      } else {
        f = dialect.fieldOfType(fieldName, declared);
      }
      if (originTable.empty() && declared.empty()) {
        // An expression of a storage that does not type it: typed by what
        // its first value holds.
        if (!stepped) firstRow = query.step(), stepped = true;
        const StoredKind kind = firstRow ? query.kind(i) : StoredKind::Null;
        f.type = kind == StoredKind::Integer ? FieldType::Long
                 : kind == StoredKind::Real  ? FieldType::Double
                                             : FieldType::Memo;
        if (std::find(dateColumns.begin(), dateColumns.end(), i) != dateColumns.end()) f.type = FieldType::Date, f.size = 8;
      }
      f.name = fieldName;
      f.autoIncrement = false;
      f.column = column;
      names.push_back(fieldName);
      FieldInfo stored = f;
      // A copy of an outer join holds Nulls in required fields.
      stored.required = false;
      declarations.push_back(column + " " + dialect.columnType(stored));
      info->fields.push_back(std::move(f));
    }
    // Fields of the same name from several tables are told apart by their table.
    for (std::size_t i = 0; i < info->fields.size(); ++i) {
      const auto same = std::count_if(names.begin(), names.end(),
                                      [&](const std::u16string& x) { return equalsIgnoreCase(x, names[i]); });
      FieldInfo& f = info->fields[i];
      if (same > 1 && !f.sourceTable.empty()) f.name = f.sourceTable + u"." + f.name;
    }
  }
  const Dialect::Copy copy =
      dialect.temporaryCopy(quoteName(std::string_view(temporary)), info->quoted, declarations, columns, sql);
  c.exec(copy.create);
  auto holder = std::make_shared<TemporaryTable>(db, temporary, copy.create, copy.after);
  c.exec(copy.fill);
  if (!copy.after.empty()) c.exec(copy.after);
  Source source;
  source.db = db;
  source.table = std::move(info);
  source.temporary = std::move(holder);
  source.name = std::move(name);
  source.type = type;
  source.updatable = false;
  source.query = copy.fill;
  return source;
}

std::vector<OrderKey> Cursor::orderOf(std::u16string_view sort) const {
  const Resolver resolve = tableResolver(table());
  std::vector<OrderKey> order;
  for (const SortItem& item : parseSort(sort)) {
    const auto column = resolve(item.qualifier, item.field);
    if (!column) raise(Error(errc::TooFewParameters, describe(errc::TooFewParameters, u"1"))
                             .noted(u"unknown name " + quotedName(item.field)));
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
