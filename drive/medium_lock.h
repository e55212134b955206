// SPDX-License-Identifier: Apache-2.0
// The medium stays in the drive while it is recorded on: PREVENT MEDIUM
// REMOVAL when a recording step starts, ALLOW when it ends, whether it
// succeeded, failed or was stopped.  A drive that refuses either command
// records all the same: the lock only keeps the eject button from pulling
// the disc out mid-write.
#ifndef ORVEX_DRIVE_MEDIUM_LOCK_H_
#define ORVEX_DRIVE_MEDIUM_LOCK_H_

#include "drive/mmc_commands.h"
#include "drive/scsi_device.h"

namespace orvex {

class TMediumLock {
 public:
  explicit TMediumLock(TSCSIDevice& device) : device_(device) { LockMedium(device_); }
  ~TMediumLock() { UnlockMedium(device_); }
  TMediumLock(const TMediumLock&) = delete;
  TMediumLock& operator=(const TMediumLock&) = delete;

 private:
  TSCSIDevice& device_;
};

}  // namespace orvex

#endif  // ORVEX_DRIVE_MEDIUM_LOCK_H_
