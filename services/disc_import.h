// SPDX-License-Identifier: Apache-2.0
// Session import from the disc in the selected drive: the directory tree of
// one of its sessions added to the content tree as imported entries, whose
// data stays where it lies, so that a new session shows the earlier files.
//
// The session's volume is read through the same untrusted-image reader as
// an image file (ImportVolume, session_import.h), with its bounds checks,
// name rules and report; no sector at or past the end of the session's
// track is read.  Runs on the caller's thread, sets no error number, and
// holds ComponentStatus at 8 from the start to the end.
#ifndef ORVEX_SERVICES_DISC_IMPORT_H_
#define ORVEX_SERVICES_DISC_IMPORT_H_

#include <cstdint>
#include <string>

#include "drive/scsi_device.h"
#include "image/image_layout.h"
#include "services/import_report.h"

namespace orvex {

// Imports session SessionNo (0: the last complete one) into the directory
// DestPath of the tree, or into the root when DestPath names none.  Returns
// the session number used, also when nothing could be imported (no such
// session or track, no volume found, or a tree without a root); `report`,
// when given, then tells what was read and left out (`found` false when
// nothing was read).
int32_t ImportSessionW(TImageLayout& layout, TSCSIDevice& Device, uint8_t SessionNo,
                       const std::u16string& DestPath, TImportReport* report);

}  // namespace orvex

#endif  // ORVEX_SERVICES_DISC_IMPORT_H_
