// Session import and volume labels from the disc in the drive: a DVD+R
// with two sessions, the second carrying the first one's files, and
// single-session discs of each kind of volume.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "disc_fixture.h"
#include "services/disc_import.h"
#include "services/volume_label.h"

namespace orvex {
namespace {

using test::DiscTest;
using test::Reads;
using test::TVerifyEvent;

class DiscImportTest : public DiscTest {
 protected:
  // A DVD+R holding "First" (a.txt, docs\b.txt) and "Second" (those two
  // imported, and c.txt), each session made as a burn would make it.
  void TwoSessions() {
    Load("dvd+r");
    disc.ClearAll();
    disc.CDFiles.FirstWritableSector = 0;
    disc.SetVolumeIDW(u"First");
    Insert("a.txt", 3000, 1);
    ASSERT_NE(disc.CreateDir("\\", "docs"), nullptr);
    Insert("b.txt", 70000, 2, "\\docs");
    Record("first.iso", 1);
    a_block = DiscBlock(*Named(u"a.txt"));
    b_block = DiscBlock(*Named(u"b.txt"));

    disc.ClearAll();
    ASSERT_EQ(Import(1, u"\\"), 1);
    disc.CDFiles.FirstWritableSector = vbtest::Drive().NextWritable(2);
    second_start = disc.CDFiles.FirstWritableSector;
    disc.SetVolumeIDW(u"Second");
    third = Insert("c.txt", 5000, 3);
    Record("second.iso", 2);
    c_block = DiscBlock(*third);
  }

  int32_t Import(uint8_t session, const std::u16string& dest) {
    return ImportSessionW(disc.CDFiles, disc.Device, session, dest, &report);
  }

  bool InRoot(const pFileEntry e) const {
    for (pFileEntry f = disc.CDFiles.RootDir->Files; f != nullptr; f = f->NextFile) {
      if (f == e) return true;
    }
    return false;
  }

  TImportReport report;
  pFileEntry third = nullptr;
  uint32_t a_block = 0, b_block = 0, c_block = 0, second_start = 0;
};

TEST_F(DiscImportTest, TheLastSessionCarriesTheEarlierFilesAtTheirAddresses) {
  TwoSessions();
  // Verifying the new session reads only its own file: imported ones get no event.
  EXPECT_EQ(Verify(), (std::vector<TVerifyEvent>{{third->Index, false}, {-1, false}}));

  disc.ClearAll();
  std::vector<uint16_t> statuses;
  disc.CDFiles.cbAddFileEvent = [&](TObject*, const char16_t*, WIN32_FIND_DATAW&, bool&) {
    statuses.push_back(disc.ComponentStatus());
  };
  const auto trace = Traced([&] { EXPECT_EQ(Import(0, u"\\"), 2); });
  EXPECT_EQ(disc.ComponentStatus(), 0);
  EXPECT_EQ(statuses, std::vector<uint16_t>(4, 8));  // a.txt, docs, b.txt, c.txt
  EXPECT_TRUE(report.Complete());
  EXPECT_EQ(report.names, TNameEncoding::Ucs2);
  ASSERT_NE(Named(u"a.txt"), nullptr);
  ASSERT_NE(Named(u"b.txt"), nullptr);
  ASSERT_NE(Named(u"c.txt"), nullptr);
  EXPECT_TRUE(Named(u"a.txt")->Imported);
  EXPECT_EQ(Named(u"a.txt")->Address, a_block);
  EXPECT_EQ(Named(u"b.txt")->Address, b_block);
  EXPECT_EQ(Named(u"c.txt")->Address, c_block);
  EXPECT_EQ(Named(u"b.txt")->FileSize, 70000);
  EXPECT_NE(disc.CDFiles.FindDir(u"\\docs"), nullptr);
  // The session is found through its track; its volume descriptors are read one block at a time.
  bool asked_for_track = false;
  for (const vb_trace_entry& e : trace) asked_for_track |= e.cdb[0] == 0x52 && e.cdb[1] == 0x01 && e.cdb[5] == 2;
  EXPECT_TRUE(asked_for_track);
  for (const auto& [lba, count] : Reads(trace)) {
    EXPECT_EQ(count, 1);
    EXPECT_LT(lba, report.source_sectors);
  }
}

TEST_F(DiscImportTest, AnEarlierSessionIntoAMissingPathGoesToTheRoot) {
  TwoSessions();
  disc.ClearAll();
  const auto trace = Traced([&] { EXPECT_EQ(Import(1, u"\\not\\there"), 1); });
  EXPECT_TRUE(report.Complete());
  EXPECT_TRUE(InRoot(Named(u"a.txt")));
  EXPECT_EQ(Named(u"a.txt")->Address, a_block);
  EXPECT_EQ(Named(u"c.txt"), nullptr);
  // Nothing past the first session's track is read.
  EXPECT_LE(report.source_sectors, second_start);
  for (const auto& [lba, count] : Reads(trace)) EXPECT_LT(lba, report.source_sectors);
}

TEST_F(DiscImportTest, EachSessionHasItsLabel) {
  TwoSessions();
  EXPECT_EQ(ReadVolumeLabelOfDisc(disc.Device, 1), u"First");
  EXPECT_EQ(ReadVolumeLabelOfDisc(disc.Device, 2), u"Second");
  EXPECT_EQ(ReadVolumeLabelOfDisc(disc.Device, 0), u"Second");
  EXPECT_EQ(ReadVolumeLabelOfDisc(disc.Device, 9), u"");  // no such track
}

TEST_F(DiscImportTest, ABlankDiscHasNoSessionLabelOrTree) {
  Load("dvd+r");
  disc.ClearAll();
  const auto trace = Traced([&] {
    EXPECT_EQ(ReadVolumeLabelOfDisc(disc.Device, 0), u"");
    EXPECT_EQ(Import(0, u"\\"), 0);
  });
  EXPECT_FALSE(report.found);
  EXPECT_EQ(disc.CDFiles.FileCounter(), 0);
  EXPECT_TRUE(Reads(trace).empty());
  EXPECT_EQ(disc.ComponentStatus(), 0);
}

struct TLabelCase {
  const char* name;
  bool joliet;
  bool iso1999;
  std::u16string label;     // given to the component
  std::u16string expected;  // read back from the disc
};

void PrintTo(const TLabelCase& c, std::ostream* os) { *os << c.name; }

class VolumeLabelTest : public DiscImportTest, public ::testing::WithParamInterface<TLabelCase> {};

TEST_P(VolumeLabelTest, IsReadFromTheDescriptorAnImportWouldUse) {
  const TLabelCase& c = GetParam();
  disc.ClearAll();
  disc.SetJolietFileSystem(c.joliet);
  disc.SetISO9660v1999FS(c.iso1999);
  disc.SetVolumeIDW(c.label);
  Insert("one.bin", 100);
  LoadImage(BuildImage("label.iso"));
  EXPECT_EQ(ReadVolumeLabelOfDisc(disc.Device, 0), c.expected);
  EXPECT_EQ(ReadVolumeLabelOfDisc(disc.Device, 1), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, VolumeLabelTest,
    ::testing::Values(TLabelCase{"Joliet", true, false, u"Mixed Case \u00fc", u"Mixed Case \u00fc"},
                      TLabelCase{"JolietCutTo16Units", true, true, u"A label of twenty-six units", u"A label of twent"},
                      // The primary descriptor's label is upper-cased 8-bit text (UTF-8 here).
                      TLabelCase{"PrimaryOnly", false, false, u"caf\u00e9 one", u"CAF\u00e9 ONE"},
                      TLabelCase{"Iso1999", false, true, u"Long label", u"LONG LABEL"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(VolumeLabel, DecodingEndsAtTheSeparatorZeroOrPadding) {
  const auto field = [](std::initializer_list<uint8_t> bytes, uint8_t fill) {
    std::array<uint8_t, kVolumeIdentifierBytes> f;
    f.fill(fill);
    std::copy(bytes.begin(), bytes.end(), f.begin());
    return f;
  };
  EXPECT_EQ(DecodeVolumeLabel(field({'D', 'I', 'S', 'C', ';', '1'}, ' '), TNameEncoding::Primary), u"DISC");
  EXPECT_EQ(DecodeVolumeLabel(field({'M', 'Y', ' ', 'C', 'D'}, ' '), TNameEncoding::Primary), u"MY CD");
  EXPECT_EQ(DecodeVolumeLabel(field({'A', 0, 'B'}, 0), TNameEncoding::EightBit), u"A");
  EXPECT_EQ(DecodeVolumeLabel(field({0, 'H', 0, 'I', 0, ' ', 0, ' '}, 0), TNameEncoding::Ucs2), u"HI");
  EXPECT_EQ(DecodeVolumeLabel(field({0x04, 0x1F, 0, ';', 0, 'X'}, 0), TNameEncoding::Ucs2), u"\u041F");
  EXPECT_EQ(DecodeVolumeLabel(field({}, ' '), TNameEncoding::Primary), u"");
}

}  // namespace
}  // namespace orvex
