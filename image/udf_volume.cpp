// SPDX-License-Identifier: Apache-2.0
#include "image/udf_volume.h"

#include <algorithm>
#include <cstring>

#include "image/udf_primitives.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

constexpr uint16_t kDescriptorCrcLength = 512 - 16;
constexpr uint32_t kSequenceSectors = 16;

// The volume identifier as a dstring of `size` bytes.
void PutVolumeIdentifier(const UDFBridgeInformation& udf, uint8_t* p, size_t size) {
  PutDstring(p, size, udf.VolumeIdentifier, static_cast<size_t>(udf.UDFVolumeIdentifierLength));
}

void PutDomainId(uint8_t* p, uint8_t flags) { PutRegid(p, "*OSTA UDF Compliant", {0x50, 0x01, flags}); }

// A long_ad of one block of the partition.
void PutLongAd(uint8_t* p, uint32_t length, uint32_t block) {
  PutLE32(p, length);
  PutLE32(p + 4, block);
}

void WriteSequence(const TImageLayout& layout, uint32_t first, THeaderSink& sink) {
  const UDFBridgeInformation& udf = layout.UDFBridgeInfo;
  const uint32_t s = udf.SessionStarting_LSA;
  uint8_t* p = sink.AppendSectors(kSequenceSectors);

  uint8_t* pvd = p;  // primary volume descriptor
  PutLE32(pvd + 16, 1);
  PutVolumeIdentifier(udf, pvd + 24, 32);
  PutLE16(pvd + 56, 1);
  PutLE16(pvd + 58, 1);
  PutLE16(pvd + 60, 2);
  PutLE16(pvd + 62, 3);
  PutLE32(pvd + 64, 1);
  PutLE32(pvd + 68, 1);
  static constexpr uint8_t kVolumeSet[] = {0x08, '0', 'C', 'F', 'E', '9', '0', 'C', 'B'};
  PutDstring(pvd + 72, 128, kVolumeSet, sizeof kVolumeSet);
  PutCharspec(pvd + 200);
  PutCharspec(pvd + 264);
  PutTimestamp(pvd + 376, udf.UDFTimeStamp);
  PutImplementationId(pvd + 388);
  MakeTag(pvd, kTagPrimaryVolume, kDescriptorCrcLength, s + first);

  uint8_t* lvd = p + kSectorSize;  // logical volume descriptor
  PutLE32(lvd + 16, 2);
  PutCharspec(lvd + 20);
  PutVolumeIdentifier(udf, lvd + 84, 128);
  PutLE32(lvd + 212, kSectorSize);
  PutDomainId(lvd + 216, 0x03);
  PutLongAd(lvd + 248, 4096, udf.Block(udf.FileSetDescriptor_LSAWRTSession));
  PutLE32(lvd + 264, 6);
  PutLE32(lvd + 268, 1);
  PutImplementationId(lvd + 272);
  PutLE32(lvd + 432, 8192);
  PutLE32(lvd + 436, s + udf.LogicalVolumeIntegrityDescriptor_LSAWRTSession);
  lvd[440] = 1;  // type 1 partition map: volume 1, partition 0
  lvd[441] = 6;
  PutLE16(lvd + 442, 1);
  MakeTag(lvd, kTagLogicalVolume, 446 - 16, s + first + 1);

  uint8_t* pd = p + 2 * kSectorSize;  // partition descriptor
  PutLE32(pd + 16, 3);
  PutLE16(pd + 20, 1);
  PutRegid(pd + 24, "+NSR02", {0x50, 0x01, 0x06});
  PutLE32(pd + 184, 1);  // read only
  PutLE32(pd + 188, udf.PartitionStarting_LSA);
  PutLE32(pd + 192, s + udf.LengthOfPartitionPortionInSession_LBS);
  PutImplementationId(pd + 196);
  MakeTag(pd, kTagPartition, kDescriptorCrcLength, s + first + 2);

  uint8_t* usd = p + 3 * kSectorSize;  // unallocated space descriptor
  PutLE32(usd + 16, 4);
  MakeTag(usd, kTagUnallocatedSpace, 24 - 16, s + first + 3);

  uint8_t* iuvd = p + 4 * kSectorSize;  // implementation use volume descriptor
  PutLE32(iuvd + 16, 5);
  PutRegid(iuvd + 20, "*UDF LV Info", {0x50, 0x01, 0x06});
  PutCharspec(iuvd + 52);
  PutVolumeIdentifier(udf, iuvd + 116, 128);
  PutImplementationId(iuvd + 352);
  MakeTag(iuvd, kTagImplementationUse, kDescriptorCrcLength, s + first + 4);

  MakeTag(p + 5 * kSectorSize, kTagTerminating, kDescriptorCrcLength, s + first + 5);
}

}  // namespace

void WriteUdfRecognitionSequence(THeaderSink& sink) {
  for (const char* id : {"BEA01", "NSR02", "TEA01"}) {
    uint8_t* p = sink.AppendSector();
    std::memcpy(p + 1, id, 5);
    p[6] = 1;
  }
}

void WriteUdfVolumeDescriptorSequences(TImageLayout& layout, THeaderSink& sink) {
  UDFBridgeInformation& udf = layout.UDFBridgeInfo;
  const size_t units = std::min<size_t>(layout.VolumeLabelW.size(), 15);
  udf.UDFVolumeIdentifierLength = static_cast<int8_t>(
      Compress(layout.VolumeLabelW.data(), units, 16, udf.VolumeIdentifier));
  WriteSequence(layout, udf.MainVolumeDescriptorSequenceExtent_LSAWRTSession, sink);
  WriteSequence(layout, udf.ReserveVolumeDescriptorSequenceExtent_LSAWRTSession, sink);
}

void WriteUdfIntegritySequence(const TImageLayout& layout, THeaderSink& sink) {
  const UDFBridgeInformation& udf = layout.UDFBridgeInfo;
  const uint32_t s = udf.SessionStarting_LSA;
  uint8_t* p = sink.AppendSectors(4);
  PutTimestamp(p + 16, udf.UDFTimeStamp);
  PutLE32(p + 28, 1);  // closed
  PutLE64(p + 40, 16 + uint64_t{udf.NumberOfDirectories} + udf.NumberOfFiles);
  PutLE32(p + 72, 1);
  PutLE32(p + 76, 48);
  PutLE32(p + 84, s + udf.LengthOfPartitionPortionInSession_LBS);
  PutImplementationId(p + 88);
  PutLE32(p + 120, udf.NumberOfFiles);
  PutLE32(p + 124, udf.NumberOfDirectories);
  PutLE16(p + 128, 0x0150);
  PutLE16(p + 130, 0x0150);
  PutLE16(p + 132, 0x0150);
  MakeTag(p, kTagIntegrity, 136 - 16, s + udf.LogicalVolumeIntegrityDescriptor_LSAWRTSession);
  MakeTag(p + kSectorSize, kTagTerminating, kDescriptorCrcLength,
          s + udf.LogicalVolumeIntegrityDescriptor_LSAWRTSession + 1);
}

void PutUdfAnchor(const TImageLayout& layout, uint32_t sector, uint8_t* place) {
  const UDFBridgeInformation& udf = layout.UDFBridgeInfo;
  const uint32_t s = udf.SessionStarting_LSA;
  std::memset(place, 0, kSectorSize);
  PutLE32(place + 16, kSequenceSectors * kSectorSize);
  PutLE32(place + 20, s + udf.MainVolumeDescriptorSequenceExtent_LSAWRTSession);
  PutLE32(place + 24, kSequenceSectors * kSectorSize);
  PutLE32(place + 28, s + udf.ReserveVolumeDescriptorSequenceExtent_LSAWRTSession);
  MakeTag(place, kTagAnchor, kDescriptorCrcLength, s + sector);
}

void WriteUdfFileSet(const TImageLayout& layout, THeaderSink& sink) {
  const UDFBridgeInformation& udf = layout.UDFBridgeInfo;
  uint8_t* p = sink.AppendSectors(2);
  PutTimestamp(p + 16, udf.UDFTimeStamp);
  PutLE16(p + 28, 3);
  PutLE16(p + 30, 3);
  PutLE32(p + 32, 1);
  PutLE32(p + 36, 1);
  PutCharspec(p + 48);
  PutVolumeIdentifier(udf, p + 112, 128);
  PutCharspec(p + 240);
  PutVolumeIdentifier(udf, p + 304, 32);
  PutLongAd(p + 400, kSectorSize, udf.Block(layout.RootDir->UDFDirInfo.DirICB_LSOffsetWRTSession));
  PutDomainId(p + 416, 0x00);
  const uint32_t fsd = udf.FileSetDescriptor_LSAWRTSession;
  MakeTag(p, kTagFileSet, kDescriptorCrcLength, udf.Block(fsd));
  MakeTag(p + kSectorSize, kTagTerminating, kDescriptorCrcLength, udf.Block(fsd + 1));
}

}  // namespace orvex
