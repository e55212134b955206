// SPDX-License-Identifier: Apache-2.0
// The erase when things go wrong: refused commands, media that cannot be
// erased, zero runs that fail, a drive that is slow to get ready or loses
// its medium, and aborts in every phase.  Each ends with one event.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "erase_fixture.h"
#include "image/component_status.h"

namespace orvex {
namespace {

using test::Compact;
using test::Erasing;
using test::EraseTest;
using test::THookedClock;

constexpr vb_address kDrive{0, 0, 0};

template <class Case>
std::string NameOf(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

struct TFaultCase {
  const char* name;
  const char* profile;
  bool quick;
  void (*arrange)(THookedClock& clock);  // faults, before the job starts
  const char* commands;                  // as Compact(Erasing()) writes them
  bool failed;
  uint32_t error;  // what ErrorNumber reads afterwards: the drive's last sense; kAnyError: not judged
};

void PrintTo(const TFaultCase& c, std::ostream* os) { *os << c.name; }

// The capability queries of the first writes leave errors of their own.
constexpr uint32_t kAnyError = UINT32_MAX;

void Fail(uint8_t opcode, uint32_t count, uint8_t key, uint8_t asc, uint8_t ascq) {
  ASSERT_EQ(vbtest::Lib().vb_fault_fail(kDrive, opcode, count, key, asc, ascq), 0);
}

const TFaultCase kFaults[] = {
    {"FormatFailsQuickDvdPlusRwStillZeroes", "dvd+rw", true,
     [](THookedClock&) { Fail(0x04, 1, 0x03, 0x31, 0x00); }, "04! 2a*16 35 5b", false, kAnyError},
    {"BlankRefused", "cd-rw", false, [](THookedClock&) { Fail(0xA1, 1, 0x03, 0x31, 0x00); }, "a1!", true, 0x3100},
    {"CdRCannotBeBlanked", "cd-r", true, nullptr, "a1!", true, 0x3000},
    {"DvdRomCannotBeWritten", "dvd-rom", false, nullptr, "a1!", true, 0x3005},
    {"DvdRamFormatRefused", "dvd-ram", false, [](THookedClock&) { Fail(0x04, 1, 0x03, 0x31, 0x00); }, "04!", true,
     0x3100},
    // A failed zero run ends the writing; the cache is synchronised and a
    // quick erase still closes.
    {"BdReZeroRunFails", "bd-re", true,
     [](THookedClock&) { ASSERT_EQ(vbtest::Lib().vb_fault_write_error(kDrive, 100, 0x03, 0x0C, 0x00), 0); },
     "04 51! 51 2a*3 2a! 35 5b", true, 0x0C00},
    {"DvdRamZeroRunFails", "dvd-ram", true,
     [](THookedClock&) { ASSERT_EQ(vbtest::Lib().vb_fault_write_error(kDrive, 1000, 0x03, 0x0C, 0x00), 0); },
     "2a*31 2a! 35", true, 0x0C00},
    {"DvdPlusRwZeroRunFails", "dvd+rw", false,
     [](THookedClock&) { ASSERT_EQ(vbtest::Lib().vb_fault_write_error(kDrive, 3200, 0x03, 0x0C, 0x00), 0); },
     "04 51 2a*100 2a! 35", true, 0x0C00},
    // Not ready for 15 polls (becoming ready after the blank's 60 s), then
    // ready: no failure, however long it takes.  The first refusal of each
    // row below goes to the disc information that the medium's profile is
    // checked against before the erase; the drive's profile then stands.
    {"NotReadyForAWhileThenReady", "cd-rw", true, [](THookedClock&) { Fail(0x51, 15, 0x02, 0x04, 0x01); },
     "a1 51!*14 51", false, 0x0401},
    // A unit attention during the wait is asked past: the reset or medium
    // change it reports ends nothing.  (Armed once the wait runs: the
    // questions before the blank ask past attentions of their own.)
    {"ResetWhileWaiting", "cd-rw", true,
     [](THookedClock& clock) { clock.At(20'000, [] { Fail(0x51, 2, 0x06, 0x29, 0x00); }); }, "a1 51!*13 51", false,
     kAnyError},
    {"MediumChangeReportedWhileWaiting", "dvd-ram", false, [](THookedClock&) { Fail(0x00, 2, 0x06, 0x28, 0x00); },
     "04 00!*332 00", false, kAnyError},
    // The medium goes during the wait: the wait ends, and so does the erase.
    {"MediumRemovedWhileWaiting", "cd-rw", true,
     [](THookedClock& clock) { clock.At(20'000, [] { ASSERT_EQ(vbtest::Lib().vb_remove(kDrive), 0); }); },
     "a1 51!*4", true, 0x3A01},
};

class EraseFaultTest : public EraseTest, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(EraseFaultTest, EndsWithOneEventThatSaysWhetherItFailed) {
  const TFaultCase& c = GetParam();
  LoadRecorded(c.profile);
  if (c.arrange != nullptr) c.arrange(clock);
  const auto trace = Traced([&] { Erase(c.quick, Noting()); });
  EXPECT_EQ(Compact(Erasing(trace)), c.commands);
  EXPECT_EQ(test::UnguardedRecording(trace), "");
  EXPECT_EQ(outcome.events, 1);
  EXPECT_EQ(outcome.failed, c.failed);
  EXPECT_EQ(disc.ComponentStatus(), kStatusIdle);
  if (c.error != kAnyError) {
    EXPECT_EQ(disc.ErrorNumber(), c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(Erase, EraseFaultTest, ::testing::ValuesIn(kFaults), NameOf<TFaultCase>);

// An abort ends the job with a failure and error 4, whatever phase it met.
struct TAbortCase {
  const char* name;
  const char* profile;
  bool quick;
  uint64_t abort_at_ms;  // of modelled sleep
  bool never_ready;      // the drive answers "format in progress" for good
  const char* commands;
};

void PrintTo(const TAbortCase& c, std::ostream* os) { *os << c.name; }

const TAbortCase kAborts[] = {
    {"WhileBlanking", "cd-rw", false, 30'000, false, "a1 51!*5"},
    // A wait that would never end on its own.
    {"WhileTheDriveStaysNotReady", "dvd-ram", false, 3'600'000, true, "04 00!*719"},
    // No zero runs after an abort; the cache and close commands still go,
    // and the drive, formatting still, refuses them.
    {"WhileTheQuickFormatRuns", "bd-re", true, 5'000, false, "04 35! 5b!"},
};

class EraseAbortTest : public EraseTest, public ::testing::WithParamInterface<TAbortCase> {
 protected:
  void ExpectAborted() {
    EXPECT_EQ(outcome.events, 1);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(disc.ComponentStatus(), kStatusIdle);
    EXPECT_EQ(disc.ErrorNumber(), kErrorAborted);
  }
};

TEST_P(EraseAbortTest, EndsTheWait) {
  const TAbortCase& c = GetParam();
  LoadRecorded(c.profile);
  if (c.never_ready) Fail(0x00, UINT32_MAX, 0x02, 0x04, 0x04);
  clock.At(c.abort_at_ms, [this] { disc.AbortOperation(); });
  const auto trace = Traced([&] { Erase(c.quick, Noting()); });
  EXPECT_EQ(Compact(Erasing(trace)), c.commands);
  EXPECT_EQ(test::UnguardedRecording(trace), "");
  ExpectAborted();
}

INSTANTIATE_TEST_SUITE_P(Erase, EraseAbortTest, ::testing::ValuesIn(kAborts), NameOf<TAbortCase>);

// Aborted while the drive does not answer yet: nothing is erased.
TEST_F(EraseAbortTest, BeforeTheEraseBegins) {
  LoadRecorded("cd-rw");
  ASSERT_EQ(vbtest::Lib().vb_fault_stall(kDrive, 1), 0);
  const auto trace = Traced([&] {
    ASSERT_TRUE(StartEraseJob(disc.CDFiles, disc.Device, true, Noting()));
    disc.AbortOperation();
    ASSERT_EQ(vbtest::Lib().vb_fault_stall(kDrive, 0), 0);
    WaitForEnd(disc);
  });
  EXPECT_EQ(Compact(trace), "46 51 bb 5a 55");
  ExpectAborted();
  EXPECT_EQ(DiscInformation().data[2] & 0x03, 2);  // the recorded disc as it was
}

// Aborted while the zero runs of a full DVD+RW erase are written: the
// write under way (held back until modelled time moves) is the last, the
// cache is synchronised, and nothing closes.
TEST_F(EraseAbortTest, WhileWritingZeroRuns) {
  LoadRecorded("dvd+rw");
  constexpr uint64_t kHeld = 1'000'000;
  ASSERT_EQ(vbtest::Lib().vb_fault_delay(kDrive, 0x2A, kHeld), 0);
  const auto trace = Traced([&] {
    ASSERT_TRUE(StartEraseJob(disc.CDFiles, disc.Device, false, Noting()));
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (disc.ComponentStatus() != kStatusBackgroundFormat && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(disc.ComponentStatus(), kStatusBackgroundFormat);
    disc.AbortOperation();
    // The held write may not have been sent yet: time moves until the job ends.
    while (disc.JobRunning() && std::chrono::steady_clock::now() < give_up) {
      vbtest::Lib().vb_advance_time(kHeld);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    WaitForEnd(disc);
  });
  const std::string commands = Compact(Erasing(trace));
  EXPECT_TRUE(commands == "04 51 35" || commands == "04 51 2a 35") << commands;
  ExpectAborted();
  EXPECT_TRUE(disc.Device.CloseFH);
}

}  // namespace
}  // namespace orvex
