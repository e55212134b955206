// SPDX-License-Identifier: Apache-2.0
// What a burn sends the drive around its data: the closing sequence of
// each medium, the head copy of overwritable media, the retries of a busy
// or slow drive.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "drive/burn_fixture.h"
#include "drive/ready_polls.h"
#include "image/component_status.h"
#include "platform/byte_order.h"

namespace orvex::test {
namespace {

struct TClosingCase {
  const char* profile;
  bool formatted;
  bool finalize;
  const char* closing;
};

class ClosingSequence : public BurnTest, public ::testing::WithParamInterface<TClosingCase> {
 protected:
  // Burns the case's medium; the trace of the burn.
  std::vector<vb_trace_entry> BurnCase(TOutcome& outcome) {
    const TClosingCase& c = GetParam();
    Load(c.profile, "class=bd-writer", c.formatted);
    disc.SetFinalizeDisc(c.finalize);
    Lay(Source("src"));
    return TracedBurn(outcome);
  }
};

// Polls after an immediate command show as failed READ DISC INFORMATION
// (02/04/0x) until the drive is ready.  A DVD-RAM has no sessions to close:
// its drive refuses the close commands as illegal requests, which loses
// nothing.  DVD+R and BD-R finalize with a close function of their own.
TEST_P(ClosingSequence, IsTheMediumsOwn) {
  const TClosingCase& c = GetParam();
  TOutcome outcome;
  const auto trace = BurnCase(outcome);
  ASSERT_TRUE(outcome.started);
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(Closing(trace), c.closing);
  // A wait ends when its poll finds the drive ready: what comes next does
  // not sleep out another round of polling first.  (Times are those of
  // completion: a close without Immed takes the drive's own time.)
  for (size_t i = 1; i + 1 < trace.size(); ++i) {
    const bool ready_poll = trace[i].cdb[0] == 0x51 && trace[i].status == kSrbStatusDone &&
                            trace[i - 1].cdb[0] == 0x51 && trace[i - 1].asc == 0x04 && trace[i + 1].cdb[0] != 0x5B;
    if (ready_poll) {
      EXPECT_LT(trace[i + 1].time_us - trace[i].time_us, 5'000'000u) << "after command " << i;
    }
  }
}

// A wait after an immediate command asks at once: its first poll carries
// the command's own time.  While the drive answers "not ready", each pause
// is the one of its round, from 20 ms doubling up to 5 s, so a drive that
// is ready soon is not left idle for seconds, and a slow one is not asked
// more often than every 5 s.
TEST_P(ClosingSequence, PollsAtOnceThenBacksOff) {
  const TClosingCase& c = GetParam();
  TOutcome outcome;
  const auto trace = BurnCase(outcome);
  ASSERT_TRUE(outcome.started);
  const auto immediate = [](const vb_trace_entry& e) {
    return (e.cdb[0] == 0x35 && (e.cdb[1] & 0x02) != 0) || (e.cdb[0] == 0x5B && (e.cdb[1] & 0x01) != 0);
  };
  size_t waits = 0;
  for (size_t i = 1; i < trace.size(); ++i) {
    if (trace[i].cdb[0] != 0x51 || !immediate(trace[i - 1]) || trace[i - 1].status != kSrbStatusDone) continue;
    ++waits;
    EXPECT_EQ(trace[i].time_us, trace[i - 1].time_us) << "first poll after command " << i - 1;
    uint32_t round = 0;
    for (size_t j = i; j + 1 < trace.size() && trace[j].asc == 0x04 && trace[j + 1].cdb[0] == 0x51; ++j, ++round) {
      EXPECT_EQ(trace[j + 1].time_us - trace[j].time_us, uint64_t{ReadyPollPause(round)} * 1000)
          << "pause of round " << round << " after command " << j;
    }
  }
  const std::string expected = c.closing;
  const bool waited = expected.find("35 51") != std::string::npos || expected.find("i 51") != std::string::npos;
  EXPECT_EQ(waits > 0, waited) << Closing(trace);
}

INSTANTIATE_TEST_SUITE_P(Media, ClosingSequence,
                         ::testing::Values(
        TClosingCase{"cd-r", false, false, "35 51!*3 51 5a 55 5b:2/0i 51!*13 51*2 1e 1b 01 00"},
        TClosingCase{"cd-r", false, true, "35 51!*3 51 5a 55 5b:2/0i 51!*15 51*2 1e 1b 01 00"},
        TClosingCase{"cd-rw", false, false, "35 51!*3 51 5a 55 5b:2/0i 51!*13 51*2 1e 1b 01 00"},
        TClosingCase{"dvd-r", false, false, "35 5b:1/1 5b:1/2 5b:2/3 51 1e 1b 01 00"},
        TClosingCase{"dvd-rw", false, false, "35 5b:1/1 5b:2/0i 51!*13 51*2 1e 1b 01 00"},
        TClosingCase{"dvd-rw-ro", false, false, "35 5b:1/1 5b:2/0i 51!*13 51*2 1e 1b 01 00"},
        TClosingCase{"dvd+r", false, false, "35 5b:1/1 5b:2/255 51 1e 1b 01 00"},
        TClosingCase{"dvd+r", false, true, "35 5b:1/1 5b:6/0 51 1e 1b 01 00"},
        TClosingCase{"dvd+r-dl", false, true, "35 5b:1/1 5b:6/0 51 1e 1b 01 00"},
        TClosingCase{"dvd+rw", true, false, "35 5b:3/255 51 1e 1b 01 00"},
        TClosingCase{"dvd-ram", true, false, "35 51!*2 51 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i! 5b:2/0! 1e 1b 01 00"},
        TClosingCase{"bd-r", false, false, "35 51! 51 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i 51!*8 51*2 1e 1b 01 00"},
        TClosingCase{"bd-r", false, true, "35 51! 51 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i 51!*8 51 5b:6/0 51 1e 1b 01 00"},
        TClosingCase{"bd-re", true, false, "35 51! 51 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i 51!*7 51*2 1e 1b 01 00"}));


// The write speed the user asked for reaches the drive: SET CD SPEED with
// rotational control CLV on every medium, and on DVD and BD a SET STREAMING
// whose performance descriptor's write size per write time is that speed,
// or the drive's highest when the fastest (0) was asked for.  The speeds
// asked for are none the drive offers (DVD: 16x, 8x, 4x; BD: 12x, 6x, 3x),
// so that the drive's choice after SET CD SPEED is not mistaken for them.
struct TSpeedCase {
  const char* profile;
  uint16_t asked;      // KB/s; 0: the fastest
  uint32_t streaming;  // the KB/s SET STREAMING asks for; 0: none is sent
};

class WriteSpeed : public BurnTest, public ::testing::WithParamInterface<TSpeedCase> {};

TEST_P(WriteSpeed, IsTheOneAskedFor) {
  const TSpeedCase& c = GetParam();
  Load(c.profile);
  Lay(Source("src"));
  disc.SetDeviceSpeed(0, c.asked);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ASSERT_TRUE(outcome.started);
  EXPECT_FALSE(outcome.failed) << outcome.error;
  const auto sent = [&](uint8_t opcode) {
    return std::find_if(trace.begin(), trace.end(), [&](const vb_trace_entry& e) { return e.cdb[0] == opcode; });
  };
  const auto cd_speed = sent(0xBB);
  ASSERT_NE(cd_speed, trace.end());
  EXPECT_EQ(cd_speed->cdb[1] & 0x03, 0) << "CLV";
  EXPECT_EQ(GetBE16(&cd_speed->cdb[4]), c.asked == 0 ? 0xFFFF : c.asked);
  const auto streaming = sent(0xB6);
  if (c.streaming == 0) {
    EXPECT_EQ(streaming, trace.end());
    return;
  }
  ASSERT_NE(streaming, trace.end());
  const uint8_t* performance = streaming->data;
  ASSERT_NE(GetBE32(performance + 24), 0u);
  EXPECT_EQ(uint64_t{GetBE32(performance + 20)} * 1000 / GetBE32(performance + 24), c.streaming);
}

INSTANTIATE_TEST_SUITE_P(Media, WriteSpeed,
                         ::testing::Values(TSpeedCase{"dvd+r", 8310, 8310}, TSpeedCase{"dvd+r", 0, 22160},
                                           TSpeedCase{"bd-r", 8990, 8990}, TSpeedCase{"bd-r", 0, 53940},
                                           TSpeedCase{"cd-r", 1764, 0}));

// A closing the drive makes difficult: each command's result is judged.
// Busy and attention refusals are sent again, refusals as illegal requests
// leave the verdict to a fallback and to the disc's state afterwards, any
// other refusal (or one the poll after an immediate command meets) fails
// the burn with its sense; without sense with error 17.
struct TClosingFault {
  const char* name;
  const char* profile;
  // Injects the fault once the burn closes (the first sleep of a full
  // stop look while it does), or at once when `at_closing` is false.
  bool at_closing;
  void (*arrange)();
  const char* closing;
  uint32_t error;  // 0: the burn succeeds
};

void PrintTo(const TClosingFault& c, std::ostream* os) { *os << c.name; }

void FailNext(uint8_t opcode, uint32_t count, uint8_t key, uint8_t asc, uint8_t ascq) {
  ASSERT_EQ(vbtest::Lib().vb_fault_fail({0, 0, 0}, opcode, count, key, asc, ascq), 0);
}

const TClosingFault kClosingFaults[] = {
    {"LongWriteInProgressIsWaitedFor", "dvd+r", false, [] { FailNext(0x5B, 1, 0x02, 0x04, 0x08); },
     "35 5b:1/1! 51 5b:1/1 5b:2/255 51 1e 1b 01 00", 0},
    {"UnitAttentionIsSentAgain", "dvd+r", false, [] { FailNext(0x5B, 2, 0x06, 0x29, 0x00); },
     "35 5b:1/1! 5b:1/1! 5b:1/1 5b:2/255 51 1e 1b 01 00", 0},
    {"FixationErrorFailsTheBurn", "dvd+r", false, [] { FailNext(0x5B, 1, 0x03, 0x72, 0x00); },
     "35 5b:1/1! 51 1e 1b 01 00", 0x7200},
    {"NoSenseFailsTheBurn", "dvd+r", false, [] { ASSERT_EQ(vbtest::Lib().vb_fault_empty_sense({0, 0, 0}, 0x5B), 0); },
     "35 5b:1/1! 51 1e 1b 01 00", kErrorClosingFailed},
    // The session close refused as an illegal request, and its fallback (a
    // track close) does not close the session: it is left incomplete.
    {"SessionLeftIncompleteFailsTheBurn", "cd-r", false, [] { FailNext(0x5B, 1, 0x05, 0x24, 0x00); },
     "35 51!*3 51 5a 55 5b:2/0i! 5b:1/0i! 51 1e 1b 01 00", 0x2400},
    // Both track closes and the immediate session close refused: the
    // session close without Immed does it all.
    {"AFallbackThatSucceedsIsSuccess", "bd-r", false, [] { FailNext(0x5B, 3, 0x05, 0x24, 0x00); },
     "35 51! 51 5b:1/0! 5b:1/0i! 5a 55 5b:2/0i! 5b:2/0 51 1e 1b 01 00", 0},
    {"DeferredFixationErrorFailsTheBurn", "dvd-rw", true, [] { FailNext(0x51, 1, 0x03, 0x72, 0x03); },
     "35 5b:1/1 5b:2/0i 51!*18 51 1e 1b 01 00", 0x7203},
    {"BusyWhilePollingIsWaitedFor", "dvd-rw", true, [] { ASSERT_EQ(vbtest::Lib().vb_fault_busy({0, 0, 0}, 2), 0); },
     "35 5b:1/1 5b:2/0i 51!*13 51*2 1e 1b 01 00", 0},
    {"UnitAttentionWhilePollingIsAskedPast", "dvd-rw", true, [] { FailNext(0x51, 1, 0x06, 0x28, 0x00); },
     "35 5b:1/1 5b:2/0i 51!*14 51*2 1e 1b 01 00", 0},
};

class ClosingFaults : public BurnTest, public ::testing::WithParamInterface<TClosingFault> {};

TEST_P(ClosingFaults, AreJudged) {
  const TClosingFault& c = GetParam();
  Load(c.profile);
  Lay(Source("src"));
  std::atomic<bool> armed{false};
  if (c.at_closing) {
    clock().OnSleep = [&](uint32_t milliseconds) {
      if (milliseconds == kStopLookMilliseconds && disc.ComponentStatus() == kStatusClosingSession && !armed.exchange(true)) c.arrange();
    };
  } else {
    c.arrange();
  }
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  clock().OnSleep = nullptr;
  ASSERT_TRUE(outcome.started);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_EQ(outcome.failed, c.error != 0);
  EXPECT_EQ(outcome.error, c.error);
  EXPECT_EQ(Closing(trace), c.closing);
}

INSTANTIATE_TEST_SUITE_P(Closing, ClosingFaults, ::testing::ValuesIn(kClosingFaults),
                         [](const ::testing::TestParamInfo<TClosingFault>& row) { return row.param.name; });

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
