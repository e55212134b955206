// SPDX-License-Identifier: Apache-2.0
// How the erase reports and what it starts from: the event called on the
// job's thread or queued for the owner's, no handler, no drive, a second
// start while one runs, and the speeds and write parameters it sets first.
#include <gtest/gtest.h>

#include "erase_fixture.h"
#include "image/component_status.h"
#include "pipeline/job_fixture.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

using test::Compact;
using test::Erasing;
using test::EraseTest;
using test::Only;
using test::Owner;

// A CD-RW erases; a CD-R refuses BLANK.
struct TMediumOutcome {
  const char* profile;
  bool failed;
};
constexpr TMediumOutcome kOutcomes[] = {{"cd-rw", false}, {"cd-r", true}};

class EraseEventTest : public EraseTest {
 protected:
  // A component with an owner, on the same drive.
  void Select(TOrvex& component) {
    ASSERT_TRUE(component.InitializeASPI(true, VBURNER_LIBRARY, "")) << component.DriverLibraryProblem();
    ASSERT_TRUE(component.SelectDevice(0));
  }

  void SetUp() override { LoadRecorded("cd-rw"); }
};

TEST_F(EraseEventTest, WithoutAnOwnerTheJobsThreadCallsTheHandler) {
  for (const TMediumOutcome& m : kOutcomes) {
    SCOPED_TRACE(m.profile);
    InsertRecorded(m.profile);
    outcome = {};
    Erase(true, Noting());
    EXPECT_EQ(outcome.events, 1);
    EXPECT_EQ(outcome.failed, m.failed);
    EXPECT_EQ(outcome.device_id, 0);
    EXPECT_NE(outcome.sender, nullptr);
    EXPECT_NE(outcome.sender, &disc);  // the job's thread object
    EXPECT_NE(outcome.thread, std::this_thread::get_id());
  }
}

TEST_F(EraseEventTest, WithAnOwnerTheEventWaitsForTheOwnersThread) {
  Owner owner;
  TOrvex queued(&owner);
  Select(queued);
  queued.SetOnEraseDone(Noting());
  for (const TMediumOutcome& m : kOutcomes) {
    SCOPED_TRACE(m.profile);
    InsertRecorded(m.profile);
    outcome = {};
    ASSERT_TRUE(StartEraseJob(queued.CDFiles, queued.Device, true, queued.OnEraseDone()));
    WaitForEnd(queued);
    EXPECT_EQ(outcome.events, 0);
    EXPECT_EQ(queued.ProcessMessages(), 1u);
    EXPECT_EQ(outcome.events, 1);
    EXPECT_EQ(outcome.failed, m.failed);
    EXPECT_EQ(outcome.device_id, 0);
    EXPECT_EQ(outcome.sender, &queued);
    EXPECT_EQ(outcome.thread, std::this_thread::get_id());
    EXPECT_EQ(queued.ComponentStatus(), kStatusIdle);
  }
}

TEST_F(EraseEventTest, WithoutAHandlerTheEraseStillRuns) {
  Owner owner;
  TOrvex queued(&owner);
  Select(queued);
  for (TOrvex* component : {&disc, &queued}) {
    InsertRecorded("cd-rw");
    const auto trace = Traced([&] {
      ASSERT_TRUE(StartEraseJob(component->CDFiles, component->Device, true, nullptr));
      WaitForEnd(*component);
    });
    EXPECT_EQ(Compact(Erasing(trace)), "a1 51!*11 51");
    EXPECT_EQ(component->ComponentStatus(), kStatusIdle);
    EXPECT_EQ(component->ProcessMessages(), 0u);
    EXPECT_EQ(DiscInformation().data[2] & 0x03, 0);
  }
}

// The failure comes with the event; no command reaches a drive.
TEST_F(EraseEventTest, WithoutADriveTheEventReportsTheFailure) {
  TOrvex never_scanned(nullptr);
  ASSERT_TRUE(StartEraseJob(never_scanned.CDFiles, never_scanned.Device, true, Noting()));
  WaitForEnd(never_scanned);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(never_scanned.ComponentStatus(), kStatusIdle);

  EXPECT_FALSE(disc.SelectDevice(7));
  outcome = {};
  const auto trace = Traced([&] { Erase(false, Noting()); });
  EXPECT_TRUE(trace.empty()) << Compact(trace);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(disc.ComponentStatus(), kStatusIdle);
  EXPECT_EQ(DiscInformation().data[2] & 0x03, 2);  // the recorded disc as it was
}

TEST_F(EraseEventTest, ASecondStartWhileOneRunsIsRefused) {
  bool second = true;
  int second_events = 0;
  clock.At(5'000, [&] {
    second = StartEraseJob(disc.CDFiles, disc.Device, false, [&](TObject*, uint8_t, bool) { ++second_events; });
  });
  const auto trace = Traced([&] { Erase(true, Noting()); });
  EXPECT_FALSE(second);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_EQ(second_events, 0);
  EXPECT_TRUE(disc.Device.QuickErase);
  ASSERT_EQ(Only(trace, 0xA1).size(), 1u);
  EXPECT_EQ(Only(trace, 0xA1)[0].cdb[1], 0x11);
}

// The speeds asked for last, and write parameters without test write,
// whatever the component's option says.
TEST_F(EraseEventTest, SetsTheSpeedsAskedForAndPlainWriteParameters) {
  disc.SetDeviceSpeed(2770, 5540);
  disc.SetTestWrite(true);
  const auto trace = Traced([&] { Erase(true, Noting()); });
  const auto speeds = Only(trace, 0xBB);
  ASSERT_EQ(speeds.size(), 1u);
  EXPECT_EQ(GetBE16(&speeds[0].cdb[2]), 2770);
  EXPECT_EQ(GetBE16(&speeds[0].cdb[4]), 5540);
  const auto selects = Only(trace, 0x55);
  ASSERT_EQ(selects.size(), 1u);
  ASSERT_GT(selects[0].data_captured, 10u);
  EXPECT_EQ(selects[0].data[8], 0x05);          // page 05h after the 8-byte header
  EXPECT_EQ(selects[0].data[10] & 0x10, 0);     // no test write
  EXPECT_FALSE(outcome.failed);
}

}  // namespace
}  // namespace orvex
