// SPDX-License-Identifier: Apache-2.0
// Header generation: the bytes of every structure that lies before the boot
// image, the UDF file structures and the file data.
#include <algorithm>

#include "image/el_torito.h"
#include "image/header_sink.h"
#include "image/image_layout.h"
#include "image/iso_tree_writers.h"
#include "image/iso_volume_descriptors.h"
#include "image/udf_volume.h"

namespace orvex {

uint32_t TImageLayout::HeaderSectors() const {
  // The header ends after the last directory (or the boot catalog), and
  // never before sector 150.
  const uint32_t structures_end = !BootImage.empty()
                                      ? BootCatalogLocation + 1
                                      : FileDirDescriptorExtent + FileDirDescriptorWidth +
                                            RockRidgeContinuationWidth +
                                            (JolietFS ? file_and_dir_descriptor_width_j : 0);
  return std::max<uint32_t>(structures_end, 150);
}

bool TImageLayout::GenerateHeader(const THeaderConsumer& consumer, uint32_t chunk_sectors) {
  if (!Prepared) return false;
  const bool boot = !BootImage.empty();
  THeaderSink sink(HeaderSectors(), consumer, chunk_sectors);

  sink.AppendZeroSectors(16);
  WritePrimaryDescriptor(*this, sink);
  if (boot) WriteBootRecord(*this, sink);
  if (ISO9660v1999FS) WriteIso1999Descriptor(*this, sink);
  if (JolietFS) WriteJolietDescriptor(*this, sink);
  WriteSetTerminator(sink);

  if (UDFBridge) {
    const UDFBridgeInformation& udf = UDFBridgeInfo;
    WriteUdfRecognitionSequence(sink);
    sink.AppendZeroSectors(int64_t{udf.MainVolumeDescriptorSequenceExtent_LSAWRTSession} - sink.NextSector());
    WriteUdfVolumeDescriptorSequences(*this, sink);
    sink.AppendZeroSectors(int64_t{udf.LogicalVolumeIntegrityDescriptor_LSAWRTSession} - sink.NextSector());
    WriteUdfIntegritySequence(*this, sink);
    sink.AppendZeroSectors(int64_t{udf.AnchorVolumeDescriptorPointer_LSAWRTSession} - sink.NextSector());
    PutUdfAnchor(*this, udf.AnchorVolumeDescriptorPointer_LSAWRTSession, sink.AppendSector());
    WriteUdfFileSet(*this, sink);
  }

  const TIsoTree primary = PrimaryTree(ISO9660v1999FS);
  WritePathTable(*this, primary, FileDirDescriptorExtent, false, sink);
  WritePathTable(*this, primary, FileDirDescriptorExtent, true, sink);
  if (JolietFS) {
    WritePathTable(*this, JolietTree(), file_and_dir_descriptor_extent_j, false, sink);
    WritePathTable(*this, JolietTree(), file_and_dir_descriptor_extent_j, true, sink);
  }
  WriteDirectories(*this, primary, FileDirDescriptorExtent, sink);
  if (JolietFS) WriteDirectories(*this, JolietTree(), file_and_dir_descriptor_extent_j, sink);
  if (boot) WriteBootCatalog(*this, sink);
  sink.AppendZeroSectors(Blank);
  return sink.Finish();
}

bool TImageLayout::GenerateHeader(std::vector<uint8_t>& header) {
  header.clear();
  if (Prepared) header.reserve(size_t{HeaderSectors()} * kSectorSize);
  const bool complete = GenerateHeader([&header](const uint8_t* bytes, size_t size) {
    header.insert(header.end(), bytes, bytes + size);
    return true;
  });
  if (!complete) {
    // The structures do not match the sectors the layout gave them.
    header.clear();
    header.shrink_to_fit();
  }
  return complete;
}

}  // namespace orvex
