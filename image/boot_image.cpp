// SPDX-License-Identifier: Apache-2.0
#include "image/boot_image.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "image/image_layout.h"

namespace orvex {

bool IsBootImageSize(int64_t size) {
  return size == 2048 || size == 1'228'800 || size == 1'474'560 || size == 2'949'120;
}

std::optional<int64_t> BootFileSize(const std::string& path) {
  if (path.empty() || path.size() > kBootImagePathBytes) return std::nullopt;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  const auto size = std::filesystem::file_size(path, error);
  if (error) return std::nullopt;
  return static_cast<int64_t>(size);
}

bool TImageLayout::SetBootImage(const std::string& path) {
  const std::string before = BootImage;
  const int32_t size_before = BootImageSize;
  const bool taken = TakeBootImage(path);
  // A boot image of another name or size changes the layout.
  if (BootImage != before || (!BootImage.empty() && BootImageSize != size_before)) Prepared = false;
  return taken;
}

bool TImageLayout::TakeBootImage(const std::string& path) {
  if (path.empty()) {
    BootImage.clear();
    return true;
  }
  const std::optional<int64_t> size = BootFileSize(path);
  if (!size) {
    BootImage.clear();
    return false;
  }
  BootImageSize = static_cast<int32_t>(std::min<int64_t>(*size, INT32_MAX));
  if (!IsBootImageSize(*size)) {
    BootImage.clear();
    return false;
  }
  BootImage = path;
  return true;
}

}  // namespace orvex
