#include "services/volume_search.h"

#include <array>

namespace orvex {
namespace {

// The root of the descriptor in `sector`, when it is a sound directory.
std::optional<TVolumeTree> RootOf(std::span<const uint8_t> sector, TNameEncoding encoding,
                                  uint32_t sector_count) {
  const auto root =
      ReadDirectoryRecord(sector.subspan(kDescriptorRootRecord, kRootRecordBytes));
  if (!root || !root->IsDirectory() || root->extent >= sector_count) return std::nullopt;
  return TVolumeTree{root->extent, root->data_length, encoding};
}

}  // namespace

std::optional<TVolumeTree> FindVolumeTree(TSectorReader& source, uint32_t session_start) {
  // Candidates by preference: Joliet, other supplementary, primary.
  std::array<std::optional<TVolumeTree>, 3> found;
  std::array<uint8_t, kSectorSize> sector;
  for (uint32_t n = kFirstDescriptorSector; n <= kLastDescriptorSector; ++n) {
    if (session_start > UINT32_MAX - n || !source.ReadSector(session_start + n, sector.data())) {
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
    } else {
      continue;
    }
    if (!found[rank]) found[rank] = RootOf(sector, encoding, source.SectorCount());
  }
  for (const auto& tree : found) {
    if (tree) return tree;
  }
  return std::nullopt;
}

}  // namespace orvex
