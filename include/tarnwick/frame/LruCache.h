#pragma once
// A cache bounded by a count of entries and by their bytes: what was used
// least recently goes first when either bound is passed. Each entry's size
// in bytes is the caller's estimate; an entry larger than the byte bound
// alone is not kept at all.
#include <cstddef>
#include <list>
#include <unordered_map>
#include <utility>

namespace tarnwick::frame::impl {

template <typename Key, typename Value, typename Hash = std::hash<Key>>
class LruCache {
 public:
  LruCache(std::size_t mostEntries, std::size_t mostBytes) noexcept : mostEntries_(mostEntries), mostBytes_(mostBytes) {}

  // The entry, now the most recently used; nullptr when there is none.
  Value* find(const Key& key) {
    const auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, it->second);
    return &it->second->value;
  }

  // Keeps `value` under `key` (replacing an entry of the key) as the most
  // recently used, then drops the least recently used beyond the bounds.
  void insert(const Key& key, Value value, std::size_t bytes) {
    erase(key);
    if (bytes > mostBytes_ || mostEntries_ == 0) return;
    order_.push_front(Entry{key, std::move(value), bytes});
    index_.emplace(key, order_.begin());
    bytes_ += bytes;
    while (order_.size() > mostEntries_ || bytes_ > mostBytes_) erase(order_.back().key);
  }

  void erase(const Key& key) {
    const auto it = index_.find(key);
    if (it == index_.end()) return;
    bytes_ -= it->second->bytes;
    const auto entry = it->second;
    index_.erase(it);
    order_.erase(entry);
  }

  void clear() noexcept {
    index_.clear();
    order_.clear();
    bytes_ = 0;
  }

  std::size_t size() const noexcept { return order_.size(); }
  std::size_t bytes() const noexcept { return bytes_; }

 private:
  struct Entry {
    Key key;
    Value value;
    std::size_t bytes;
  };
  std::size_t mostEntries_;
  std::size_t mostBytes_;
  std::size_t bytes_ = 0;
  std::list<Entry> order_;  // most recently used first
  std::unordered_map<Key, typename std::list<Entry>::iterator, Hash> index_;
};

}  // namespace tarnwick::frame::impl
