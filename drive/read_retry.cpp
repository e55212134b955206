#include "drive/read_retry.h"

#include "drive/ready_polls.h"
#include "drive/transfer_rate.h"
#include "platform/clock.h"

namespace orvex {

bool ReadSectorsRetrying(TSCSIDevice& device, uint32_t lba, uint16_t count, uint8_t* buffer,
                         const std::atomic<bool>& stop) {
  for (uint32_t attempt = 1;; ++attempt) {
    if (ReadSectors(device, lba, count, buffer)) {
      // The refusals were ridden out: none of them is the job's error.
      if (attempt > 1) device.DeviceError.exchange(0);
      return true;
    }
    const bool waiting = device.TargetBusy || BecomingReady(device);
    if (stop || attempt >= (waiting ? kBusyReadAttempts : kFailedReadAttempts)) return false;
    Clock().Sleep(kReadPauseMs);
  }
}

}  // namespace orvex
