// The per-directory index of entries by long name, ignoring case with the
// same equality as NamesEqualIgnoreCase, so that a lookup costs O(1) on
// average instead of a walk of the directory's list.
#ifndef ORVEX_TREE_NAME_INDEX_H_
#define ORVEX_TREE_NAME_INDEX_H_

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvex {

struct TFileEntry;

class TNameIndex {
 public:
  // The entry whose LongName equals `name` ignoring case, or null.
  TFileEntry* Find(std::u16string_view name) const;

  // Adds an entry whose LongName is not yet in the index.
  void Insert(TFileEntry* entry);

 private:
  struct TSlot {
    uint64_t hash = 0;
    TFileEntry* entry = nullptr;
  };
  void Grow();

  std::vector<TSlot> slots_;  // open addressing, linear probing, size a power of two
  size_t count_ = 0;
};

}  // namespace orvex

#endif  // ORVEX_TREE_NAME_INDEX_H_
