// What a burn sends the drive around its data: the closing sequence of
// each medium, the head copy of overwritable media, the retries of a busy
// or slow drive.
#include <gtest/gtest.h>

#include "drive/burn_fixture.h"

namespace orvex::test {
namespace {

struct TClosingCase {
  const char* profile;
  bool formatted;
  bool finalize;
  const char* closing;
};

class ClosingSequence : public BurnTest, public ::testing::WithParamInterface<TClosingCase> {};

// Polls after an immediate command show as failed READ DISC INFORMATION
// (02/04/08) until the drive is ready.  A DVD-RAM's closing is not waited
// for, and its drive is still flushing when the close commands come: they
// are refused, which on DVD-RAM loses nothing.  DVD+R and BD-R finalize with
// a close function of their own.
TEST_P(ClosingSequence, IsTheMediumsOwn) {
  const TClosingCase& c = GetParam();
  Load(c.profile, "class=bd-writer", c.formatted);
  disc.SetFinalizeDisc(c.finalize);
  Lay(Source("src"));
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ASSERT_TRUE(outcome.started);
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(Closing(trace), c.closing);
}

INSTANTIATE_TEST_SUITE_P(Media, ClosingSequence,
                         ::testing::Values(
        TClosingCase{"cd-r", false, false, "35 51! 51 00 5a 55 5b:2/0i 51!*6 51 1e 1b 01 00"},
        TClosingCase{"cd-r", false, true, "35 51! 51 00 5a 55 5b:2/0i 51!*8 51 1e 1b 01 00"},
        TClosingCase{"cd-rw", false, false, "35 51! 51 00 5a 55 5b:2/0i 51!*6 51 1e 1b 01 00"},
        TClosingCase{"dvd-r", false, false, "35 5b:1/1 5b:1/2 5b:2/3 51 1e 1b 01 00"},
        TClosingCase{"dvd-rw", false, false, "35 5b:1/1 5b:2/0i 51!*5 51*2 1e 1b 01 00"},
        TClosingCase{"dvd-rw-ro", false, false, "35 5b:1/1 5b:2/0i 51!*5 51*2 1e 1b 01 00"},
        TClosingCase{"dvd+r", false, false, "35 5b:1/1 5b:2/255 51 1e 1b 01 00"},
        TClosingCase{"dvd+r", false, true, "35 5b:1/1 5b:6/0 51 1e 1b 01 00"},
        TClosingCase{"dvd+r-dl", false, true, "35 5b:1/1 5b:6/0 51 1e 1b 01 00"},
        TClosingCase{"dvd+rw", true, false, "35 5b:3/255 51 1e 1b 01 00"},
        TClosingCase{"dvd-ram", true, false, "35 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i! 5b:2/0! 1e 1b! 01! 00!"},
        TClosingCase{"bd-r", false, false, "35 51! 51 00 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i 51! 51 1e 1b 01 00"},
        TClosingCase{"bd-r", false, true, "35 51! 51 00 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i 51! 51 5b:6/0 51 1e 1b 01 00"},
        TClosingCase{"bd-re", true, false, "35 51! 51 00 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i 51! 51 1e 1b 01 00"}));

// The disc is finalized exactly when FinalizeDisc asks for it, and is
// otherwise left open for another session.  A sequential DVD-RW stays
// sequential only when an image is burned to it (a burn of the layout
// formats a blank one).
struct TFinalizeCase {
  const char* profile;
  bool finalize;
  bool image;
};

class Finalizing : public BurnTest, public ::testing::WithParamInterface<TFinalizeCase> {};

TEST_P(Finalizing, OnlyWhenAsked) {
  const TFinalizeCase& c = GetParam();
  Load(c.profile);
  Lay(Source("src"));
  const std::string image = scratch.Path("src.iso");
  if (c.image) {
    ASSERT_FALSE(Run([&] { return disc.BuildISOImage(image); }).failed);
  }
  disc.SetFinalizeDisc(c.finalize);
  const TOutcome outcome = c.image ? Run([&] { return disc.BurnISOImage(image); }) : Burn();
  ASSERT_FALSE(outcome.failed) << outcome.error;
  EXPECT_EQ(vbtest::Drive().DiscStatus(), c.finalize ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Media, Finalizing,
                         ::testing::Values(TFinalizeCase{"cd-r", false, false}, TFinalizeCase{"cd-r", true, false},
                                           TFinalizeCase{"dvd-r", false, false}, TFinalizeCase{"dvd-r", true, false},
                                           TFinalizeCase{"dvd+r", false, false}, TFinalizeCase{"dvd+r", true, false},
                                           TFinalizeCase{"dvd-rw", false, true}, TFinalizeCase{"dvd-rw", true, true}));

// BUFE reaches the drive only when underrun protection is asked for and
// the drive has it.  A drive without it takes every page, and the burn
// leaves the disc open as FinalizeDisc is off.
struct TUnderrunCase {
  const char* drive;
  bool burn_proof;
  bool bufe;
};

class UnderrunProtection : public BurnTest, public ::testing::WithParamInterface<TUnderrunCase> {};

TEST_P(UnderrunProtection, IsAskedForOnlyWhereItExists) {
  const TUnderrunCase& c = GetParam();
  Load("cd-r", c.drive);
  disc.SetBurnProof(c.burn_proof);
  Lay(Source("src"));
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ASSERT_FALSE(outcome.failed) << outcome.error;
  // Pages 05h sent, all taken; whether any had BUFE, and the one the data
  // were written with.
  bool any = false, writing = false, written = false;
  for (const vb_trace_entry& e : trace) {
    written = written || e.cdb[0] == 0x2A;
    if (e.cdb[0] != 0x55 || e.data[8] != 0x05) continue;
    EXPECT_EQ(e.status, kSrbStatusDone);
    any = any || (e.data[10] & 0x40) != 0;
    if (!written) writing = (e.data[10] & 0x40) != 0;
  }
  EXPECT_EQ(writing, c.bufe);
  EXPECT_EQ(any, c.bufe);
  EXPECT_EQ(vbtest::Drive().DiscStatus(), 1) << "appendable";
}

INSTANTIATE_TEST_SUITE_P(Drives, UnderrunProtection,
                         ::testing::Values(TUnderrunCase{"class=bd-writer", true, true},
                                           TUnderrunCase{"class=bd-writer", false, false},
                                           TUnderrunCase{"class=bd-writer,bufe=0", true, false}));

}  // namespace
}  // namespace orvex::test
