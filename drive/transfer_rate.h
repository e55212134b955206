// SPDX-License-Identifier: Apache-2.0
// How fast the current job's transfers run: every READ(10) and WRITE(10)
// of ReadSectors and WriteSectors is timed, feeding the averages since the
// drive was selected and a ring of the last 64 transfers behind the
// current rate.  Ticks come from the platform clock.
#ifndef ORVEX_DRIVE_TRANSFER_RATE_H_
#define ORVEX_DRIVE_TRANSFER_RATE_H_

#include <cstdint>

#include "drive/scsi_device.h"

namespace orvex {

// Empties the ring (a verify or burn job starts).
void ResetSpeedSamples(TSCSIDevice& device);
// Puts one transfer into the ring.
void AddSpeedSample(TSCSIDevice& device, uint64_t bytes, uint64_t ticks);
// Bytes per second over the ring, rounded up; 0 when it holds nothing.
uint32_t CurrentTransferRate(const TSCSIDevice& device);

// The timed commands: READ(10) of `count` blocks, WRITE(10) of `length`
// bytes as `count` blocks.
bool ReadSectors(TSCSIDevice& device, uint32_t lba, uint16_t count, uint8_t* buffer);
bool WriteSectors(TSCSIDevice& device, uint32_t lba, uint16_t count, uint32_t length, const uint8_t* buffer);

// The component's benchmark speeds: the stored value, which is then
// replaced by the current rate in KiB/s (rounded up), so each call returns
// the rate measured at the one before.
uint16_t TakeWriteSpeedSample(TSCSIDevice& device);
uint16_t TakeReadSpeedSample(TSCSIDevice& device);

}  // namespace orvex

#endif  // ORVEX_DRIVE_TRANSFER_RATE_H_
