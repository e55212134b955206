// SPDX-License-Identifier: Apache-2.0
#include "image/el_torito.h"

#include <cstring>

#include "platform/byte_order.h"

namespace orvex {

uint8_t BootMediaType(int32_t size) {
  switch (size) {
    case 1'228'800:
      return 1;
    case 1'474'560:
      return 2;
    case 2'949'120:
      return 3;
    default:
      return 0;
  }
}

// Both addresses carry FirstWritableSector, like every other address of the
// image, so a bootable image written as a later session still boots.
void WriteBootRecord(const TImageLayout& layout, THeaderSink& sink) {
  uint8_t* p = sink.AppendSector();
  std::memcpy(p + 1, "CD001", 5);
  p[6] = 1;
  std::memcpy(p + 7, "EL TORITO SPECIFICATION", 23);
  PutLE32(p + 71, layout.BootCatalogLocation + layout.FirstWritableSector);
}

void WriteBootCatalog(const TImageLayout& layout, THeaderSink& sink) {
  uint8_t* p = sink.AppendSector();
  p[0] = 1;  // validation entry, platform 80x86
  std::memcpy(p + 4, "Orvex", 5);
  p[30] = 0x55;
  p[31] = 0xAA;
  uint16_t sum = 0;
  for (int i = 0; i < 32; i += 2) sum = static_cast<uint16_t>(sum + GetLE16(p + i));
  PutLE16(p + 28, static_cast<uint16_t>(-sum));

  const uint8_t media = BootMediaType(layout.BootImageSize);
  p[32] = 0x88;  // bootable
  p[33] = media;
  PutLE16(p + 38, media == 0 ? 4 : 1);  // 512-byte virtual sectors loaded
  PutLE32(p + 40, layout.BootImageLocation + layout.FirstWritableSector);
}

}  // namespace orvex
