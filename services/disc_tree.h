// SPDX-License-Identifier: Apache-2.0
// A session's files as the disc's own file system shows them, read through
// the untrusted-image reader, and the paths the content tree's entries have
// in such a volume, so that the two can be matched by path.
//
// Paths are "/" followed by the components, each the identifier the tree of
// the volume records (Joliet where the volume has one, else the primary
// tree's) as an import decodes it: "/DOCS/A.TXT" in a primary tree,
// "/Docs/a.txt" in Joliet.
#ifndef ORVEX_SERVICES_DISC_TREE_H_
#define ORVEX_SERVICES_DISC_TREE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "drive/scsi_device.h"
#include "services/import_report.h"
#include "tree/content_tree.h"

namespace orvex {

struct TDiscFile {
  uint32_t extent = 0;  // the absolute block of its data (0 for an empty file)
  int64_t size = 0;     // bytes
};

struct TDiscTree {
  int32_t session = 0;    // the session read
  TImportReport report;   // what was found and what could not be read
  std::map<std::u16string, TDiscFile> files;  // every file (no directory) by path
};

// Reads the tree of session SessionNo (0: the last complete one, as a
// reader finds it: a session left incomplete does not count) of the disc in
// the selected drive.  report.found false when the session has no readable
// volume.
// A sector that cannot be read is tried again as TDiscSectorReader does,
// unless `stop` is set.
TDiscTree ReadDiscTree(TSCSIDevice& Device, uint8_t SessionNo, const std::atomic<bool>& stop);

// Visits every file (no directory) of `tree` with the path it has in a
// volume read back as `read` says (Joliet, ISO 9660:1999, the primary
// tree's 8.3 identifiers or its Rock Ridge names).
void ForEachDiscPath(TContentTree& tree, const TImportReport& read,
                     const std::function<void(TFileEntry& file, const std::u16string& path)>& visit);

}  // namespace orvex

#endif  // ORVEX_SERVICES_DISC_TREE_H_
