// Verification: every file of the tree that came from a file on disk is
// read back from the disc in the selected drive and its MD5 digest compared
// with that of its source.  The files lie where the last layout put them:
// block Address + FirstDataSector + FirstWritableSector on.
//
// Checked are the entries with a source path that were not imported
// (memory files, smart-reference duplicates, imported files and directories
// are passed by and get no event).  A file is good exactly when its source
// could be read whole and every block of its extent could be read from the
// disc, and the digests of the two (the disc's over FileSize bytes) agree;
// an empty file is good without any read.  A source that vanished or cannot
// be read fails its file, and the run goes on.  The source digest stays in
// Hash and is reused by later runs (and by smart references) without
// reading the source again, unless the source changed since it was added.
//
// Events (OnDone): one per checked file, FileId = its index in the file
// table, Failed for a bad one (posted: message 1127, wParam the FileId,
// lParam 0 or FFFFFFFFh), then exactly one final event with FileId -1 and
// Failed = any file failed or the run was stopped (posted: wParam
// FFFFFFFFh, lParam 0 or 1).  Called directly, the per-file and final
// events carry Sender and the selected drive's number.
#ifndef ORVEX_SERVICES_VERIFY_JOB_H_
#define ORVEX_SERVICES_VERIFY_JOB_H_

#include "drive/scsi_device.h"
#include "pipeline/cd_files.h"

namespace orvex {

// Starts the run on its own thread and returns at once.  ComponentStatus
// is 10 while it runs, 7 once aborted, 0 at the end; VerifySize is the
// blocks of the files to check, VerifyProgress counts the blocks done.
//
// StopOnMismatch: the run ends after the first failed file (the final
// event still follows).  FireVerifyEventOnAllFiles false: per-file events
// only for failed files.  An abort ends the run after the file in progress
// (reported failed unless it was checked whole), with error 4 pending.
// False, starting nothing, while another job runs.
bool StartVerifyJob(TCDFiles& CDFiles, TSCSIDevice& Device, bool StopOnMismatch,
                    bool FireVerifyEventOnAllFiles, TVerifyDoneEvent OnDone, TObject* Sender);

}  // namespace orvex

#endif  // ORVEX_SERVICES_VERIFY_JOB_H_
