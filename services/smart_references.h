// SPDX-License-Identifier: Apache-2.0
// Smart references: files of the tree with identical contents are found and
// every duplicate made to refer to one of them, so that the layout stores
// the data once.  A duplicate keeps its names and directory entries; its
// source path is set aside (TContentTree::ShareData) and it takes the
// address of the file it refers to.
//
// Identity is equal size and equal MD5 digest.  Only files of a size that
// another candidate shares are read, each at most once (its digest stays in
// Hash).  A file that cannot be read whole is left as it is, unreferenced.
// The search runs on its own thread and ends with exactly one
// generate-done event, carrying the bytes saved (the low 32 bits).
#ifndef ORVEX_SERVICES_SMART_REFERENCES_H_
#define ORVEX_SERVICES_SMART_REFERENCES_H_

#include <vector>

#include "pipeline/cd_files.h"

namespace orvex {

// Starts the search over the tree with CDFiles.cbGenSmRefEvent as its
// event: ComponentStatus 11 while it runs (7 after an abort), 0 at the end;
// SmartReferencesProgress counts towards SmartReferencesSize in blocks.
// False, starting nothing, while another job runs.
bool StartSmartReferenceJob(TCDFiles& CDFiles);

// The candidates (files with a source path or a data callback, not empty,
// not directories) in table order, sorted by size in the search's order.
// Among equal sizes this order decides which file becomes the reference.
std::vector<pFileEntry> SmartReferenceCandidates(TContentTree& tree);

}  // namespace orvex

#endif  // ORVEX_SERVICES_SMART_REFERENCES_H_
