// SPDX-License-Identifier: Apache-2.0
// What every drive command does with the drive options (cli/command_docs.cpp
// lists them): finding the drives (--driver, --no-pass-through, --log) and
// choosing one (-d N).
#ifndef ORVEX_CLI_DRIVE_ACCESS_H_
#define ORVEX_CLI_DRIVE_ACCESS_H_

#include "cli/command_line.h"
#include "component/orvex.h"

namespace orvex::cli {

// The words of fixed-width INQUIRY fields, single-spaced.
std::string InquiryWords(const std::string& text);

// The selected drive as messages name it: "drive 0 (ORVEX VIRTUAL DVD-RW)".
std::string DriveLabel(const TOrvex& disc);

// "/dev/sr0 exists but cannot be opened (Permission denied): add yourself
// to the group cdrom (sudo usermod -aG cdrom $USER) and log in again".
std::string AccessNote(const TDeviceAccessProblem& problem);

// Says the note of every kernel drive the last search could not open, and
// lists them as the report's "inaccessible".
void SayAccessProblems(const TOrvex& disc);

// Finds the drives: through the named driver library, else the default one
// on the search path, else the virtual burner's library beside this
// program.  False, with the reason said, when there is none (with the
// kernel's drives that could not be opened).
bool OpenDrives(TOrvex& disc, const TCommandLine& args);

// Drive `index` as devices lists it: "0:1:0,/dev/sr0: VENDOR PRODUCT REV",
// the device node in the name's letter slot, and no slot for a drive
// without one ("0:1:0: VENDOR ...").
std::string DriveLine(const TOrvex& disc, uint8_t index);

// Finds the drives and selects drive -d (default 0): its number, its SCSI
// address "H:T:L", or a device node of it (/dev/sr0, /dev/sg1); `index` gets it,
// the report's "drive" tells it).
// Returns -1 when it is selected, else the exit status (the message is out;
// the usage for a bad -d).
int SelectDrive(TOrvex& disc, const TCommandLine& args, uint8_t* index = nullptr);

// Opens the tray of the selected drive (`eject`) or closes it, waiting for
// the drive to finish.  True when the drive did it; else says why
// ("the disc could not be ejected: ...") and keeps the error for the report.
// The report's "ejected" or "loaded" tells the result.
bool MoveTray(TOrvex& disc, bool eject);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_DRIVE_ACCESS_H_
