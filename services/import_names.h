// SPDX-License-Identifier: Apache-2.0
// The 8.3 names of what an import added.  A volume's primary tree holds the
// short names readers without long names use; a new session that carries
// the volume's files keeps them where they are sound, so that a file keeps
// its 8.3 name from session to session, and makes the others as it makes
// them for new entries: unique in their directory, "~N" aliases of the long
// names.
#ifndef ORVEX_SERVICES_IMPORT_NAMES_H_
#define ORVEX_SERVICES_IMPORT_NAMES_H_

#include <vector>

#include "services/import_directory.h"
#include "tree/content_tree.h"

namespace orvex {

// Renames the entries `walked` lists (ContentTree::RenameShort).  A file
// wishes for the name its data has in the directory of `primary` that
// matches its own; a subdirectory for the name of its match.  A directory's
// match is the primary directory holding most of its files' data, or, for
// one without files, the parent of a subdirectory's match, or the
// subdirectory of its parent's match whose Rock Ridge name is its own; the
// first directory walked matches the primary root.  Where data does not
// tell one file (empty files, shared data), the file of the Rock Ridge name
// does.  Entries without Posix take their match's, named as the entry is
// where the primary record had no name of its own.  `primary` is the volume's
// primary tree read into a tree of its own (null when the names imported
// are the primary tree's, or it could not be read): without it every entry
// wishes for its own long name, which stays when it is a valid 8.3 name.
void NameImportedEntries(TContentTree& tree, const std::vector<TImportedDirectory>& walked,
                         const TContentTree* primary);

}  // namespace orvex

#endif  // ORVEX_SERVICES_IMPORT_NAMES_H_
