// SPDX-License-Identifier: Apache-2.0
#include "drive/read_retry.h"

#include <functional>

#include "drive/execute_command.h"
#include "drive/mmc_commands.h"
#include "drive/ready_polls.h"
#include "drive/transfer_rate.h"
#include "platform/clock.h"

namespace orvex {
namespace {

// Sends `command` until it succeeds, the drive refused it `other_attempts`
// times for a reason other than being busy or becoming ready, or `stop`.
bool Retrying(TSCSIDevice& device, const std::atomic<bool>& stop, uint32_t other_attempts,
              const std::function<bool()>& command) {
  const uint16_t pending = device.DeviceError;
  for (uint32_t attempt = 1;; ++attempt) {
    if (command()) {
      // The refusals were ridden out: none of them is the job's error.
      if (attempt > 1) device.DeviceError = pending;
      return true;
    }
    const bool waiting = BecomingReady(device);  // BUSY status too
    // A request that never reached the drive is not tried again.
    if (stop || FailedWithoutSense(device) != 0 || attempt >= (waiting ? kBusyReadAttempts : other_attempts)) {
      return false;
    }
    Clock().Sleep(kReadPauseMs);
  }
}

}  // namespace

bool ReadSectorsRetrying(TSCSIDevice& device, uint32_t lba, uint16_t count, uint8_t* buffer,
                         const std::atomic<bool>& stop) {
  return Retrying(device, stop, kFailedReadAttempts, [&] { return ReadSectors(device, lba, count, buffer); });
}

bool WaitUntilAnswering(TSCSIDevice& device, const std::atomic<bool>& stop) {
  return Retrying(device, stop, 1, [&] { return TestUnitReady(device); });
}

}  // namespace orvex
