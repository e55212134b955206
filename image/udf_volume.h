// SPDX-License-Identifier: Apache-2.0
// The UDF bridge's volume structures, written into the header: the volume
// recognition sequence, the main and reserve volume descriptor sequences,
// the logical volume integrity descriptor, the anchors and the file set
// descriptor.  Every field not set is zero.
#ifndef ORVEX_IMAGE_UDF_VOLUME_H_
#define ORVEX_IMAGE_UDF_VOLUME_H_

#include "image/header_sink.h"
#include "image/image_layout.h"

namespace orvex {

// BEA01, NSR02, TEA01: three sectors.
void WriteUdfRecognitionSequence(THeaderSink& sink);

// Both volume descriptor sequences (16 sectors each); also derives the
// volume identifier from the label, used by every later descriptor.
void WriteUdfVolumeDescriptorSequences(TImageLayout& layout, THeaderSink& sink);

// The integrity descriptor (closed), its terminating descriptor and two zero
// sectors.
void WriteUdfIntegritySequence(const TImageLayout& layout, THeaderSink& sink);

// An anchor volume descriptor pointer for session sector `sector` into a
// 2048-byte place.
void PutUdfAnchor(const TImageLayout& layout, uint32_t sector, uint8_t* place);

// The file set descriptor and its terminating descriptor.
void WriteUdfFileSet(const TImageLayout& layout, THeaderSink& sink);

}  // namespace orvex

#endif  // ORVEX_IMAGE_UDF_VOLUME_H_
