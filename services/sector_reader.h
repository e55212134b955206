// SPDX-License-Identifier: Apache-2.0
// Where an import reads a volume from: 2048-byte sectors by absolute number.
// An image file is one source; the earlier sessions of a disc in a drive are
// another.  Sources are untrusted: a reader only promises that it never
// fills more than one sector and that it reports what it could not read.
#ifndef ORVEX_SERVICES_SECTOR_READER_H_
#define ORVEX_SERVICES_SECTOR_READER_H_

#include <cstdint>

#include "image/sectors.h"

namespace orvex {

class TSectorReader {
 public:
  virtual ~TSectorReader() = default;

  // How many sectors the source holds: no sector from this number on exists,
  // so no extent reaching past it is followed.
  virtual uint32_t SectorCount() const = 0;

  // Reads sector `sector` into `out`, which has room for kSectorSize bytes.
  // False when the sector cannot be read; `out` then holds nothing of use.
  virtual bool ReadSector(uint32_t sector, uint8_t* out) = 0;
};

}  // namespace orvex

#endif  // ORVEX_SERVICES_SECTOR_READER_H_
