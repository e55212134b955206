// Reads that ride out what passes by itself.  A drive that has just been
// reset, has had its medium changed or is still spinning up refuses a read
// for a moment; such a refusal says nothing about the disc, so every reader
// of recorded data (session import, verify) reads through here rather than
// treating it as an unreadable block.
#ifndef ORVEX_DRIVE_READ_RETRIES_H_
#define ORVEX_DRIVE_READ_RETRIES_H_

#include <cstdint>

#include "drive/scsi_device.h"

namespace orvex {

// How often a read is tried, and the pause before each new try.
constexpr uint32_t kReadAttempts = 5;
constexpr uint32_t kReadRetryPauseMs = 200;

// Whether the last command's refusal is one that passes: BUSY status, not
// ready (sense key 2) with "becoming ready" or "operation in progress"
// (ASC 04h), or a unit attention (sense key 6).
bool PassingRefusal(const TSCSIDevice& device);

// ReadSectors (READ(10) of `count` blocks), tried again up to kReadAttempts
// times in all while the drive's refusal passes, pausing through the
// platform clock in between.  Any other failure is final at once.  A read
// that succeeds in the end leaves the pending drive error as it found it.
bool ReadSectorsRetrying(TSCSIDevice& device, uint32_t lba, uint16_t count, uint8_t* buffer);

}  // namespace orvex

#endif  // ORVEX_DRIVE_READ_RETRIES_H_
