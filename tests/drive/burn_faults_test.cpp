// SPDX-License-Identifier: Apache-2.0
// A burn meets a drive or a disc that misbehaves: every run ends with one
// event carrying the right outcome, the disc closed and readable, no hang.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>

#include "drive/burn_fixture.h"
#include "drive/ready_polls.h"
#include "image/component_status.h"
#include "pipeline/job_errors.h"
#include "platform/text_conversion.h"

namespace orvex::test {
namespace {

constexpr uint64_t kStreamBytes = 8 << 20;
constexpr uint64_t kWritingBegun = 6 << 20;  // the ring holds 2 MiB: writes have begun

// The trace entries of WRITE(10) that failed.
size_t FailedWrites(const std::vector<vb_trace_entry>& trace) {
  return std::count_if(trace.begin(), trace.end(),
                       [](const vb_trace_entry& e) { return e.cdb[0] == 0x2A && e.status != kSrbStatusDone; });
}

class BurnFaults : public BurnTest {
 protected:
  // A DVD+R with a tree whose last file calls `hook` once the writes run.
  void LoadWithHook(std::function<void()> hook, const std::string& profile = "dvd+r") {
    Load(profile, "class=bd-writer");
    disc.SetCacheSize(2);
    disc.ClearAll();
    AddHookedFile(kStreamBytes, [this, hook = std::move(hook)](uint64_t position) {
      if (position < kWritingBegun || hooking_.exchange(true)) return;
      hook();
      hooked_ = true;
    });
    ASSERT_GT(disc.Prepare(), 0u);
  }

  // The disc still answers and holds a closed session.
  void ExpectClosedSession() {
    vbtest::Drive drive;
    EXPECT_EQ(drive.DiscStatus(), 1) << "one closed session, appendable";
  }

  // A refusal: the job never started and sent no event, with `error` pending.
  static void ExpectRefused(const TOutcome& outcome, uint32_t error) {
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(outcome.events, 0);
    EXPECT_EQ(outcome.error, error);
  }

  std::atomic<bool> hooking_{false};
  std::atomic<bool> hooked_{false};  // the hook has run
};

// Structures that do not match the sectors the layout gave them are found
// before the first WRITE, also where the header is larger than the ring and
// the drive would otherwise be writing before its end was generated.
TEST_F(BurnFaults, AHeaderThatDoesNotFitItsLayoutIsRefusedBeforeAnythingIsWritten) {
  const std::pair<const char*, std::function<void()>> misfits[] = {
      {"too many sectors", [this] { disc.SetUDFBridge(true); }},
      {"too few sectors", [this] { disc.SetJolietFileSystem(false); }},
  };
  for (const auto& [name, change] : misfits) {
    SCOPED_TRACE(name);
    Load("dvd+r");
    disc.ClearAll();
    disc.SetCacheSize(2);
    disc.SetUDFBridge(false);
    for (int i = 0; i < 1200; ++i) disc.CreateDirW(u"\\", u"directory " + Utf8ToUtf16(std::to_string(i)));
    ASSERT_GT(disc.Prepare(), 0u);
    change();
    disc.CDFiles.Prepared = true;
    TOutcome outcome;
    const auto trace = TracedBurn(outcome);
    ExpectRefused(outcome, kErrorNotPrepared);
    EXPECT_EQ(Sent(trace, 0x2A), 0u);
    EXPECT_EQ(vbtest::Drive().DiscStatus(), 0) << "still blank";
  }
}

TEST_F(BurnFaults, ADriveNotReadyForTenSecondsIsWaitedFor) {
  Load("dvd+r");
  Lay(Source("src"));
  ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive_, 0x2A, 100, 0x02, 0x04, 0x01), 0);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  EXPECT_TRUE(outcome.started);
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(FailedWrites(trace), 100u);
  EXPECT_EQ(Judge(Export(), scratch.Path("src")), "");
}

// A write refused with LONG WRITE IN PROGRESS is sent again at once, then
// after pauses that grow to 100 ms, so that a drive ready again a moment
// later does not run dry; one that stays busy is waited for as long as
// 5000 pauses of 100 ms would last, then fails the burn with its sense.
TEST_F(BurnFaults, ALongWriteInProgressIsPolledAgainAtOnceThenLessOften) {
  struct TCase {
    uint32_t refusals;
    bool fails;
  };
  for (const TCase c : {TCase{7, false}, TCase{6000, true}}) {
    SCOPED_TRACE(c.refusals);
    Load("dvd+r");
    Lay(Source("src"));
    ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive_, 0x2A, c.refusals, 0x02, 0x04, 0x08), 0);
    TOutcome outcome;
    const auto trace = TracedBurn(outcome);
    std::vector<uint64_t> writes;  // the modelled times of the WRITE(10)s
    for (const vb_trace_entry& e : trace) {
      if (e.cdb[0] == 0x2A) writes.push_back(e.time_us);
    }
    ASSERT_GT(writes.size(), 7u);
    std::vector<uint64_t> gaps_ms;
    for (size_t i = 1; i < 8; ++i) gaps_ms.push_back((writes[i] - writes[i - 1]) / 1000);
    EXPECT_THAT(gaps_ms, ::testing::ElementsAre(0, 5, 10, 20, 50, 100, 100));
    EXPECT_EQ(outcome.failed, c.fails);
    if (c.fails) {
      EXPECT_EQ(outcome.error, 0x0408u);
      EXPECT_EQ((writes.back() - writes.front()) / 1'000'000, 499u) << "the wait's bound is kept";
    }
  }
}

TEST_F(BurnFaults, ABusyDriveIsWaitedFor) {
  LoadWithHook([this] { vbtest::Lib().vb_fault_busy(drive_, 3); });
  const TOutcome outcome = Burn();
  EXPECT_EQ(outcome.events, 1);
  EXPECT_FALSE(outcome.failed) << outcome.error;
  EXPECT_TRUE(hooked_);
}

TEST_F(BurnFaults, AWriteErrorFailsTheBurnAndClosesTheDisc) {
  Load("dvd+r");
  Lay(Source("src"));
  ASSERT_EQ(vbtest::Lib().vb_fault_write_error(drive_, 40, 0x03, 0x0C, 0x00), 0);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.error, 0x0C00u);
  EXPECT_EQ(FailedWrites(trace), 1u) << "a write error is not tried again";
  EXPECT_EQ(Closing(trace), "35 5b:1/1 5b:2/255 51 1e 1b 01 00");
  EXPECT_EQ(UnguardedRecording(trace), "");
  EXPECT_EQ(disc.ErrorNumber(), 0u) << "the error is reported once";
  ExpectClosedSession();
}

TEST_F(BurnFaults, TheMediumRemovedMidBurnFailsIt) {
  Load("dvd+r");
  Lay(Source("src"));
  ASSERT_EQ(vbtest::Lib().vb_fault_remove_medium(drive_, 64), 0);
  const TOutcome outcome = Burn();
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.error >> 8, 0x3Au) << "medium not present";
}

// The pending command is given up a minute (of modelled time) after the
// abort, and nothing more is sent: the job ends while the drive still
// says nothing.
TEST_F(BurnFaults, ADriveThatStopsAnsweringCanBeAborted) {
  LoadWithHook([this] { vbtest::Lib().vb_fault_stall(drive_, 1); });
  TOutcome outcome;
  const auto trace = Traced([&] {
    outcome = Burn([this] {
      while (!hooked_) std::this_thread::yield();
      disc.AbortOperation();
      EXPECT_EQ(disc.ComponentStatus(), 7);
    });
  });
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.error, kErrorAborted);
  // The stall takes hold while the writer runs: a buffer poll it sent
  // before then may follow the last write.  Nothing after it, no closing
  // command above all, reached the drive.
  const std::string after_last_write = Closing(trace);
  EXPECT_TRUE(after_last_write.empty() || after_last_write == "5c") << after_last_write;
  ASSERT_EQ(vbtest::Lib().vb_fault_clear(drive_), 0);
  vbtest::Drive drive;
  EXPECT_EQ(drive.DiscStatus(), 1) << "the disc answers again, its session left open";
  EXPECT_EQ(disc.SessionsOnDisc(), 0) << "the drive counts as not answering until it is selected again";
  ASSERT_TRUE(disc.SelectDevice(0));
  EXPECT_GT(disc.TotalBlocksOnDisc(), 0u);
}

// An abort while the queue fills starts no writing; one while writing or
// closing still closes the disc.  Every one ends in one failed event.
TEST_F(BurnFaults, AbortWhileTheQueueFills) {
  Load("dvd+r");
  disc.ClearAll();
  AddHookedFile(1 << 20, [this](uint64_t) { disc.AbortOperation(); });
  ASSERT_GT(disc.Prepare(), 0u);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  EXPECT_FALSE(outcome.started);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(Writing(trace), "") << "nothing written";
}

TEST_F(BurnFaults, AbortWhileWriting) {
  LoadWithHook([this] { disc.AbortOperation(); });
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.error, kErrorAborted);
  EXPECT_THAT(Closing(trace), ::testing::EndsWith("35 5b:1/1 5b:2/255 51 1e 1b 01 00"));
  EXPECT_EQ(UnguardedRecording(trace), "");
  ExpectClosedSession();
}

TEST_F(BurnFaults, AbortWhileClosing) {
  Load("cd-r");
  Lay(Source("src"));
  clock().OnSleep = [this](uint32_t milliseconds) {
    if (milliseconds == kStopLookMilliseconds && disc.ComponentStatus() == kStatusClosingSession &&
        !hooked_.exchange(true)) {
      disc.AbortOperation();
    }
  };
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  clock().OnSleep = nullptr;
  EXPECT_EQ(outcome.events, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(Closing(trace), "35 51!*3 51 5a 55 5b:2/0i 51!*13 51*2 1e 1b 01 00") << "the closing runs to its end";
  EXPECT_EQ(Judge(Export(), scratch.Path("src")), "");
}

// Refusals: nothing is written and no event comes.
TEST_F(BurnFaults, AFinalizedDiscIsRefused) {
  Load("dvd+r");
  Lay(Source("src"));
  disc.SetFinalizeDisc(true);
  ASSERT_FALSE(Burn().failed);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ExpectRefused(outcome, kErrorNotWritable);
  EXPECT_EQ(Writing(trace), "");
}

TEST_F(BurnFaults, AMediumTooSmallIsRefused) {
  const std::string small = vbtest::Create(scratch, "small.vmed", "cd-r", 300);
  Start("0:0:0,class=bd-writer,medium=" + small);
  ASSERT_TRUE(disc.SelectDevice(0));
  Lay(Source("src"));
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ExpectRefused(outcome, kErrorNoRoom);
  EXPECT_EQ(Writing(trace), "");
  EXPECT_EQ(disc.ErrorString(), "Unknown/No Error!") << "read once";
}

// READ TRACK INFORMATION, which tells the room left, refused while the
// drive is becoming ready: once, it is asked again and the burn goes on;
// refused again, the burn is refused with the drive's sense, not as a disc
// without room.
struct TUnansweredRoomCase {
  const char* name;
  uint32_t refusals;
  uint32_t error;  // 0: the burn runs
};

const TUnansweredRoomCase kUnansweredRoom[] = {
    {"OnceIsAskedAgain", 1, kErrorNone},
    {"TwiceIsTheDrivesError", 2, 0x0401},
};

class UnansweredRoom : public BurnFaults, public ::testing::WithParamInterface<TUnansweredRoomCase> {};

TEST_P(UnansweredRoom, IsNotTakenForAFullDisc) {
  const TUnansweredRoomCase& c = GetParam();
  Load("dvd+r");
  Lay(Source("src"));
  ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive_, 0x52, c.refusals, 0x02, 0x04, 0x01), 0);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  const auto refused = std::find_if(trace.begin(), trace.end(),
                                    [](const vb_trace_entry& e) { return e.cdb[0] == 0x52 && e.status != kSrbStatusDone; });
  ASSERT_NE(refused, trace.end());
  ASSERT_NE(refused + 1, trace.end());
  EXPECT_EQ(refused[1].cdb[0], 0x52) << "asked again at once";
  if (c.error == kErrorNone) {
    EXPECT_TRUE(outcome.started);
    EXPECT_FALSE(outcome.failed) << outcome.error;
    EXPECT_EQ(Judge(Export(), scratch.Path("src")), "");
  } else {
    ExpectRefused(outcome, c.error);
    EXPECT_EQ(Recording(trace), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, UnansweredRoom, ::testing::ValuesIn(kUnansweredRoom),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// A burn that may not start sends nothing that records on the disc or
// changes it: a test write where the medium or the drive cannot simulate,
// an empty layout, a medium the drive layer does not know how to close.
struct TRefusalCase {
  const char* name;
  const char* profile;
  bool formatted;
  const char* drive;       // the burner's options
  bool test_write;
  bool empty;              // nothing laid out
  uint16_t named_profile;  // the current profile the drive names instead of its medium's, or 0
  uint32_t error;
};

const TRefusalCase kRefusals[] = {
    {"TestWriteOnDvdPlusR", "dvd+r", false, "class=bd-writer", true, false, 0, kErrorNoTestWrite},
    {"TestWriteOnDvdPlusRDl", "dvd+r-dl", false, "class=bd-writer", true, false, 0, kErrorNoTestWrite},
    {"TestWriteOnDvdPlusRw", "dvd+rw", true, "class=bd-writer", true, false, 0, kErrorNoTestWrite},
    {"TestWriteOnRestrictedDvdRw", "dvd-rw-ro", false, "class=bd-writer", true, false, 0, kErrorNoTestWrite},
    {"TestWriteOnDvdRam", "dvd-ram", true, "class=bd-writer", true, false, 0, kErrorNoTestWrite},
    {"TestWriteOnBdR", "bd-r", false, "class=bd-writer", true, false, 0, kErrorNoTestWrite},
    {"TestWriteOnBdRe", "bd-re", true, "class=bd-writer", true, false, 0, kErrorNoTestWrite},
    {"TestWriteInADriveWithout", "cd-r", false, "class=bd-writer,testwrite=0", true, false, 0, kErrorNoTestWrite},
    {"NothingToBurn", "dvd-r", false, "class=bd-writer", false, true, 0, kErrorNothingToBurn},
    {"DvdRDualLayer", "dvd-r", false, "class=bd-writer", false, false, 0x15, kErrorMediumNotSupported},
    {"DvdRDualLayerJumps", "dvd-r", false, "class=bd-writer", false, false, 0x16, kErrorMediumNotSupported},
    {"UnknownProfile", "cd-r", false, "class=bd-writer", false, false, 0x58, kErrorMediumNotSupported},
    // Media the drive reads and says it cannot write: no current write
    // feature for them (BD Write, DVD-R/-RW Write, Restricted Overwrite,
    // the DVD+R feature without its Write bit, CD Track at Once).
    {"BdRInADvdWriter", "bd-r", false, "class=dvd-writer,reads=bd-r", false, false, 0, kErrorNotWritable},
    {"BdReInADriveWritingBdR", "bd-re", true, "class=bd-writer,writes=bd-r", false, false, 0, kErrorNotWritable},
    {"DvdRInADriveWithoutIt", "dvd-r", false, "class=bd-writer,writes=cd-r/dvd+r", false, false, 0, kErrorNotWritable},
    {"RestrictedDvdRwInADriveWithoutIt", "dvd-rw-ro", false, "class=bd-writer,writes=dvd-r", false, false, 0,
     kErrorNotWritable},
    {"DvdPlusRInADriveWritingDvdPlusRw", "dvd+r", false, "class=bd-writer,writes=dvd+rw", false, false, 0,
     kErrorNotWritable},
    {"CdRwInADriveWritingCdR", "cd-rw", false, "class=bd-writer,writes=cd-r", false, false, 0, kErrorNotWritable},
};

class Refusal : public BurnFaults, public ::testing::WithParamInterface<TRefusalCase> {};

TEST_P(Refusal, RecordsNothing) {
  const TRefusalCase& c = GetParam();
  Load(c.profile, c.drive, c.formatted);
  if (c.empty) {
    disc.ClearAll();
    ASSERT_GT(disc.Prepare(), 0u);
  } else {
    Lay(Source("src"));
  }
  disc.SetTestWrite(c.test_write);
  if (c.named_profile != 0) {
    ASSERT_EQ(vbtest::Lib().vb_fault_profile(drive_, c.named_profile), 0);
  }
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ExpectRefused(outcome, c.error);
  EXPECT_EQ(Recording(trace), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, Refusal, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<TRefusalCase>& param) { return param.param.name; });

// Where page 05h decides how the disc is recorded (CD, DVD-R, a test
// write), a drive that refuses it fails the burn with its sense before the
// first write, and nothing closes the disc.  DVD+R does not use the page.
struct TRefusedPageCase {
  const char* profile;
  bool test_write;
  bool fails;
};

class RefusedWriteParameters : public BurnFaults, public ::testing::WithParamInterface<TRefusedPageCase> {};

TEST_P(RefusedWriteParameters, FailTheBurnBeforeItWrites) {
  const TRefusedPageCase& c = GetParam();
  Load(c.profile);
  Lay(Source("src"));
  disc.SetTestWrite(c.test_write);
  ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive_, 0x55, 1000, 0x05, 0x26, 0x00), 0);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.events, 1);
  EXPECT_EQ(outcome.failed, c.fails);
  if (!c.fails) return;
  EXPECT_EQ(outcome.error, 0x2600u) << "the drive's sense: invalid field in parameter list";
  EXPECT_EQ(Recording(trace), "");
  EXPECT_EQ(vbtest::Drive().DiscStatus(), 0) << "the disc is still empty";
}

INSTANTIATE_TEST_SUITE_P(Media, RefusedWriteParameters,
                         ::testing::Values(TRefusedPageCase{"cd-r", false, true}, TRefusedPageCase{"cd-r", true, true},
                                           TRefusedPageCase{"dvd-r", false, true},
                                           TRefusedPageCase{"dvd+r", false, false}));

TEST_F(BurnFaults, AnImageThatIsNotAnIsoImageIsRefused) {
  Load("dvd+r");
  vbtest::WriteFile(scratch.Path("not.iso"), vbtest::Bytes(40000, 0x41));
  const TOutcome outcome = Run([this] { return disc.BurnISOImage(scratch.Path("not.iso")); });
  ExpectRefused(outcome, kErrorNotAnImage);
  EXPECT_EQ(Run([this] { return disc.BurnISOImage(scratch.Path("missing.iso")); }).error, kErrorOpening);
}

}  // namespace
}  // namespace orvex::test
