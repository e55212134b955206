// SPDX-License-Identifier: Apache-2.0
// The per-directory index of entries by long name.  Names are exact: two
// names differing only in case are two entries.  The index hashes names
// with case folded (NameHash), so that the entries whose names equal one
// ignoring case lie on one probe chain: a lookup costs O(1) on average, and
// so does telling whether a name has such a case variant in the directory.
#ifndef ORVEX_TREE_NAME_INDEX_H_
#define ORVEX_TREE_NAME_INDEX_H_

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvex {

struct TFileEntry;

class TNameIndex {
 public:
  // The entry whose LongName is exactly `name`, or null.
  TFileEntry* Find(std::u16string_view name) const;

  // The first entry indexed whose LongName equals `name` ignoring case but
  // not exactly, or null.
  TFileEntry* FindCaseVariant(std::u16string_view name) const;

  // Adds an entry whose LongName is not yet in the index.
  void Insert(TFileEntry* entry);

  // Whether two entries indexed have names that differ only in case.
  bool HasCaseVariants() const { return case_variants_; }

 private:
  struct TSlot {
    uint64_t hash = 0;
    TFileEntry* entry = nullptr;
  };
  void Grow();
  // The first entry on `name`'s probe chain whose LongName `matches`.
  template <class TMatch>
  TFileEntry* Probe(std::u16string_view name, TMatch matches) const;

  std::vector<TSlot> slots_;  // open addressing, linear probing, size a power of two
  size_t count_ = 0;
  bool case_variants_ = false;
};

}  // namespace orvex

#endif  // ORVEX_TREE_NAME_INDEX_H_
