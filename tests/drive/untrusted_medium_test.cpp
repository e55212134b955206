// SPDX-License-Identifier: Apache-2.0
// A drive whose answers about the medium cannot all be trusted: one that
// refuses GET CONFIGURATION, one whose current profile contradicts the
// disc.  The medium is named from what the disc itself answers, and a
// burn either records a whole session or is refused before it writes.
#include <gtest/gtest.h>

#include "drive/burn_fixture.h"
#include "pipeline/job_errors.h"

namespace orvex::test {
namespace {

constexpr uint8_t kGetConfiguration = 0x46;

struct TUntrustedCase {
  const char* name;
  const char* profile;
  bool formatted;
  uint16_t named_profile;  // the current profile the drive names throughout; 0: it refuses GET CONFIGURATION
  uint8_t also_refused;    // a further command the drive refuses throughout, or 0
  TMedium medium;          // what the component takes the disc for
  uint32_t refusal;        // the burn's refusal, or 0 when it burns
};

void PrintTo(const TUntrustedCase& c, std::ostream* os) { *os << c.name; }

const TUntrustedCase kCases[] = {
    // GET CONFIGURATION refused: the ATIP, the DVD physical format and the
    // BD disc information name the disc.
    {"NoProfileCdR", "cd-r", false, 0, 0, TMedium::mtCDR, 0},
    {"NoProfileCdRw", "cd-rw", false, 0, 0, TMedium::mtCDRW, 0},
    {"NoProfileDvdR", "dvd-r", false, 0, 0, TMedium::mtDVDR, 0},
    {"NoProfileDvdPlusR", "dvd+r", false, 0, 0, TMedium::mtDVDPLUSR, 0},
    {"NoProfileDvdPlusRDl", "dvd+r-dl", false, 0, 0, TMedium::mtDVDPLUSRDL, 0},
    {"NoProfileDvdPlusRw", "dvd+rw", true, 0, 0, TMedium::mtDVDPLUSRW, 0},
    {"NoProfileDvdRw", "dvd-rw", false, 0, 0, TMedium::mtDVDRWSR, 0},
    {"NoProfileRestrictedDvdRw", "dvd-rw-ro", false, 0, 0, TMedium::mtDVDRWRO, 0},
    {"NoProfileDvdRam", "dvd-ram", true, 0, 0, TMedium::mtDVDRAM, 0},
    {"NoProfileBdR", "bd-r", false, 0, 0, TMedium::mtBDRSR, 0},
    {"NoProfileBdRe", "bd-re", true, 0, 0, TMedium::mtBDRE, 0},
    // Nothing the disc answers names it: unknown, and not written.
    {"NoProfileNoAtip", "cd-r", false, 0, 0x43, TMedium::mtUNKNOWN, kErrorMediumNotSupported},
    {"NoProfileNoStructure", "dvd+r", false, 0, 0xAD, TMedium::mtUNKNOWN, kErrorMediumNotSupported},
    // A profile the disc information's erasable bit contradicts.
    {"DvdPlusRwNamedOnDvdPlusR", "dvd+r", false, 0x001A, 0, TMedium::mtDVDPLUSR, 0},
    {"DvdPlusRNamedOnDvdPlusRw", "dvd+rw", true, 0x001B, 0, TMedium::mtDVDPLUSRW, 0},
    {"CdRwNamedOnCdR", "cd-r", false, 0x000A, 0, TMedium::mtCDR, 0},
    {"BdReNamedOnBdR", "bd-r", false, 0x0043, 0, TMedium::mtBDRSR, 0},
    {"DvdRamNamedOnDvdR", "dvd-r", false, 0x0012, 0, TMedium::mtDVDR, 0},
    {"DvdPlusRwNamedNoStructure", "dvd+r", false, 0x001A, 0xAD, TMedium::mtUNKNOWN, kErrorMediumNotSupported},
};

class UntrustedMedium : public BurnTest, public ::testing::WithParamInterface<TUntrustedCase> {
 protected:
  void Mislead(const TUntrustedCase& c) {
    if (c.named_profile != 0) {
      ASSERT_EQ(vbtest::Lib().vb_fault_wrong_profile(drive_, c.named_profile), 0);
    } else {
      ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive_, kGetConfiguration, 1000000, 0x05, 0x20, 0x00), 0);
    }
    if (c.also_refused != 0) {
      ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive_, c.also_refused, 1000000, 0x05, 0x24, 0x00), 0);
    }
  }
};

TEST_P(UntrustedMedium, IsNamedByItsOwnAnswersAndBurnsWholeOrNotAtAll) {
  const TUntrustedCase& c = GetParam();
  Load(c.profile, "class=bd-writer", c.formatted);
  const std::string source = Source("src");
  Lay(source);
  Mislead(c);
  EXPECT_EQ(disc.DiscIs(), c.medium);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  if (c.refusal != 0) {
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(outcome.error, c.refusal);
    EXPECT_EQ(Recording(trace), "");
    return;
  }
  ASSERT_TRUE(outcome.started) << disc.ErrorString();
  EXPECT_FALSE(outcome.failed) << outcome.error;
  EXPECT_EQ(outcome.error, 0u);
  vbtest::Lib().vb_fault_clear(drive_);
  // Nothing is left open: the session written is closed.
  vbtest::Drive drive;
  const vbtest::Result info = drive.DiscInfo();
  ASSERT_TRUE(info.ok());
  EXPECT_NE(info.data[2] >> 2 & 0x03, 1) << "last session incomplete";
  EXPECT_EQ(Judge(Export(), source), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, UntrustedMedium, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TUntrustedCase>& param) { return param.param.name; });

}  // namespace
}  // namespace orvex::test
