// SPDX-License-Identifier: Apache-2.0
// The ISO 9660 volume descriptors: primary, ISO 9660:1999 supplementary,
// Joliet supplementary and the set terminator, one sector each.
//
// Every descriptor date and every identifier but the volume identifier is
// left zero.  Addresses carry FirstWritableSector; the volume space size is
// TotalImageSize + VDImageSize.
#ifndef ORVEX_IMAGE_ISO_VOLUME_DESCRIPTORS_H_
#define ORVEX_IMAGE_ISO_VOLUME_DESCRIPTORS_H_

#include "image/header_sink.h"
#include "image/image_layout.h"

namespace orvex {

void WritePrimaryDescriptor(const TImageLayout& layout, THeaderSink& sink);

// The primary descriptor again as type 2, version 2, file structure 2,
// without escape sequences; it shares the primary's path tables and
// directories (which then hold long names).
void WriteIso1999Descriptor(const TImageLayout& layout, THeaderSink& sink);

void WriteJolietDescriptor(const TImageLayout& layout, THeaderSink& sink);

void WriteSetTerminator(THeaderSink& sink);

// The 34-byte directory record of a tree's root, inside a volume descriptor.
void PutRootRecord(uint8_t* p, uint32_t extent, uint32_t size);

}  // namespace orvex

#endif  // ORVEX_IMAGE_ISO_VOLUME_DESCRIPTORS_H_
