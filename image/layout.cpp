// SPDX-License-Identifier: Apache-2.0
// Prepare: the sector map of an image.
//
//   0-15                 zeros (system area)
//   16 ...               primary descriptor, boot record, ISO 9660:1999 and
//                        Joliet descriptors (as chosen), set terminator
//   next 3               UDF recognition sequence; UDF volume structures at
//                        32-67 and 256-258 (with the UDF bridge)
//   ...                  path tables (ISO 9660 L and M, Joliet L and M),
//                        directories (ISO 9660, its Rock Ridge continuation
//                        sectors, then Joliet), boot catalog
//   ... to 149           zeros: nothing else starts before sector 150
//   BootImageLocation    the boot image
//   ...                  UDF file entries and directory data
//   FirstDataSector ...  file data, each file from a sector boundary
//   last                 the closing UDF anchor, then zeros to a whole packet
#include "image/image_layout.h"

#include "image/component_status.h"
#include "image/disc_identifiers.h"
#include "image/entry_order.h"
#include "image/iso_records.h"
#include "image/rock_ridge.h"
#include "image/udf_layout.h"

namespace orvex {
namespace {

constexpr uint32_t kFirstStructureSector = 150;

uint32_t PathTableSize(const TContentTree& tree, const TIsoTree& view) {
  uint32_t size = 10;  // the root record
  for (size_t d = 1; d < tree.Dirs.size(); ++d) {
    size += PathTableRecordLength(view.Identifier(*tree.Dirs[d]).size());
  }
  return size;
}

// Sizes every directory extent of one tree and places them one after another
// in table order; returns their total sectors.  With `rock_ridge` the
// records carry its system use areas, whose continuation pieces `area`
// counts.
uint32_t SizeDirectories(TContentTree& tree, const TIsoTree& view, const TRockRidgeFields* rock_ridge,
                         TContinuationArea* area) {
  uint32_t total = 0;
  for (size_t d = 0; d < tree.Dirs.size(); ++d) {
    TDirEntry& dir = *tree.Dirs[d];
    uint32_t dots = 2 * DirectoryRecordLength(1);
    if (rock_ridge != nullptr) {
      for (const bool parent : {false, true}) {
        TSystemUse su = rock_ridge->Dot(dir, parent);
        area->Place(su);
        dots += su.RecordBytes();
      }
    }
    TRecordPlacer placer(dots);
    for (const TFileEntry* e = dir.Files; e != nullptr; e = e->NextFile) {
      const size_t identifier = view.Identifier(*e).size();
      uint32_t length = DirectoryRecordLength(identifier);
      TSystemUse su;
      if (rock_ridge != nullptr) {
        su = rock_ridge->Entry(*e, identifier);
        length += su.RecordBytes();
      }
      for (uint32_t r = RecordCount(*e); r > 0; --r) {
        if (rock_ridge != nullptr) area->Place(su);
        placer.Place(length);
      }
    }
    dir.*view.size = placer.Sectors() * kSectorSize;
    dir.*view.address = total;
    total += placer.Sectors();
  }
  return total;
}

// File data lies contiguous in table order; returns its sectors.  Empty
// files take none (address 0), imported files keep their absolute address,
// and a duplicate shares the address of the entry it refers to.
uint64_t PlaceFileData(TContentTree& tree) {
  uint64_t count = 0;
  for (size_t i = 0; i < tree.Files.size(); ++i) {
    TFileEntry& e = *tree.Files[i];
    if (HasOwnData(e)) {
      e.Address = static_cast<uint32_t>(count);
      count += Sectors(static_cast<uint64_t>(e.FileSize));
    } else if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && e.FileSize == 0) {
      e.Address = 0;
    }
  }
  // Duplicates take their reference's address once every address is known.
  for (size_t i = 0; i < tree.Files.size(); ++i) {
    TFileEntry& e = *tree.Files[i];
    if (e.ReferenceEntry != nullptr && e.FileSize != 0) e.Address = e.ReferenceEntry->Address;
  }
  return count;
}

}  // namespace

uint32_t TImageLayout::Prepare() {
  // Before the first ClearAll there is no tree to lay out.
  if (RootDir == nullptr) return 0;
  ComponentStatus = kStatusPreparing;
  ISO9660FS = true;
  UDF12 = false;
  OrderPathTable(*this);
  SortDirectoryLists(*this);
  AssignDiscIdentifiers(*this,
                        {JolietFS, ISO9660v1999FS, UDFBridge,
                         RockRidge ? kMaxIso1999BytesRockRidge : kMaxIso1999Bytes},
                        DiscIdentifiers);

  const bool boot = !BootImage.empty();
  uint32_t cursor = 16 + 1;  // the system area and the primary descriptor
  if (ISO9660v1999FS) ++cursor;
  if (boot) ++cursor;
  if (JolietFS) ++cursor;
  ++cursor;  // the set terminator
  if (UDFBridge) cursor = PlaceUdfVolumeStructures(*this, cursor);

  const TIsoTree primary = PrimaryTree(ISO9660v1999FS);
  PathTableWidth = PathTableSize(*this, primary);
  PathTableExtentL = cursor;
  cursor += static_cast<uint32_t>(Sectors(PathTableWidth));
  path_table_extent_m = cursor;
  cursor += static_cast<uint32_t>(Sectors(PathTableWidth));
  if (JolietFS) {
    PathTableWidthJ = PathTableSize(*this, JolietTree());
    path_table_extent_j_l = cursor;
    cursor += static_cast<uint32_t>(Sectors(PathTableWidthJ));
    path_table_extent_j_m = cursor;
    cursor += static_cast<uint32_t>(Sectors(PathTableWidthJ));
  }

  FileDirDescriptorExtent = cursor;
  if (RockRidge) {
    const TRockRidgeFields fields(*this, RockRidgeRational);
    TContinuationArea area(0, nullptr);
    FileDirDescriptorWidth = SizeDirectories(*this, primary, &fields, &area);
    RockRidgeContinuationWidth = area.Sectors();
  } else {
    FileDirDescriptorWidth = SizeDirectories(*this, primary, nullptr, nullptr);
    RockRidgeContinuationWidth = 0;
  }
  cursor += FileDirDescriptorWidth;
  RockRidgeContinuationExtent = cursor;
  cursor += RockRidgeContinuationWidth;
  if (JolietFS) {
    file_and_dir_descriptor_extent_j = cursor;
    file_and_dir_descriptor_width_j = SizeDirectories(*this, JolietTree(), nullptr, nullptr);
    cursor += file_and_dir_descriptor_width_j;
  }
  if (boot) BootCatalogLocation = cursor++;

  Blank = static_cast<int32_t>(kFirstStructureSector) - static_cast<int32_t>(cursor);
  if (cursor < kFirstStructureSector) cursor = kFirstStructureSector;

  FilesSize = PlaceFileData(*this);
  if (boot) {
    BootImageLocation = cursor;
    cursor += static_cast<uint32_t>(Sectors(static_cast<uint64_t>(BootImageSize)));
  }
  if (UDFBridge) cursor += AllocateUdfFileStructures(*this, cursor);

  FirstDataSector = cursor;
  uint64_t total = FirstDataSector + FilesSize;
  if (UDFBridge) {
    UDFBridgeInfo.IsNewPacketRequiredForLastAVDP = total % kPacketSectors == 0;
    ++total;  // room for the closing anchor
  }
  total = (total + kPacketSectors - 1) / kPacketSectors * kPacketSectors;
  TotalImageSize = static_cast<uint32_t>(total);
  if (UDFBridge) {
    UDFBridgeInformation& udf = UDFBridgeInfo;
    udf.LastAnchorVolumeDescriptorPointer_LSAWRTSession = TotalImageSize - 1;
    udf.LengthOfPartitionPortionInSession_LBS =
        TotalImageSize - 1 - udf.AnchorVolumeDescriptorPointer_LSAWRTSession - 1;
    udf.ISODataPortionStarting_LSAWRTSession = FirstDataSector;
  }

  Prepared = true;
  ComponentStatus = kStatusIdle;
  return static_cast<uint32_t>(FirstDataSector + FilesSize + (UDFBridge ? 1 : 0));
}

void TImageLayout::ClearAll() {
  TContentTree::ClearAll();
  DiscIdentifiers.clear();
  BootImage.clear();
}

}  // namespace orvex
