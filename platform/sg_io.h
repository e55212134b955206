// SPDX-License-Identifier: Apache-2.0
// The kernel's SCSI pass-through to optical drives: /dev/srN, with the
// SG_IO request, and where sysfs says each drive sits on its SCSI bus.
// This is the only place that speaks the kernel's pass-through interface.
//
// A drive letter stands for a drive number: 'C' + N is /dev/srN, so the
// letters 'C' to 'Z' cover sr0 to sr23.  A letter is an optical drive
// ("drive type 5") when a SCSI CD-ROM block device exists at /dev/srN.
#ifndef ORVEX_PLATFORM_SG_IO_H_
#define ORVEX_PLATFORM_SG_IO_H_

#include <cstdint>
#include <optional>
#include <string>

namespace orvex {

constexpr char kFirstDriveLetter = 'C';
constexpr char kLastDriveLetter = 'Z';

// "/dev/srN" for the letter 'C' + N.
std::string OpticalDrivePath(char letter);

// Whether a SCSI CD-ROM block device exists for the letter.
bool IsOpticalDrive(char letter);

// How a drive is opened: for reading only, for reading and writing, or for
// reading and writing by this program alone (O_EXCL: the kernel refuses it
// with EBUSY while anyone else has the drive open, and refuses others while
// it is held, so automounters and pollers cannot send commands between a
// recording job's).
enum class TDriveOpen : uint8_t { kRead, kReadWrite, kExclusive };

// The drive opened as `how` says; -1 with `error` set (errno) when it
// cannot be.
int OpenOpticalDrive(char letter, TDriveOpen how, int* error);
void CloseOpticalDrive(int fd);

// The system's open(2), through which every drive is opened.  A test puts
// a stand-in in its place to see how the drive is opened without one;
// returns the call it replaces (null: the system's).
using TOpenCall = int (*)(const char* path, int flags);
TOpenCall SetOpenCall(TOpenCall call);

// A device node that exists but may not be opened by this user, and the
// group that owns it (whose members may open it).
struct TDeviceAccessProblem {
  std::string path;
  int error = 0;      // EACCES or EPERM
  std::string group;  // the group's name, else its number; empty when the node cannot be examined
};

// The problem an open of `path` that failed with `error` shows; empty for
// any error other than EACCES and EPERM (no such node, a busy drive...).
std::optional<TDeviceAccessProblem> AccessProblem(const std::string& path, int error);

// host:channel:target:lun of a SCSI device.
struct TScsiAddress {
  uint32_t host = 0, channel = 0, target = 0, lun = 0;
  bool operator==(const TScsiAddress&) const = default;
};

// The address of the letter's drive, read from `sysfs`/class/block/srN/device
// (a link whose last component is "H:C:T:L"); empty when it cannot be read.
std::optional<TScsiAddress> ReadScsiAddress(char letter, const std::string& sysfs = "/sys");

// The letter of the drive the device node `path` stands for: /dev/srN, or
// any other node of the same SCSI device (its /dev/sg name, a link such as
// /dev/cdrom), found by the device each node's numbers lead to in `sysfs`.
// Empty when the path is no node of an optical drive.
std::optional<char> DriveLetterOfNode(const std::string& path, const std::string& sysfs = "/sys");

// Parses "H:C:T:L" (the last component of a device link).
std::optional<TScsiAddress> ParseScsiAddress(const std::string& text);

enum class TDataDirection { kNone, kIn, kOut };

// One command as the pass-through takes it.
struct TPassThroughRequest {
  const uint8_t* cdb = nullptr;
  uint8_t cdb_length = 0;
  TDataDirection direction = TDataDirection::kNone;
  uint8_t* data = nullptr;
  uint32_t length = 0;
  uint8_t* sense = nullptr;  // room for sense_length bytes
  uint8_t sense_length = 0;
  uint32_t timeout_seconds = 0;
};

// What the kernel request carries for a command, in the kernel's terms
// (kept apart from the kernel's header, so tests can check the building).
struct TSgRequestFields {
  int interface_id;        // 'S'
  int dxfer_direction;     // the kernel's SG_DXFER_* value
  uint8_t cmd_len;
  uint8_t mx_sb_len;
  uint32_t dxfer_len;
  uint32_t timeout_ms;
};
TSgRequestFields DescribeRequest(const TPassThroughRequest& request);

struct TPassThroughResult {
  bool sent = false;        // the kernel took the request (else `error` says why)
  int error = 0;            // errno after the call
  uint8_t scsi_status = 0;  // the drive's status byte (02h CHECK CONDITION, 08h BUSY)
  uint16_t host_status = 0, driver_status = 0;
  int32_t residue = 0;      // bytes of the transfer that did not move
  uint8_t sense_written = 0;
};

// The most bytes one request on the open drive `fd` may move: its queue's
// max_sectors (BLKSECTGET) in bytes; empty when the kernel does not say.
std::optional<uint32_t> QueueTransferLimit(int fd);

// Sends `request` on the open drive `fd` and waits for its end.
TPassThroughResult PassThrough(int fd, const TPassThroughRequest& request);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_SG_IO_H_
