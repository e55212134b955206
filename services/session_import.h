// SPDX-License-Identifier: Apache-2.0
// Session import and image mounting: the directory tree of a volume (an
// image file, or later a session on a disc) added to the content tree as
// imported entries, whose data stays where it lies.
//
// Names come from the tree the volume describes best, chosen by its
// descriptor (see FindVolumeTree): Joliet names as UCS-2, any other tree's
// names as 8-bit text; a primary tree with Rock Ridge gives its NM names.
// Where the primary tree carries Rock Ridge, entries get its POSIX
// attributes (Posix), whichever tree gave their names.  Everything read is untrusted input (see
// ImportDirectory).  Both routines run on the caller's thread, set no error
// number, hold ComponentStatus at 8 while they run and 0 after, and report
// which tree they read and what they had to leave out.
#ifndef ORVEX_SERVICES_SESSION_IMPORT_H_
#define ORVEX_SERVICES_SESSION_IMPORT_H_

#include <cstdint>
#include <string>

#include "image/image_layout.h"
#include "services/import_report.h"
#include "services/sector_reader.h"

namespace orvex {

// Imports the volume whose descriptors follow `session_start` on `source`
// into `dest`.  `found` false, with nothing imported, when no usable volume
// descriptor is found; true otherwise, also when some of its directory
// sectors or of its descriptor sectors could not be read (the report counts
// them).  The entries added get their 8.3 names from the volume's primary
// tree where those are sound (NameImportedEntries), so that they keep them
// from session to session.
TImportReport ImportVolume(TImageLayout& layout, TSectorReader& source, uint32_t session_start,
                           pDirEntry dest);

// Imports the tree of the image file ISOFileName into the root, merging
// with what the tree holds: the volume whose descriptors follow block
// `session_start` (a later session of an image of a multi-session disc).  `found` false when the image cannot be opened,
// holds no ISO 9660 volume, or the tree has no root (before the first
// ClearAll).  The image is closed when the call returns.
TImportReport MountISOImage(TImageLayout& layout, const std::string& ISOFileName, uint32_t session_start = 0);

}  // namespace orvex

#endif  // ORVEX_SERVICES_SESSION_IMPORT_H_
