// SPDX-License-Identifier: Apache-2.0
// What the medium in the selected drive is and holds: its kind, whether it
// can be erased or written, its sessions, its free and total blocks, the
// size of the volume on it, its formatted capacity, and the drive's buffer
// fill.  Failed commands turn into the fallbacks each routine names, never
// an error: LastSenseInfo and DeviceError carry the detail.  Every length a
// drive reports is read only within what arrived.  A question met by a
// unit attention (news of a disc put in, or of a reset) is asked again, not
// taken for the drive's answer about the disc.
#ifndef ORVEX_DRIVE_MEDIUM_INSPECTION_H_
#define ORVEX_DRIVE_MEDIUM_INSPECTION_H_

#include <cstdint>
#include <optional>

#include "drive/scsi_device.h"

namespace orvex {

// The current profile of GET CONFIGURATION, unless the disc information's
// erasable bit contradicts it (a rewritable profile on a write-once disc or
// the reverse).  Without a profile (drives before MMC-3), or against such
// a contradiction, what the medium says of itself: the ATIP's disc type
// (CD-R, CD-RW), a DVD's physical format (its book type and layers; a
// DVD-RW written in fixed packets is restricted overwrite), a BD's disc
// information unit (BD-ROM, BD-R sequential, BD-RE), and a complete,
// unerasable disc with none of them is a CD-ROM.  mtUNKNOWN when nothing
// tells, or when what the medium says contradicts the erasable bit too.
TMedium DiscIs(TSCSIDevice& device);

bool Erasable(TSCSIDevice& device);
bool Writable(TSCSIDevice& device);

// Complete sessions: the drive's count less an empty last session; without
// disc information (READ DISC INFORMATION refused twice) 1 for DVD-RAM,
// else empty, LastSenseInfo saying why.
std::optional<int32_t> AnsweredSessions(TSCSIDevice& device);
// AnsweredSessions, 0 when the drive did not answer.
int32_t SessionsOnDisc(TSCSIDevice& device);

// The blocks a new session can take: 0 on a disc that is not Writable;
// empty when the drive refused the disc or track information they follow
// from twice (and the medium has no formatted capacity to go by),
// LastSenseInfo saying why.
std::optional<uint32_t> AnsweredFreeBlocks(TSCSIDevice& device);
// AnsweredFreeBlocks, 0 when the drive did not answer.
uint32_t FreeBlocksOnDisc(TSCSIDevice& device);
uint32_t TotalBlocksOnDisc(TSCSIDevice& device);

// The block count of the first 2048-byte format among the first four
// format descriptors, else of the current/maximum capacity; 0 when the
// command fails and when the drive says it holds no medium.
uint32_t ReadFormatCapacity(TSCSIDevice& device);

// The volume space size of the first supplementary, else primary, volume
// descriptor in sectors 16 to 31; 0 when there is none.
uint32_t ExistingVolumeSize(TSCSIDevice& device);

// READ BUFFER CAPACITY into DeviceBufferSize and DeviceBufferPosition (the
// blank length); true when the command succeeded.
bool ReadBufferCapacity(TSCSIDevice& device);

}  // namespace orvex

#endif  // ORVEX_DRIVE_MEDIUM_INSPECTION_H_
