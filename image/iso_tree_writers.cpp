// SPDX-License-Identifier: Apache-2.0
#include "image/iso_tree_writers.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "image/rock_ridge.h"
#include "platform/byte_order.h"
#include "platform/find_data.h"

namespace orvex {
namespace {

constexpr uint8_t kFlagHidden = 0x01;
constexpr uint8_t kFlagDirectory = 0x02;
constexpr uint8_t kFlagMultiExtent = 0x80;

// A directory record; `system_use` is its own part of its system use area
// (empty without Rock Ridge), padded to an even length.
void PutRecord(uint8_t* p, uint32_t extent, uint32_t length, uint8_t flags, const std::string& identifier,
               const TSystemUse& system_use) {
  const uint32_t base = DirectoryRecordLength(identifier.size());
  p[0] = static_cast<uint8_t>(base + system_use.RecordBytes());
  PutBoth32(p + 2, extent);
  PutBoth32(p + 10, length);
  p[25] = flags;
  PutBoth16(p + 28, 1);
  p[32] = static_cast<uint8_t>(identifier.size());
  std::memcpy(p + 33, identifier.data(), identifier.size());
  if (!system_use.parts.empty()) std::memcpy(p + base, system_use.parts[0].data(), system_use.parts[0].size());
}

}  // namespace

void WritePathTable(const TImageLayout& layout, const TIsoTree& tree, uint32_t area, bool type_m,
                    THeaderSink& sink) {
  const uint32_t width = tree.joliet ? layout.PathTableWidthJ : layout.PathTableWidth;
  uint8_t* p = sink.AppendSectors(static_cast<uint32_t>(Sectors(width)));
  const uint32_t base = area + layout.FirstWritableSector;
  const auto put32 = type_m ? PutBE32 : PutLE32;
  const auto put16 = type_m ? PutBE16 : PutLE16;
  for (const TDirEntry* dir : layout.PathTableEntries) {
    const bool root = dir == layout.RootDir;
    const std::string identifier = root ? std::string(1, '\0') : tree.Identifier(*dir);
    p[0] = static_cast<uint8_t>(identifier.size());
    put32(p + 2, base + dir->*tree.address);
    put16(p + 6, dir->Parent->number);
    std::memcpy(p + 8, identifier.data(), identifier.size());
    p += PathTableRecordLength(identifier.size());
  }
}

void WriteDirectories(const TImageLayout& layout, const TIsoTree& tree, uint32_t area,
                      THeaderSink& sink) {
  const uint32_t base = area + layout.FirstWritableSector;
  const uint32_t data = layout.FirstDataSector + layout.FirstWritableSector;
  const bool rock_ridge = layout.RockRidge && !tree.joliet;
  std::optional<TRockRidgeFields> fields;
  if (rock_ridge) fields.emplace(layout, layout.RockRidgeRational);
  std::vector<uint8_t> continuation;
  TContinuationArea continuation_area(layout.RockRidgeContinuationExtent + layout.FirstWritableSector,
                                      &continuation);
  // A record's own system use area, its continuation pieces placed.
  const auto placed = [&](TSystemUse su) {
    continuation_area.Place(su);
    return su;
  };
  for (size_t d = 0; d < layout.Dirs.size(); ++d) {
    if (sink.Stopped()) return;  // nothing more is taken: spare the rest
    const TDirEntry& dir = *layout.Dirs[d];
    uint8_t* sector = sink.AppendSectors(dir.*tree.size / kSectorSize);
    const TSystemUse self = rock_ridge ? placed(fields->Dot(dir, false)) : TSystemUse();
    const TSystemUse parent = rock_ridge ? placed(fields->Dot(dir, true)) : TSystemUse();
    PutRecord(sector, base + dir.*tree.address, dir.*tree.size, kFlagDirectory, std::string(1, '\0'), self);
    uint8_t* p = sector + sector[0];
    PutRecord(p, base + dir.Parent->*tree.address, dir.Parent->*tree.size, kFlagDirectory, std::string(1, '\1'),
              parent);
    p += p[0];
    TRecordPlacer placer(static_cast<uint32_t>(p - sector));
    for (const TFileEntry* e = dir.Files; e != nullptr; e = e->NextFile) {
      const std::string identifier = tree.Identifier(*e);
      const TSystemUse own = rock_ridge ? fields->Entry(*e, identifier.size()) : TSystemUse();
      const uint32_t length = DirectoryRecordLength(identifier.size()) + own.RecordBytes();
      const uint8_t hidden = (e->attributes & FILE_ATTRIBUTE_HIDDEN) != 0 ? kFlagHidden : 0;
      const uint32_t records = RecordCount(*e);
      for (uint32_t r = 0; r < records; ++r) {
        if (placer.Place(length)) {
          sector += kSectorSize;
          p = sector;
        }
        uint32_t extent = 0, size = 0;
        uint8_t flags = hidden;
        if (e->DirRecord != nullptr) {
          extent = base + e->DirRecord->*tree.address;
          size = e->DirRecord->*tree.size;
          flags |= kFlagDirectory;
        } else if (e->FileSize != 0) {
          // Extent r of a multi-extent file starts r x 4 GiB - 2 KiB into its data.
          const uint64_t done = r * kMaxExtentBytes;
          const uint32_t first = e->Imported ? e->Address : data + e->Address;
          extent = first + static_cast<uint32_t>(done / kSectorSize);
          const bool last = r + 1 == records;
          size = last ? static_cast<uint32_t>(static_cast<uint64_t>(e->FileSize) - done)
                      : static_cast<uint32_t>(kMaxExtentBytes);
          if (!last) flags |= kFlagMultiExtent;
        }
        PutRecord(p, extent, size, flags, identifier, placed(own));
        PutRecordingDate(p + 18, e->Time, layout.TimeZoneDifference);
        p += length;
      }
    }
  }
  if (rock_ridge && layout.RockRidgeContinuationWidth > 0) {
    uint8_t* sectors = sink.AppendSectors(layout.RockRidgeContinuationWidth);
    std::memcpy(sectors, continuation.data(),
                std::min<size_t>(continuation.size(), size_t{layout.RockRidgeContinuationWidth} * kSectorSize));
  }
}

}  // namespace orvex
