// SPDX-License-Identifier: Apache-2.0
// Formats: the descriptors READ FORMAT CAPACITIES offers for each medium in
// each state, and what a FORMAT UNIT of an offered type leaves on the disc.
#include <tuple>

#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

using Descriptor = std::tuple<uint32_t, uint8_t, uint32_t>;  // blocks, type, type-dependent parameter

class Formats : public MediumTest {
 protected:
  // The formattable descriptors, after the current/maximum one, which is
  // returned as (blocks, descriptor type, block length).
  std::vector<Descriptor> Offered(Descriptor* current = nullptr) {
    const Result r = drive_.Run({0x23, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 0}, 256);
    EXPECT_TRUE(r.ok()) << SenseText(r);
    std::vector<Descriptor> list;
    for (size_t at = 4; at < 4u + r.data[3]; at += 8)
      list.emplace_back(Be32(r.data, at), at == 4 ? r.data[at + 4] & 0x03 : r.data[at + 4] >> 2,
                        Be32(r.data, at + 4) & 0xFFFFFF);
    if (current != nullptr) *current = list.front();
    list.erase(list.begin());
    return list;
  }
  // FORMAT UNIT of one descriptor (FOV and Immed when `immediate`).
  Result FormatUnit(uint8_t type, uint32_t blocks, uint8_t subtype = 0, bool immediate = false) {
    return drive_.Format({0, static_cast<uint8_t>(immediate ? 0x82 : 0), 0, 8, static_cast<uint8_t>(blocks >> 24),
                          static_cast<uint8_t>(blocks >> 16), static_cast<uint8_t>(blocks >> 8),
                          static_cast<uint8_t>(blocks), static_cast<uint8_t>(type << 2 | subtype), 0, 0, 16});
  }
};

TEST_F(Formats, BlankMediaOfferTheFormatTypesTheirStateAllows) {
  const struct {
    const char* profile;
    bool formatted;
    Descriptor current;
    std::vector<Descriptor> offered;
  } kCases[] = {
      // BD-R: with the default spare areas or none (00h), or with the default, most or least spare (32h).
      {"bd-r", false, {12219392, 1, 2048},
       {{11826176, 0x00, 12288}, {12219392, 0x00, 0}, {11826176, 0x32, 12288}, {5796864, 0x32, 200704},
        {12088320, 0x32, 4096}}},
      {"dvd-rw", false, {2297888, 1, 2048}, {{2297888, 0x00, 2048}, {2297888, 0x10, 16}, {2297888, 0x15, 16}}},
      {"dvd-rw-ro", false, {2297888, 2, 2048}, {{2297888, 0x10, 16}, {2297888, 0x15, 16}}},  // no 13h: nothing to grow
      {"dvd+rw", false, {2295104, 1, 2048}, {{2295104, 0x26, 0}}},
      {"cd-r", false, {359849, 1, 2048}, {}},
      {"dvd+r", false, {2295104, 1, 2048}, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.profile);
    Load(c.profile, c.formatted);
    Descriptor current;
    EXPECT_EQ(Offered(&current), c.offered);
    EXPECT_EQ(current, c.current);
  }
}

TEST_F(Formats, BdRSpareAreasTakeTheirShareOfTheUserCapacity) {
  const struct {
    uint8_t type, subtype;
    uint32_t asked;
    uint32_t user;  // 0: refused with 05/26/00
  } kCases[] = {
      {0x00, 0, 0, 11826176},         // the default spare areas
      {0x00, 0, 12219392, 12219392},  // none
      {0x00, 0, 12219393, 0},
      {0x32, 0, 5000000, 5796864},    // the smallest offer that holds what was asked: the most spare
      {0x32, 1, 11826177, 12088320},  // without pseudo-overwrite, the least spare
      {0x32, 0, 12088321, 0},
      {0x32, 2, 0, 0},                // random recording mode is not offered
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << int{c.type} << "/" << int{c.subtype} << " " << c.asked);
    Load("bd-r");
    const Result r = FormatUnit(c.type, c.asked, c.subtype);
    if (c.user == 0) {
      EXPECT_SENSE(r, 0x05, 0x26, 0x00);
      EXPECT_EQ(Offered().size(), 5u);
      continue;
    }
    ASSERT_TRUE(r.ok()) << SenseText(r);
    Descriptor current;
    EXPECT_TRUE(Offered(&current).empty());  // formatted once, for good
    EXPECT_EQ(current, Descriptor(c.user, 2, 2048));
    const Result track = drive_.TrackInfo(1);
    EXPECT_EQ(Be32(track.data, 16), c.user);  // free blocks
    EXPECT_EQ(Be32(track.data, 24), c.user);  // track size
    EXPECT_EQ(drive_.DiscStatus(), 0);       // still blank
    ASSERT_TRUE(drive_.Write(0, 32, 1).ok());
    ASSERT_EQ(Lib().vb_insert(drive_.address(), disc_.c_str()), 0);  // the spare areas stay on the disc
    EXPECT_EQ(Be32(drive_.TrackInfo(1).data, 16), c.user - 32);
    EXPECT_SENSE(FormatUnit(c.type, c.asked, c.subtype), 0x05, 0x30, 0x00);
  }
}

TEST_F(Formats, DvdPlusRwBasicFormatCoversTheDiscWhateverTheCount) {
  for (uint32_t asked : {0xFFFFFFFFu, 2295105u, 1000u, 0u}) {
    SCOPED_TRACE(asked);
    Load("dvd+rw");
    ASSERT_TRUE(FormatUnit(0x26, asked).ok());
    Lib().vb_advance_time(2000 * kSecond);  // the background format runs to its end
    EXPECT_EQ(drive_.DiscInfo().data[7] & 0x03, 3);
    EXPECT_EQ(Be32(drive_.Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).data, 0), 2295103u);
    EXPECT_TRUE(drive_.Write(2295104 - 32, 32, 1).ok());
  }
}

// The generic full format (00h) and the DVD-RW one (10h) both make a
// sequential disc, blank or burned, a restricted-overwrite one formatted
// over its whole capacity, its old blocks gone.
TEST_F(Formats, DvdRwFullFormatOfEitherTypeGivesWholeRestrictedOverwrite) {
  const struct {
    uint8_t type;
    bool burned;
    uint32_t asked;
    bool accepted;
  } kCases[] = {
      {0x00, false, 2297888, true}, {0x00, true, 0, true},   {0x10, false, 2297888, true},
      {0x10, true, 1000, true},     {0x00, false, 2297889, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << int{c.type} << (c.burned ? " burned " : " blank ") << c.asked);
    Load("dvd-rw");
    if (c.burned) {
      ASSERT_TRUE(drive_.SetWriteParameters(0, false, 0).ok());
      ASSERT_TRUE(drive_.Write(0, 32, 7).ok());
      ASSERT_TRUE(drive_.Close(2, 0).ok());
    }
    const Result r = FormatUnit(c.type, c.asked, 0, true);
    if (!c.accepted) {
      EXPECT_SENSE(r, 0x05, 0x26, 0x00);
      EXPECT_EQ(CurrentProfile(), 0x0014);
      continue;
    }
    ASSERT_TRUE(r.ok()) << SenseText(r);
    EXPECT_GT(WaitReady(0x04), 200);  // passes over the whole disc
    EXPECT_EQ(CurrentProfile(), 0x0013);
    EXPECT_EQ(Be32(drive_.Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).data, 0), 2297887u);
    EXPECT_EQ(drive_.NextWritable(1), 0u);
    EXPECT_EQ(Block(0), Bytes(2048, 0));
    EXPECT_TRUE(drive_.Write(2297888 - 16, 16, 1).ok());
  }
}

TEST_F(Formats, DvdRwQuickGrowIsOfferedAfterAQuickFormatOnly) {
  Load("dvd-rw");
  ASSERT_TRUE(FormatUnit(0x15, 1000).ok());
  EXPECT_EQ(CurrentProfile(), 0x0013);
  EXPECT_EQ(Offered(), (std::vector<Descriptor>{{2297888, 0x10, 16}, {2297888, 0x13, 16}, {2297888, 0x15, 16}}));
  ASSERT_TRUE(FormatUnit(0x13, 0).ok());  // grown to the whole disc
  EXPECT_EQ(Offered(), (std::vector<Descriptor>{{2297888, 0x10, 16}, {2297888, 0x15, 16}}));
  EXPECT_SENSE(FormatUnit(0x13, 0), 0x05, 0x26, 0x00);
  EXPECT_TRUE(drive_.Write(2297888 - 16, 16, 1).ok());
}

}  // namespace
}  // namespace vbtest
