// SPDX-License-Identifier: Apache-2.0
// Finding the optical drives and choosing one.
//
// The scan looks at the drive letters 'C' to 'Z' (/dev/sr0 to /dev/sr23)
// through the kernel pass-through, unless told not to; a drive whose SCSI
// address sysfs cannot tell is put at the end of the table with a host
// adapter number of its own.  When it finds no drive (or is told not to
// look), it loads the driver library and asks every adapter, target 0 to 7
// and lun 0 to 6 for an optical drive.  Each row is named
// "HA:TARGET:LUN,LETTER: VENDOR PRODUCT REVISION " from INQUIRY.
#ifndef ORVEX_DRIVE_DEVICE_ENUMERATION_H_
#define ORVEX_DRIVE_DEVICE_ENUMERATION_H_

#include <optional>
#include <string>

#include "drive/scsi_device.h"
#include "platform/sg_io.h"

namespace orvex {

// The library name that asks for no driver library: only the kernel's
// drives are looked for.
constexpr const char* kNoDriverLibrary = "none";

// Rebuilds the drive table.  The record is reset first, all but BurnProof,
// FinalizeDisc and the notification target; `log_path`, when not empty,
// opens the debug log (its first line "GetOrvexVersion").  `no_pass_through`
// skips the letter scan; `library` names the driver library (empty: the
// default, kDefaultDriverLibrary on the library search path, else beside
// the program, else in the driver folder of the program's installation,
// lib/orvex; kNoDriverLibrary: none).  True when a transport is ready: drives
// were found by the scan, or the library loaded (with or without drives).
// `why` tells why no library could be used.  The drives the scan could not
// open for want of permission are listed in device.AccessProblems.
bool EnumerateDevices(TSCSIDevice& device, bool no_pass_through, const std::string& library,
                      const std::string& log_path, std::string* why = nullptr);

// The table row of the kernel's drive at `letter`: its SCSI address as
// sysfs tells it (host, target and lun whole; 0:0:0 when unknown), type 5,
// and its name, with the identification from `inquiry` (64 bytes of INQUIRY
// data, control characters made blanks in place; null when none was read).
TDeviceEntry LetterRow(char letter, const std::optional<TScsiAddress>& address, uint8_t* inquiry);

// Selects row `index`: its address and letter, INQUIRY for the vendor and
// product, and a refresh of the capabilities.  An address number of 255 or
// more (a kernel drive's, reached by its letter) is held as 254 in HaID,
// Target and Lun.  False when there is no such row (no command can reach a
// drive then) or the INQUIRY fails.
bool SelectDevice(TSCSIDevice& device, uint8_t index);

// Selects every row with that letter in table order; the result is the
// last selection's, False when none has it or the letter is 0.
bool SelectDeviceByLetter(TSCSIDevice& device, char letter);

// The row of the drive that `name` names: its SCSI address "H:T:L" as the
// row has it, or a device node of a kernel drive (/dev/srN, its /dev/sg
// name, a link to either).  -1 when no row has it.
int FindDevice(const TSCSIDevice& device, const std::string& name);

// The kernel's device node of the row ("/dev/sr0"); empty for a drive of a
// driver library or an index beyond the table.
std::string GetDevicePath(const TSCSIDevice& device, uint8_t index);

// The row's display name; empty for an index beyond the table.
std::string GetDeviceName(const TSCSIDevice& device, uint8_t index);

// Closes the debug log and the device.
void CloseDevice(TSCSIDevice& device);

}  // namespace orvex

#endif  // ORVEX_DRIVE_DEVICE_ENUMERATION_H_
