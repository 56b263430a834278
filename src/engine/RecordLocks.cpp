#include "RecordLocks.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>

#include <unistd.h>

namespace tarnwick::engine {

namespace {

// Numbers start far beyond anything a file holds, so that a store that
// locks bytes of a file never meets bytes someone might read.
constexpr std::uint64_t kFirstNumber = std::uint64_t{1} << 40;
constexpr std::uint64_t kNumbers = std::uint64_t{1} << 60;

}  // namespace

RecordLocks::~RecordLocks() { clear(); }

void RecordLocks::knowScope() {
  if (!scope_) scope_ = store_->scope();
}

std::int64_t RecordLocks::numberOf(std::string_view table, std::int64_t key) const noexcept {
  // FNV-1a over the scope, the table's name and the key.
  std::uint64_t h = 14695981039346656037ull;
  const auto mix = [&](unsigned char c) { h = (h ^ c) * 1099511628211ull; };
  if (scope_)
    for (char c : *scope_) mix(static_cast<unsigned char>(c));
  for (char c : table) mix(static_cast<unsigned char>(c));
  mix(0);
  for (int i = 0; i < 8; ++i) mix(static_cast<unsigned char>(static_cast<std::uint64_t>(key) >> (8 * i)));
  return static_cast<std::int64_t>(kFirstNumber + h % kNumbers);
}

[[noreturn]] void RecordLocks::refuse() {
  // A lock says nothing of its holder; every program is seen as the
  // workspace's default user on this machine.
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = 0;
  std::u16string text = standardDescription(errc::RecordLocked);
  if (const auto at = text.find(u"|2"); at != std::u16string::npos) text.replace(at, 2, u"admin");
  if (const auto at = text.find(u"|1"); at != std::u16string::npos) text.replace(at, 2, fromUtf8(host));
  raise(Error(errc::RecordLocked, std::move(text)));
}

void RecordLocks::lock(std::string_view table, std::int64_t key, const void* holder) {
  knowScope();
  const std::int64_t number = numberOf(table, key);
  if (const auto at = held_.find(number); at != held_.end()) {
    if (at->second != holder) refuse();
    return;
  }
  if (!store_->take(number)) refuse();
  held_.emplace(number, holder);
}

void RecordLocks::unlock(std::string_view table, std::int64_t key, const void* holder) noexcept {
  // Known since the lock was taken: asks the store nothing.
  if (!scope_) return;
  const std::int64_t number = numberOf(table, key);
  const auto at = held_.find(number);
  if (at == held_.end() || at->second != holder) return;
  held_.erase(at);
  store_->give(number);
}

void RecordLocks::checkFree(std::string_view table, std::int64_t key, const void* holder) {
  knowScope();
  const std::int64_t number = numberOf(table, key);
  if (const auto at = held_.find(number); at != held_.end()) {
    if (at->second != holder) refuse();
    // A lock the store lost is another's now.
    if (!store_->keeps(number)) {
      held_.erase(at);
      refuse();
    }
    return;
  }
  if (store_->heldElsewhere(number)) refuse();
}

void RecordLocks::clear() noexcept {
  held_.clear();
  store_->clear();
}

}  // namespace tarnwick::engine
