// SPDX-License-Identifier: Apache-2.0
// Rock Ridge records of a primary tree, sound and hostile: what is whole
// gives the imported entry its name and POSIX attributes, what is not is
// left out and counted, and the entry keeps its plain ISO 9660 name.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "image/image_layout.h"
#include "platform/text_conversion.h"
#include "services/import_checks.h"
#include "services/session_import.h"
#include "services/test_volume.h"

namespace orvex {
namespace {

using test::BothEndian;
using test::SystemUseEntry;
using test::TRecordSpec;
using test::TTestVolume;

constexpr uint32_t kContinuationSector = 22;

const std::string kSp = SystemUseEntry("SP", std::string("\xBE\xEF\0", 3));
const std::string kEr = SystemUseEntry("ER", std::string("\x0A\0\0\x01", 4) + "RRIP_1991A");

std::string Px(uint32_t mode) {
  return SystemUseEntry("PX", BothEndian(mode) + BothEndian(2) + BothEndian(1000) + BothEndian(100) + BothEndian(77));
}
std::string Nm(uint8_t flags, const std::string& part) { return SystemUseEntry("NM", std::string(1, flags) + part); }
std::string Ce(uint32_t block, uint32_t length) {
  return SystemUseEntry("CE", BothEndian(block) + BothEndian(0) + BothEndian(length));
}
// One SL component.
std::string Component(uint8_t flags, const std::string& text) {
  return std::string(1, flags) + static_cast<char>(text.size()) + text;
}
// 2026-12-08 10:30:00 at UTC+1 as TF's short form: modification time only.
const std::string kTf = SystemUseEntry("TF", std::string("\x02\x7E\x0C\x08\x0A\x1E\x00\x04", 8));
constexpr time_t kModified = 1796725800 - 3600;

struct TRockCase {
  const char* name;
  std::string system_use;    // of the file's record
  std::string continuation;  // at the start of kContinuationSector
  std::string name_read;     // the entry's name after the import
  bool posix;                // it has POSIX attributes
  uint32_t mode;
  std::string link;          // its link target
  bool damaged;              // a record was counted as not read whole
  bool sound_sp = true;
};

const TRockCase kCases[] = {
    {"sound", Px(S_IFREG | 0640) + Nm(0, "Exact Name.txt") + kTf, "", "Exact Name.txt", true, S_IFREG | 0640, "",
     false},
    {"name continued", Px(S_IFREG | 0600) + Nm(1, "Exact ") + Nm(0, "Name.txt"), "", "Exact Name.txt", true,
     S_IFREG | 0600, "", false},
    {"name in a continuation area", Px(S_IFREG | 0444) + Ce(kContinuationSector, 26), Nm(0, "Continued") + kTf,
     "Continued", true, S_IFREG | 0444, "", false},
    {"link target",
     Px(S_IFLNK | 0777) + SystemUseEntry("SL", std::string(1, '\0') + Component(8, "") + Component(0, "usr") +
                                                   Component(1, "li") + Component(0, "b") + Component(4, "")),
     "", "A.TXT", true, S_IFLNK | 0777, "/usr/lib/..", false},
    {"continuation area looping", Px(S_IFREG | 0644) + Nm(1, "Half") + Ce(kContinuationSector, 28),
     Ce(kContinuationSector, 28), "A.TXT", true, S_IFREG | 0644, "", true},
    {"continuation area past the image", Px(S_IFREG | 0644) + Nm(1, "Half") + Ce(9999, 40), "", "A.TXT", true,
     S_IFREG | 0644, "", true},
    {"continuation area past its sector", Px(S_IFREG | 0644) + Ce(kContinuationSector, 4000), "", "A.TXT", true,
     S_IFREG | 0644, "", true},
    {"name longer than its record", Px(S_IFREG | 0644) + "NM" + static_cast<char>(200) + "\x01" + "\0Long", "",
     "A.TXT", true, S_IFREG | 0644, "", true},
    {"link components past the end",
     Px(S_IFLNK | 0777) + SystemUseEntry("SL", std::string(1, '\0') + std::string("\0\x32usr", 5)), "", "A.TXT", true,
     S_IFLNK | 0777, "", true},
    {"entry of length 0", Px(S_IFREG | 0644) + std::string("NM\0\1", 4) + Nm(0, "Lost"), "", "A.TXT", true,
     S_IFREG | 0644, "", true},
    {"name holding a separator", Px(S_IFREG | 0644) + Nm(0, "a/b"), "", "A.TXT", true, S_IFREG | 0644, "", true},
    // Sound for POSIX, but no component of an image path.
    {"name holding a backslash", Px(S_IFREG | 0644) + Nm(0, "a\\b"), "", "A.TXT", true, S_IFREG | 0644, "", false},
    {"SP with a bad check byte", Px(S_IFREG | 0644) + Nm(0, "Exact"), "", "A.TXT", false, 0, "", false, false},
};

void PrintTo(const TRockCase& c, std::ostream* os) { *os << c.name; }

class RockRidgeRecordTest : public ::testing::TestWithParam<TRockCase> {};

TEST_P(RockRidgeRecordTest, WholeRecordsAreReadAndTheRestLeftOut) {
  const TRockCase& c = GetParam();
  TTestVolume volume(24);
  volume.Descriptor(16, 1, 19, 2048);
  volume.Terminator(17);
  std::string root_use = kSp + kEr;
  if (!c.sound_sp) root_use[5] = '\xEE';
  TRecordSpec file{"A.TXT;1", 23, 5};
  file.system_use = c.system_use;
  volume.Directory(19, 19, {file}, root_use);
  std::copy(c.continuation.begin(), c.continuation.end(), volume.Sector(kContinuationSector));

  TImageLayout layout;
  layout.ClearAll();
  const TImportReport report = ImportVolume(layout, volume, 0, layout.RootDir);
  EXPECT_EQ(report.rock_ridge, c.sound_sp);
  EXPECT_EQ(report.rock_damaged > 0, c.damaged);
  EXPECT_TRUE(report.Complete());  // damaged Rock Ridge loses no entry
  EXPECT_EQ(test::FirstFault(layout, volume.SectorCount()), "");
  const pFileEntry entry = layout.RootDir->Files;
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(Utf16ToUtf8(entry->LongName), c.name_read);
  ASSERT_EQ(entry->Posix.has_value(), c.posix);
  if (!c.posix) return;
  EXPECT_EQ(entry->Posix->Mode, c.mode);
  EXPECT_EQ(entry->Posix->LinkTarget, c.link);
  EXPECT_EQ(entry->Posix->Links, 2u);
  EXPECT_EQ(entry->Posix->Uid, 1000u);
  EXPECT_EQ(entry->Posix->Gid, 100u);
  EXPECT_EQ(entry->Posix->Serial, 77u);
  if (c.system_use.find(kTf) != std::string::npos || c.continuation.find(kTf) != std::string::npos) {
    EXPECT_EQ(entry->Posix->Modified.tv_sec, kModified);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RockRidgeRecordTest, ::testing::ValuesIn(kCases), [](const auto& param_info) {
  std::string name = param_info.param.name;
  for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

// A directory its writer moved is read where its link record stands, and
// not where it was moved to.
TEST(RockRidgeRelocation, AMovedDirectoryIsReadWhereItBelongs) {
  TTestVolume volume(24);
  volume.Descriptor(16, 1, 19, 2048);
  volume.Terminator(17);
  TRecordSpec link{"DEEP;1", 0, 0};
  link.system_use = Px(S_IFDIR | 0755) + Nm(0, "deep") + SystemUseEntry("CL", BothEndian(21));
  volume.Directory(19, 19, {{"RR_MOVED", 20, 2048, 0x02}, link}, kSp + kEr);
  TRecordSpec moved{"DEEP", 21, 2048, 0x02};
  moved.system_use = Px(S_IFDIR | 0755) + Nm(0, "deep") + SystemUseEntry("RE", "");
  volume.Directory(20, 19, {moved});
  volume.Directory(21, 20, {{"F;1", 23, 5}});

  TImageLayout layout;
  layout.ClearAll();
  const TImportReport report = ImportVolume(layout, volume, 0, layout.RootDir);
  EXPECT_TRUE(report.Complete());
  const pDirEntry deep = layout.FindDir(u"\\deep");
  ASSERT_NE(deep, nullptr);
  EXPECT_GE(layout.FindFile(u"\\deep", u"F"), 0);
  const int64_t entry = layout.FindFile(u"\\", u"deep");
  ASSERT_GE(entry, 0);
  ASSERT_TRUE(layout.Files[static_cast<size_t>(entry)]->Posix.has_value());
  EXPECT_EQ(layout.Files[static_cast<size_t>(entry)]->Posix->Mode, S_IFDIR | 0755u);
  const pDirEntry moved_to = layout.FindDir(u"\\RR_MOVED");
  ASSERT_NE(moved_to, nullptr);
  EXPECT_EQ(moved_to->Files, nullptr);
}

// The corpus volume of every kind of bad record: each is counted, the
// sound one read, and with an unsound SP none is.
TEST(RockRidgeCorpus, BadRecordsAreCountedAndSoundOnesRead) {
  for (const bool bad_sp : {false, true}) {
    TImageLayout layout;
    layout.ClearAll();
    const TImportReport report =
        MountISOImage(layout, std::string(ORVEX_CORPUS_DIR) + (bad_sp ? "/rock_ridge_bad_sp.iso" : "/rock_ridge.iso"));
    EXPECT_EQ(report.rock_ridge, !bad_sp);
    EXPECT_EQ(report.rock_damaged, bad_sp ? 0u : 7u);
    EXPECT_TRUE(report.Complete());
    const int64_t good = layout.FindFile(u"\\", bad_sp ? u"GOOD" : u"Good name");
    ASSERT_GE(good, 0);
    const TFileEntry& entry = *layout.Files[static_cast<size_t>(good)];
    EXPECT_EQ(entry.Posix.has_value(), !bad_sp);
    if (!bad_sp) {
      EXPECT_EQ(entry.Posix->LinkTarget, "/usr");
    }
    for (const char16_t* plain : {u"LOOP1", u"LOOP2", u"FAR", u"NMLONG", u"SLPAST", u"ZERO"}) {
      EXPECT_GE(layout.FindFile(u"\\", plain), 0) << Utf16ToUtf8(plain);
    }
    EXPECT_GE(layout.FindFile(u"\\SUB", u"DEEP"), 0);
  }
}

}  // namespace
}  // namespace orvex
