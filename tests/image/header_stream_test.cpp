// SPDX-License-Identifier: Apache-2.0
// The header streamed in small pieces is byte for byte the header generated
// whole, for layouts of every shape: no writer touches sectors it was given
// before asking for later ones, and a reused chunk leaves nothing behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "layout_fixture.h"
#include "platform/text_conversion.h"
#include "support/temp_dir.h"

namespace orvex {
namespace {

using test::LayoutTest;

struct TShape {
  const char* what;
  std::function<void(TImageLayout&)> build;
};

class HeaderStreamTest : public LayoutTest {
 protected:
  void ManyEntries(int dirs, int files_per_dir) {
    for (int d = 0; d < dirs; ++d) {
      const std::u16string name = u"directory " + Utf8ToUtf16(std::to_string(d));
      layout.CreateDirW(u"\\", name);
      for (int f = 0; f < files_per_dir; ++f) {
        AddFile(u"\\" + name, u"a file with a long name " + Utf8ToUtf16(std::to_string(f)), 3000);
      }
    }
  }
  test::TempDir dir;
};

TEST_F(HeaderStreamTest, StreamedHeaderIsTheWholeHeader) {
  const std::string boot = dir.Write("boot.img", std::string(2048, 'B'));
  const TShape shapes[] = {
      {"plain", [](TImageLayout&) {}},
      {"joliet", [](TImageLayout& l) { l.JolietFS = true; }},
      {"joliet and 1999", [](TImageLayout& l) { l.JolietFS = l.ISO9660v1999FS = true; }},
      {"udf", [](TImageLayout& l) { l.JolietFS = l.UDFBridge = true; }},
      {"rock ridge continuations", [](TImageLayout& l) { l.JolietFS = l.RockRidge = true; }},
      {"boot", [&boot](TImageLayout& l) {
         l.JolietFS = true;
         ASSERT_TRUE(l.SetBootImage(boot));
       }},
      {"later session", [](TImageLayout& l) {
         l.JolietFS = l.UDFBridge = true;
         l.FirstWritableSector = 12345;
       }},
  };
  for (const TShape& shape : shapes) {
    for (const auto& [dirs, files] : {std::pair{3, 2}, std::pair{40, 30}, std::pair{1, 400}}) {
      SCOPED_TRACE(std::string(shape.what) + ", " + std::to_string(dirs) + " directories of " +
                   std::to_string(files) + " files");
      layout.ClearAll();
      layout.JolietFS = layout.ISO9660v1999FS = layout.UDFBridge = layout.RockRidge = false;
      layout.FirstWritableSector = 0;
      shape.build(layout);
      ManyEntries(dirs, files);
      AddFile(u"\\", Utf8ToUtf16(std::string(240, 'r')), 1);  // Rock Ridge continues its name
      const uint8_t* whole = Header();
      const size_t size = header.size();
      for (uint32_t chunk : {1u, 3u, 32u}) {
        std::vector<uint8_t> streamed;
        size_t pieces = 0;
        ASSERT_TRUE(layout.GenerateHeader(
            [&](const uint8_t* bytes, size_t n) {
              ++pieces;
              streamed.insert(streamed.end(), bytes, bytes + n);
              return true;
            },
            chunk));
        ASSERT_EQ(streamed.size(), size) << "chunk " << chunk;
        EXPECT_TRUE(std::equal(streamed.begin(), streamed.end(), whole)) << "chunk " << chunk;
        EXPECT_GT(pieces, 1u) << "chunk " << chunk;
      }
    }
  }
}

// A consumer that stops taking ends the generation: nothing more comes.
TEST_F(HeaderStreamTest, RefusedPieceEndsTheGeneration) {
  ManyEntries(50, 20);
  layout.Prepare();
  size_t calls = 0;
  EXPECT_FALSE(layout.GenerateHeader([&](const uint8_t*, size_t) { return ++calls < 3; }, 1));
  EXPECT_EQ(calls, 3u);
}

}  // namespace
}  // namespace orvex
