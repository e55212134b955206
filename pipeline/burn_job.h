// SPDX-License-Identifier: Apache-2.0
// The burn jobs: the prepared layout (Burn) or an existing image file
// (BurnISOImageW) written to the disc in the selected drive, through the
// cache thread and a write thread with a drive sink (drive_sink.h).
//
// Before anything is written, on the caller's thread: the medium is looked
// at and the transfer-rate samples reset.  For Burn the disc is then
// readied: a blank sequential DVD-RW is quick-formatted (and a restricted
// overwrite one grown) unless the burn is a test write, and the block the
// new session starts at is found (FirstWritableSector): on DVD+RW, DVD-RAM
// and BD-RE the end of the volume already there; elsewhere the next
// writable address of the disc's last track (1000, what some drives report
// for a blank disc, means 0), else the start of track 1.  VDImageSize is
// that block too: the session's volume space size counts from block 0, like
// its addresses.  With the UDF bridge the UDF structures count from that
// same block.  An image always starts at block 0.  A last session that an
// interrupted burn left incomplete is closed first (but for a test write),
// so that the new one follows it as a session of its own.
//
// A call refuses, returning false with the error pending and no event:
// while a job runs (no error), without a current layout (1), an image that
// cannot be opened (2) or holds no ISO 9660 or UDF volume (7), no disc that
// can be written (9), less room on it than the image needs (8), an image
// for a sequential disc that already holds a session (10), a test write
// where the medium or the drive cannot simulate one (12), a layout with no
// entry and no boot image (13), a medium of a kind the drive layer cannot
// write and close, such as an unknown profile or DVD-R DL (14), and an
// incomplete last session that cannot be closed (16).  A drive that refuses
// the write parameters where they govern the recording fails the run before
// its first write, with the drive's sense.  True: the
// write thread runs, and OnDone reports the outcome exactly once; false
// after an abort while the queue filled, which OnDone has reported.
#ifndef ORVEX_PIPELINE_BURN_JOB_H_
#define ORVEX_PIPELINE_BURN_JOB_H_

#include <string>

#include "drive/scsi_device.h"
#include "pipeline/cd_files.h"

namespace orvex {

bool Burn(TCDFiles& CDFiles, TSCSIDevice& Device, TObject* Sender, TWriteDoneEvent OnDone);

bool BurnISOImageW(TCDFiles& CDFiles, TSCSIDevice& Device, const std::u16string& FileName, TObject* Sender,
                   TWriteDoneEvent OnDone);

}  // namespace orvex

#endif  // ORVEX_PIPELINE_BURN_JOB_H_
