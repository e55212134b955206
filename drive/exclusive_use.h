// SPDX-License-Identifier: Apache-2.0
// A recording job (a burn, an erase, a format) holds the selected drive for
// itself from its first command to its last.  Through the kernel's
// pass-through the drive is opened once, exclusively (TDriveOpen::
// kExclusive), and that one descriptor serves every command of the job:
// udev, automounters and desktop pollers cannot slip their commands in
// between, and none of the job's commands reopens the device.  Reading jobs
// (info, verify, the volume label) share the drive as before.  The driver
// library's drives belong to the library, which serialises them itself:
// there is nothing to hold.
#ifndef ORVEX_DRIVE_EXCLUSIVE_USE_H_
#define ORVEX_DRIVE_EXCLUSIVE_USE_H_

#include <string>

#include "drive/scsi_device.h"

namespace orvex {

class TExclusiveUse {
 public:
  // Holds nothing.
  TExclusiveUse() = default;
  // Closes whatever descriptor the record had open and opens the selected
  // drive exclusively, for reading and writing, kept open for every command
  // until Release.  When that open fails, Error() says why (EBUSY: another
  // program has the drive open) and nothing is held.
  explicit TExclusiveUse(TSCSIDevice& device);
  TExclusiveUse(TExclusiveUse&& other) noexcept;
  TExclusiveUse& operator=(TExclusiveUse&& other) noexcept;
  ~TExclusiveUse() { Release(); }

  // Closes the held descriptor: the next command opens the drive shared
  // again.  Does nothing when nothing is held.
  void Release();

  // errno of the exclusive open that failed; 0 when held or not needed.
  int Error() const { return error_; }
  // Whether another program holds the drive.
  bool Busy() const;
  // Whether the user may not open the drive for writing.  A job must not go
  // on then: its commands would go out through a descriptor opened only for
  // reading, where the kernel refuses every writing command of a caller
  // without raw I/O rights.
  bool NoWriteAccess() const;
  // The device the hold is for ("/dev/sr0"), for an error that names it.
  const std::string& Path() const { return path_; }

 private:
  TSCSIDevice* device_ = nullptr;  // null when nothing is held
  int error_ = 0;
  std::string path_;
};

}  // namespace orvex

#endif  // ORVEX_DRIVE_EXCLUSIVE_USE_H_
