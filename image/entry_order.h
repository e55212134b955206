// SPDX-License-Identifier: Apache-2.0
// The orders the image records things in.
#ifndef ORVEX_IMAGE_ENTRY_ORDER_H_
#define ORVEX_IMAGE_ENTRY_ORDER_H_

#include "tree/content_tree.h"

namespace orvex {

// Orders PathTableEntries and numbers the directories (`number`, from 1):
// the root, then its subdirectories, then theirs, level by level; within a
// level by the parent's number, then by long name in the locale's collation
// (code units break ties).  This is the fixed point of repeatedly sorting by
// (parent number, name) and renumbering, reached in one pass.
void OrderPathTable(TContentTree& tree);

// Sorts every directory's list by short name with ASCII letters folded, as
// ISO 9660 directories are ordered; entries whose short names compare equal
// keep their insertion order.
void SortDirectoryLists(TContentTree& tree);

}  // namespace orvex

#endif  // ORVEX_IMAGE_ENTRY_ORDER_H_
