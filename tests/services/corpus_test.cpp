// SPDX-License-Identifier: Apache-2.0
// Every image of the seed corpus (hand-made bad volumes, tool-made images
// cut short or with corrupted bytes) mounts without a crash, a hang or an
// entry that breaks the import's rules.
#include <gtest/gtest.h>

#include <filesystem>

#include "services/image_file_reader.h"
#include "services/import_checks.h"
#include "services/session_import.h"

namespace orvex {
namespace {

TEST(Corpus, EveryImageMountsWithinTheRules) {
  size_t images = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ORVEX_CORPUS_DIR)) {
    if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++images;
    TImageFileReader reader;
    ASSERT_TRUE(reader.Open(entry.path().string()));
    TImageLayout layout;
    layout.ClearAll();
    MountISOImage(layout, entry.path().string());
    EXPECT_EQ(layout.ComponentStatus, 0);
    EXPECT_EQ(test::FirstFault(layout, reader.SectorCount()), "");
  }
  EXPECT_GE(images, 30u);
}

}  // namespace
}  // namespace orvex
