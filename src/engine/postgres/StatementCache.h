#pragma once
// Private to the engine: the bounded cache of prepared statements by their
// text that every backend's connection keeps. Conditions that differ in
// every call (FindFirst with the value written in) would otherwise keep a
// statement each for the connection's life.
#include <tarnwick/frame/LruCache.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

namespace tarnwick::engine {

struct StatementCacheBounds {
  static constexpr std::size_t kCachedStatements = 200;
  static constexpr std::size_t kCachedStatementBytes = 8 * 1024 * 1024;
  // No entry counts for more than its share of the bytes, so the statements
  // cached last are never dropped for the next one.
  static constexpr std::size_t kCacheKeepsLast = 16;
  // The estimate of a prepared statement's memory, from its text: a
  // FindFirst condition of about 150 characters compiles to about 4.6 kB.
  static constexpr std::size_t kStatementBytes = 1024;
  static constexpr std::size_t kStatementBytesPerCharacter = 24;

  static std::size_t estimate(const std::string& sql) noexcept {
    return std::min(kStatementBytes + kStatementBytesPerCharacter * sql.size(), kCachedStatementBytes / kCacheKeepsLast);
  }
};

template <typename Statement>
class StatementCache : public StatementCacheBounds {
 public:
  // The statement of `sql`, made by `prepare()` when the cache has none,
  // and now the most recently used.
  template <typename Prepare>
  std::shared_ptr<Statement> get(const std::string& sql, Prepare&& prepare) {
    if (const auto* kept = cache_.find(sql)) return *kept;
    std::shared_ptr<Statement> statement = prepare();
    cache_.insert(sql, statement, estimate(sql));
    return statement;
  }
  void clear() noexcept { cache_.clear(); }

 private:
  frame::impl::LruCache<std::string, std::shared_ptr<Statement>> cache_{kCachedStatements, kCachedStatementBytes};
};

}  // namespace tarnwick::engine
