// SPDX-License-Identifier: Apache-2.0
// Verification: files of the tree that came from a file on disk are read
// back from the disc in the selected drive and their MD5 digests compared
// with those of their sources.  Two runs share the reading and the events:
//
// - StartVerifyJob checks the job just burned: the files lie where the last
//   layout put them (block Address + FirstDataSector + FirstWritableSector
//   on).  Once every file was checked, the disc's last session is read
//   through its file system, and every file of the tree must be there by
//   path, at the extent the layout gave it and of its size, with no file
//   beside them: so a burn whose session no reader finds (the disc still
//   shows the session before) does not pass.
// - StartSessionVerifyJob checks a disc burned earlier, whatever layout the
//   burn used: the session's file tree is read first, and each file of the
//   tree is compared by path (the names of the tree the volume shows best:
//   Joliet where it has one) with the session's file of that path, read at
//   the extent the disc records.
//
// Checked are the entries with a source path that were not imported
// (memory files and imported files are passed by and get no event;
// smart-reference duplicates are passed by after a burn, and compared with
// their original's source in a session).  A file is good exactly when its
// source could be read whole and every block of its extent could be read
// from the disc, and the digests of the two (the disc's over FileSize
// bytes) agree; an empty file is good without any read.  A read refused
// while the drive is busy or becoming ready, or refused once, is tried
// again (ReadSectorsRetrying).  A source that vanished or cannot be read
// fails its file, and the run goes on.  The source digest stays in Hash and
// is reused by later runs (and by smart references) without reading the
// source again, unless the source changed since it was added.
//
// CDFiles.VerifyFindings tells, once the final event has come, which failed
// files could not be read from the disc, which sources could not be read,
// which differ, and which paths the session lacks or holds beyond the tree.
//
// Events (OnDone): one per checked file, FileId = its index in the file
// table, Failed for a bad one (posted: message 1127, wParam the FileId,
// lParam 0 or FFFFFFFFh), then exactly one final event with FileId -1 and
// Failed = any file failed, the session's tree disagreed, or the run was
// stopped (posted: wParam FFFFFFFFh, lParam 0 or 1).  Called directly, the
// per-file and final events carry Sender and the selected drive's number.
//
// The pending error at the end: 4 after an abort, else 19 when a file's
// blocks could not be read, else 20 when the session has no readable volume
// or its tree disagrees with the content tree; none when files only differ
// (no drive error either, unless a read failed for good).
#ifndef ORVEX_SERVICES_VERIFY_JOB_H_
#define ORVEX_SERVICES_VERIFY_JOB_H_

#include <cstdint>

#include "drive/scsi_device.h"
#include "pipeline/cd_files.h"

namespace orvex {

// Starts the run on its own thread and returns at once.  ComponentStatus
// is 10 while it runs, 7 once aborted, 0 at the end; VerifySize is the
// blocks of the files to check, VerifyProgress counts the blocks done.
//
// StopOnMismatch: the run ends after the first failed file (the final
// event still follows, and the session's tree is not read).
// FireVerifyEventOnAllFiles false: per-file events only for failed files.
// An abort ends the run after the file in progress, which gets an event
// only if it was checked whole: an abort never tells a file as bad.  False,
// starting nothing, while another job runs.
bool StartVerifyJob(TCDFiles& CDFiles, TSCSIDevice& Device, bool StopOnMismatch,
                    bool FireVerifyEventOnAllFiles, TVerifyDoneEvent OnDone, TObject* Sender);

// The same for session SessionNo of the disc (0: the last complete one).
// VerifySize is known once the session's tree has been read.  A file of the
// tree that the session lacks fails with an event and no read; so does one
// of another size, and an imported file the session does not show at its
// address.  A session without a readable volume ends the run failed, with
// no per-file event.
bool StartSessionVerifyJob(TCDFiles& CDFiles, TSCSIDevice& Device, uint8_t SessionNo, bool StopOnMismatch,
                           bool FireVerifyEventOnAllFiles, TVerifyDoneEvent OnDone, TObject* Sender);

}  // namespace orvex

#endif  // ORVEX_SERVICES_VERIFY_JOB_H_
