#include "Storage.h"

#include <tarnwick/automation/String.h>

#include <algorithm>

namespace tarnwick::engine {

std::string quoteName(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out += '"';
  for (char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string quoteName(std::u16string_view name) { return quoteName(std::string_view(toUtf8(name))); }

void Statement::bind(int index, const RawValue& value) {
  switch (value.index()) {
    case 1: bind(index, std::get<std::int64_t>(value)); break;
    case 2: bind(index, std::get<double>(value)); break;
    case 3: bind(index, std::string_view(std::get<std::string>(value))); break;
    default: bindNull(index); break;
  }
}

RawValue Statement::raw(int column) const {
  RawValue value;
  raw(column, value);
  return value;
}

void Session::close() noexcept {
  cache_.clear();
  closeStorage();
}

std::shared_ptr<Statement> Session::sharedCached(const std::string& sql) {
  std::shared_ptr<Statement> statement;
  if (const auto* kept = cache_.find(sql)) {
    statement = *kept;
  } else {
    statement = prepare(sql);
    const std::size_t bytes = std::min(kStatementBytes + kStatementBytesPerCharacter * sql.size(),
                                       kCachedStatementBytes / kCacheKeepsLast);
    cache_.insert(sql, statement, bytes);
  }
  statement->reset();
  return statement;
}

}  // namespace tarnwick::engine
