// SPDX-License-Identifier: Apache-2.0
// El Torito: the boot record volume descriptor and the one-sector boot
// catalog whose initial entry points at the boot image.
#ifndef ORVEX_IMAGE_EL_TORITO_H_
#define ORVEX_IMAGE_EL_TORITO_H_

#include <cstdint>

#include "image/header_sink.h"
#include "image/image_layout.h"

namespace orvex {

// The boot record, pointing at the catalog.
void WriteBootRecord(const TImageLayout& layout, THeaderSink& sink);

// The catalog: validation entry (with its checksum) and the initial entry,
// with the media type and sector count that the boot image's size implies.
void WriteBootCatalog(const TImageLayout& layout, THeaderSink& sink);

// Media type of a boot image size: 0 no emulation (2048 bytes), 1, 2, 3 the
// 1.2, 1.44 and 2.88 MB diskettes.
uint8_t BootMediaType(int32_t size);

}  // namespace orvex

#endif  // ORVEX_IMAGE_EL_TORITO_H_
