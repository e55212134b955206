// SPDX-License-Identifier: Apache-2.0
#include "image/iso_volume_descriptors.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/name_compare.h"

namespace orvex {
namespace {

constexpr uint8_t kUcs2Level1[3] = {0x25, 0x2F, 0x40};  // "%/@"

struct TDescriptorFields {
  uint8_t type;
  uint8_t version;
  uint8_t structure_version;
  bool escapes;
  uint32_t path_table_size, path_table_l, path_table_m, root_extent, root_size;
};

uint8_t* PutDescriptor(const TImageLayout& layout, THeaderSink& sink, const TDescriptorFields& f) {
  uint8_t* p = sink.AppendSector();
  const uint32_t base = layout.FirstWritableSector;
  p[0] = f.type;
  std::memcpy(p + 1, "CD001", 5);
  p[6] = f.version;
  PutBoth32(p + 80, layout.TotalImageSize + layout.VDImageSize);
  if (f.escapes) std::memcpy(p + 88, kUcs2Level1, 3);
  PutBoth16(p + 120, 1);
  PutBoth16(p + 124, 1);
  PutBoth16(p + 128, static_cast<uint16_t>(kSectorSize));
  PutBoth32(p + 132, f.path_table_size);
  PutLE32(p + 140, f.path_table_l + base);
  PutBE32(p + 148, f.path_table_m + base);
  PutRootRecord(p + 156, f.root_extent + base, f.root_size);
  p[881] = f.structure_version;
  return p;
}

// The primary descriptor carries no escape sequences: readers that find the
// UCS-2 escape in it take the primary tree for a Joliet tree and garble its
// names.
TDescriptorFields PrimaryFields(const TImageLayout& layout) {
  return {1,
          1,
          1,
          false,
          layout.PathTableWidth,
          layout.PathTableExtentL,
          layout.path_table_extent_m,
          layout.FileDirDescriptorExtent,
          layout.RootDir->DirSize};
}

void PutUpperLabel(uint8_t* p, const std::string& label) {
  const std::string upper = AsciiUpper(label);
  std::memcpy(p, upper.data(), std::min<size_t>(upper.size(), 32));
}

}  // namespace

void PutRootRecord(uint8_t* p, uint32_t extent, uint32_t size) {
  p[0] = 34;
  PutBoth32(p + 2, extent);
  PutBoth32(p + 10, size);
  p[25] = 2;
  PutBoth16(p + 28, 1);
  p[32] = 1;
}

void WritePrimaryDescriptor(const TImageLayout& layout, THeaderSink& sink) {
  PutUpperLabel(PutDescriptor(layout, sink, PrimaryFields(layout)) + 40, layout.VolumeLabel);
}

void WriteIso1999Descriptor(const TImageLayout& layout, THeaderSink& sink) {
  TDescriptorFields fields = PrimaryFields(layout);
  fields.type = 2;
  fields.version = 2;
  fields.structure_version = 2;
  PutUpperLabel(PutDescriptor(layout, sink, fields) + 40, layout.VolumeLabel);
}

void WriteJolietDescriptor(const TImageLayout& layout, THeaderSink& sink) {
  const TDescriptorFields fields = {2,
                                    1,
                                    1,
                                    true,
                                    layout.PathTableWidthJ,
                                    layout.path_table_extent_j_l,
                                    layout.path_table_extent_j_m,
                                    layout.file_and_dir_descriptor_extent_j,
                                    layout.RootDir->DirSizeJ};
  uint8_t* p = PutDescriptor(layout, sink, fields);
  const size_t units = std::min<size_t>(layout.VolumeLabelW.size(), 16);
  for (size_t i = 0; i < units; ++i) PutBE16(p + 40 + 2 * i, layout.VolumeLabelW[i]);
}

void WriteSetTerminator(THeaderSink& sink) {
  uint8_t* p = sink.AppendSector();
  p[0] = 0xFF;
  std::memcpy(p + 1, "CD001", 5);
  p[6] = 1;
}

}  // namespace orvex
