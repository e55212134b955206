// SPDX-License-Identifier: Apache-2.0
// Shared set-up of the image tests: a cleared layout, memory files, and
// reads of the generated header.
#ifndef ORVEX_TESTS_IMAGE_LAYOUT_FIXTURE_H_
#define ORVEX_TESTS_IMAGE_LAYOUT_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/image_layout.h"
#include "platform/byte_order.h"

namespace orvex::test {

class LayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    layout.ClearAll();
    layout.JolietFS = false;
  }

  pFileEntry AddFile(std::u16string_view dest, std::u16string_view name, uint64_t size,
                     std::u16string_view alias = u"", uint32_t attributes = FILE_ATTRIBUTE_NORMAL) {
    WIN32_FIND_DATAW fd;
    fd.dwFileAttributes = attributes;
    SetFindName(fd, name);
    SetFindAlternateName(fd, alias);
    SetFindFileSize(fd, size);
    return layout.InsertMemoryFileW(dest, fd, nullptr);
  }

  // The header after Prepare and header generation.
  const uint8_t* Header() {
    layout.Prepare();
    EXPECT_TRUE(layout.GenerateHeader(header));
    EXPECT_EQ(header.size(), size_t{layout.HeaderSectors()} * 2048);
    return header.data();
  }
  static const uint8_t* Sector(const uint8_t* header, uint32_t sector) { return header + sector * 2048; }

  TImageLayout layout;
  std::vector<uint8_t> header;  // the last one Header() generated
};

}  // namespace orvex::test

#endif  // ORVEX_TESTS_IMAGE_LAYOUT_FIXTURE_H_
