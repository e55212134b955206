// SPDX-License-Identifier: Apache-2.0
// The sectors of an image file.
#ifndef ORVEX_SERVICES_IMAGE_FILE_READER_H_
#define ORVEX_SERVICES_IMAGE_FILE_READER_H_

#include <cstdint>
#include <fstream>
#include <string>

#include "services/sector_reader.h"

namespace orvex {

class TImageFileReader final : public TSectorReader {
 public:
  // Opens `path` for reading.  Only a regular file or a block device is
  // opened: a directory reads nothing and a pipe could block forever.  False
  // when the image cannot be opened; the reader then holds no sectors.
  bool Open(const std::string& path);

  // The sectors the file holds; a last sector cut short counts, and reads
  // with zeros where the file ends.
  uint32_t SectorCount() const override;
  bool ReadSector(uint32_t sector, uint8_t* out) override;

 private:
  std::ifstream file_;
  uint64_t size_ = 0;  // bytes
};

}  // namespace orvex

#endif  // ORVEX_SERVICES_IMAGE_FILE_READER_H_
