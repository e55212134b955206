// SPDX-License-Identifier: Apache-2.0
// Commands that ride out what a drive says while it is only momentarily
// unable to answer: BUSY, "becoming ready" (sense 04h), a reset or a media
// change told as unit attention, and a single failed read, which a second
// attempt often gets past.  Every reader of recorded data (session import,
// the volume label, verify) reads through here, and is told a read error
// only when the blocks cannot be read at all.
#ifndef ORVEX_DRIVE_READ_RETRY_H_
#define ORVEX_DRIVE_READ_RETRY_H_

#include <atomic>
#include <cstdint>

#include "drive/scsi_device.h"

namespace orvex {

constexpr uint32_t kReadPauseMs = 100;        // between attempts, through the platform clock
constexpr uint32_t kBusyReadAttempts = 5000;  // while busy or not ready, as a write waits
constexpr uint32_t kFailedReadAttempts = 4;   // for any other refusal of a read

// ReadSectors (READ(10) of `count` blocks from `lba` into `buffer`), tried
// again after kReadPauseMs while the drive is busy or becoming ready (at
// most kBusyReadAttempts times) and after any other refusal (at most
// kFailedReadAttempts times), but not after a failure without sense
// (FailedWithoutSense), which asking again cannot mend.  No attempt follows once `stop` is set.
// True when an attempt succeeded (the pending drive error is then what it
// was before the first attempt); on false the drive record holds the last
// attempt's sense.
bool ReadSectorsRetrying(TSCSIDevice& device, uint32_t lba, uint16_t count, uint8_t* buffer,
                         const std::atomic<bool>& stop);

// TEST UNIT READY, asked again as a read is while the drive is busy or
// becoming ready, so that what follows meets a drive that answers.  Whether
// the drive is ready; false at once for any other refusal (no medium).
bool WaitUntilAnswering(TSCSIDevice& device, const std::atomic<bool>& stop);

}  // namespace orvex

#endif  // ORVEX_DRIVE_READ_RETRY_H_
