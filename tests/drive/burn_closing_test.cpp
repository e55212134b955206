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

}  // namespace
}  // namespace orvex::test
