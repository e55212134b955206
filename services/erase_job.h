// SPDX-License-Identifier: Apache-2.0
// Erasing a rewritable disc on its own thread.  Media that MMC blanks
// (CD-RW, DVD-RW) get BLANK; DVD+RW, BD-RE and DVD-RAM, which have no blank
// operation, are formatted and/or overwritten with zero blocks at the start
// of the disc:
//
//   medium    quick                                   full
//   BD-RE     quick format, 16 zero runs, close       nothing to do
//   DVD+RW    basic format, 16 zero runs, close       basic format, 71000 zero runs
//   DVD-RAM   128 zero runs                           full format
//   others    BLANK minimal                           BLANK the whole disc
//
// A zero run is 32 blocks (64 KiB) of zeros; the runs follow each other
// from block 0.  The drive handle stays open between them (CloseFH false),
// and is closed after every command again once the writing is over.  A
// blank or format runs in the drive's background; the job asks the drive
// every five seconds (READ DISC INFORMATION, TEST UNIT READY after a
// DVD-RAM format) until it no longer answers "not ready"; a unit attention
// meanwhile (the drive reset, the medium may have changed) is asked past
// at once.  Such a wait has no bound of its own (a full format of a large
// disc takes hours), but an abort ends it.  The medium is locked in the
// drive from the first blank, format or write until the erase ends, also
// when it fails or is aborted.
//
// The erase fails when the blank or format command fails (except before the
// zero runs of a quick erase, which are written whatever the format did),
// when the drive's last answer to the wait is an error other than "not
// ready" (the medium went away, the drive stopped answering), when a zero
// run cannot be written (the writing stops there, the cache is still
// synchronised and a quick erase still closes), and when the job is
// aborted.  The job's error is then the refused command's own (not a code
// an earlier command left): its sense code and qualifier, else error 11
// with the system's reason, and the command's record (TCommandFailure).
#ifndef ORVEX_SERVICES_ERASE_JOB_H_
#define ORVEX_SERVICES_ERASE_JOB_H_

#include "drive/scsi_device.h"
#include "pipeline/cd_files.h"

namespace orvex {

// Starts erasing the medium in the selected drive of `Device`, `quick` or
// in full, with OnDone as Device.cbEraseDone and quick as Device.QuickErase.
// ComponentStatus is 2 from the start, 3 while a full DVD+RW erase writes
// its zero runs, and 0 once the job ends.  The speeds asked for last
// (Device.ReadSpeed, Device.WriteSpeed) and write parameters without test
// write or underrun protection are set first.
//
// The job ends with exactly one erase-done event: posted as message 1125
// (0, failure flag) to Device.hWNDFE when the component has a queue, else
// OnDone(the job's thread object, 0, failed) on the job's thread; nothing
// when OnDone is empty.  An abort (CDFiles.Job.RequestStop) ends the waits
// and the zero runs at once and the job with a failure; its error stays
// pending.  With no drive selected no command reaches a drive, and the
// event reports the failure.
//
// False, starting nothing, while another job runs; true otherwise.
bool StartEraseJob(TCDFiles& CDFiles, TSCSIDevice& Device, bool quick, TEraseDoneEvent OnDone);

}  // namespace orvex

#endif  // ORVEX_SERVICES_ERASE_JOB_H_
