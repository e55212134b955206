// SPDX-License-Identifier: Apache-2.0
// Quick and full erase of every rewritable medium the burner models, each
// judged by what the drive received (the BLANK type, the FORMAT UNIT list,
// the polls in modelled time, the zero runs and the closing commands) and
// by the disc it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "erase_fixture.h"
#include "image/component_status.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

using test::Compact;
using test::Erasing;
using test::EraseTest;
using test::Only;
using Bytes = std::vector<uint8_t>;

// What the disc holds afterwards.
enum class TLeft {
  kBlank,   // an empty disc (disc status 0)
  kZeroed,  // a formatted disc (disc status 3) whose volume at block 16 reads as zeros
  kKept,    // a formatted disc still holding its volume
};

struct TEraseCase {
  const char* profile;
  bool quick;
  // What the drive receives after the profile, speed and write parameters,
  // as Compact(Erasing()) writes it.
  const char* commands;
  int blank_byte1;  // of BLANK; -1: none is sent
  Bytes format;     // the FORMAT UNIT parameter list; empty: none is sent
  uint32_t zero_runs;
  TLeft left;
  TMedium medium_after;
};

void PrintTo(const TEraseCase& c, std::ostream* os) { *os << c.profile << (c.quick ? " quick" : " full"); }

const Bytes kDvdPlusRwList = {0x00, 0x82, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40, 0x98, 0x00, 0x00, 0x00};
const Bytes kBdReList = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x02, 0x80, 0xC0, 0x00, 0x10, 0x00};
const Bytes kDvdRamList = {0x00, 0x82, 0x00, 0x08, 0x00, 0x22, 0x21, 0x20, 0x00, 0x00, 0x08, 0x00};

// The burner's timings decide the polls: a minimal blank takes 60 s, a full
// one passes over the disc at 4x (968 s for this CD-RW, 849 s for a DVD-RW),
// a DVD-RAM format at 2x (1654 s); a DVD+RW basic format is ready after 2 s,
// a quick BD-RE reformat after 10 s.
const TEraseCase kCases[] = {
    {"cd-rw", true, "a1 51!*11 51", 0x11, {}, 0, TLeft::kBlank, TMedium::mtCDRW},
    {"cd-rw", false, "a1 51!*193 51", 0x10, {}, 0, TLeft::kBlank, TMedium::mtCDRW},
    {"dvd-rw", true, "a1 51!*11 51", 0x11, {}, 0, TLeft::kBlank, TMedium::mtDVDRWSR},
    {"dvd-rw", false, "a1 51!*169 51", 0x10, {}, 0, TLeft::kBlank, TMedium::mtDVDRWSR},
    // Blanking a restricted-overwrite DVD-RW makes it a sequential one again.
    {"dvd-rw-ro", true, "a1 51!*11 51", 0x11, {}, 0, TLeft::kBlank, TMedium::mtDVDRWSR},
    {"dvd-rw-ro", false, "a1 51!*169 51", 0x10, {}, 0, TLeft::kBlank, TMedium::mtDVDRWSR},
    {"dvd+rw", true, "04 51 2a*16 35 5b", -1, kDvdPlusRwList, 16, TLeft::kZeroed, TMedium::mtDVDPLUSRW},
    {"dvd+rw", false, "04 51 2a*71000 35", -1, kDvdPlusRwList, 71000, TLeft::kZeroed, TMedium::mtDVDPLUSRW},
    {"dvd-ram", true, "2a*128 35", -1, {}, 128, TLeft::kZeroed, TMedium::mtDVDRAM},
    {"dvd-ram", false, "04 00!*330 00", -1, kDvdRamList, 0, TLeft::kZeroed, TMedium::mtDVDRAM},
    {"bd-re", true, "04 51! 51 2a*16 35 5b", -1, kBdReList, 16, TLeft::kZeroed, TMedium::mtBDRE},
    // Nothing at all after the speed and the write parameters.
    {"bd-re", false, "", -1, {}, 0, TLeft::kKept, TMedium::mtBDRE},
};

class EraseMediaTest : public EraseTest, public ::testing::WithParamInterface<TEraseCase> {
 protected:
  // Every poll follows the command before it by five seconds of modelled time.
  static void ExpectPollsEveryFiveSeconds(const std::vector<vb_trace_entry>& trace) {
    const auto started = std::find_if(trace.begin(), trace.end(),
                                      [](const vb_trace_entry& e) { return e.cdb[0] == 0xA1 || e.cdb[0] == 0x04; });
    for (auto e = started; e != trace.end() && e + 1 != trace.end(); ++e) {
      const vb_trace_entry& poll = *(e + 1);
      if (poll.cdb[0] != 0x51 && poll.cdb[0] != 0x00) break;
      EXPECT_EQ(poll.time_us - e->time_us, 5'000'000u) << "poll " << (e + 1 - started);
      if (poll.status != kSrbStatusDone) {
        EXPECT_EQ(poll.asc, 0x04) << "poll " << (e + 1 - started);
      }
    }
  }

  static void ExpectZeroRuns(const std::vector<vb_trace_entry>& trace, uint32_t runs) {
    const std::vector<vb_trace_entry> writes = Only(trace, 0x2A);
    ASSERT_EQ(writes.size(), runs);
    for (uint32_t i = 0; i < runs; ++i) {
      const vb_trace_entry& w = writes[i];
      ASSERT_EQ(GetBE32(&w.cdb[2]), 32 * i) << "run " << i;
      ASSERT_EQ(GetBE16(&w.cdb[7]), 32) << "run " << i;
      ASSERT_EQ(w.data_out_length, 65536u) << "run " << i;
      ASSERT_TRUE(std::all_of(w.data, w.data + w.data_captured, [](uint8_t b) { return b == 0; })) << "run " << i;
    }
  }
};

TEST_P(EraseMediaTest, SendsWhatTheMediumNeedsAndLeavesItEmpty) {
  const TEraseCase& c = GetParam();
  LoadRecorded(c.profile);
  const auto trace = Traced([&] { Erase(c.quick, Noting()); });

  ASSERT_GE(trace.size(), 5u);
  EXPECT_EQ(Compact({trace.begin(), trace.begin() + 5}), "46 51 bb 5a 55");
  EXPECT_EQ(Compact(Erasing(trace)), c.commands);
  EXPECT_EQ(test::UnguardedRecording(trace), "");
  const auto blanks = Only(trace, 0xA1);
  ASSERT_EQ(blanks.size(), c.blank_byte1 < 0 ? 0u : 1u);
  if (!blanks.empty()) {
    EXPECT_EQ(blanks[0].cdb[1], c.blank_byte1);
  }
  const auto formats = Only(trace, 0x04);
  ASSERT_EQ(formats.size(), c.format.empty() ? 0u : 1u);
  if (!formats.empty()) {
    EXPECT_EQ(formats[0].cdb[1], 0x11);
    EXPECT_EQ(Bytes(formats[0].data, formats[0].data + formats[0].data_captured), c.format);
  }
  ExpectPollsEveryFiveSeconds(trace);
  ExpectZeroRuns(trace, c.zero_runs);
  if (const auto closes = Only(trace, 0x5B); !closes.empty()) {
    EXPECT_EQ(closes[0].cdb[1], 0);  // not immediate
    EXPECT_EQ(closes[0].cdb[2], 3);
  }

  EXPECT_EQ(outcome.events, 1);
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(outcome.device_id, 0);
  EXPECT_EQ(disc.ComponentStatus(), kStatusIdle);
  // Writing leaves the handle closing after every command.
  EXPECT_EQ(disc.Device.CloseFH, c.zero_runs != 0);

  const vbtest::Result info = DiscInformation();
  ASSERT_TRUE(info.ok()) << vbtest::SenseText(info);
  EXPECT_EQ(info.data[2] & 0x03, c.left == TLeft::kBlank ? 0 : 3);
  EXPECT_EQ(disc.DiscIs(), c.medium_after);
  if (c.left != TLeft::kBlank) {
    const vbtest::Result volume = Block(16);
    ASSERT_TRUE(volume.ok()) << vbtest::SenseText(volume);
    const bool zeros = std::all_of(volume.data.begin(), volume.data.end(), [](uint8_t b) { return b == 0; });
    EXPECT_EQ(zeros, c.left == TLeft::kZeroed);
  }
}

INSTANTIATE_TEST_SUITE_P(Rewritables, EraseMediaTest, ::testing::ValuesIn(kCases));

}  // namespace
}  // namespace orvex
