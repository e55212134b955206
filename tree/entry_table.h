// SPDX-License-Identifier: Apache-2.0
// A table of entries with a fixed capacity: entries are appended, keep their
// address for their whole life and are indexed by their position, and the
// whole table is emptied at once.  Storage grows in chunks (std::deque), so
// an entry costs no allocation of its own.
#ifndef ORVEX_TREE_ENTRY_TABLE_H_
#define ORVEX_TREE_ENTRY_TABLE_H_

#include <cstddef>
#include <deque>

namespace orvex {

template <class T>
class TEntryTable {
 public:
  explicit TEntryTable(size_t capacity) : capacity_(capacity) {}

  // A new zero-initialised entry, or null when the table is full.
  T* Append() {
    if (entries_.size() >= capacity_) return nullptr;
    return &entries_.emplace_back();
  }

  T* operator[](size_t index) { return &entries_[index]; }
  const T* operator[](size_t index) const { return &entries_[index]; }

  size_t size() const { return entries_.size(); }
  size_t capacity() const { return capacity_; }
  bool full() const { return entries_.size() >= capacity_; }
  void clear() { entries_.clear(); }

 private:
  std::deque<T> entries_;
  size_t capacity_;
};

}  // namespace orvex

#endif  // ORVEX_TREE_ENTRY_TABLE_H_
