// SPDX-License-Identifier: Apache-2.0
// What an import read, and what of it could not become part of the tree, so
// that a listing or a new session never silently holds less than the
// volume did.
#ifndef ORVEX_SERVICES_IMPORT_REPORT_H_
#define ORVEX_SERVICES_IMPORT_REPORT_H_

#include <cstdint>

#include "services/volume_records.h"

namespace orvex {

struct TImportReport {
  bool found = false;                            // a volume was found and read
  TNameEncoding names = TNameEncoding::Ucs2;     // the tree read: Joliet, ISO 9660:1999 or primary
  uint32_t volume_sectors = 0;   // where the volume ends, from block 0, as its primary descriptor states it
  uint32_t source_sectors = 0;   // the sectors the source holds
  uint32_t entries = 0;          // files and directories taken into the tree
  uint32_t bad_names = 0;        // left out: named ".", ".." or nothing, or holding "/", "\" or NUL
  uint32_t not_added = 0;        // left out by the tree: full tables, a name taken, a clash
  uint32_t damaged = 0;          // what could not be read: unreadable sectors, records that do
                                 // not parse, directories cut short or referring back, files
                                 // outside the source or in sections that do not join up
  bool tables_full = false;      // the tree's tables filled up
  bool rock_ridge = false;       // the primary tree carries Rock Ridge (names, modes, times, links)
  uint32_t rock_damaged = 0;     // Rock Ridge records that could not be read whole: those entries
                                 // keep their plain names, and lack what was left out

  // The volume ends before it says it does.
  bool Truncated() const { return volume_sectors > source_sectors; }
  // Everything the volume's tree holds is in the tree.
  bool Complete() const {
    return found && bad_names == 0 && not_added == 0 && damaged == 0 && !Truncated();
  }
};

}  // namespace orvex

#endif  // ORVEX_SERVICES_IMPORT_REPORT_H_
