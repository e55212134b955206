// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/udf_file_stream.h"
#include "image/udf_layout.h"
#include "image/udf_primitives.h"
#include "layout_fixture.h"

namespace orvex {
namespace {

using test::LayoutTest;

TEST(UdfPrimitives, CrcAndTag) {
  EXPECT_EQ(UdfCrc(reinterpret_cast<const uint8_t*>("abc"), 3), 0x9DD6);
  EXPECT_EQ(UdfCrc(nullptr, 0), 0);
  uint8_t descriptor[64] = {};
  for (int i = 16; i < 64; ++i) descriptor[i] = static_cast<uint8_t>(i * 7);
  MakeTag(descriptor, kTagFileEntry, 48, 0x12345678);
  EXPECT_EQ(GetLE16(descriptor), kTagFileEntry);
  EXPECT_EQ(GetLE16(descriptor + 2), 2);
  EXPECT_EQ(GetLE16(descriptor + 6), 1);
  EXPECT_EQ(GetLE16(descriptor + 8), UdfCrc(descriptor + 16, 48));
  EXPECT_EQ(GetLE16(descriptor + 10), 48);
  EXPECT_EQ(GetLE32(descriptor + 12), 0x12345678u);
  uint8_t sum = 0;
  for (int i = 0; i < 16; ++i) sum = static_cast<uint8_t>(sum + (i == 4 ? 0 : descriptor[i]));
  EXPECT_EQ(descriptor[4], sum);
}

TEST(UdfPrimitives, CompressedUnicode) {
  uint8_t out[16] = {};
  EXPECT_EQ(Compress(u"", 0, 16, out), 1);
  EXPECT_EQ(out[0], 0x10);
  EXPECT_EQ(Compress(u"AB", 2, 16, out), 5);
  const uint8_t ab16[5] = {0x10, 0, 'A', 0, 'B'};
  EXPECT_EQ(std::memcmp(out, ab16, 5), 0);
  EXPECT_EQ(Compress(u"AB", 2, 8, out), 3);
  const uint8_t ab8[3] = {0x08, 'A', 'B'};
  EXPECT_EQ(std::memcmp(out, ab8, 3), 0);
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(Compress(u"AB", 2, 12, out), -1);
  EXPECT_EQ(out[0], 0xEE);
}

TEST(UdfPrimitives, TimestampsAroundLeapYears) {
  struct Case {
    int64_t seconds;
    int year, month, day, hour;
  };
  for (const Case& c : {Case{0, 1970, 1, 1, 0}, Case{951825600, 2000, 2, 29, 12},
                        Case{951868800, 2000, 3, 1, 0}, Case{4107542400, 2100, 3, 1, 0},
                        Case{4107456000, 2100, 2, 28, 0}, Case{1798761599, 2026, 12, 31, 23},
                        Case{-1, 1969, 12, 31, 23}}) {
    const timestamp t = TimestampFromUnixSeconds(c.seconds);
    EXPECT_EQ(t.year, c.year) << c.seconds;
    EXPECT_EQ(t.month, c.month) << c.seconds;
    EXPECT_EQ(t.day, c.day) << c.seconds;
    EXPECT_EQ(t.hour, c.hour) << c.seconds;
    EXPECT_EQ(t.typeAndTimezone, 0x1000);
  }
  const timestamp now = Now();
  EXPECT_EQ(now.typeAndTimezone, 0x1000);
  EXPECT_EQ(now.centiseconds | now.hundredsOfMicroseconds | now.microseconds, 0);
  EXPECT_GE(now.year, 2026);
}

// The file structures of a prepared layout, produced `step` sectors at a time.
std::vector<uint8_t> Structures(const TImageLayout& layout, uint32_t step) {
  const uint32_t sectors = layout.UDFBridgeInfo.NumberOfBlocksRequiredForFileDirStructures;
  std::vector<uint8_t> out(uint64_t{sectors} * 2048, 0xCC);
  TUdfFileStream stream(layout);
  for (uint32_t done = 0; done < sectors; done += step) {
    EXPECT_TRUE(stream.Produce(out.data() + uint64_t{done} * 2048, std::min(step, sectors - done)));
  }
  EXPECT_TRUE(stream.Exhausted());
  uint8_t spare[2048];
  EXPECT_FALSE(stream.Produce(spare, 1));
  return out;
}

bool TagIsValid(const uint8_t* d) {
  uint8_t sum = 0;
  for (int i = 0; i < 16; ++i) sum = static_cast<uint8_t>(sum + (i == 4 ? 0 : d[i]));
  return d[4] == sum && GetLE16(d + 8) == UdfCrc(d + 16, GetLE16(d + 10));
}

TEST_F(LayoutTest, RootOnlyUdfStructures) {
  layout.UDFBridge = true;
  const uint8_t* h = Header();
  const std::vector<uint8_t> s = Structures(layout, 32);
  ASSERT_EQ(s.size(), 2u * 2048);
  const uint8_t* fe = s.data();
  EXPECT_EQ(GetLE16(fe), kTagFileEntry);
  EXPECT_TRUE(TagIsValid(fe));
  EXPECT_EQ(GetLE32(fe + 12), 262u - 257);
  EXPECT_EQ(fe[27], 4);
  EXPECT_EQ(GetLE16(fe + 48), 1);
  EXPECT_EQ(GetLE64(fe + 56), 40u);
  EXPECT_EQ(GetLE64(fe + 160), 0u);  // the root's unique id
  EXPECT_EQ(GetLE32(fe + 176), 40u);
  EXPECT_EQ(GetLE32(fe + 180), 263u - 257);
  const uint8_t* fid = s.data() + 2048;
  EXPECT_EQ(GetLE16(fid), kTagFileIdentifier);
  EXPECT_TRUE(TagIsValid(fid));
  EXPECT_EQ(fid[18], 0x0A);
  EXPECT_EQ(fid[19], 0);
  EXPECT_EQ(GetLE32(fid + 24), 262u - 257);  // the root is its own parent
  for (int i = 40; i < 2048; ++i) ASSERT_EQ(fid[i], 0);

  const uint8_t* lvid = Sector(h, 64);
  EXPECT_EQ(GetLE16(lvid), kTagIntegrity);
  EXPECT_TRUE(TagIsValid(lvid));
  EXPECT_EQ(GetLE64(lvid + 40), 17u);
  EXPECT_EQ(GetLE32(lvid + 120), 0u);
  EXPECT_EQ(GetLE32(lvid + 124), 1u);
  for (uint32_t sector : {32u, 33u, 34u, 35u, 36u, 37u, 48u, 53u, 65u, 256u, 257u, 258u}) {
    EXPECT_TRUE(TagIsValid(Sector(h, sector))) << sector;
  }
  EXPECT_EQ(GetLE32(Sector(h, 257) + 404), 262u - 257);  // the file set's root ICB
}

TEST_F(LayoutTest, UdfVolumeIdentifier) {
  layout.UDFBridge = true;
  layout.VolumeLabelW = u"AB";
  const uint8_t* h = Header();
  EXPECT_EQ(layout.UDFBridgeInfo.UDFVolumeIdentifierLength, 5);
  const uint8_t expected[5] = {0x10, 0, 'A', 0, 'B'};
  EXPECT_EQ(std::memcmp(layout.UDFBridgeInfo.VolumeIdentifier, expected, 5), 0);
  const uint8_t* pvd = Sector(h, 32);
  EXPECT_EQ(std::memcmp(pvd + 24, expected, 5), 0);
  EXPECT_EQ(pvd[55], 5);
  EXPECT_EQ(Sector(h, 33)[211], 5);  // the logical volume identifier
}

TEST_F(LayoutTest, DescriptorsSplitAcrossProduceCallsAreWhole) {
  layout.UDFBridge = true;
  // Names of 30 units make 100-byte descriptors: the 21st crosses the sector end.
  for (int i = 0; i < 40; ++i) {
    AddFile(u"\\", u"file with a name of 30 units" + std::u16string(1, u'A' + i / 26) +
                       std::u16string(1, u'a' + i % 26), 100);
  }
  layout.Prepare();
  EXPECT_EQ(layout.RootDir->UDFDirInfo.InformationLength, 40u + 40 * 100);
  const std::vector<uint8_t> whole = Structures(layout, 32);
  EXPECT_EQ(Structures(layout, 1), whole);  // one sector per call: split descriptors
  EXPECT_EQ(Structures(layout, 2), whole);

  const uint8_t* data = whole.data() + 2048;  // after the root's file entry
  const uint8_t* split = data + 40 + 20 * 100;  // starts at 2040, ends in the next sector
  EXPECT_EQ(GetLE16(split), kTagFileIdentifier);
  EXPECT_TRUE(TagIsValid(split));
  EXPECT_EQ(GetLE32(split + 12), layout.RootDir->UDFDirInfo.DirData_LSOffsetWRTSession - 257);
  const uint8_t* next = split + 100;  // starts in the second data sector
  EXPECT_EQ(GetLE32(next + 12), layout.RootDir->UDFDirInfo.DirData_LSOffsetWRTSession + 1 - 257);
  // The file entries follow the data and count unique ids from 16.
  const uint8_t* first_file = whole.data() + 3 * 2048;
  EXPECT_EQ(GetLE16(first_file), kTagFileEntry);
  EXPECT_EQ(GetLE64(first_file + 160), 16u);
  EXPECT_EQ(GetLE64(whole.data() + 42 * 2048 + 160), 55u);
}

TEST_F(LayoutTest, DirectoryDataOfExactlyOneSector) {
  layout.UDFBridge = true;
  // 40 (parent) + 28 x 68 (13-unit names) + 104 (a 31-unit name) = 2048.
  for (int i = 0; i < 28; ++i) AddFile(u"\\", u"thirteen uni" + std::u16string(1, u'a' + i), 1);
  AddFile(u"\\", std::u16string(31, u'x'), 1);
  layout.Prepare();
  const UDFDirectoryInformation& root = layout.RootDir->UDFDirInfo;
  ASSERT_EQ(root.InformationLength, 2048u);
  const std::vector<uint8_t> s = Structures(layout, 1);
  // One data sector; the first file entry follows at once.
  const uint8_t* after = s.data() + 2 * 2048;
  EXPECT_EQ(GetLE16(after), kTagFileEntry);
  EXPECT_EQ(GetLE32(after + 12), root.DirData_LSOffsetWRTSession + 1 - 257);
  EXPECT_EQ(layout.UDFBridgeInfo.NumberOfBlocksRequiredForFileDirStructures, 2u + 29);
}

TEST_F(LayoutTest, UdfAllocationOrderAndShortAds) {
  layout.UDFBridge = true;
  const pFileEntry empty = AddFile(u"\\", u"a-empty", 0);
  layout.CreateDirW(u"\\", u"b-dir");
  const pFileEntry inner = AddFile(u"\\b-dir", u"inner", 10);
  const pFileEntry old = AddFile(u"\\", u"c-old", 4096);
  old->Imported = true;
  old->Address = 9000;
  const pFileEntry big = AddFile(u"\\", u"d-big", (3ull << 30) + 5);
  layout.Prepare();
  const TDirEntry* sub = layout.FindDir(u"\\b-dir");
  // Root ICB, root data, then the list: a-empty, b-dir (ICB, data, inner), c-old, d-big.
  const uint32_t root = layout.UDFBridgeInfo.RootDirectoryICB_LSAWRTSession;
  EXPECT_EQ(empty->UDFFileInfo.FileICB_LSOffsetWRTSession, root + 2);
  EXPECT_EQ(sub->UDFDirInfo.DirICB_LSOffsetWRTSession, root + 3);
  EXPECT_EQ(inner->UDFFileInfo.FileICB_LSOffsetWRTSession, root + 5);
  EXPECT_EQ(old->UDFFileInfo.FileICB_LSOffsetWRTSession, root + 6);
  EXPECT_EQ(big->UDFFileInfo.FileICB_LSOffsetWRTSession, root + 7);
  EXPECT_EQ(layout.UDFBridgeInfo.NumberOfBlocksRequiredForFileDirStructures, 8u);
  EXPECT_EQ(layout.UDFBridgeInfo.NumberOfDirectories, 2u);
  EXPECT_EQ(layout.UDFBridgeInfo.NumberOfFiles, 4u);
  EXPECT_EQ(layout.RootDir->UDFDirInfo.FileLinkCount, 2);

  const std::vector<uint8_t> s = Structures(layout, 3);
  const uint8_t* fe_empty = s.data() + 2 * 2048;
  EXPECT_EQ(GetLE64(fe_empty + 56), 0u);
  EXPECT_EQ(GetLE64(fe_empty + 176), 0u);
  const uint8_t* fe_old = s.data() + 6 * 2048;
  EXPECT_EQ(GetLE32(fe_old + 180), 9000u - 257);
  const uint8_t* fe_big = s.data() + 7 * 2048;
  EXPECT_EQ(GetLE64(fe_big + 56), (3ull << 30) + 5);
  const uint32_t first = layout.FirstDataSector + big->Address - 257;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(GetLE32(fe_big + 176 + 8 * i), 0x3FFFF800u) << i;
    EXPECT_EQ(GetLE32(fe_big + 180 + 8 * i), first + i * (0x3FFFF800u / 2048)) << i;
  }
  EXPECT_EQ(GetLE32(fe_big + 176 + 24), (3ull << 30) + 5 - 3 * 0x3FFFF800ull);
  EXPECT_EQ(GetLE32(fe_big + 176 + 32), 0u);  // the list ends with a zero entry
}

TEST_F(LayoutTest, UdfIdentifiersAreCutTo127Units) {
  layout.UDFBridge = true;
  AddFile(u"\\", std::u16string(200, u'u'), 1);
  layout.Prepare();
  EXPECT_EQ(layout.RootDir->UDFDirInfo.InformationLength, 40u + FileIdentifierSize(127));
  EXPECT_EQ(FileIdentifierSize(127), 296u);
  const std::vector<uint8_t> s = Structures(layout, 32);
  EXPECT_EQ(s[2048 + 40 + 19], 255);
}

}  // namespace
}  // namespace orvex
