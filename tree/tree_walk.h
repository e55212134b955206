// SPDX-License-Identifier: Apache-2.0
// A walk over the content tree with each entry's path: the one traversal
// behind the component's WalkTree and the comparison of a session's files
// by path.
#ifndef ORVEX_TREE_TREE_WALK_H_
#define ORVEX_TREE_TREE_WALK_H_

#include <functional>
#include <string>

#include "tree/entries.h"

namespace orvex {

// Calls `visit` for every entry below `root` (nothing when it is null),
// depth first, a directory before what it holds, with its path: "/" and
// `name` of each entry on the way, from the root's children down.
// Iterative, so that a deep tree cannot exhaust the stack.
void WalkPaths(const TDirEntry* root, const std::function<std::u16string(const TFileEntry&)>& name,
               const std::function<void(TFileEntry&, const std::u16string&)>& visit);

}  // namespace orvex

#endif  // ORVEX_TREE_TREE_WALK_H_
