// SPDX-License-Identifier: Apache-2.0
// Which files can serve as an El Torito boot image.
#ifndef ORVEX_IMAGE_BOOT_IMAGE_H_
#define ORVEX_IMAGE_BOOT_IMAGE_H_

#include <cstdint>
#include <optional>
#include <string>

namespace orvex {

// A boot image path fits a 2048-byte field with its terminator.
constexpr size_t kBootImagePathBytes = 2047;

// 2048 bytes (a no-emulation boot sector) or a 1.2 MB, 1.44 MB or 2.88 MB
// diskette image.
bool IsBootImageSize(int64_t size);

// The size of the regular file at `path` when it can be opened for reading
// and its path fits the record; nullopt otherwise.
std::optional<int64_t> BootFileSize(const std::string& path);

}  // namespace orvex

#endif  // ORVEX_IMAGE_BOOT_IMAGE_H_
