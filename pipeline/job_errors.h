// SPDX-License-Identifier: Apache-2.0
// The error numbers a job leaves pending for the component to report.
#ifndef ORVEX_PIPELINE_JOB_ERRORS_H_
#define ORVEX_PIPELINE_JOB_ERRORS_H_

#include <cstdint>
#include <string>

#include "drive/command_failure.h"

namespace orvex {

// Job errors.  Any other non-zero number is a drive error: additional sense
// code x 256 + qualifier (never below 256).
enum TErrorNumber : uint32_t {
  kErrorNone = 0,
  kErrorNotPrepared = 1,          // no current layout
  kErrorOpening = 2,              // a source file or the image to burn cannot be opened
  kErrorCreating = 3,             // the image file cannot be created
  kErrorAborted = 4,              // AbortOperation
  kErrorReading = 5,              // a source cannot be read, or reads short of its size
  kErrorWriting = 6,              // the image file cannot be written
  kErrorNotAnImage = 7,           // the image to burn holds no ISO 9660 or UDF volume
  kErrorNoRoom = 8,               // the image is larger than the space left on the disc
  kErrorNotWritable = 9,          // no disc, or one that cannot be written (finalized, read-only)
  kErrorNotBlank = 10,            // an image must start at block 0, and the disc holds a session
  kErrorDriveFailed = 11,         // the drive refused a write without saying why, or did not answer
  kErrorNoTestWrite = 12,         // a test write the medium or the drive cannot simulate
  kErrorNothingToBurn = 13,       // the layout holds no entry and no boot image
  kErrorMediumNotSupported = 14,  // a medium the drive layer cannot write and close (unknown profile, DVD-R DL)
  kErrorIncompleteSession = 16,   // an earlier burn left the last session open, and it cannot be closed
  kErrorClosingFailed = 17,       // the drive refused to close the session without saying why
  kErrorSessionUnreadable = 18,   // an imported session's tree could not be read whole
  kErrorReadingDisc = 19,         // verification could not read a file's blocks from the disc
  kErrorWrongSession = 20,        // the session's file tree does not hold the files verified
  kErrorClosingHalted = 21,       // stopped a second time while closing: the disc is as the drive left it
  kErrorDriveBusy = 22,           // another program holds the drive open exclusively (names the device)
  kErrorNoWriteAccess = 23,       // the user may not open the drive for writing (names the device)
};

// How a job failed: the error number, the file it names (errors 2, 3, 5
// and 6) or the device (errors 22 and 23), the system's reason (errno) where there
// is one, and the drive command that failed where one did.
struct TJobFailure {
  uint32_t error = kErrorNone;
  std::u16string name;
  int system_error = 0;
  TCommandFailure command{};
};

} // namespace orvex

#endif // ORVEX_PIPELINE_JOB_ERRORS_H_
