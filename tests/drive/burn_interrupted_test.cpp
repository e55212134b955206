// SPDX-License-Identifier: Apache-2.0
// A burn cut short leaves the disc's last session incomplete: the medium
// pulled out while writing, or the program gone while closing (here: a
// drive that refuses to close).  The next burn closes that session before
// it writes, so that its own session is the last one readers find; where
// the session cannot be closed, or the burn is a test write, it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "drive/burn_fixture.h"

namespace orvex::test {
namespace {

// How the burn after the first session ends: the medium pulled out while
// it writes; a drive that refuses every close; or (the program gone between
// the two closes) its track written and closed by hand, its session not.
enum class TCut { kMediumPulled, kClosingRefused, kTrackClosedOnly };

struct TInterruptedCase {
  const char* profile;
  TCut cut;
};

void PrintTo(const TInterruptedCase& c, std::ostream* os) {
  static const char* const kCuts[] = {" pulled", " not closed", " track closed"};
  *os << c.profile << kCuts[static_cast<int>(c.cut)];
}

class InterruptedBurn : public BurnTest, public ::testing::WithParamInterface<TInterruptedCase> {
 protected:
  // Lays `folder` out under the volume label `label`.
  void LayLabelled(const std::string& folder, const std::string& label) {
    disc.SetVolumeID(label);
    Lay(folder);
  }

  // A first session, then a burn cut short as `cut` says, which leaves the
  // last session incomplete.
  void BurnAndCutShort(TCut cut) {
    LayLabelled(Source("first", 1), "FIRST");
    ASSERT_FALSE(Burn().failed);
    LayLabelled(Source("second", 2), "SECOND");
    vbtest::Drive drive;
    const uint32_t next = drive.NextWritable(0xFF);
    switch (cut) {
      case TCut::kMediumPulled:
        ASSERT_EQ(vbtest::Lib().vb_fault_remove_medium(drive_, next + 100), 0);
        ASSERT_TRUE(Burn().failed);
        ASSERT_EQ(vbtest::Lib().vb_insert(drive_, medium.c_str()), 0);
        break;
      case TCut::kClosingRefused:
        ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive_, 0x5B, 1000, 0x03, 0x72, 0x00), 0);
        ASSERT_TRUE(Burn().failed);
        break;
      case TCut::kTrackClosedOnly:
        ASSERT_TRUE(drive.Write(next, 32, 0xAB).ok());
        ASSERT_TRUE(drive.Close(1, 2).ok());
        break;
    }
    ASSERT_EQ(vbtest::Lib().vb_fault_clear(drive_), 0);
    EXPECT_EQ(drive.DiscInfo().data[2] >> 2 & 0x03, 1) << "the last session is incomplete";
  }
};

// The repair shows in the trace as closes before the first write, with the
// medium locked in the drive; the new session starts a track of its own,
// and readers find it as the last.
TEST_P(InterruptedBurn, TheNextBurnClosesTheSessionFirst) {
  const TInterruptedCase& c = GetParam();
  Load(c.profile);
  BurnAndCutShort(c.cut);
  if (HasFatalFailure()) return;
  LayLabelled(Source("third", 3), "THIRD");
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ASSERT_TRUE(outcome.started) << outcome.error;
  EXPECT_FALSE(outcome.failed) << outcome.error;
  const auto first_write =
      std::find_if(trace.begin(), trace.end(), [](const vb_trace_entry& e) { return e.cdb[0] == 0x2A; });
  EXPECT_TRUE(std::any_of(trace.begin(), first_write,
                          [](const vb_trace_entry& e) { return e.cdb[0] == 0x5B && (e.cdb[2] & 7) == 2; }))
      << "the session is closed before anything is written";
  EXPECT_EQ(UnguardedRecording(trace), "") << "the medium is locked while the session is closed";

  EXPECT_EQ(disc.ReadVolumeLabelOfDisc(0), u"THIRD");
  EXPECT_EQ(disc.SessionsOnDisc(), 3);
  std::string complaint;
  const TTreeFacts seen =
      XorrisoSessionFacts(Export(), disc.CDFiles.FirstWritableSector, scratch.Path("seen"), &complaint);
  EXPECT_EQ(complaint, "");
  const TTreeFacts expected = DiskTreeFacts(scratch.Path("third"));
  EXPECT_TRUE(seen == expected) << DescribeDifferences(expected, seen);
}

INSTANTIATE_TEST_SUITE_P(Media, InterruptedBurn,
                         ::testing::Values(TInterruptedCase{"dvd+r", TCut::kMediumPulled},
                                           TInterruptedCase{"dvd-r", TCut::kMediumPulled},
                                           TInterruptedCase{"cd-r", TCut::kMediumPulled},
                                           TInterruptedCase{"bd-r", TCut::kMediumPulled},
                                           TInterruptedCase{"dvd+r", TCut::kClosingRefused},
                                           TInterruptedCase{"cd-r", TCut::kClosingRefused},
                                           TInterruptedCase{"dvd+r", TCut::kTrackClosedOnly}));

// Before the repair, "the last session" of an import or a label is the last
// one a reader finds, not the incomplete one, whose files may never have
// been written.
class LastSessionAfterInterruption : public InterruptedBurn {};

TEST_F(LastSessionAfterInterruption, IsTheLastCompleteOne) {
  Load("dvd+r");
  BurnAndCutShort(TCut::kMediumPulled);
  if (HasFatalFailure()) return;
  EXPECT_EQ(disc.ReadVolumeLabelOfDisc(0), u"FIRST");
  disc.ClearAll();
  EXPECT_EQ(disc.ImportSession(0, "\\"), 1);
  EXPECT_TRUE(disc.LastImport().Complete());
}

// Refusals leave the disc as it was: nothing written, the session still
// incomplete, error 16 pending and no event; a repair tried and failed
// leaves the medium unlocked.  On a CD-R, which can
// simulate writing.
class IncompleteSessionRefused : public InterruptedBurn {
 protected:
  void ExpectRefused(const std::function<void()>& arrange) {
    Load("cd-r");
    BurnAndCutShort(TCut::kMediumPulled);
    if (HasFatalFailure()) return;
    LayLabelled(Source("third", 3), "THIRD");
    arrange();
    TOutcome outcome;
    const auto trace = TracedBurn(outcome);
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(outcome.events, 0);
    EXPECT_EQ(outcome.error, kErrorIncompleteSession);
    EXPECT_EQ(Writing(trace), "");
    EXPECT_EQ(UnguardedRecording(trace), "") << "a failed repair leaves the medium unlocked";
    EXPECT_EQ(vbtest::Drive().DiscInfo().data[2] >> 2 & 0x03, 1) << "still incomplete";
  }
};

TEST_F(IncompleteSessionRefused, ByATestWrite) {
  ExpectRefused([this] { disc.SetTestWrite(true); });
}

TEST_F(IncompleteSessionRefused, WhenTheDriveCannotCloseIt) {
  ExpectRefused([this] { ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive_, 0x5B, 1000, 0x03, 0x72, 0x00), 0); });
}

}  // namespace
}  // namespace orvex::test
