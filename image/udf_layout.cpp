// SPDX-License-Identifier: Apache-2.0
#include "image/udf_layout.h"

#include "image/disc_identifiers.h"

#include <algorithm>
#include <vector>

namespace orvex {

uint32_t FileIdentifierSize(size_t units) {
  const size_t identifier = units == 0 ? 0 : 1 + 2 * std::min<size_t>(units, 127);
  return static_cast<uint32_t>((38 + identifier + 3) & ~size_t{3});
}

uint32_t PlaceUdfVolumeStructures(TImageLayout& layout, uint32_t recognition_sector) {
  UDFBridgeInformation& udf = layout.UDFBridgeInfo;
  udf.VolumeRecognitionSequence_LSAWRTSession = recognition_sector;
  udf.MainVolumeDescriptorSequenceExtent_LSAWRTSession = 32;
  udf.ReserveVolumeDescriptorSequenceExtent_LSAWRTSession = 48;
  udf.LogicalVolumeIntegrityDescriptor_LSAWRTSession = 64;
  udf.AnchorVolumeDescriptorPointer_LSAWRTSession = 256;
  udf.PartitionStarting_LSA = 257;
  udf.FileSetDescriptor_LSAWRTSession = 257;
  udf.NumberOfDirectories = 1;
  udf.NumberOfFiles = 0;
  udf.NumberOfBlocksRequiredForFileDirStructures = 0;
  udf.UDFTimeStamp = Now();
  return udf.FileSetDescriptor_LSAWRTSession + 2;
}

uint32_t AllocateUdfFileStructures(TImageLayout& layout, uint32_t start) {
  UDFBridgeInformation& udf = layout.UDFBridgeInfo;
  udf.RootDirectoryICB_LSAWRTSession = start;
  uint32_t next = start;

  auto enter = [&](TDirEntry& dir) {
    UDFDirectoryInformation& info = dir.UDFDirInfo;
    info.FileLinkCount = 1;
    info.InformationLength = FileIdentifierSize(0);  // the parent's descriptor
    for (const TFileEntry* e = dir.Files; e != nullptr; e = e->NextFile) {
      info.InformationLength += FileIdentifierSize(UdfIdentifier(*e).size());
      if (e->DirRecord != nullptr) {
        ++info.FileLinkCount;
        ++udf.NumberOfDirectories;
      } else {
        ++udf.NumberOfFiles;
      }
    }
    info.DirICB_LSOffsetWRTSession = next++;
    info.DirData_LSOffsetWRTSession = next;
    next += static_cast<uint32_t>(Sectors(info.InformationLength));
  };

  // Depth first without recursion: each level remembers the next entry of
  // its list to visit.
  std::vector<TFileEntry*> pending;
  enter(*layout.RootDir);
  pending.push_back(layout.RootDir->Files);
  while (!pending.empty()) {
    TFileEntry* e = pending.back();
    if (e == nullptr) {
      pending.pop_back();
      continue;
    }
    pending.back() = e->NextFile;
    if (e->DirRecord != nullptr) {
      enter(*e->DirRecord);
      pending.push_back(e->DirRecord->Files);
    } else {
      e->UDFFileInfo.FileICB_LSOffsetWRTSession = next++;
    }
  }
  udf.NumberOfBlocksRequiredForFileDirStructures = next - start;
  return next - start;
}

}  // namespace orvex
