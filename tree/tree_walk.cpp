// SPDX-License-Identifier: Apache-2.0
#include "tree/tree_walk.h"

#include <utility>
#include <vector>

namespace orvex {

void WalkPaths(const TDirEntry* root, const std::function<std::u16string(const TFileEntry&)>& name,
               const std::function<void(TFileEntry&, const std::u16string&)>& visit) {
  if (root == nullptr) return;
  // Each level remembers its next entry.
  std::vector<std::pair<pFileEntry, std::u16string>> pending = {{root->Files, u""}};
  while (!pending.empty()) {
    auto& [next, prefix] = pending.back();
    const pFileEntry e = next;
    if (e == nullptr) {
      pending.pop_back();
      continue;
    }
    next = e->NextFile;
    std::u16string path = prefix + u"/" + name(*e);
    visit(*e, path);
    if (e->DirRecord != nullptr) pending.emplace_back(e->DirRecord->Files, std::move(path));
  }
}

}  // namespace orvex
