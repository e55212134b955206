// SPDX-License-Identifier: Apache-2.0
// Session import and volume labels from the disc in the drive: a DVD+R
// with two sessions, the second carrying the first one's files, and
// single-session discs of each kind of volume.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "disc_fixture.h"
#include "drive/read_retry.h"
#include "pipeline/job_errors.h"
#include "services/disc_import.h"
#include "services/disc_session.h"
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

// The disc information the last session is found by, refused while the
// drive is becoming ready: once, it is asked again; refused again, the
// label is empty and what the drive refused is said, not that there is no
// label.
TEST_F(DiscImportTest, AnUnansweredDiscInformationIsAskedAgainThenNamed) {
  TwoSessions();
  for (const uint32_t refusals : {1u, 2u}) {
    SCOPED_TRACE(refusals);
    ASSERT_EQ(vbtest::Lib().vb_fault_fail({0, 0, 0}, 0x51, refusals, 0x02, 0x04, 0x01), 0);
    std::string unanswered = "stale";
    std::u16string label;
    const auto trace = Traced([&] { label = ReadVolumeLabelOfDisc(disc.Device, 0, &unanswered); });
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[0].cdb[0], 0x51);
    EXPECT_NE(trace[0].status, kSrbStatusDone);
    EXPECT_EQ(trace[1].cdb[0], 0x51) << "asked again at once";
    EXPECT_EQ(label, refusals == 1 ? u"Second" : u"");
    EXPECT_EQ(unanswered, refusals == 1 ? "" : "READ DISC INFORMATION failed (sense 2/04h/01h)");
  }
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

// READ(10)s refused while the last session's tree is read: a drive that is
// becoming ready is waited for, a single refusal of another kind is asked
// again, and a block that stays unreadable leaves the import incomplete and
// says so (error 18), so that no session is burned without those files.
struct TReadFaultCase {
  const char* name;
  uint32_t count;  // READ(10)s refused in a row
  uint8_t key, asc, ascq;
  uint32_t tries;  // of the first block refused
  bool whole;
};

void PrintTo(const TReadFaultCase& c, std::ostream* os) { *os << c.name; }

class ImportReadFaultTest : public DiscImportTest, public ::testing::WithParamInterface<TReadFaultCase> {};

TEST_P(ImportReadFaultTest, PassingRefusalsAreWaitedOutOthersLeaveTheImportIncomplete) {
  const TReadFaultCase& c = GetParam();
  TwoSessions();
  disc.ClearAll();
  disc.ErrorNumber();  // nothing left pending from making the disc
  ASSERT_EQ(vbtest::Lib().vb_fault_fail({0, 0, 0}, 0x28, c.count, c.key, c.asc, c.ascq), 0);
  const auto trace = Traced([&] { EXPECT_EQ(disc.ImportSession(0, "\\"), 2); });
  EXPECT_EQ(disc.LastImport().Complete(), c.whole);
  if (c.whole) {
    const uint32_t left = disc.ErrorNumber();  // the refusals that passed leave no error behind
    EXPECT_NE(left, kErrorSessionUnreadable);
    EXPECT_NE(left, uint32_t{c.asc} << 8 | c.ascq);
    EXPECT_NE(Named(u"b.txt"), nullptr);
  } else {
    EXPECT_GT(disc.LastImport().damaged, 0u);
    EXPECT_EQ(disc.ErrorNumber(), kErrorSessionUnreadable);
  }
  // The first block read is asked for again after a pause of modelled time.
  std::vector<const vb_trace_entry*> first;
  for (const vb_trace_entry& e : trace) {
    if (e.cdb[0] == 0x28 && (first.empty() || std::equal(e.cdb + 2, e.cdb + 6, first[0]->cdb + 2))) {
      first.push_back(&e);
    }
  }
  ASSERT_EQ(first.size(), c.tries);
  for (size_t i = 1; i < first.size(); ++i) EXPECT_GE(first[i]->time_us - first[i - 1]->time_us, kReadPauseMs * 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ImportReadFaultTest,
    ::testing::Values(TReadFaultCase{"BecomingReady", 2, 0x02, 0x04, 0x01, 3, true},
                      TReadFaultCase{"MediumChanged", 1, 0x06, 0x28, 0x00, 2, true},
                      TReadFaultCase{"OneUnrecoveredReadError", 1, 0x03, 0x11, 0x00, 2, true},
                      TReadFaultCase{"NoMedium", kFailedReadAttempts, 0x02, 0x3A, 0x00, kFailedReadAttempts, false},
                      TReadFaultCase{"UnrecoveredReadErrors", kFailedReadAttempts, 0x03, 0x11, 0x00,
                                     kFailedReadAttempts, false}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// BUSY status passes too: the sector reader of a session asks again.
TEST_F(DiscImportTest, ABusyDriveIsAskedAgain) {
  TwoSessions();
  const std::optional<TDiscSession> session = LocateSession(disc.Device, 2);
  ASSERT_TRUE(session);
  TDiscSectorReader reader(disc.Device, session->end);
  std::array<uint8_t, 2048> sector{};
  ASSERT_EQ(vbtest::Lib().vb_fault_busy({0, 0, 0}, 2), 0);
  const auto trace = Traced([&] { EXPECT_TRUE(reader.ReadSector(session->start + 16, sector.data())); });
  const auto refused = std::count_if(trace.begin(), trace.end(), [](const vb_trace_entry& e) {
    return e.cdb[0] == 0x28 && e.target_status == 0x08;
  });
  EXPECT_GE(refused, 1);
  EXPECT_EQ(Reads(trace).size(), static_cast<size_t>(refused) + 1);
  EXPECT_EQ(std::string(sector.begin() + 1, sector.begin() + 6), "CD001");
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
