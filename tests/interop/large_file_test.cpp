// SPDX-License-Identifier: Apache-2.0
// A file of 4.5 GiB whose source costs no disk (a memory file producing a
// ramp of bytes), judged by its MD5 as several readers extract it: through
// the multi-extent ISO 9660 records (named by Rock Ridge), the Joliet ones
// and the UDF bridge's several allocation descriptors.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "../image/image_assembler.h"
#include "component/orvex.h"
#include "peer_tools.h"
#include "support/temp_dir.h"

namespace orvex::test {
namespace {

constexpr uint64_t kSize = (9ull << 29) + 12345;  // 4.5 GiB and a bit

// Bytes that differ across every 4 GiB and 1 GiB boundary, so that a
// misplaced extent shows.
void Ramp(uint64_t position, uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint64_t at = position + i;
    out[i] = static_cast<uint8_t>(at ^ (at >> 11) ^ (at >> 29) ^ (at >> 32));
  }
}

std::string Md5Of(const std::string& shell_command) {
  const TToolResult r = RunTool({"bash", "-c", "set -o pipefail; " + shell_command + " | md5sum"});
  if (r.status != 0) return "failed: " + r.err;
  return r.out.substr(0, 32);
}

std::string RampMd5() {
  FILE* md5 = popen("md5sum > /tmp/orvex-ramp-md5", "w");
  std::vector<uint8_t> chunk(1 << 20);
  for (uint64_t at = 0; at < kSize; at += chunk.size()) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), kSize - at));
    Ramp(at, chunk.data(), n);
    fwrite(chunk.data(), 1, n, md5);
  }
  pclose(md5);
  const TToolResult r = RunTool({"cat", "/tmp/orvex-ramp-md5"});
  std::remove("/tmp/orvex-ramp-md5");
  return r.out.substr(0, 32);
}

TEST(LargeFile, ReadersExtractA4Point5GiBFileWhole) {
  TempDir work;
  TOrvex disc(nullptr);
  disc.ClearAll();
  disc.SetUDFBridge(true);
  disc.SetRockRidge(true);
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFindName(fd, u"ramp.bin");
  SetFindFileSize(fd, kSize);
  ASSERT_NE(disc.InsertMemoryFileW(u"\\", fd,
                                   [](TObject*, pFileEntry, uint64_t position, void* buffer, uint32_t& size) {
                                     Ramp(position, static_cast<uint8_t*>(buffer), size);
                                   }),
            nullptr);
  WIN32_FIND_DATAW small = fd;
  SetFindName(small, u"after.txt");
  SetFindFileSize(small, 5);
  disc.InsertMemoryFileW(u"\\", small, [](TObject*, pFileEntry, uint64_t, void* buffer, uint32_t& size) {
    std::fill_n(static_cast<char*>(buffer), size, 'z');
  });
  disc.CDFiles.Prepare();
  const std::string image = work / "large.iso";
  ASSERT_EQ(AssembleImage(disc.CDFiles, image), "");

  const std::string expected = RampMd5();
  EXPECT_EQ(Md5Of("bsdtar -xOf '" + image + "' ramp.bin"), expected) << "bsdtar (Rock Ridge)";
  EXPECT_EQ(Md5Of("7z x -so -tiso '" + image + "' ramp.bin"), expected) << "7z (Joliet)";
  EXPECT_EQ(Md5Of("7z x -so -tudf '" + image + "' ramp.bin"), expected) << "7z (UDF)";
  EXPECT_EQ(Md5Of("7z x -so -tudf '" + image + "' after.txt"), Md5Of("printf zzzzz")) << "7z (UDF)";
  const TToolResult info = RunTool({"udfinfo", image});
  EXPECT_EQ(info.status, 0) << info.err;
}

}  // namespace
}  // namespace orvex::test
