// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "image/entry_order.h"
#include "image/image_layout.h"
#include "image/iso_records.h"
#include "layout_fixture.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

using test::LayoutTest;

TEST_F(LayoutTest, EmptyTreeIsoOnly) {
  EXPECT_EQ(layout.Prepare(), 150u);
  EXPECT_TRUE(layout.Prepared);
  EXPECT_TRUE(layout.ISO9660FS);
  EXPECT_EQ(layout.PathTableExtentL, 18u);
  EXPECT_EQ(layout.path_table_extent_m, 19u);
  EXPECT_EQ(layout.PathTableWidth, 10u);
  EXPECT_EQ(layout.FileDirDescriptorExtent, 20u);
  EXPECT_EQ(layout.RootDir->DirSize, 2048u);
  EXPECT_EQ(layout.Blank, 129);
  EXPECT_EQ(layout.FirstDataSector, 150u);
  EXPECT_EQ(layout.TotalImageSize, 160u);
  EXPECT_EQ(layout.ComponentStatus, 0);
}

TEST_F(LayoutTest, EmptyTreeWithJoliet) {
  layout.JolietFS = true;
  EXPECT_EQ(layout.Prepare(), 150u);
  EXPECT_EQ(layout.PathTableExtentL, 19u);
  EXPECT_EQ(layout.path_table_extent_m, 20u);
  EXPECT_EQ(layout.path_table_extent_j_l, 21u);
  EXPECT_EQ(layout.path_table_extent_j_m, 22u);
  EXPECT_EQ(layout.FileDirDescriptorExtent, 23u);
  EXPECT_EQ(layout.file_and_dir_descriptor_extent_j, 24u);
  EXPECT_EQ(layout.FirstDataSector, 150u);
  const uint8_t* h = Header();
  EXPECT_EQ(Sector(h, 17)[0], 2);     // Joliet
  EXPECT_EQ(Sector(h, 18)[0], 0xFF);  // terminator
}

TEST_F(LayoutTest, EmptyTreeWithUdfBridge) {
  layout.UDFBridge = true;
  EXPECT_EQ(layout.Prepare(), 265u);  // one more than the data's end: the closing anchor
  const UDFBridgeInformation& udf = layout.UDFBridgeInfo;
  EXPECT_EQ(udf.VolumeRecognitionSequence_LSAWRTSession, 18u);
  EXPECT_EQ(layout.PathTableExtentL, 259u);
  EXPECT_EQ(layout.path_table_extent_m, 260u);
  EXPECT_EQ(layout.FileDirDescriptorExtent, 261u);
  EXPECT_LT(layout.Blank, 0);
  EXPECT_EQ(udf.RootDirectoryICB_LSAWRTSession, 262u);
  EXPECT_EQ(layout.RootDir->UDFDirInfo.DirData_LSOffsetWRTSession, 263u);
  EXPECT_EQ(layout.FirstDataSector, 264u);
  EXPECT_EQ(layout.TotalImageSize, 288u);
  EXPECT_FALSE(udf.IsNewPacketRequiredForLastAVDP);
  EXPECT_EQ(udf.LastAnchorVolumeDescriptorPointer_LSAWRTSession, 287u);
  EXPECT_EQ(udf.LengthOfPartitionPortionInSession_LBS, 288u - 258u);
  EXPECT_EQ(udf.ISODataPortionStarting_LSAWRTSession, 264u);
  const uint8_t* h = Header();
  EXPECT_EQ(header.size(), 262u * 2048);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Sector(h, 18) + 1), 5), "BEA01");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Sector(h, 20) + 1), 5), "TEA01");
  EXPECT_EQ(GetLE16(Sector(h, 256)), 2);  // the first anchor
}

TEST_F(LayoutTest, DataEndingOnAPacketBoundaryGetsAnExtraPacketForTheAnchor) {
  layout.UDFBridge = true;
  AddFile(u"\\", u"fill.bin", 23 * 2048);  // root ICB 262, data 263, file ICB 264
  EXPECT_EQ(layout.Prepare(), 289u);
  EXPECT_EQ(layout.FirstDataSector, 265u);
  EXPECT_TRUE(layout.UDFBridgeInfo.IsNewPacketRequiredForLastAVDP);
  EXPECT_EQ(layout.TotalImageSize, 320u);
  EXPECT_EQ(layout.UDFBridgeInfo.LastAnchorVolumeDescriptorPointer_LSAWRTSession, 319u);
}

TEST_F(LayoutTest, FileAddressesFollowTheFileTable) {
  const pFileEntry a = AddFile(u"\\", u"a.bin", 5000);     // 3 sectors
  const pFileEntry empty = AddFile(u"\\", u"empty.bin", 0);
  layout.CreateDirW(u"\\", u"sub");
  const pFileEntry b = AddFile(u"\\sub", u"b.bin", 1);
  const pFileEntry dup = AddFile(u"\\", u"dup.bin", 5000);
  dup->ReferenceEntry = a;
  const pFileEntry old = AddFile(u"\\", u"old.bin", 4096);
  old->Imported = true;
  old->Address = 7777;
  const pFileEntry big = AddFile(u"\\", u"big.bin", 5ull << 30);
  layout.Prepare();
  EXPECT_EQ(a->Address, 0u);
  EXPECT_EQ(empty->Address, 0u);
  EXPECT_EQ(b->Address, 3u);
  EXPECT_EQ(dup->Address, 0u);
  EXPECT_EQ(old->Address, 7777u);
  EXPECT_EQ(big->Address, 4u);
  EXPECT_EQ(layout.FilesSize, 4u + (5ull << 30) / 2048);
  EXPECT_EQ(uint64_t{layout.TotalImageSize} % 32, 0u);
}

TEST_F(LayoutTest, DirectoryRecordsThatExactlyFillASector) {
  // 68 bytes of "." and "..", then 45 records of 44 bytes (11-byte names).
  for (int i = 0; i < 45; ++i) {
    const std::string alias = "F" + std::string(7 - std::to_string(i).size(), '0') + std::to_string(i) + ".TX";
    AddFile(u"\\", Utf8ToUtf16("file " + std::to_string(i)), 1, Utf8ToUtf16(alias));
  }
  layout.Prepare();
  EXPECT_EQ(layout.RootDir->DirSize, 2048u);
  // One record more, even a larger one, starts a second sector.
  AddFile(u"\\", u"one more", 1, u"G0000001.TXT");
  layout.Prepare();
  EXPECT_EQ(layout.RootDir->DirSize, 4096u);
  const uint8_t* h = Header();
  const uint8_t* root = Sector(h, layout.FileDirDescriptorExtent);
  EXPECT_EQ(root[68 + 44 * 44], 44);  // the 45th record ends on the sector's last byte
  EXPECT_EQ(root[2048], 46);          // the 46-byte record opens the next sector
}

TEST_F(LayoutTest, RecordLengths) {
  EXPECT_EQ(DirectoryRecordLength(12), 46u);
  EXPECT_EQ(DirectoryRecordLength(11), 44u);
  EXPECT_EQ(DirectoryRecordLength(20), 54u);  // a Joliet name of 10 units
  EXPECT_EQ(PathTableRecordLength(5), 14u);
  EXPECT_EQ(ExtentCount(0xFFFFFFFFll), 1u);
  EXPECT_EQ(ExtentCount(1ll << 32), 2u);
  EXPECT_EQ(ExtentCount(int64_t(kMaxExtentBytes) * 3), 3u);
  EXPECT_EQ(ExtentCount(int64_t(kMaxExtentBytes) * 3 + 1), 4u);
}

TEST_F(LayoutTest, PathTableOrderIsBreadthFirstByName) {
  // Created out of order, at several levels.
  layout.CreateDirW(u"\\", u"zeta");
  layout.CreateDirW(u"\\zeta", u"inner");
  layout.CreateDirW(u"\\", u"Alpha");
  layout.CreateDirW(u"\\Alpha", u"b");
  layout.CreateDirW(u"\\Alpha", u"a");
  layout.CreateDirW(u"\\", u"mid");
  OrderPathTable(layout);
  std::vector<std::u16string> names;
  std::vector<uint16_t> parents;
  for (const TDirEntry* d : layout.PathTableEntries) {
    names.push_back(d->LongName);
    parents.push_back(d->Parent->number);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"", u"Alpha", u"mid", u"zeta", u"a", u"b", u"inner"}));
  EXPECT_EQ(parents, (std::vector<uint16_t>{1, 1, 1, 1, 2, 2, 4}));
  for (size_t i = 0; i < layout.PathTableEntries.size(); ++i) {
    EXPECT_EQ(layout.PathTableEntries[i]->number, i + 1);
  }
}

TEST_F(LayoutTest, ListsAreSortedByShortNameStably) {
  AddFile(u"\\", u"zz.txt", 1);
  AddFile(u"\\", u"Same name long one", 1);   // "Same name lo.", the next one an alias
  AddFile(u"\\", u"same name long two", 1);
  AddFile(u"\\", u"AA.txt", 1);
  layout.CreateDirW(u"\\", u"mm");
  SortDirectoryLists(layout);
  std::vector<std::u16string> order;
  for (const TFileEntry* e = layout.RootDir->Files; e != nullptr; e = e->NextFile) order.push_back(e->LongName);
  EXPECT_EQ(order, (std::vector<std::u16string>{u"AA.txt", u"mm", u"Same name long one",
                                                u"same name long two", u"zz.txt"}));
  EXPECT_EQ(layout.RootDir->LastFile->LongName, u"zz.txt");
  // Insertions after the sort still append at the end.
  AddFile(u"\\", u"later", 1);
  EXPECT_EQ(layout.RootDir->LastFile->LongName, u"later");
}

TEST_F(LayoutTest, HeaderGenerationNeedsACurrentLayout) {
  EXPECT_FALSE(layout.GenerateHeader(header));
  layout.Prepare();
  AddFile(u"\\", u"new.bin", 1);  // any change makes the layout stale
  header.assign(10, 1);
  EXPECT_FALSE(layout.GenerateHeader(header));
  EXPECT_TRUE(header.empty());
}

}  // namespace
}  // namespace orvex
