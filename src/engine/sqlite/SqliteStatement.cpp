// Statements of a database file.
#include "SqliteSession.h"

#include "../FieldValues.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>

#include <sqlite3.h>

#include <cstring>
#include <string>

namespace tarnwick::engine {

SqliteStatement::SqliteStatement(SqliteSession& session, std::string_view sql) : session_(&session) {
  session.checkOpen();
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(session.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    session.fail(rc);
  }
  texts_.resize(static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt_)) + 1);
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

void SqliteStatement::bindNull(int index) {
  sqlite3_bind_null(stmt_, index);
}
void SqliteStatement::bind(int index, std::int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
}
void SqliteStatement::bind(int index, double value) {
  sqlite3_bind_double(stmt_, index, value);
}
void SqliteStatement::bind(int index, std::string_view utf8) {
  if (index <= 0 || static_cast<std::size_t>(index) >= texts_.size()) {
    sqlite3_bind_text64(stmt_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return;
  }
  texts_[static_cast<std::size_t>(index)].assign(utf8);
  bindKept(index);
}

void SqliteStatement::bindKept(int index) {
  const std::string& kept = texts_[static_cast<std::size_t>(index)];
  sqlite3_bind_text64(stmt_, index, kept.data(), kept.size(), SQLITE_STATIC, SQLITE_UTF8);
}

void SqliteStatement::bind(int index, std::string&& utf8) {
  if (index <= 0 || static_cast<std::size_t>(index) >= texts_.size()) return bind(index, std::string_view(utf8));
  texts_[static_cast<std::size_t>(index)] = std::move(utf8);
  bindKept(index);
}

void SqliteStatement::bind(int index, const Variant& value, FieldType type) {
  // What an assignment leaves for its field's type binds as it is, as
  // storedValue would store it.
  switch (value.vt) {
    case VT_I4:
      if (isIntegerType(type)) return bind(index, std::int64_t{value.lVal});
      break;
    case VT_R8:
      if (type == FieldType::Double) return bind(index, value.dblVal);
      break;
    case VT_DATE:
      if (type == FieldType::Date) return bind(index, static_cast<double>(value.VARIANT::date));
      break;
    case VT_BOOL:
      if (type == FieldType::Boolean) return bind(index, std::int64_t{value.boolVal ? -1 : 0});
      break;
    case VT_BSTR:
      // A text for a text field goes into the parameter's kept room.
      if (isTextType(type) && index > 0 && static_cast<std::size_t>(index) < texts_.size()) {
        if (narrowAscii(value.text(), texts_[static_cast<std::size_t>(index)])) return bindKept(index);
      }
      break;
    default: break;
  }
  StoredValue stored = storedValue(value, type);
  switch (stored.kind) {
    case StoredKind::Integer: return bind(index, stored.integer);
    case StoredKind::Real: return bind(index, stored.real);
    case StoredKind::Text: return bind(index, std::move(stored.bytes));
    case StoredKind::Blob:
      sqlite3_bind_blob64(stmt_, index, stored.bytes.empty() ? "" : stored.bytes.data(), stored.bytes.size(),
                          SQLITE_TRANSIENT);
      return;
    case StoredKind::Null: break;
  }
  bindNull(index);
}

bool SqliteStatement::step() {
  session_->startPending();
  if (session_->readsHeld() && !sqlite3_stmt_readonly(stmt_)) session_->endHeldRead();
  const SqliteSession::QueryClock clock(*session_);
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // The statement's own code; sqlite3_reset hands back the extended one.
  const int code = sqlite3_reset(stmt_);
  session_->fail(code != SQLITE_OK ? code : rc);
}

void SqliteStatement::rewind() noexcept {
  if (stmt_) sqlite3_reset(stmt_);
}

void SqliteStatement::reset() noexcept {
  if (stmt_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

int SqliteStatement::columnCount() const noexcept { return sqlite3_column_count(stmt_); }
bool SqliteStatement::isNull(int column) const noexcept {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}
StoredKind SqliteStatement::kind(int column) const noexcept {
  // The storage's classes are numbered as the engine's kinds.
  return static_cast<StoredKind>(sqlite3_column_type(stmt_, column));
}
std::int64_t SqliteStatement::int64(int column) const noexcept {
  return sqlite3_column_int64(stmt_, column);
}
double SqliteStatement::real(int column) const noexcept { return sqlite3_column_double(stmt_, column); }
std::string_view SqliteStatement::text(int column) const noexcept {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  const int n = sqlite3_column_bytes(stmt_, column);
  return p ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
}

void SqliteStatement::raw(int column, RawValue& value) const {
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER: value.emplace<std::int64_t>(sqlite3_column_int64(stmt_, column)); return;
    case SQLITE_FLOAT: value.emplace<double>(sqlite3_column_double(stmt_, column)); return;
    case SQLITE_NULL: value.emplace<std::monostate>(); return;
    default:
      if (auto* kept = std::get_if<std::string>(&value)) kept->assign(text(column));
      else value.emplace<std::string>(text(column));
  }
}

Variant SqliteStatement::value(int column, FieldType type) const {
  StoredView stored;
  stored.kind = static_cast<StoredKind>(sqlite3_column_type(stmt_, column));
  switch (stored.kind) {
    case StoredKind::Integer:
      stored.integer = int64(column);
      stored.real = static_cast<double>(stored.integer);
      break;
    case StoredKind::Real: stored.real = real(column); break;
    case StoredKind::Text: stored.bytes = text(column); break;
    case StoredKind::Blob: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
      if (p) stored.bytes = std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
      break;
    }
    case StoredKind::Null: break;
  }
  return fieldValue(stored, type);
}

std::string SqliteStatement::columnName(int column) const {
  const char* name = sqlite3_column_name(stmt_, column);
  return name ? name : "";
}
std::string SqliteStatement::originTable(int column) const {
  const char* name = sqlite3_column_table_name(stmt_, column);
  return name ? name : "";
}
std::string SqliteStatement::originColumn(int column) const {
  const char* name = sqlite3_column_origin_name(stmt_, column);
  return name ? name : "";
}
std::string SqliteStatement::declaredType(int column) const {
  const char* name = sqlite3_column_decltype(stmt_, column);
  return name ? name : "";
}

std::string SqliteStatement::image(int first, int count) const {
  std::string out;
  for (int i = first; i < first + count; ++i) {
    const int storage = sqlite3_column_type(stmt_, i);
    out += static_cast<char>('0' + storage);
    if (storage == SQLITE_INTEGER) {
      const std::int64_t n = sqlite3_column_int64(stmt_, i);
      out.append(reinterpret_cast<const char*>(&n), sizeof n);
    } else if (storage == SQLITE_FLOAT) {
      const double d = sqlite3_column_double(stmt_, i);
      out.append(reinterpret_cast<const char*>(&d), sizeof d);
    } else if (storage != SQLITE_NULL) {
      const void* p = storage == SQLITE_BLOB ? sqlite3_column_blob(stmt_, i) : sqlite3_column_text(stmt_, i);
      const auto n = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i));
      out += std::to_string(n) + ':';
      if (p) out.append(static_cast<const char*>(p), n);
    }
  }
  return out;
}

}  // namespace tarnwick::engine
