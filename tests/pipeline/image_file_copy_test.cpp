// SPDX-License-Identifier: Apache-2.0
// The image file's copies of source ranges: the data of the range, zeros
// past the source's recorded size, the same whether the kernel copies or
// the sink reads and writes, and a source that ends early fails the run.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "pipeline/image_file_sink.h"
#include "platform/text_conversion.h"
#include "support/temp_dir.h"

namespace orvex {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>('A' + (i * 7 + i / 4096) % 53);
  return s;
}

struct CopyCase {
  const char* what;
  bool system_file;   // a file whose size the system makes up (kernel copies give nothing)
  size_t content;     // bytes in the source (ignored for a system file)
  int64_t recorded;   // the size recorded for it; -1: its content's length
  uint64_t offset;
  uint32_t range;     // image bytes asked for; 0: the recorded size to the end of its sector
  uint32_t error;     // the run's error, 0 when the copy succeeds
};

class ImageFileCopyTest : public ::testing::TestWithParam<CopyCase> {
 protected:
  test::TempDir dir;
};

TEST_P(ImageFileCopyTest, CopiesTheRangeOrFails) {
  const CopyCase c = GetParam();
  const std::string path = c.system_file ? "/proc/version" : dir.Write("source", Pattern(c.content));
  const std::string content = ReadAll(path);
  auto source = std::make_shared<TCopySource>();
  source->File = TFile::OpenRead(path);
  ASSERT_TRUE(source->File.IsOpen());
  source->Name = Utf8ToUtf16(path);
  source->Size = c.recorded < 0 ? content.size() : static_cast<uint64_t>(c.recorded);
  const uint32_t range = c.range != 0 ? c.range : static_cast<uint32_t>(source->ImageBytes() - c.offset);

  TJobFailure failure;
  const std::string image = dir / "out.iso";
  std::unique_ptr<TImageFileSink> sink = TImageFileSink::Open(Utf8ToUtf16(image), failure);
  ASSERT_NE(sink, nullptr);
  ASSERT_TRUE(sink->Write(reinterpret_cast<const uint8_t*>("head"), 4));
  const bool copied = sink->CopyRange(*source, c.offset, range);
  ASSERT_EQ(copied, c.error == 0) << c.what;
  if (!copied) {
    EXPECT_EQ(sink->Failure().error, c.error) << c.what;
    EXPECT_EQ(sink->Failure().name, source->Name) << c.what;
    return;
  }
  ASSERT_TRUE(sink->Finish(true));
  std::string expected = content.substr(0, source->Size).substr(c.offset);
  expected.resize(range, '\0');
  EXPECT_TRUE(ReadAll(image) == "head" + expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ImageFileCopyTest,
    ::testing::Values(
        CopyCase{"whole file ending inside a sector", false, 300'017, -1, 0, 0, 0},
        CopyCase{"a middle range", false, 300'017, -1, 65536, 131072, 0},
        CopyCase{"the last range with its filler", false, 300'017, -1, 262144, 0, 0},
        CopyCase{"a file that grew: the recorded size is kept", false, 300'000, 200'000, 0, 0, 0},
        CopyCase{"a file that shrank: error 5", false, 100'000, 300'017, 0, 0, 5},
        CopyCase{"a system file is read instead", true, 0, -1, 0, 0, 0}));

}  // namespace
}  // namespace orvex
