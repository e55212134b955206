// SPDX-License-Identifier: Apache-2.0
// The track list a front end shows: each track's state, start, size and
// next writable address, and whether its session is closed, as the drive
// describes a disc written raw into the states a burn passes through.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "drive/drive_fixture.h"

namespace orvex::test {
namespace {

// A track as the test expects it: state, start, size, next writable
// address (-1: none), session closed.
struct TTrackRow {
  TTrackState state;
  uint32_t start;
  uint32_t size;
  int64_t next;
  bool closed;
};

struct TLayoutCase {
  const char* name;
  const char* profile;
  bool formatted;
  std::function<void(vbtest::Drive&)> write;  // raw commands before the list is read
  uint8_t status;
  uint16_t sessions;
  std::vector<TTrackRow> tracks;
};

using enum TTrackState;

const TLayoutCase kLayouts[] = {
    {"BlankDvdR", "dvd-r", false, [](vbtest::Drive&) {}, 0, 1, {{kInvisible, 0, 2298496, 0, false}}},
    {"ReservedTrack", "dvd-r", false, [](vbtest::Drive& d) { ASSERT_TRUE(d.Reserve(1000).ok()); }, 1, 1,
     {{kReserved, 0, 1008, 0, false}, {kInvisible, 1008, 2297488, 1008, false}}},
    {"PartlyWrittenTrack", "dvd-r", false,
     [](vbtest::Drive& d) {
       ASSERT_TRUE(d.SetWriteParameters(0, false, 3).ok());
       ASSERT_TRUE(d.Write(0, 10, 1).ok());
       ASSERT_TRUE(d.SynchronizeCache().ok());
     },
     1, 1, {{kIncomplete, 0, 2298496, 10, false}}},
    {"ClosedSessionThenAnOpenOne", "cd-r", false,
     [](vbtest::Drive& d) {
       ASSERT_TRUE(d.SetWriteParameters(1, false, 3).ok());
       ASSERT_TRUE(d.Write(0, 300, 1).ok());
       ASSERT_TRUE(d.SynchronizeCache().ok());
       ASSERT_TRUE(d.Close(1, 1).ok());
       ASSERT_TRUE(d.Close(2, 0).ok());
     },
     // Track at once ends a track with two run-out blocks; the next
     // session's track starts past the lead-out and the next lead-in.
     1, 2, {{kComplete, 0, 302, -1, true}, {kInvisible, 11702, 0, 11702, false}}},
    {"FormattedBdRe", "bd-re", true, [](vbtest::Drive&) {}, 3, 1, {{kOverwritable, 0, 11826176, 0, true}}},
};

void PrintTo(const TLayoutCase& c, std::ostream* os) { *os << c.name; }

class DiscLayout : public DriveTest, public ::testing::WithParamInterface<TLayoutCase> {};

TEST_P(DiscLayout, ShowsEveryTrackInItsState) {
  const TLayoutCase& c = GetParam();
  Load(c.profile, "class=bd-writer", c.formatted);
  vbtest::Drive drive;
  c.write(drive);
  const std::optional<TDiscLayout> layout = disc.DiscLayout();
  ASSERT_TRUE(layout.has_value());
  EXPECT_EQ(layout->Status, c.status);
  EXPECT_EQ(layout->Sessions, c.sessions);
  ASSERT_EQ(layout->Tracks.size(), c.tracks.size());
  for (size_t i = 0; i < c.tracks.size(); ++i) {
    SCOPED_TRACE("track " + std::to_string(i + 1));
    const TTrackEntry& got = layout->Tracks[i];
    const TTrackRow& want = c.tracks[i];
    EXPECT_EQ(got.Number, i + 1);
    EXPECT_EQ(static_cast<int>(got.State), static_cast<int>(want.state));
    EXPECT_EQ(got.Start, want.start);
    if (want.size != 0) {
      EXPECT_EQ(got.Size, want.size);
    }
    EXPECT_EQ(got.NextWritable ? int64_t{*got.NextWritable} : -1, want.next);
    EXPECT_EQ(got.SessionClosed, want.closed);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DiscLayout, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<TLayoutCase>& param) { return param.param.name; });

// The states MMC's bits give that the burner does not reach: a damaged
// track (an interrupted write), open or not, and a reservation written in.
TEST(TrackState, FollowsTheDamageReservedBlankAndAddressBits) {
  const struct {
    uint8_t info1, info2, info3;  // bytes 5 to 7: damage; reserved, blank; next writable address valid
    bool in_place;
    TTrackState state;
  } rows[] = {
      {0x20, 0x00, 0x00, false, kDamaged},      {0x20, 0x00, 0x01, false, kDamaged},
      {0x20, 0x00, 0x00, true, kDamaged},       {0x00, 0x80, 0x01, false, kIncomplete},
      {0x00, 0xC0, 0x01, false, kReserved},     {0x00, 0x40, 0x00, false, kBlank},
      {0x00, 0x40, 0x01, true, kOverwritable},  {0x00, 0x80, 0x00, false, kComplete},
  };
  for (const auto& row : rows) {
    TTrackInformation t{};
    t.info1 = row.info1;
    t.info2 = row.info2;
    t.info3 = row.info3;
    EXPECT_EQ(static_cast<int>(TrackStateOf(t, row.in_place)), static_cast<int>(row.state))
        << int{row.info1} << " " << int{row.info2} << " " << int{row.info3} << " " << row.in_place;
  }
}

// Without a disc there is no layout, and the drive's sense says why.
TEST_F(DriveTest, NoLayoutWithoutADisc) {
  Start("0:0:0,class=bd-writer");
  ASSERT_TRUE(disc.SelectDevice(0));
  EXPECT_FALSE(disc.DiscLayout().has_value());
  EXPECT_EQ(disc.ErrorNumber() >> 8, 0x3Au);
}

}  // namespace
}  // namespace orvex::test
