// SPDX-License-Identifier: Apache-2.0
#include "services/volume_search.h"

#include <algorithm>
#include <array>

#include "platform/byte_order.h"

namespace orvex {
namespace {

// The primary descriptor's volume space size (both-byte-order, the
// little-endian half first).
constexpr size_t kDescriptorVolumeSpaceSize = 80;

// The root of the descriptor in `sector`, when it is a sound directory.
std::optional<TVolumeTree> RootOf(std::span<const uint8_t> sector, TNameEncoding encoding,
                                  uint32_t sector_count) {
  const auto root =
      ReadDirectoryRecord(sector.subspan(kDescriptorRootRecord, kRootRecordBytes));
  if (!root || !root->IsDirectory() || root->extent >= sector_count) return std::nullopt;
  TVolumeTree tree{root->extent, root->data_length, encoding};
  std::copy_n(sector.begin() + kDescriptorVolumeId, kVolumeIdentifierBytes, tree.volume_identifier.begin());
  return tree;
}

}  // namespace

std::optional<TVolumeTree> FindVolumeTree(TSectorReader& source, uint32_t session_start) {
  // Candidates by preference: Joliet, other supplementary, primary.
  std::array<std::optional<TVolumeTree>, 3> found;
  std::array<uint8_t, kSectorSize> sector;
  uint32_t volume_sectors = 0;
  bool unreadable = false;
  for (uint32_t n = kFirstDescriptorSector; n <= kLastDescriptorSector; ++n) {
    if (session_start > UINT32_MAX - n) break;
    if (!source.ReadSector(session_start + n, sector.data())) {
      unreadable |= session_start + n < source.SectorCount();
      continue;
    }
    if (!IsVolumeDescriptor(sector)) continue;
    const uint8_t type = sector[kDescriptorType];
    if (type == kDescriptorSetTerminator) break;
    size_t rank;
    TNameEncoding encoding;
    if (IsJolietDescriptor(sector)) {
      rank = 0;
      encoding = TNameEncoding::Ucs2;
    } else if (type == kSupplementaryDescriptor) {
      rank = 1;
      encoding = TNameEncoding::EightBit;
    } else if (type == kPrimaryDescriptor) {
      rank = 2;
      encoding = TNameEncoding::Primary;
      if (volume_sectors == 0) volume_sectors = GetLE32(&sector[kDescriptorVolumeSpaceSize]);
    } else {
      continue;
    }
    if (!found[rank]) found[rank] = RootOf(sector, encoding, source.SectorCount());
  }
  for (auto& tree : found) {
    if (!tree) continue;
    tree->volume_sectors = volume_sectors;
    tree->unreadable_descriptor = unreadable;
    if (found[2]) {
      tree->primary_extent = found[2]->extent;
      tree->primary_data_length = found[2]->data_length;
    }
    return tree;
  }
  return std::nullopt;
}

}  // namespace orvex
