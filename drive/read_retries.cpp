#include "drive/read_retries.h"

#include "drive/transfer_rate.h"
#include "platform/clock.h"

namespace orvex {
namespace {

constexpr uint8_t kSenseNotReady = 0x02, kSenseUnitAttention = 0x06;
constexpr uint8_t kAscNotReady = 0x04;

}  // namespace

bool PassingRefusal(const TSCSIDevice& device) {
  if (device.TargetBusy) return true;
  const uint8_t key = device.LastSenseInfo.SenseKey & 0x0F;
  return key == kSenseUnitAttention ||
         (key == kSenseNotReady && device.LastSenseInfo.AddSenseCode == kAscNotReady);
}

bool ReadSectorsRetrying(TSCSIDevice& device, uint32_t lba, uint16_t count, uint8_t* buffer) {
  const uint16_t pending = device.DeviceError;
  for (uint32_t attempt = 1;; ++attempt) {
    if (ReadSectors(device, lba, count, buffer)) {
      // A refusal that passed is no error of the caller's.
      if (attempt > 1) device.DeviceError = pending;
      return true;
    }
    if (attempt >= kReadAttempts || !PassingRefusal(device)) return false;
    Clock().Sleep(kReadRetryPauseMs);
  }
}

}  // namespace orvex
