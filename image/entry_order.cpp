// SPDX-License-Identifier: Apache-2.0
#include "image/entry_order.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/collation.h"
#include "platform/name_compare.h"

namespace orvex {

void OrderPathTable(TContentTree& tree) {
  std::vector<pDirEntry>& order = tree.PathTableEntries;
  order.clear();
  order.push_back(tree.RootDir);
  tree.RootDir->number = 1;
  // Walking `order` while it grows appends each directory's children in
  // turn: breadth first, so the parents' numbers ascend.
  std::vector<std::pair<std::string, pDirEntry>> children;
  for (size_t at = 0; at < order.size(); ++at) {
    children.clear();
    for (pFileEntry e = order[at]->Files; e != nullptr; e = e->NextFile) {
      if (e->DirRecord != nullptr) children.emplace_back(CollationKey(e->DirRecord->LongName), e->DirRecord);
    }
    std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
      if (a.first != b.first) return a.first < b.first;
      return a.second->LongName < b.second->LongName;
    });
    for (auto& child : children) {
      order.push_back(child.second);
      child.second->number = static_cast<uint16_t>(order.size());
    }
  }
}

void SortDirectoryLists(TContentTree& tree) {
  std::vector<std::pair<std::string, pFileEntry>> entries;
  for (size_t d = 0; d < tree.Dirs.size(); ++d) {
    TDirEntry& dir = *tree.Dirs[d];
    entries.clear();
    for (pFileEntry e = dir.Files; e != nullptr; e = e->NextFile) {
      entries.emplace_back(AsciiUpper(std::string_view(e->ShortName, e->FileNameLength)), e);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    pFileEntry* link = &dir.Files;
    for (auto& [key, entry] : entries) {
      *link = entry;
      link = &entry->NextFile;
    }
    *link = nullptr;
    dir.LastFile = entries.empty() ? nullptr : entries.back().second;
  }
}

}  // namespace orvex
