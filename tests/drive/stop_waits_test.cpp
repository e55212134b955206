// SPDX-License-Identifier: Apache-2.0
// A burn told to stop while it waits on the drive: the wait ends at once,
// not after the hour a drive that never becomes ready may take; while the
// disc is closed, the first stop lets the closing go on and a second one
// halts it, whatever the drive is doing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "drive/burn_fixture.h"
#include "drive/ready_polls.h"
#include "pipeline/job_errors.h"

namespace orvex::test {
namespace {

constexpr vb_address kDrive{0, 0, 0};

class StopWaits : public BurnTest {};

// The opcodes sent after the first command of `opcode`, "!" marking a
// failed one.
std::string After(const std::vector<vb_trace_entry>& trace, uint8_t opcode) {
  std::string out;
  bool found = false;
  for (const vb_trace_entry& e : trace) {
    if (found) {
      char text[8];
      std::snprintf(text, sizeof text, " %02x%s", e.cdb[0], e.status == kSrbStatusDone ? "" : "!");
      out += text;
    }
    found = found || e.cdb[0] == opcode;
  }
  return out;
}

// A blank sequential DVD-RW is formatted before the burn; a stop while the
// drive formats ends the wait after the next look, and refuses the burn.
TEST_F(StopWaits, AStopEndsTheFormatWaitBeforeABurn) {
  Load("dvd-rw");
  Lay(Source("src"));
  std::atomic<int> sleeps{0};
  clock().OnSleep = [&](uint32_t) {
    if (++sleeps == 3) disc.AbortOperation();
  };
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  clock().OnSleep = nullptr;
  EXPECT_FALSE(outcome.started);
  EXPECT_EQ(outcome.error, kErrorAborted);
  // The polls that found the drive formatting (one before each short
  // sleep), and none after the stop: the medium is let go and asked for
  // again (its profile, and the disc information that checks it, refused
  // while the format runs), nothing is written.
  EXPECT_EQ(After(trace, 0x04), " 51! 51! 51! 1e 46 51!");
  EXPECT_EQ(sleeps.load(), 3);
}

// How the drive keeps the closing from its end.
struct THaltCase {
  const char* name;
  const char* profile;
  std::function<void()> arrange;  // at the first sleep of the closing
};

const THaltCase kHalts[] = {
    // Every poll after the cache flush answers "long write in progress".
    {"NeverReady", "cd-r", [] { ASSERT_EQ(vbtest::Lib().vb_fault_fail(kDrive, 0x51, UINT32_MAX, 0x02, 0x04, 0x08), 0); }},
    // The drive answers nothing more: the pending poll is given up at the
    // halt, not a minute later.
    {"Stalled", "cd-r", [] { ASSERT_EQ(vbtest::Lib().vb_fault_stall(kDrive, 1), 0); }},
};

class HaltedClosing : public BurnTest, public ::testing::WithParamInterface<THaltCase> {};

// The first stop comes as the closing begins to wait, the second at the
// next sleep: the burn ends failed, aborted while closing, the closing's
// waits cut short.
TEST_P(HaltedClosing, EndsAtOnceAndFails) {
  const THaltCase& c = GetParam();
  Load(c.profile);
  Lay(Source("src"));
  std::atomic<int> closing_sleeps{0};
  clock().OnSleep = [&](uint32_t) {
    if (!disc.JobClosing()) return;
    const int n = ++closing_sleeps;
    if (n == 1) c.arrange();
    if (n <= 2) disc.AbortOperation();
  };
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  clock().OnSleep = nullptr;
  ASSERT_EQ(vbtest::Lib().vb_fault_clear(kDrive), 0);
  ASSERT_TRUE(outcome.started);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed) << "never reported as a success";
  EXPECT_EQ(outcome.error, kErrorClosingHalted);
  // The closing's wait ended at the halt: the poll after the cache flush
  // was the last, and a stalled drive's poll was not waited for a minute
  // (600 more sleeps).
  const std::string closing = Closing(trace);
  EXPECT_EQ(closing.rfind("35 51!", 0), 0u) << closing;
  EXPECT_EQ(closing.find("51", 4), std::string::npos) << "no poll after the first: " << closing;
  EXPECT_EQ(closing_sleeps.load(), 2);
}

INSTANTIATE_TEST_SUITE_P(Closing, HaltedClosing, ::testing::ValuesIn(kHalts),
                         [](const ::testing::TestParamInfo<THaltCase>& row) { return row.param.name; });

}  // namespace
}  // namespace orvex::test
