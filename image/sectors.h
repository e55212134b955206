// SPDX-License-Identifier: Apache-2.0
// Sectors and packets: a sector (block) is 2048 bytes everywhere, a packet
// 32 sectors (64 KiB).
#ifndef ORVEX_IMAGE_SECTORS_H_
#define ORVEX_IMAGE_SECTORS_H_

#include <cstdint>

namespace orvex {

constexpr uint32_t kSectorSize = 2048;
constexpr uint32_t kPacketSectors = 32;

// Bytes rounded up to whole sectors (0 for 0), on 64-bit counts.
constexpr uint64_t Sectors(uint64_t bytes) { return (bytes + kSectorSize - 1) / kSectorSize; }

}  // namespace orvex

#endif  // ORVEX_IMAGE_SECTORS_H_
