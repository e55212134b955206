// SPDX-License-Identifier: Apache-2.0
#include "tree/name_index.h"

#include "platform/name_compare.h"
#include "tree/entries.h"

namespace orvex {

template <class TMatch>
TFileEntry* TNameIndex::Probe(std::u16string_view name, TMatch matches) const {
  if (slots_.empty()) return nullptr;
  const uint64_t hash = NameHash(name);
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const TSlot& slot = slots_[i];
    if (slot.entry == nullptr) return nullptr;
    if (slot.hash == hash && matches(slot.entry->LongName)) return slot.entry;
  }
}

TFileEntry* TNameIndex::Find(std::u16string_view name) const {
  return Probe(name, [name](const std::u16string& other) { return other == name; });
}

TFileEntry* TNameIndex::FindCaseVariant(std::u16string_view name) const {
  return Probe(name, [name](const std::u16string& other) {
    return other != name && NamesEqualIgnoreCase(other, name);
  });
}

void TNameIndex::Insert(TFileEntry* entry) {
  if (!case_variants_ && FindCaseVariant(entry->LongName) != nullptr) case_variants_ = true;
  if ((count_ + 1) * 2 > slots_.size()) Grow();  // keep the load at most one half
  const uint64_t hash = NameHash(entry->LongName);
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].entry != nullptr) i = (i + 1) & mask;
  slots_[i] = {hash, entry};
  ++count_;
}

void TNameIndex::Grow() {
  std::vector<TSlot> old;
  old.swap(slots_);
  slots_.resize(old.empty() ? 8 : old.size() * 2);
  const size_t mask = slots_.size() - 1;
  for (const TSlot& slot : old) {
    if (slot.entry == nullptr) continue;
    size_t i = slot.hash & mask;
    while (slots_[i].entry != nullptr) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace orvex
