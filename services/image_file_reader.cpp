// SPDX-License-Identifier: Apache-2.0
#include "services/image_file_reader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>

namespace orvex {

bool TImageFileReader::Open(const std::string& path) {
  file_.close();
  size_ = 0;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !(std::filesystem::is_regular_file(status) ||
                 std::filesystem::is_block_file(status))) {
    return false;
  }
  file_.open(path, std::ios::binary);
  if (!file_) return false;
  file_.seekg(0, std::ios::end);
  const std::streamoff end = file_.tellg();
  if (!file_ || end < 0) {
    file_.close();
    return false;
  }
  size_ = static_cast<uint64_t>(end);
  return true;
}

uint32_t TImageFileReader::SectorCount() const {
  return static_cast<uint32_t>(std::min<uint64_t>(Sectors(size_), std::numeric_limits<uint32_t>::max()));
}

bool TImageFileReader::ReadSector(uint32_t sector, uint8_t* out) {
  if (sector >= SectorCount()) return false;
  const uint64_t offset = uint64_t{sector} * kSectorSize;
  const auto length = static_cast<std::streamsize>(std::min<uint64_t>(kSectorSize, size_ - offset));
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(offset));
  file_.read(reinterpret_cast<char*>(out), length);
  if (file_.gcount() != length) return false;
  std::memset(out + length, 0, kSectorSize - static_cast<size_t>(length));
  return true;
}

}  // namespace orvex
