// SPDX-License-Identifier: Apache-2.0
// The import over volumes made byte by byte: which tree is read and how its
// names decode, what an imported entry records, and every kind of bad input
// the walk must survive with a clear result.
#include "services/session_import.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "services/import_directory.h"
#include "support/temp_dir.h"
#include "services/test_volume.h"
#include "services/tree_listing.h"

namespace orvex {
namespace {

using test::TRecordSpec;
using test::TTestVolume;
using test::Ucs2;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint8_t kDir = 0x02;
constexpr uint8_t kMore = 0x80;

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override { layout.ClearAll(); }

  bool Import(TTestVolume& volume) { return ImportVolume(layout, volume, 0, layout.RootDir).found; }
  std::vector<std::string> Imported() const { return test::Listing(layout); }

  TImageLayout layout;
};

// A volume with the three kinds of tree over the same content, each with
// its own names: the primary tree at 30, an ISO 9660:1999 tree at 32 and a
// Joliet tree at 34 (subdirectories at 31, 33, 35).
TTestVolume ThreeTrees(bool with_1999, bool with_joliet) {
  TTestVolume volume(64);
  uint32_t n = 16;
  volume.Descriptor(n++, 1, 30, 2048);
  if (with_1999) volume.Descriptor(n++, 2, 32, 2048);
  if (with_joliet) volume.Descriptor(n++, 2, 34, 2048, "%/E");
  volume.Terminator(n);
  volume.Directory(30, 30, {{"README.;1", 40, 10}, {"SUB", 31, 2048, kDir}});
  volume.Directory(31, 30, {{"NOTE.TXT;1", 41, 20}});
  volume.Directory(32, 32, {{"Read me.", 40, 10}, {"Sub dir", 33, 2048, kDir}});
  volume.Directory(33, 32, {{"a;b.txt", 41, 20}});
  volume.Directory(34, 34, {{Ucs2(u"Read me;1"), 40, 10}, {Ucs2(u"Sub dir"), 35, 2048, kDir}});
  volume.Directory(35, 34, {{Ucs2(u"Café Ü.txt;1"), 41, 20}});
  return volume;
}

TEST_F(ImportTest, ReadsTheTreeWithTheBestNamesAndDecodesThemByItsDescriptor) {
  // Joliet first, wherever its descriptor stands; the option does not
  // change how a Joliet tree decodes.
  layout.ISO9660v1999FS = true;
  TTestVolume all = ThreeTrees(true, true);
  ASSERT_TRUE(Import(all));
  EXPECT_THAT(Imported(), ElementsAre("f Read me 10 40", "d Sub dir", "f Sub dir/Café Ü.txt 20 41"));

  // Without Joliet the 1999 tree, 8-bit, keeping a final "." and cut at ";".
  layout.ClearAll();
  layout.ISO9660v1999FS = false;
  TTestVolume no_joliet = ThreeTrees(true, false);
  ASSERT_TRUE(Import(no_joliet));
  EXPECT_THAT(Imported(), ElementsAre("f Read me. 10 40", "d Sub dir", "f Sub dir/a 20 41"));

  // Only the primary tree: the version and the "." of a name without
  // extension go.
  layout.ClearAll();
  TTestVolume primary = ThreeTrees(false, false);
  ASSERT_TRUE(Import(primary));
  EXPECT_THAT(Imported(), ElementsAre("f README 10 40", "d SUB", "f SUB/NOTE.TXT 20 41"));
}

TEST_F(ImportTest, PassesOverUnsoundDescriptorsAndStopsAtTheTerminator) {
  TTestVolume volume = ThreeTrees(false, false);
  volume.Descriptor(17, 2, 500, 2048, "%/@");  // Joliet root beyond the volume
  volume.Terminator(18);
  volume.Descriptor(19, 2, 34, 2048, "%/C");   // after the terminator: no descriptor
  volume.Directory(34, 34, {{Ucs2(u"late"), 40, 10}});
  ASSERT_TRUE(Import(volume));
  EXPECT_THAT(Imported(), ElementsAre("f README 10 40", "d SUB", "f SUB/NOTE.TXT 20 41"));

  layout.ClearAll();
  TTestVolume empty(64);
  EXPECT_FALSE(Import(empty));
  TTestVolume root_is_a_file(64);
  root_is_a_file.Descriptor(16, 1, 30, 2048);
  root_is_a_file.Sector(16)[156 + 25] = 0;
  EXPECT_FALSE(Import(root_is_a_file));
  EXPECT_THAT(Imported(), IsEmpty());
}

TEST_F(ImportTest, ImportedEntriesKeepExtentSizeAndRecordedTime) {
  const std::string saved_zone = std::getenv("TZ") != nullptr ? std::getenv("TZ") : "";
  setenv("TZ", "UTC", 1);
  tzset();
  TTestVolume volume(64);
  volume.Descriptor(16, 1, 20, 2048);
  volume.Terminator(17);
  TRecordSpec dated{"DATED.TXT;1", 30, 5000};
  const uint8_t when[6] = {99, 2, 28, 23, 59, 58};
  std::memcpy(dated.recorded, when, sizeof when);
  TRecordSpec undated{"UNDATED.;1", 33, 1};
  undated.recorded[1] = 13;  // no such month
  volume.Directory(20, 20, {dated, undated, {"EMPTY.;1", 0, 0}});

  std::vector<uint16_t> status_while_adding;
  layout.cbAddFileEvent = [&](TObject*, const char16_t*, WIN32_FIND_DATAW&, bool&) {
    status_while_adding.push_back(layout.ComponentStatus);
  };
  ASSERT_TRUE(Import(volume));
  EXPECT_EQ(layout.ComponentStatus, 0);
  EXPECT_EQ(status_while_adding, std::vector<uint16_t>(3, 8));

  const pFileEntry file = layout.RootDir->Files;
  EXPECT_TRUE(file->Imported);
  EXPECT_EQ(file->Address, 30u);
  EXPECT_EQ(file->FileSize, 5000);
  EXPECT_TRUE(file->Path.empty());
  EXPECT_EQ(file->attributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(file->Time.wYear, 1999);
  EXPECT_EQ(file->Time.wMonth, 2);
  EXPECT_EQ(file->Time.wDay, 28);
  EXPECT_EQ(file->Time.wHour, 23);
  EXPECT_EQ(file->Time.wMinute, 59);
  EXPECT_EQ(file->Time.wSecond, 58);
  EXPECT_EQ(file->NextFile->Time.wYear, 1601);  // an invalid time reads as the earliest
  const pFileEntry empty = file->NextFile->NextFile;
  EXPECT_EQ(empty->FileSize, 0);
  EXPECT_FALSE(empty->Imported);  // a zero-length file recorded at 0 has no data to point at
  saved_zone.empty() ? unsetenv("TZ") : setenv("TZ", saved_zone.c_str(), 1);
  tzset();
}

TEST_F(ImportTest, MergesWithTheTreeAndHonoursItsRules) {
  const pDirEntry sub = layout.CreateDirW(u"\\", u"SUB");
  WIN32_FIND_DATAW mine;
  mine.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFindName(mine, u"NOTE.TXT");
  SetFindFileSize(mine, 7);
  layout.AddEntry(sub, mine, true, 0, nullptr);
  TTestVolume volume = ThreeTrees(false, false);
  ASSERT_TRUE(Import(volume));
  EXPECT_THAT(Imported(), ElementsAre("d SUB", "f SUB/NOTE.TXT 7 0", "f README 10 40"));

  layout.ReplaceFile = true;
  ASSERT_TRUE(Import(volume));
  EXPECT_THAT(Imported(), ElementsAre("d SUB", "f SUB/NOTE.TXT 20 41", "f README 10 40"));

  // Into a directory of the tree: ImportVolume takes any destination.
  layout.ClearAll();
  const pDirEntry old = layout.CreateDirW(u"\\", u"old");
  ASSERT_TRUE(ImportVolume(layout, volume, 0, old).found);
  EXPECT_THAT(Imported(),
              ElementsAre("d old", "f old/README 10 40", "d old/SUB", "f old/SUB/NOTE.TXT 20 41"));
}

TEST_F(ImportTest, NamesThePathsCannotReachAreLeftOut) {
  TTestVolume volume(64);
  volume.Descriptor(16, 2, 20, 2048, "%/@");
  volume.Terminator(17);
  volume.Directory(20, 20,
                   {{Ucs2(u"a/b"), 40, 1},
                    {Ucs2(u"a\\b"), 40, 1, kDir},
                    {Ucs2(u";1"), 40, 1},
                    {std::string("\0\0\0x", 4), 40, 1},
                    {Ucs2(std::u16string(110, u'n')), 40, 1},  // the longest Joliet name
                    {Ucs2(u"odd") + "!", 40, 1},               // a stray last byte
                    {Ucs2(u"kept"), 40, 1}});
  ASSERT_TRUE(Import(volume));
  EXPECT_THAT(Imported(), ElementsAre("f " + std::string(110, 'n') + " 1 40", "f odd 1 40",
                                      "f kept 1 40"));

  TTestVolume long_names(64);
  long_names.Descriptor(16, 2, 20, 2048);
  long_names.Terminator(17);
  long_names.Directory(20, 20, {{std::string(218, 'x'), 40, 1}, {std::string(217, 'y'), 40, 1}});
  layout.ClearAll();
  ASSERT_TRUE(Import(long_names));
  // The longest names a record can hold fit the tree.
  EXPECT_THAT(Imported(), ElementsAre("f " + std::string(218, 'x') + " 1 40", "f " + std::string(217, 'y') + " 1 40"));
}

// Fills sector `n` from `offset` to exactly `target` with file records of
// distinct 8-bit names; returns the listing lines they import as.
std::vector<std::string> Fill(TTestVolume& volume, uint32_t n, size_t offset, size_t target,
                              char tag) {
  std::vector<std::string> lines;
  for (; offset < target; ++tag) {
    const size_t left = target - offset;
    const size_t id = left > 254 ? 200 : left - 33;  // even lengths throughout
    const TRecordSpec record{std::string(id, tag), 40, 1};
    offset = volume.Record(n, offset, record);
    lines.push_back("f " + record.identifier + " 1 40");
  }
  return lines;
}

TEST_F(ImportTest, ReadsEveryRecordThatFitsItsSectorAndNoOther) {
  TTestVolume volume(64);
  volume.Descriptor(16, 1, 20, 3 * 2048);
  volume.Terminator(17);
  volume.Directory(20, 20, {});
  // Sector 20: after "." and "..", records up to byte 2014, where the last
  // record that can fit a sector starts and ends exactly at its end.
  std::vector<std::string> expected = Fill(volume, 20, 68, 2014, 'a');
  ASSERT_EQ(volume.Record(20, 2014, {"L", 40, 2}), 2048u);
  expected.push_back("f L 2 40");
  // Sector 21: a record running past the sector's end ends the sector.
  for (const std::string& line : Fill(volume, 21, 0, 1960, 'n')) expected.push_back(line);
  volume.Record(21, 1960, {std::string(100, 'C'), 40, 4});
  // Sector 22 is read from byte 0, and an identifier too long for its
  // record is passed over without losing the record after it.
  const size_t next = volume.Record(22, 0, {"BAD", 40, 5});
  volume.Sector(22)[32] = 200;
  volume.Record(22, next, {"GOOD", 40, 6});
  expected.push_back("f GOOD 6 40");
  ASSERT_TRUE(Import(volume));
  EXPECT_EQ(Imported(), expected);
}

TEST_F(ImportTest, WalksDirectoriesOfManySectorsAndPassesOverUnreadableOnes) {
  std::vector<TRecordSpec> many;
  for (int i = 0; i < 150; ++i) many.push_back({"FILE" + std::to_string(1000 + i) + ".TXT", 40, 1});
  TTestVolume volume(64);
  volume.Descriptor(16, 1, 20, 0);
  volume.Terminator(17);
  const uint32_t length = volume.Directory(20, 20, many);
  ASSERT_GT(length, 2 * 2048u);
  volume.Descriptor(16, 1, 20, length);
  ASSERT_TRUE(Import(volume));
  EXPECT_EQ(Imported().size(), 150u);

  volume.MakeUnreadable(21);
  layout.ClearAll();
  ASSERT_TRUE(Import(volume));
  const std::vector<std::string> lines = Imported();
  EXPECT_GT(lines.size(), 50u);
  EXPECT_LT(lines.size(), 150u);
  EXPECT_EQ(lines.front(), "f FILE1000.TXT 1 40");
  EXPECT_EQ(lines.back(), "f FILE1149.TXT 1 40");
}

TEST_F(ImportTest, ADirectoryReferringBackIsNotEnteredAgain) {
  TTestVolume volume(64);
  volume.Descriptor(16, 1, 20, 2048);
  volume.Terminator(17);
  volume.Directory(20, 20, {{"A", 21, 2 * 2048, kDir}, {"LOOP", 20, 2048, kDir}, {"F", 40, 1}});
  volume.Directory(21, 20, {{"UP", 20, 2048, kDir},
                            {"SELF", 21, 2048, kDir},
                            {"INSIDE", 22, 2048, kDir},  // A's own second sector
                            {"B", 23, 2048, kDir}});
  volume.Directory(23, 21, {{"ROOT", 20, 64 * 2048, kDir}, {"G", 40, 1}});
  ASSERT_TRUE(Import(volume));
  EXPECT_THAT(Imported(), ElementsAre("d A", "d A/B", "f A/B/G 1 40", "f F 1 40"));
  // Two descriptor sectors, the root's first sector where Rock Ridge would
  // be announced, each directory sector once, and a parent's sector again
  // after each child.
  EXPECT_EQ(volume.reads(), 2u + 1u + 4u + 2u);
}

TEST_F(ImportTest, HugeLengthsAndExtentsOutsideTheVolumeAreBounded) {
  TTestVolume volume(100);
  volume.Descriptor(16, 1, 20, 2048);
  volume.Terminator(17);
  volume.Directory(20, 20, {{"INSIDE", 98, 2 * 2048},  // ends with the last sector
                            {"PAST", 99, 2 * 2048},    // one sector past the end
                            {"BEYOND", 0xFFFFFFF0, 1},
                            {"AT_ZERO", 0, 1},  // data in the system area
                            {"DIR_BEYOND", 0xFFFFFFFF, 0xFFFFFFFF, kDir},
                            {"BIG_DIR", 60, 0xFFFFFFFF, kDir}});
  // BIG_DIR runs to the end of the volume, so a directory inside it is
  // part of it, its records BIG_DIR's, and not entered as one of its own.
  volume.Directory(60, 20, {{"DEEP", 98, 1}, {"LATER", 70, 2048, kDir}});
  volume.Directory(70, 60, {{"HIDDEN", 98, 1}});
  ASSERT_TRUE(Import(volume));
  EXPECT_THAT(Imported(), ElementsAre("f INSIDE 4096 98", "d DIR_BEYOND", "d BIG_DIR",
                                      "f BIG_DIR/DEEP 1 98", "f BIG_DIR/HIDDEN 1 98"));
  EXPECT_EQ(volume.reads(), 2u + 1u + 1u + 40u + 1u);

  // A root that claims every sector reads each once.
  TTestVolume endless(100);
  endless.Descriptor(16, 1, 20, 0xFFFFFFFF);
  endless.Terminator(17);
  endless.Directory(20, 20, {{"F", 98, 1}});
  layout.ClearAll();
  ASSERT_TRUE(Import(endless));
  EXPECT_THAT(Imported(), ElementsAre("f F 1 98"));
  EXPECT_EQ(endless.reads(), 2u + 1u + 80u);
}

TEST_F(ImportTest, AFileInSeveralSectionsIsOneEntryOfTheirSummedSize) {
  TTestVolume volume(0xFFFFFFFF);  // sparse: only the written sectors hold data
  volume.Descriptor(16, 1, 20, 2048);
  volume.Terminator(17);
  const uint32_t part = 0xFFFFF800;  // 4 GiB less one sector
  const uint32_t sectors = part / 2048;
  volume.Directory(20, 20, {
      {"SMALL.BIN;1", 100, 2 * 2048, kMore},
      {"SMALL.BIN;1", 102, 2048, kMore},
      {"SMALL.BIN;1", 103, 100},
      {"HUGE.BIN;1", 200, part, kMore},
      {"HUGE.BIN;1", 200 + sectors, part, kMore},
      {"HUGE.BIN;1", 200 + 2 * sectors, 10},
      {"GAP.BIN;1", 100, 2048, kMore},      // the next section does not follow on
      {"GAP.BIN;1", 102, 10},
      {"SHORT.BIN;1", 100, 1000, kMore},    // a section that ends inside a sector
      {"SHORT.BIN;1", 101, 10},
      {"RENAMED.BIN;1", 100, 2048, kMore},  // the name changes between sections
      {"OTHER.BIN;1", 101, 10},
      {"CUT.BIN;1", 100, 2048, kMore},      // the directory ends before the last section
  });
  ASSERT_TRUE(Import(volume));
  const uint64_t huge = 2 * uint64_t{part} + 10;
  EXPECT_THAT(Imported(), ElementsAre("f SMALL.BIN 6244 100", "f HUGE.BIN " + std::to_string(huge) + " 200",
                                      "f GAP.BIN 10 102", "f SHORT.BIN 10 101",
                                      "f OTHER.BIN 10 101"));
}

TEST_F(ImportTest, DeepTreesDoNotExhaustTheStack) {
  constexpr uint32_t kDepth = 20000;
  TTestVolume volume(100 + kDepth);
  volume.Descriptor(16, 1, 100, 2048);
  volume.Terminator(17);
  for (uint32_t i = 0; i < kDepth; ++i) {
    std::vector<TRecordSpec> entries;
    if (i + 1 < kDepth) entries.push_back({"D", 101 + i, 2048, kDir});
    volume.Directory(100 + i, i == 0 ? 100 : 99 + i, entries);
  }
  ASSERT_TRUE(Import(volume));
  EXPECT_EQ(layout.DirCounter(), static_cast<int32_t>(kDepth));
}

// What an import had to leave out is counted, by kind.
struct TReportCase {
  const char* name;
  std::function<void(TTestVolume&)> change;  // of the volume below
  uint32_t bad_names, damaged, not_added;
  bool truncated;
};

// A primary descriptor claiming 64 sectors, a Joliet root at 20 holding a
// file at 40 and a subdirectory at 21.
TTestVolume ReportVolume(const std::vector<TRecordSpec>& extra = {}) {
  TTestVolume volume(64);
  volume.Descriptor(16, 1, 20, 2048);
  volume.Sector(16)[80] = 64;
  volume.Descriptor(17, 2, 20, 2048, "%/E");
  volume.Terminator(18);
  std::vector<TRecordSpec> records = {{Ucs2(u"file"), 40, 10}, {Ucs2(u"sub"), 21, 2048, kDir}};
  records.insert(records.end(), extra.begin(), extra.end());
  volume.Directory(20, 20, records);
  volume.Directory(21, 20, {{Ucs2(u"inner"), 41, 10}});
  return volume;
}

const TReportCase kReports[] = {
    {"sound", nullptr, 0, 0, 0, false},
    {"names no path can hold",
     [](TTestVolume& v) { v = ReportVolume({{Ucs2(u"."), 40, 1}, {Ucs2(u".."), 21, 2048, kDir}, {Ucs2(u"a/b"), 40, 1}}); },
     3, 0, 0, false},
    {"unreadable directory sector", [](TTestVolume& v) { v.MakeUnreadable(21); }, 0, 1, 0, false},
    // A better tree than the one read may be described there.
    {"unreadable descriptor sector", [](TTestVolume& v) { v.MakeUnreadable(18); }, 0, 1, 0, false},
    {"directory referring back", [](TTestVolume& v) { v = ReportVolume({{Ucs2(u"loop"), 20, 2048, kDir}}); }, 0, 1,
     0, false},
    {"directory past the end", [](TTestVolume& v) { v = ReportVolume({{Ucs2(u"far"), 63, 8192, kDir}}); }, 0, 1, 0,
     false},
    {"file past the end", [](TTestVolume& v) { v = ReportVolume({{Ucs2(u"big"), 60, 1 << 20}}); }, 0, 1, 0, false},
    {"malformed record",  // after the four records: an identifier longer than its record
     [](TTestVolume& v) {
       v.Sector(20)[150] = 40;
       v.Sector(20)[150 + 32] = 100;
     },
     0, 1, 0, false},
    {"a name twice", [](TTestVolume& v) { v = ReportVolume({{Ucs2(u"file"), 40, 10}}); }, 0, 0, 1, false},
    // Both are entries of their own.
    {"names differing only in case", [](TTestVolume& v) { v = ReportVolume({{Ucs2(u"FILE"), 40, 10}}); }, 0, 0, 0,
     false},
    {"volume longer than the source", [](TTestVolume& v) { v.Sector(16)[80] = 200; }, 0, 0, 0, true},
};

void PrintTo(const TReportCase& c, std::ostream* os) { *os << c.name; }

class ImportReportTest : public ::testing::TestWithParam<TReportCase> {};

TEST_P(ImportReportTest, CountsWhatIsLeftOut) {
  const TReportCase& c = GetParam();
  TTestVolume volume = ReportVolume();
  if (c.change) c.change(volume);
  TImageLayout layout;
  layout.ClearAll();
  const TImportReport report = ImportVolume(layout, volume, 0, layout.RootDir);
  EXPECT_TRUE(report.found);
  EXPECT_EQ(report.names, TNameEncoding::Ucs2);
  EXPECT_EQ(report.bad_names, c.bad_names);
  EXPECT_EQ(report.damaged, c.damaged);
  EXPECT_EQ(report.not_added, c.not_added);
  EXPECT_EQ(report.Truncated(), c.truncated);
  EXPECT_EQ(report.Complete(), c.bad_names + c.damaged + c.not_added == 0 && !c.truncated);
  EXPECT_GE(report.entries, 2u);  // the file and the subdirectory
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportReportTest, ::testing::ValuesIn(kReports), [](const auto& param_info) {
  std::string name = param_info.param.name;
  for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

// An imported directory has no size or address of its own, as every
// directory; where its records lie is kept for listings.  A handler that
// renames one renames its directory too.
TEST_F(ImportTest, ImportedDirectoriesAreDirectories) {
  TTestVolume volume = ReportVolume();
  layout.cbAddFileEvent = [](TObject*, const char16_t*, WIN32_FIND_DATAW& fd, bool&) {
    if (FindName(fd) == u"sub") SetFindName(fd, u"renamed");
  };
  ASSERT_TRUE(Import(volume));
  EXPECT_THAT(Imported(), ElementsAre("f file 10 40", "d renamed", "f renamed/inner 10 41"));
  const pFileEntry entry = layout.RootDir->Files->NextFile;
  ASSERT_NE(entry->DirRecord, nullptr);
  EXPECT_EQ(entry->FileSize, 0);
  EXPECT_EQ(entry->Address, 0u);
  EXPECT_EQ(entry->DirRecord->LongName, u"renamed");
  EXPECT_EQ(entry->DirRecord->ImportedExtent, 21u);
}

// Joliet names beside primary names as an earlier session may have left
// them: unsound ones ("ANNUAL REPOR.", a twice used "________.___",
// "HOLIDAY-001-." and a nine-letter directory), and sound ones that a file
// or directory matched through its data keeps.
TTestVolume NamedVolume() {
  TTestVolume volume(64);
  volume.Descriptor(16, 1, 30, 2048);
  volume.Descriptor(17, 2, 34, 2048, "%/E");
  volume.Terminator(18);
  volume.Directory(30, 30,
                   {{"ANNUAL REPOR.;1", 40, 10}, {"________.___;1", 41, 10}, {"________.___;1", 42, 10},
                    {"HOLIDAY-001-.;1", 43, 10}, {"DOCUMENTS", 31, 2048, kDir}, {"KEEP~3.TXT;1", 45, 10},
                    {"PICS~2", 32, 2048, kDir}});
  volume.Directory(31, 30, {{"NOTE.TXT;1", 44, 10}});
  volume.Directory(32, 30, {{"IMG~9.JPG;1", 46, 10}});
  volume.Directory(34, 34,
                   {{Ucs2(u"Annual Report.pdf;1"), 40, 10},
                    {Ucs2(u"\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA\u03BB\u03BC.txt"), 41, 10},
                    {Ucs2(u"\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA\u03BB\u03BD.txt"), 42, 10},
                    {Ucs2(u"holiday-001-beach.jpg"), 43, 10},
                    {Ucs2(u"Documents"), 35, 2048, kDir},
                    {Ucs2(u"Keep this name.txt"), 45, 10},
                    {Ucs2(u"Pictures of 2026"), 36, 2048, kDir}});
  volume.Directory(35, 34, {{Ucs2(u"note.txt"), 44, 10}});
  volume.Directory(36, 34, {{Ucs2(u"Image one.jpg"), 46, 10}});
  return volume;
}

TEST_F(ImportTest, ImportedEntriesGetUniqueAliasesAndKeepSoundPrimaryNames) {
  TTestVolume volume = NamedVolume();
  ASSERT_TRUE(Import(volume));
  EXPECT_THAT(test::ShortNames(layout),
              ElementsAre("Annual Report.pdf ANNUAL~1.PDF",
                          "\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA\u03BB\u03BC.txt ________.___",
                          "\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA\u03BB\u03BD.txt ______~1.TXT",
                          "holiday-001-beach.jpg HOLIDA~1.JPG", "Documents DOCUME~1", "Documents/note.txt NOTE.TXT",
                          "Keep this name.txt KEEP~3.TXT", "Pictures of 2026 PICS~2",
                          "Pictures of 2026/Image one.jpg IMG~9.JPG"));
  EXPECT_STREQ(layout.FindDir(u"\\Documents")->ShortName, "DOCUME~1");  // the path table's name
  // A new entry beside them takes none of their names.
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFindName(fd, u"Keep this too.txt");
  SetFindAlternateName(fd, u"KEEP~3.TXT");
  const pFileEntry added = layout.InsertMemoryFileW(u"\\", fd, nullptr);
  ASSERT_NE(added, nullptr);
  EXPECT_STREQ(added->ShortName, "KEEPTH~1.TXT");

  // Only the long names are read: the primary tree's own can be lost
  // without the import being incomplete; the entries then get aliases.
  layout.ClearAll();
  volume.MakeUnreadable(30);
  const TImportReport report = ImportVolume(layout, volume, 0, layout.RootDir);
  EXPECT_TRUE(report.Complete());
  EXPECT_THAT(test::ShortNames(layout), ::testing::Contains("Keep this name.txt KEEPTH~1.TXT"));
}

// A later session's primary descriptor states where the volume ends from
// block 0; one that states only the session's own size (below the start)
// is counted from the start.
TEST(ImportVolumeEnd, CountsFromBlockZeroOrTheSessionStart) {
  for (const auto& [stated, end] : {std::pair<uint32_t, uint32_t>{300, 300}, {60, 160}, {100, 200}}) {
    TTestVolume volume(400);
    volume.Descriptor(116, 1, 120, 2048);
    volume.Sector(116)[80] = static_cast<uint8_t>(stated);
    volume.Sector(116)[81] = static_cast<uint8_t>(stated >> 8);
    volume.Terminator(117);
    volume.Directory(120, 120, {{"A.TXT;1", 121, 5}});
    TImageLayout layout;
    layout.ClearAll();
    const TImportReport report = ImportVolume(layout, volume, 100, layout.RootDir);
    EXPECT_EQ(report.volume_sectors, end) << stated;
    EXPECT_TRUE(report.Complete()) << stated;
  }
}

TEST(MountISOImage, RefusesWhatIsNoImage) {
  test::TempDir dir;
  TImageLayout layout;
  EXPECT_FALSE(MountISOImage(layout, dir / "image.iso").found);  // no root yet
  layout.ClearAll();
  EXPECT_FALSE(MountISOImage(layout, dir / "missing.iso").found);
  EXPECT_FALSE(MountISOImage(layout, dir.path()).found);
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(MountISOImage(layout, dir / "fifo").found);  // and does not wait for a writer
  EXPECT_FALSE(MountISOImage(layout, dir.Write("text.iso", std::string(40000, 'x'))).found);
  EXPECT_EQ(layout.ComponentStatus, 0);
  EXPECT_EQ(layout.FileCounter(), 0);
}

TEST(MountISOImage, ReadsAnImageFileCutShortWithinItsLastSector) {
  TTestVolume volume(22);
  volume.Descriptor(16, 1, 20, 2048);
  volume.Terminator(17);
  volume.Directory(20, 20, {{"A.TXT;1", 21, 5}});
  std::memcpy(volume.Sector(21), "hello", 5);
  test::TempDir dir;
  const std::string image = dir.Write("cut.iso", volume.Bytes().substr(0, 21 * 2048 + 5));
  TImageLayout layout;
  layout.ClearAll();
  ASSERT_TRUE(MountISOImage(layout, image).found);
  EXPECT_THAT(test::Listing(layout), ElementsAre("f A.TXT 5 21"));
}

}  // namespace
}  // namespace orvex
