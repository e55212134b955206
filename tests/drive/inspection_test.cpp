// SPDX-License-Identifier: Apache-2.0
// What the component reports of each medium the burner models, blank and
// recorded, and of the drive itself.
#include <gtest/gtest.h>

#include "drive_fixture.h"

namespace orvex {
namespace {

using test::DriveTest;

struct TBlankCase {
  const char* profile;
  bool formatted;
  TMedium medium;
  bool erasable;
  int32_t sessions;  // overwritable media hold one session from the start
  uint32_t blocks;   // free and total of the blank medium
};

void PrintTo(const TBlankCase& c, std::ostream* os) { *os << c.profile; }

const TBlankCase kBlank[] = {
    {"cd-r", false, TMedium::mtCDR, false, 0, 359849},
    {"cd-rw", false, TMedium::mtCDRW, true, 0, 332850},
    {"dvd-r", false, TMedium::mtDVDR, false, 0, 2298496},
    {"dvd-rw", false, TMedium::mtDVDRWSR, true, 0, 2297888},
    {"dvd+r", false, TMedium::mtDVDPLUSR, false, 0, 2295104},
    {"dvd+r-dl", false, TMedium::mtDVDPLUSRDL, false, 0, 4173824},
    {"dvd+rw", true, TMedium::mtDVDPLUSRW, true, 1, 2295104},
    {"dvd-ram", true, TMedium::mtDVDRAM, true, 1, 2236704},
    {"bd-r", false, TMedium::mtBDRSR, false, 0, 12219392},
    {"bd-re", true, TMedium::mtBDRE, true, 1, 11826176},
};

class BlankMediumTest : public DriveTest, public ::testing::WithParamInterface<TBlankCase> {};

TEST_P(BlankMediumTest, ReportsKindRoomAndState) {
  const TBlankCase& c = GetParam();
  Load(c.profile, "class=bd-writer", c.formatted);
  EXPECT_EQ(disc.DiscIs(), c.medium);
  EXPECT_TRUE(disc.Writable());
  EXPECT_EQ(disc.Erasable(), c.erasable);
  EXPECT_EQ(disc.SessionsOnDisc(), c.sessions);
  EXPECT_EQ(disc.FreeBlocksOnDisc(), c.blocks);
  EXPECT_EQ(disc.TotalBlocksOnDisc(), c.blocks);
}

INSTANTIATE_TEST_SUITE_P(Media, BlankMediumTest, ::testing::ValuesIn(kBlank), [](const auto& param_info) {
  std::string name;
  for (const char* p = param_info.param.profile; *p != 0; ++p) {
    name += *p == '+' ? std::string("plus") : std::isalnum(static_cast<unsigned char>(*p)) ? std::string(1, *p) : "_";
  }
  return name;
});

}  // namespace
}  // namespace orvex

namespace orvex {
namespace {

// A medium file holding vbtest::MinimalIso as one closed session.
std::string Recorded(const vbtest::Scratch& scratch, const std::string& profile) {
  const std::string image = scratch.Path("image.iso"), medium = scratch.Path(profile + "-recorded.vmed");
  vbtest::WriteFile(image, vbtest::MinimalIso("hello"));
  EXPECT_EQ(vbtest::Lib().vb_medium_from_image(medium.c_str(), profile.c_str(), image.c_str()), 0)
      << vbtest::Lib().vb_last_error();
  return medium;
}

TEST_F(DriveTest, AFinalizedDiscHasNoRoom) {
  Start("0:0:0,class=cd-writer,medium=" + Recorded(scratch, "cd-r"));
  ASSERT_TRUE(disc.SelectDevice(0));
  EXPECT_EQ(disc.DiscIs(), TMedium::mtCDR);
  EXPECT_FALSE(disc.Writable());
  EXPECT_EQ(disc.SessionsOnDisc(), 1);
  const auto trace = Traced([&] { EXPECT_EQ(disc.FreeBlocksOnDisc(), 0u); });
  for (const vb_trace_entry& e : trace) EXPECT_NE(e.cdb[0], 0x52) << "no track is asked for";
}

// An appendable CD-R, one session written and closed: that session counts,
// and the room left is what the next one may fill.
TEST_F(DriveTest, AnAppendableDiscCountsItsClosedSessions) {
  Load("cd-r", "class=cd-writer");
  vbtest::Drive drive;
  ASSERT_TRUE(drive.SetWriteParameters(1, false, 3).ok());
  ASSERT_TRUE(drive.Write(0, 32, 0xAB).ok());
  ASSERT_TRUE(drive.Close(1, 1).ok());
  ASSERT_TRUE(drive.Close(2, 0).ok());
  EXPECT_TRUE(disc.Writable());
  EXPECT_EQ(disc.SessionsOnDisc(), 1);
  const uint32_t free = disc.FreeBlocksOnDisc();
  EXPECT_GT(free, 0u);
  EXPECT_LT(free, 359849u - 32);
}

// On an overwritable disc the volume already there is not free.
TEST_F(DriveTest, AnOverwritableDiscLessItsVolume) {
  Start("0:0:0,class=dvd-writer,medium=" + Recorded(scratch, "dvd+rw"));
  ASSERT_TRUE(disc.SelectDevice(0));
  EXPECT_EQ(disc.DiscIs(), TMedium::mtDVDPLUSRW);
  EXPECT_EQ(disc.FreeBlocksOnDisc(), 2295104u - 23);  // MinimalIso's volume space size
}

// Without a medium (current profile 0) the DVD+RW, DVD-RW, BD and HD DVD
// flags follow the mere answer of GET CONFIGURATION, whether the drive has
// the feature or not; DVD+R DL needs the feature itself.  The capabilities
// page alone decides the CD, DVD-R and DVD-RAM flags.
TEST_F(DriveTest, AnEmptyDrivesCapabilities) {
  Start("0:0:0,class=cd-rom");
  ASSERT_TRUE(disc.SelectDevice(0));
  EXPECT_EQ(disc.DiscIs(), TMedium::mtUNKNOWN);
  EXPECT_FALSE(disc.DeviceIsBurner());
  for (const uint8_t id : {21, 22, 23, 24, 26, 27, 28, 41}) EXPECT_FALSE(disc.DeviceCan(id)) << int{id};
  for (const uint8_t id : {12, 13, 14, 31, 32, 9, 10, 11, 6, 7}) EXPECT_TRUE(disc.DeviceCan(id)) << int{id};
  EXPECT_FALSE(disc.DeviceCan(8));  // read DVD+R DL: the drive has no such feature
  EXPECT_FALSE(disc.DeviceCan(0));
  EXPECT_FALSE(disc.DeviceCan(99));
  Start("0:0:0,class=dvd-writer");
  ASSERT_TRUE(disc.SelectDevice(0));
  EXPECT_TRUE(disc.DeviceIsBurner());
  EXPECT_TRUE(disc.DeviceCan(26));  // write DVD+R
  EXPECT_TRUE(disc.DeviceCan(28));  // write DVD+R DL: the feature is there
}

TEST_F(DriveTest, SpeedsAndBuffer) {
  Load("dvd+r", "class=dvd-writer,dvdspeed=16,buffer=2048");
  EXPECT_EQ(disc.DeviceMaxWriteSpeed(), 16 * 1385);
  EXPECT_EQ(disc.WriteSpeed(), 16 * 1385);
  disc.SetDeviceSpeed(0, 4 * 1385);
  EXPECT_EQ(disc.WriteSpeed(), 4 * 1385);
  EXPECT_EQ(disc.DeviceMaxWriteSpeed(), 16 * 1385);  // the default values' maximum
  ASSERT_TRUE(disc.ReadDeviceBuffer());
  EXPECT_EQ(disc.DeviceBufferSize(), 2048u * 1024);
  EXPECT_EQ(disc.DeviceBufferPosition(), 0u);  // empty: as blank as it is large
}

}  // namespace
}  // namespace orvex
