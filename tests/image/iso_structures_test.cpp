// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "image/disc_identifiers.h"
#include "image/el_torito.h"
#include "image/iso_records.h"
#include "layout_fixture.h"
#include "platform/name_compare.h"
#include "platform/text_conversion.h"
#include "support/temp_dir.h"

namespace orvex {
namespace {

using test::LayoutTest;

std::string Text(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

// Checks a both-byte-order 32-bit field.
void ExpectBoth32(const uint8_t* p, uint32_t value) {
  EXPECT_EQ(GetLE32(p), value);
  EXPECT_EQ(GetBE32(p + 4), value);
}

// The directory records of an extent after "." and "..", as (identifier, extent, size, flags).
struct Record {
  std::string identifier;
  uint32_t extent, size;
  uint8_t flags;
};
std::vector<Record> Records(const uint8_t* extent, uint32_t bytes) {
  std::vector<Record> out;
  for (uint32_t sector = 0; sector < bytes; sector += 2048) {
    for (uint32_t at = sector == 0 ? 68 : 0; at < 2048 && extent[sector + at] != 0;) {
      const uint8_t* r = extent + sector + at;
      out.push_back({Text(r + 33, r[32]), GetLE32(r + 2), GetLE32(r + 10), r[25]});
      at += r[0];
    }
  }
  return out;
}

TEST_F(LayoutTest, PrimaryDescriptorFields) {
  layout.VolumeLabel = "My Disc";
  layout.FirstWritableSector = 1000;
  layout.VDImageSize = 5;
  const uint8_t* h = Header();
  const uint8_t* pvd = Sector(h, 16);
  EXPECT_EQ(pvd[0], 1);
  EXPECT_EQ(Text(pvd + 1, 5), "CD001");
  EXPECT_EQ(pvd[6], 1);
  EXPECT_EQ(Text(pvd + 40, 32), std::string("MY DISC") + std::string(25, '\0'));
  ExpectBoth32(pvd + 80, 160 + 5);
  EXPECT_EQ(Text(pvd + 88, 3), std::string(3, '\0'));  // escapes belong to Joliet only
  EXPECT_EQ(GetLE16(pvd + 120), 1);
  EXPECT_EQ(GetBE16(pvd + 122), 1);
  EXPECT_EQ(GetLE16(pvd + 128), 2048);
  EXPECT_EQ(GetBE16(pvd + 130), 2048);
  ExpectBoth32(pvd + 132, 10);
  EXPECT_EQ(GetLE32(pvd + 140), 18u + 1000);
  EXPECT_EQ(GetBE32(pvd + 148), 19u + 1000);
  const uint8_t* root = pvd + 156;
  EXPECT_EQ(root[0], 34);
  ExpectBoth32(root + 2, 20 + 1000);
  ExpectBoth32(root + 10, 2048);
  EXPECT_EQ(root[25], 2);
  EXPECT_EQ(root[32], 1);
  EXPECT_EQ(pvd[881], 1);
  // Dates, identifiers and the rest stay zero.
  for (int i = 813; i < 881; ++i) EXPECT_EQ(pvd[i], 0) << i;
  EXPECT_EQ(Sector(h, 17)[0], 0xFF);
}

TEST_F(LayoutTest, SupplementaryDescriptors) {
  layout.JolietFS = true;
  layout.ISO9660v1999FS = true;
  layout.VolumeLabelW = u"\u00C9t\u00E9 2026";
  layout.VolumeLabel = "\xC3\x89t\xC3\xA9 2026";
  const uint8_t* h = Header();
  const uint8_t* pvd = Sector(h, 16);
  const uint8_t* v1999 = Sector(h, 17);
  const uint8_t* joliet = Sector(h, 18);
  EXPECT_EQ(Text(pvd + 88, 3), std::string(3, '\0'));
  EXPECT_EQ(v1999[0], 2);
  EXPECT_EQ(v1999[6], 2);
  EXPECT_EQ(v1999[881], 2);
  EXPECT_EQ(Text(v1999 + 88, 3), std::string(3, '\0'));
  EXPECT_EQ(Text(v1999 + 140, 16), Text(pvd + 140, 16));  // the same tables and root
  EXPECT_EQ(Text(v1999 + 156, 34), Text(pvd + 156, 34));
  EXPECT_EQ(joliet[0], 2);
  EXPECT_EQ(joliet[6], 1);
  EXPECT_EQ(Text(joliet + 88, 3), "%/@");
  EXPECT_EQ(GetBE16(joliet + 40), 0x00C9);
  EXPECT_EQ(GetBE16(joliet + 42), u't');
  EXPECT_EQ(GetLE32(joliet + 140), layout.path_table_extent_j_l);
  EXPECT_EQ(GetLE32(joliet + 158), layout.file_and_dir_descriptor_extent_j);
  EXPECT_EQ(Sector(h, 19)[0], 0xFF);
}

TEST_F(LayoutTest, RootOnlyPathTablesAndDirectory) {
  const uint8_t* h = Header();
  const uint8_t* l = Sector(h, 18);
  const uint8_t* m = Sector(h, 19);
  const uint8_t root_l[10] = {1, 0, 20, 0, 0, 0, 1, 0, 0, 0};
  const uint8_t root_m[10] = {1, 0, 0, 0, 0, 20, 0, 1, 0, 0};
  EXPECT_EQ(std::memcmp(l, root_l, 10), 0);
  EXPECT_EQ(std::memcmp(m, root_m, 10), 0);
  for (int i = 10; i < 2048; ++i) ASSERT_EQ(l[i] | m[i], 0) << i;
  const uint8_t* dir = Sector(h, 20);
  EXPECT_EQ(dir[0], 34);
  EXPECT_EQ(dir[33], 0);
  EXPECT_EQ(dir[34], 34);
  EXPECT_EQ(dir[34 + 33], 1);
  for (int i = 68; i < 2048; ++i) ASSERT_EQ(dir[i], 0) << i;
}

TEST_F(LayoutTest, PathTablesOfNestedDirectoriesDifferOnlyInByteOrder) {
  layout.JolietFS = true;
  layout.CreateDirW(u"\\", u"Documents");
  layout.CreateDirW(u"\\Documents", u"Odd");
  const uint8_t* h = Header();
  const uint8_t* l = Sector(h, layout.PathTableExtentL);
  const uint8_t* m = Sector(h, layout.path_table_extent_m);
  // Root (10), DOCUMENTS (8 + 9 + pad), ODD (8 + 3 + pad).
  EXPECT_EQ(layout.PathTableWidth, 10u + 18u + 12u);
  EXPECT_EQ(Text(l + 10 + 8, 9), "DOCUMENTS");
  EXPECT_EQ(l[10 + 8 + 9], 0);
  EXPECT_EQ(GetLE16(l + 28 + 6), 2);  // ODD's parent is DOCUMENTS, number 2
  EXPECT_EQ(GetBE16(m + 28 + 6), 2);
  for (uint32_t at : {10u, 28u}) {
    EXPECT_EQ(GetLE32(l + at + 2), GetBE32(m + at + 2));
    EXPECT_EQ(Text(l + at + 8, l[at]), Text(m + at + 8, m[at]));
  }
  const uint8_t* jl = Sector(h, layout.path_table_extent_j_l);
  EXPECT_EQ(layout.PathTableWidthJ, 10u + (18 + 8) + (6 + 8));
  EXPECT_EQ(jl[10], 18);
  EXPECT_EQ(GetBE16(jl + 18), u'D');
  EXPECT_EQ(GetLE32(jl + 12), layout.file_and_dir_descriptor_extent_j + 1);
}

TEST_F(LayoutTest, FileRecordsInBothTrees) {
  layout.JolietFS = true;
  layout.FirstWritableSector = 100;
  const pFileEntry data = AddFile(u"\\", u"Data file.bin", 3000, u"DATAFI~1.BIN");
  AddFile(u"\\", u"empty.txt", 0);
  AddFile(u"\\", u"secret.txt", 10, u"", FILE_ATTRIBUTE_HIDDEN);
  layout.CreateDirW(u"\\", u"Hidden dir");
  layout.RootDir->LastFile->attributes |= FILE_ATTRIBUTE_HIDDEN;
  const pFileEntry old = AddFile(u"\\", u"old.bin", 4096);
  old->Imported = true;
  old->Address = 5000;
  const uint8_t* h = Header();

  const auto iso = Records(Sector(h, layout.FileDirDescriptorExtent), layout.RootDir->DirSize);
  ASSERT_EQ(iso.size(), 5u);
  EXPECT_EQ(iso[0].identifier, "DATAFI~1.BIN");
  EXPECT_EQ(iso[0].extent, layout.FirstDataSector + data->Address + 100);
  EXPECT_EQ(iso[0].size, 3000u);
  EXPECT_EQ(iso[0].flags, 0);
  EXPECT_EQ(iso[1].identifier, "EMPTY.TXT");
  EXPECT_EQ(iso[1].extent, 0u);
  EXPECT_EQ(iso[1].size, 0u);
  EXPECT_EQ(iso[2].identifier, "HIDDEN DIR");
  EXPECT_EQ(iso[2].flags, 3);
  EXPECT_EQ(iso[2].extent, layout.FileDirDescriptorExtent + 1 + 100);
  EXPECT_EQ(iso[3].identifier, "OLD.BIN");
  EXPECT_EQ(iso[3].extent, 5000u);  // imported data stays where it is
  EXPECT_EQ(iso[4].identifier, "SECRET.TXT");
  EXPECT_EQ(iso[4].flags, 1);

  const auto joliet = Records(Sector(h, layout.file_and_dir_descriptor_extent_j), layout.RootDir->DirSizeJ);
  ASSERT_EQ(joliet.size(), 5u);
  EXPECT_EQ(joliet[0].identifier, Text(reinterpret_cast<const uint8_t*>("\0D\0a\0t\0a\0 \0f\0i\0l\0e\0.\0b\0i\0n"), 26));
  EXPECT_EQ(joliet[0].extent, iso[0].extent);
  EXPECT_EQ(joliet[2].extent, layout.file_and_dir_descriptor_extent_j + 1 + 100);
  EXPECT_EQ(joliet[3].extent, 5000u);
}

TEST_F(LayoutTest, RecordDatesCarryTheZoneOffset) {
  const pFileEntry file = AddFile(u"\\", u"dated.txt", 1);
  file->Time = SYSTEMTIME{2026, 12, 2, 8, 21, 30, 15, 0};
  layout.TimeZoneDifference = -20;  // five hours west of UTC
  const pFileEntry ancient = AddFile(u"\\", u"ancient.txt", 1);
  ancient->Time = SYSTEMTIME{1601, 1, 1, 1, 0, 0, 0, 0};
  const uint8_t* h = Header();
  const uint8_t* records = Sector(h, layout.FileDirDescriptorExtent) + 68;
  const uint8_t* dated = records + records[0];  // ANCIENT.TXT sorts first
  const uint8_t expected[7] = {126, 12, 8, 21, 30, 15, static_cast<uint8_t>(-20)};
  EXPECT_EQ(std::memcmp(dated + 18, expected, 7), 0);
  EXPECT_EQ(records[18], 0);  // years before 1900 are clamped
}

TEST_F(LayoutTest, FilesOf4GiBAndMoreGetSeveralRecords) {
  layout.JolietFS = true;
  const uint64_t size = (4ull << 30) + 12345;
  const pFileEntry big = AddFile(u"\\", u"big.bin", size);
  const pFileEntry edge = AddFile(u"\\", u"edge.bin", 0xFFFFFFFFull);
  const uint8_t* h = Header();
  for (const auto& [extent_sector, bytes] :
       {std::pair{layout.FileDirDescriptorExtent, layout.RootDir->DirSize},
        std::pair{layout.file_and_dir_descriptor_extent_j, layout.RootDir->DirSizeJ}}) {
    const auto records = Records(Sector(h, extent_sector), bytes);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].flags, 0x80);
    EXPECT_EQ(records[0].size, kMaxExtentBytes);
    EXPECT_EQ(records[0].extent, layout.FirstDataSector + big->Address);
    EXPECT_EQ(records[1].flags, 0);
    EXPECT_EQ(records[1].size, size - kMaxExtentBytes);
    EXPECT_EQ(records[1].extent, records[0].extent + kMaxExtentBytes / 2048);
    EXPECT_EQ(records[1].identifier, records[0].identifier);
    EXPECT_EQ(records[2].size, 0xFFFFFFFFu);  // below 4 GiB: one record
    EXPECT_EQ(records[2].extent, layout.FirstDataSector + edge->Address);
  }
}

TEST_F(LayoutTest, OverLongNamesAreCutAlike) {
  layout.JolietFS = true;
  layout.ISO9660v1999FS = true;
  const std::u16string long_name(120, u'j');
  AddFile(u"\\", long_name, 1);
  std::u16string wide_name;  // 217 units of 2 UTF-8 bytes each
  for (int i = 0; i < 217; ++i) wide_name += u'\u00E9';
  AddFile(u"\\", wide_name, 1);
  layout.CreateDirW(u"\\", std::u16string(120, u'd'));
  const uint8_t* h = Header();

  const auto joliet = Records(Sector(h, layout.file_and_dir_descriptor_extent_j), layout.RootDir->DirSizeJ);
  ASSERT_EQ(joliet.size(), 3u);
  for (const Record& r : joliet) EXPECT_LE(r.identifier.size(), 2 * kMaxJolietUnits);
  EXPECT_EQ(joliet[0].identifier.size(), 206u);
  const uint8_t* jpt = Sector(h, layout.path_table_extent_j_l);
  EXPECT_EQ(jpt[10], 206);  // the path table agrees with the directory record

  const auto primary = Records(Sector(h, layout.FileDirDescriptorExtent), layout.RootDir->DirSize);
  ASSERT_EQ(primary.size(), 3u);
  for (const Record& r : primary) {
    EXPECT_LE(r.identifier.size(), kMaxIso1999Bytes);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(r.identifier)), r.identifier);  // whole characters
  }
  EXPECT_EQ(primary[2].identifier.size(), 220u);  // 110 two-byte characters
}

std::u16string FromUcs2(const std::string& bytes) {
  std::u16string name;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    name += static_cast<char16_t>((static_cast<uint8_t>(bytes[i]) << 8) | static_cast<uint8_t>(bytes[i + 1]));
  }
  return name;
}

// Names a cut makes equal, a character with no form on disc, and a "\" that
// readers of the long-name trees take for a path separator: each tree holds
// distinct identifiers within its limits, a directory's path table
// identifier is its record's, and names that need nothing keep their own.
TEST_F(LayoutTest, IdentifiersAreDistinctAndWritable) {
  layout.JolietFS = true;
  layout.ISO9660v1999FS = true;
  const std::u16string stem(110, u'n');
  AddFile(u"\\", stem + u"-one.txt", 1);
  AddFile(u"\\", stem + u"-two.txt", 1);
  layout.CreateDirW(u"\\", stem + u"-dir");
  AddFile(u"\\", std::u16string(u"caf") + char16_t{0xDCE9} + u".txt", 1);  // a byte that was not UTF-8
  AddFile(u"\\", u"CAF_.TXT", 1);
  AddFile(u"\\", u"plain.txt", 1);
  AddFile(u"\\", u"back\\slash.txt", 1);
  AddFile(u"\\", u"back_slash.txt", 1);
  const uint8_t* h = Header();

  std::vector<std::u16string> joliet;
  for (const Record& r : Records(Sector(h, layout.file_and_dir_descriptor_extent_j), layout.RootDir->DirSizeJ)) {
    joliet.push_back(FromUcs2(r.identifier));
  }
  ASSERT_EQ(joliet.size(), 8u);
  for (size_t i = 0; i < joliet.size(); ++i) {
    EXPECT_LE(joliet[i].size(), kMaxJolietUnits);
    EXPECT_EQ(ReplaceLoneSurrogates(joliet[i], u'?'), joliet[i]) << Utf16ToUtf8(joliet[i]);
    for (size_t k = 0; k < i; ++k) EXPECT_FALSE(NamesEqualIgnoreCase(joliet[i], joliet[k])) << Utf16ToUtf8(joliet[i]);
  }
  std::sort(joliet.begin(), joliet.end());
  EXPECT_EQ(joliet[0], u"CAF_.TXT");  // a name of its own keeps it
  EXPECT_EQ(joliet[1], u"back_slash.txt");
  EXPECT_EQ(joliet[2], u"back_slash~1.txt");
  EXPECT_EQ(joliet[3], u"caf_~1.txt");
  EXPECT_EQ(joliet[4], std::u16string(103, u'n'));
  EXPECT_EQ(joliet[5], std::u16string(97, u'n') + u"~1.txt");
  EXPECT_EQ(joliet[6], std::u16string(97, u'n') + u"~2.txt");
  EXPECT_EQ(joliet[7], u"plain.txt");
  // The directory's path table record carries its record's identifier.
  const pDirEntry dir = layout.FindDir(stem + u"-dir");
  ASSERT_NE(dir, nullptr);
  const uint8_t* jpt = Sector(h, layout.path_table_extent_j_l);
  EXPECT_EQ(FromUcs2(Text(jpt + 18, jpt[10])), JolietIdentifier(*dir));

  for (const Record& r : Records(Sector(h, layout.FileDirDescriptorExtent), layout.RootDir->DirSize)) {
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(r.identifier)), r.identifier);  // valid UTF-8
    EXPECT_EQ(r.identifier.find('\xED'), std::string::npos);           // no encoded surrogate
    EXPECT_EQ(r.identifier.find('\\'), std::string::npos) << r.identifier;
  }
}

// Names differing only in case: the trees that compare names without case
// number the later one in the directory's order, UDF keeps both exactly,
// and a directory without such names keeps its identifiers plain.
TEST_F(LayoutTest, CaseVariantsAreNumberedWhereCaseIsIgnored) {
  layout.JolietFS = true;
  layout.ISO9660v1999FS = true;
  layout.UDFBridge = true;
  const pFileEntry upper = AddFile(u"\\", u"README", 1);
  const pFileEntry lower = AddFile(u"\\", u"readme", 1);
  layout.CreateDirW(u"\\", u"Docs");
  AddFile(u"\\Docs", u"plain.txt", 1);
  const uint8_t* h = Header();

  std::vector<std::u16string> joliet;
  for (const Record& r : Records(Sector(h, layout.file_and_dir_descriptor_extent_j), layout.RootDir->DirSizeJ)) {
    joliet.push_back(FromUcs2(r.identifier));
  }
  std::sort(joliet.begin(), joliet.end());
  EXPECT_EQ(joliet, (std::vector<std::u16string>{u"Docs", u"README", u"readme~1"}));
  EXPECT_EQ(Iso1999Identifier(*lower), "readme~1");
  EXPECT_EQ(Iso1999Identifier(*upper), "README");
  EXPECT_EQ(UdfIdentifier(*upper), u"README");
  EXPECT_EQ(UdfIdentifier(*lower), u"readme");
  const pDirEntry docs = layout.FindDir(u"\\Docs");
  ASSERT_NE(docs, nullptr);
  EXPECT_EQ(docs->Files->Identifiers, nullptr);
}

TEST_F(LayoutTest, BootRecordAndCatalog) {
  test::TempDir dir;
  const std::string floppy = dir.Write("floppy.img", std::string(1'474'560, '\x5A'));
  layout.JolietFS = true;
  layout.FirstWritableSector = 64;
  ASSERT_TRUE(layout.SetBootImage(floppy));
  const uint8_t* h = Header();
  EXPECT_EQ(Sector(h, 16)[0], 1);
  const uint8_t* record = Sector(h, 17);
  EXPECT_EQ(record[0], 0);
  EXPECT_EQ(Text(record + 7, 32), std::string("EL TORITO SPECIFICATION") + std::string(9, '\0'));
  EXPECT_EQ(GetLE32(record + 71), layout.BootCatalogLocation + 64);
  EXPECT_EQ(Sector(h, 18)[0], 2);
  EXPECT_EQ(Sector(h, 19)[0], 0xFF);

  const uint8_t* catalog = Sector(h, layout.BootCatalogLocation);
  uint16_t sum = 0;
  for (int i = 0; i < 32; i += 2) sum = static_cast<uint16_t>(sum + GetLE16(catalog + i));
  EXPECT_EQ(sum, 0);
  EXPECT_EQ(Text(catalog + 4, 24), std::string("Orvex") + std::string(19, '\0'));
  EXPECT_EQ(catalog[30], 0x55);
  EXPECT_EQ(catalog[31], 0xAA);
  EXPECT_EQ(catalog[32], 0x88);
  EXPECT_EQ(catalog[33], 2);
  EXPECT_EQ(GetLE16(catalog + 38), 1);
  EXPECT_EQ(GetLE32(catalog + 40), layout.BootImageLocation + 64);
  EXPECT_GE(layout.BootImageLocation, 150u);
  EXPECT_EQ(layout.FirstDataSector, layout.BootImageLocation + 1'474'560 / 2048);
  for (int i = 64; i < 2048; ++i) ASSERT_EQ(catalog[i], 0);

  EXPECT_EQ(BootMediaType(2048), 0);
  EXPECT_EQ(BootMediaType(1'228'800), 1);
  EXPECT_EQ(BootMediaType(2'949'120), 3);
}

}  // namespace
}  // namespace orvex
