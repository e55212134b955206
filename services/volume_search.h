// SPDX-License-Identifier: Apache-2.0
// Which directory tree of a volume an import reads.
#ifndef ORVEX_SERVICES_VOLUME_SEARCH_H_
#define ORVEX_SERVICES_VOLUME_SEARCH_H_

#include <array>
#include <cstdint>
#include <optional>

#include "services/sector_reader.h"
#include "services/volume_records.h"

namespace orvex {

// The volume descriptor set starts 16 sectors into a session and, here,
// ends at its terminator or with the sector 32 past the session start.
constexpr uint32_t kFirstDescriptorSector = 16;
constexpr uint32_t kLastDescriptorSector = 32;

struct TVolumeTree {
  uint32_t extent = 0;       // the root directory's first sector
  uint32_t data_length = 0;  // its length in bytes
  TNameEncoding encoding = TNameEncoding::Ucs2;
  uint32_t volume_sectors = 0;  // the volume space size of the primary descriptor (0: none)
  // The volume identifier of the tree's descriptor, as recorded (bytes 40 to 71).
  std::array<uint8_t, kVolumeIdentifierBytes> volume_identifier{};
  // The primary tree's root, whose 8.3 names stand beside the long names of
  // another tree (0 and 0 when the session has no usable primary descriptor).
  uint32_t primary_extent = 0;
  uint32_t primary_data_length = 0;
  // A sector of the descriptor set within the source could not be read, so
  // a better tree than the one found may have been missed.
  bool unreadable_descriptor = false;
};

// The tree with the best names among the descriptors of the session that
// starts at `session_start`: a Joliet tree (UCS-2 names) first, then
// another supplementary tree (the ISO 9660:1999 one, 8-bit long names),
// then the primary tree (8-bit 8.3 names); the first descriptor of each
// kind counts.  A descriptor whose root record is unsound (it does not
// parse, is no directory, or starts beyond the source) is passed over.
// Empty when no usable descriptor is found; unreadable sectors count as no
// descriptor.
std::optional<TVolumeTree> FindVolumeTree(TSectorReader& source, uint32_t session_start);

}  // namespace orvex

#endif  // ORVEX_SERVICES_VOLUME_SEARCH_H_
