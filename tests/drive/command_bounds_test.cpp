// SPDX-License-Identifier: Apache-2.0
// How long a drive may keep a command, and what a command that fails
// without any sense does to a job: against the burner, in modelled time.
#include <gtest/gtest.h>

#include <errno.h>

#include <atomic>

#include "drive/burn_fixture.h"
#include "drive/command_timeouts.h"
#include "drive/mmc_commands.h"
#include "drive/read_retry.h"
#include "drive/transfer_rate.h"

namespace orvex::test {
namespace {

constexpr uint64_t kHour = 3'600'000'000;  // microseconds

// A command the drive holds for an hour: a question is given up after its
// short bound, and the drive then counts as not answering; a write, which
// a slow drive may hold that long, is waited for.
struct THeldCase {
  const char* name;
  uint8_t opcode;
  bool (*send)(TOrvex& disc);  // true when the command (or what sends it) succeeded
  bool answered;
  uint64_t waited_at_least_s, waited_below_s;  // modelled seconds until the call returned
};

const THeldCase kHeld[] = {
    {"Inquiry", 0x12, [](TOrvex& disc) { return disc.SelectDevice(0); }, false, kQuestionTimeoutSeconds,
     kQuestionTimeoutSeconds + 5},
    {"DiscInformation", 0x51,
     [](TOrvex& disc) {
       return ReadDiscInformation(disc.Device, disc.Device.tmpBuffer.data(), sizeof(TDiscInformation));
     },
     false, kQuestionTimeoutSeconds, kQuestionTimeoutSeconds + 5},
    {"Write", 0x2A,
     [](TOrvex& disc) {
       static const uint8_t zeros[32 * 2048] = {};
       return WriteSectors(disc.Device, 0, 32, sizeof zeros, zeros);
     },
     true, 3600, 7200},
};

class HeldCommand : public BurnTest, public ::testing::WithParamInterface<THeldCase> {};

TEST_P(HeldCommand, GivenUpAfterTheBoundOfItsKind) {
  const THeldCase& c = GetParam();
  Load("dvd+r");
  ASSERT_EQ(vbtest::Lib().vb_fault_delay(drive_, c.opcode, kHour), 0);
  const uint64_t start = vbtest::Lib().vb_now();
  EXPECT_EQ(c.send(disc), c.answered);
  const uint64_t waited_s = (vbtest::Lib().vb_now() - start) / 1'000'000;
  EXPECT_GE(waited_s, c.waited_at_least_s);
  EXPECT_LT(waited_s, c.waited_below_s);
  if (!c.answered) {
    EXPECT_FALSE(TestUnitReady(disc.Device)) << "a drive that hung counts as not answering";
    ASSERT_EQ(vbtest::Lib().vb_fault_clear(drive_), 0);
    EXPECT_TRUE(disc.SelectDevice(0)) << "until it is selected again";
  }
}

INSTANTIATE_TEST_SUITE_P(Bounds, HeldCommand, ::testing::ValuesIn(kHeld),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// A WRITE that fails with no sense at all never reached the medium in a
// way the drive could tell: it is not sent again thousands of times, the
// burn fails at once with the system's reason and names the command.
TEST_F(BurnTest, AWriteFailingWithoutSenseEndsTheBurnAtOnce) {
  Load("dvd+r");
  Lay(Source("src"));
  ASSERT_EQ(vbtest::Lib().vb_fault_empty_sense(drive_, 0x2A), 0);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.error, uint32_t{kErrorDriveFailed});
  EXPECT_EQ(outcome.system_error, EIO);
  EXPECT_TRUE(outcome.drive.Failed);
  EXPECT_EQ(outcome.drive.Opcode, 0x2A);
  EXPECT_EQ(outcome.drive.Text, "write error at block 0: Input/output error");
  EXPECT_EQ(Sent(trace, 0x2A), 1u) << "the write is not tried again";
}

// A read refused with a reason is tried again; one that failed without
// any sense is not, and leaves the system's reason.
TEST_F(BurnTest, AReadFailingWithoutSenseIsNotTriedAgain) {
  struct TRow {
    const char* name;
    void (*arrange)(vb_address drive);
    bool read;
    size_t reads_sent;
    int system_error;
  };
  const TRow rows[] = {
      {"medium error", [](vb_address d) { ASSERT_EQ(vbtest::Lib().vb_fault_fail(d, 0x28, 1, 0x03, 0x11, 0x05), 0); },
       true, 2, 0},
      {"no sense", [](vb_address d) { ASSERT_EQ(vbtest::Lib().vb_fault_empty_sense(d, 0x28), 0); }, false, 1, EIO},
  };
  Load("dvd+r");
  Lay(Source("src"));
  ASSERT_FALSE(Burn().failed);
  const std::atomic<bool> stop{false};
  uint8_t block[2048];
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.name);
    r.arrange(drive_);
    bool read = false;
    const auto trace = Traced([&] { read = ReadSectorsRetrying(disc.Device, 16, 1, block, stop); });
    EXPECT_EQ(read, r.read);
    EXPECT_EQ(Sent(trace, 0x28), r.reads_sent);
    EXPECT_EQ(disc.Device.LastFailure.system_error, r.system_error);
  }
}

// The failing WRITE's own record reaches the component: command, block,
// sense, and its text.
TEST_F(BurnTest, AWriteErrorNamesItsCommandBlockAndSense) {
  Load("dvd+r");
  Lay(Source("src"));
  ASSERT_EQ(vbtest::Lib().vb_fault_write_error(drive_, 40, 0x03, 0x0C, 0x00), 0);
  const TOutcome outcome = Burn();
  EXPECT_EQ(outcome.error, 0x0C00u);
  EXPECT_EQ(outcome.system_error, 0);
  EXPECT_EQ(outcome.drive.Command, "WRITE (10)");
  EXPECT_TRUE(outcome.drive.HasBlock);
  EXPECT_EQ(outcome.drive.Block, 40u);
  EXPECT_EQ(outcome.drive.Text, "write error at block 40: medium error, 03/0C/00");
}

}  // namespace
}  // namespace orvex::test
