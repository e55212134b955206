// SPDX-License-Identifier: Apache-2.0
// The driver library boundary: loading, the request codes, malformed
// request blocks, completion (through the post event, synchronously, or
// not at all while the drive stalls, given up by an abort request), and the
// fault and trace controls.
#include <dlfcn.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

using namespace orvex;

TEST(VburnerLibrary, ExportsTheEntryPointsAndTheControlInterfaceOnly) {
  EXPECT_NE(dlsym(Lib().handle, "GetASPI32SupportInfo"), nullptr);
  EXPECT_NE(dlsym(Lib().handle, "SendASPI32Command"), nullptr);
  EXPECT_NE(dlsym(Lib().handle, "vb_configure"), nullptr);
  EXPECT_EQ(dlsym(Lib().handle, "_ZN5orvex7vburner8Emulator8InstanceEv"), nullptr);
}

TEST(VburnerLibrary, SupportInfoAndHostAdapterInquiryCountAdapters) {
  Scratch scratch;
  Configure("0:0:0;2:1:0");
  EXPECT_EQ(Lib().support_info(), 0x0103u);

  TSRB_HAInquiry inquiry{};
  EXPECT_EQ(Lib().send(&inquiry), kSrbStatusDone);
  EXPECT_EQ(inquiry.SRB_Status, kSrbStatusDone);
  EXPECT_EQ(inquiry.HA_Count, 3);
  EXPECT_EQ(inquiry.HA_Unique[3], 8);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry.HA_ManagerId), 16), "ORVEX VBURNER   ");
  inquiry.SRB_HaId = 3;
  EXPECT_EQ(Lib().send(&inquiry), kSrbStatusInvalidHa);

  Configure("");
  EXPECT_EQ(Lib().support_info(), 0u);  // no adapters: the library is not usable
}

TEST(VburnerLibrary, GetDiskInfoReportsTheConfiguredLetter) {
  Scratch scratch;
  Configure("0:1:0,letter=V;0:2:0");
  TSRB_GetDiskInfo info{};
  info.SRB_Cmd = kSrbGetDiskInfo;
  info.SRB_Target = 1;
  EXPECT_EQ(Lib().send(&info), kSrbStatusDone);
  EXPECT_EQ(info.SRB_Int13HDriveInfo, 'V' - 'A');
  info.SRB_Target = 2;
  EXPECT_EQ(Lib().send(&info), kSrbStatusError);
  info.SRB_Target = 3;
  EXPECT_EQ(Lib().send(&info), kSrbStatusNoDevice);
}

TEST(VburnerLibrary, MalformedRequestBlocksAreRefusedBeforeAnyDriveSeesThem) {
  Scratch scratch;
  Configure("0:0:0");
  EXPECT_EQ(Lib().send(nullptr), kSrbStatusInvalidSrb);

  uint8_t unknown[64] = {9};
  EXPECT_EQ(Lib().send(unknown), kSrbStatusInvalidCmd);
  EXPECT_EQ(unknown[1], kSrbStatusInvalidCmd);

  uint8_t buffer[64];
  TSRB_ExecSCSICmd srb = RequestBlock(0x00, 7);
  EXPECT_EQ(Lib().send(&srb), kSrbStatusInvalidSrb);
  srb = RequestBlock(0x12);
  srb.SRB_Flags = kSrbDataIn | kSrbDataOut;
  srb.SRB_BufLen = sizeof buffer;
  srb.SRB_BufPointer = buffer;
  EXPECT_EQ(Lib().send(&srb), kSrbStatusInvalidSrb);
  srb = RequestBlock(0x12);
  srb.SRB_BufLen = 64;  // and no pointer
  EXPECT_EQ(Lib().send(&srb), kSrbStatusInvalidSrb);
  srb = RequestBlock(0x00);
  srb.SRB_SenseLen = 33;
  EXPECT_EQ(Lib().send(&srb), kSrbStatusInvalidSrb);
  srb = RequestBlock(0x00);
  srb.SRB_Flags = kSrbPostEvent;
  srb.SRB_PostProc = -1;
  EXPECT_EQ(Lib().send(&srb), kSrbStatusInvalidSrb);

  srb = RequestBlock(0x00);
  srb.SRB_HaId = 1;
  EXPECT_EQ(Lib().send(&srb), kSrbStatusInvalidHa);
  srb = RequestBlock(0x00);
  srb.SRB_Target = 5;
  EXPECT_EQ(Lib().send(&srb), kSrbStatusNoDevice);
  EXPECT_EQ(srb.SRB_HaStat, kHaStatSelectionTimeout);
}

TEST(VburnerLibrary, TransfersThatDoNotFitTheRequestFailAtTheHostAdapter) {
  Scratch scratch;
  const std::string disc = Create(scratch, "a.vmed", "dvd+r");
  Configure("0:0:0,medium=" + disc);
  Drive drive;
  uint8_t small[10] = {};
  Result r = drive.Send({0x25, 0, 0, 0, 0, 0}, kSrbDataIn, small, 8);  // READ CAPACITY in a 6-byte CDB
  EXPECT_EQ(r.status, kSrbStatusError);
  EXPECT_EQ(r.host_status, kHaStatPhaseError);

  r = drive.Send({0x12, 0, 0, 0, 96, 0}, kSrbDataOut, small, sizeof small);  // data in, flagged out
  EXPECT_EQ(r.host_status, kHaStatPhaseError);

  r = drive.Send({0x12, 0, 0, 0, 96, 0}, kSrbDataIn, small, sizeof small);  // 96 bytes into 10
  EXPECT_EQ(r.status, kSrbStatusError);
  EXPECT_EQ(r.host_status, kHaStatDataOverUnderrun);
  EXPECT_EQ(small[0], 0x05);  // what fitted arrived

  Bytes one_block(2048, 0xAB);  // WRITE of two blocks with one block of data
  r = drive.Send({0x2A, 0, 0, 0, 0, 0, 0, 0, 2, 0}, kSrbDataOut, one_block.data(), 2048);
  EXPECT_EQ(r.host_status, kHaStatDataOverUnderrun);
  EXPECT_EQ(drive.NextWritable(1), 0u);  // nothing was recorded
}

TEST(VburnerLibrary, CompletesThroughThePostEventOnlyWhenTheDriveAnswers) {
  Scratch scratch;
  Configure("0:0:0");
  ASSERT_EQ(Lib().vb_fault_stall({0, 0, 0}, 1), 0);
  uint8_t inquiry[36];
  TSRB_ExecSCSICmd first = RequestBlock(0x00), second = RequestBlock(0x12, 6, inquiry, sizeof inquiry);
  second.CDBByte[4] = sizeof inquiry;
  const int e1 = eventfd(0, EFD_CLOEXEC), e2 = eventfd(0, EFD_CLOEXEC);
  first.SRB_Flags |= kSrbPostEvent;
  first.SRB_PostProc = e1;
  second.SRB_Flags |= kSrbPostEvent;
  second.SRB_PostProc = e2;
  EXPECT_EQ(Lib().send(&first), kSrbStatusPending);
  EXPECT_EQ(Lib().send(&second), kSrbStatusPending);
  EXPECT_FALSE(Signalled(e1, 50));  // a stalled drive answers nothing

  // A caller without a post event is told "pending" instead of hanging.
  TSRB_ExecSCSICmd polled = RequestBlock(0x00);
  EXPECT_EQ(Lib().send(&polled), kSrbStatusPending);

  ASSERT_EQ(Lib().vb_fault_stall({0, 0, 0}, 0), 0);
  ASSERT_TRUE(Signalled(e1, 5000));
  ASSERT_TRUE(Signalled(e2, 5000));
  EXPECT_EQ(first.SRB_Status, kSrbStatusError);  // no medium: 02/3A/01
  EXPECT_EQ(first.SenseArea[12], 0x3A);
  EXPECT_EQ(second.SRB_Status, kSrbStatusDone);
  EXPECT_EQ(inquiry[0], 0x05);
  close(e1);
  close(e2);
}

// Where the drive's time costs no real time (it stands still, or runs an
// hour in a blink), a posted command with nothing before it is answered by
// the call, without the event; where it costs real time it goes to the
// worker, and its caller waits for the event and may give it up meanwhile.
TEST(VburnerLibrary, PostedCommandsAreAnsweredInTheCallOnlyWhereTimeCostsNothing) {
  struct TCase {
    double scale;
    bool in_call;
  };
  const TCase cases[] = {{0, true}, {1e9, true}, {1, false}, {1000, false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.scale);
    Scratch scratch;
    Configure("0:0:0");
    Lib().vb_set_time_scale(c.scale);
    uint8_t data[36];
    TSRB_ExecSCSICmd srb = RequestBlock(0x12, 6, data, sizeof data);
    srb.CDBByte[4] = sizeof data;
    srb.SRB_Flags |= kSrbPostEvent;
    const int event = eventfd(0, EFD_CLOEXEC);
    srb.SRB_PostProc = event;
    const uint8_t returned = Lib().send(&srb);
    if (c.in_call) {
      EXPECT_EQ(returned, kSrbStatusDone);
      EXPECT_FALSE(Signalled(event, 0));
    } else {
      EXPECT_EQ(returned, kSrbStatusPending);
      EXPECT_TRUE(Signalled(event, 5000));
    }
    EXPECT_EQ(srb.SRB_Status, kSrbStatusDone);
    EXPECT_EQ(data[0], 0x05);
    close(event);
  }
}

// Commands queued behind a drive that answers nothing all run, in the order
// they came, once it answers again: the worker takes them one after the
// other without waiting to be woken for each.
TEST(VburnerLibrary, QueuedCommandsRunInOrderOnceTheDriveAnswers) {
  Scratch scratch;
  Configure("0:0:0");
  ASSERT_EQ(Lib().vb_trace({0, 0, 0}, 1), 0);
  ASSERT_EQ(Lib().vb_fault_stall({0, 0, 0}, 1), 0);
  const uint8_t opcodes[] = {0x00, 0x12, 0x1E, 0x00, 0x12};
  std::vector<TSRB_ExecSCSICmd> blocks;
  std::vector<std::array<uint8_t, 36>> answers(std::size(opcodes));
  for (size_t i = 0; i < std::size(opcodes); ++i) {
    blocks.push_back(RequestBlock(opcodes[i], 6, opcodes[i] == 0x12 ? answers[i].data() : nullptr,
                                  opcodes[i] == 0x12 ? 36 : 0));
    if (opcodes[i] == 0x12) blocks.back().CDBByte[4] = 36;
  }
  const int event = eventfd(0, EFD_CLOEXEC | EFD_SEMAPHORE);
  for (TSRB_ExecSCSICmd& srb : blocks) {
    srb.SRB_Flags |= kSrbPostEvent;
    srb.SRB_PostProc = event;
    EXPECT_EQ(Lib().send(&srb), kSrbStatusPending);
  }
  ASSERT_EQ(Lib().vb_fault_stall({0, 0, 0}, 0), 0);
  for (size_t i = 0; i < blocks.size(); ++i) ASSERT_TRUE(Signalled(event, 5000)) << "command " << i;
  for (const TSRB_ExecSCSICmd& srb : blocks) EXPECT_NE(srb.SRB_Status, kSrbStatusPending);
  EXPECT_EQ(Opcodes(Trace({0, 0, 0})), "00! 12 1e 00! 12");
  close(event);
}

TEST(VburnerLibrary, SynchronousDrivesAndRequestsWithoutEventAnswerBeforeReturning) {
  Scratch scratch;
  Configure("0:0:0,sync=1;0:1:0");
  for (uint8_t target : {0, 1}) {
    uint8_t data[36];
    TSRB_ExecSCSICmd srb = RequestBlock(0x12, 6, data, sizeof data);
    srb.SRB_Target = target;
    srb.SRB_Flags |= target == 0 ? kSrbPostEvent : 0;
    srb.CDBByte[4] = sizeof data;
    const int event = eventfd(0, EFD_CLOEXEC);
    srb.SRB_PostProc = event;
    EXPECT_EQ(Lib().send(&srb), kSrbStatusDone);
    EXPECT_FALSE(Signalled(event, 0));  // completed in the call: no event
    close(event);
  }
}

TEST(VburnerLibrary, ShuttingDownAbortsCommandsStillWaiting) {
  Scratch scratch;
  Configure("0:0:0");
  ASSERT_EQ(Lib().vb_fault_stall({0, 0, 0}, 1), 0);
  TSRB_ExecSCSICmd srb = RequestBlock(0x00);
  const int event = eventfd(0, EFD_CLOEXEC);
  srb.SRB_Flags = kSrbPostEvent;
  srb.SRB_PostProc = event;
  EXPECT_EQ(Lib().send(&srb), kSrbStatusPending);
  Configure("");
  ASSERT_TRUE(Signalled(event, 5000));
  EXPECT_EQ(srb.SRB_Status, kSrbStatusAborted);
  close(event);
}

// The abort request (code 3) gives up a command the drive still holds; one
// that already ended, or an address with no adapter, is refused.
TEST(VburnerLibrary, AnAbortRequestGivesUpAPendingCommandOnly) {
  Scratch scratch;
  Configure("0:0:0;0:1:0");
  ASSERT_EQ(Lib().vb_fault_stall({0, 1, 0}, 1), 0);
  TSRB_ExecSCSICmd held = RequestBlock(0x00), other = RequestBlock(0x00);
  held.SRB_Target = 1;
  const int event = eventfd(0, EFD_CLOEXEC);
  held.SRB_Flags = other.SRB_Flags = kSrbPostEvent;
  held.SRB_PostProc = other.SRB_PostProc = event;
  ASSERT_EQ(Lib().send(&held), kSrbStatusPending);

  TSRB_Abort abort{};
  abort.SRB_Cmd = kSrbAbortSRB;
  abort.SRB_ToAbort = &other;  // never sent
  EXPECT_EQ(Lib().send(&abort), kSrbStatusAbortFailed);
  abort.SRB_HaId = 1;
  abort.SRB_ToAbort = &held;
  EXPECT_EQ(Lib().send(&abort), kSrbStatusInvalidHa);
  abort.SRB_HaId = 0;
  abort.SRB_ToAbort = nullptr;
  EXPECT_EQ(Lib().send(&abort), kSrbStatusInvalidSrb);
  EXPECT_FALSE(Signalled(event, 0));

  abort.SRB_ToAbort = &held;
  EXPECT_EQ(Lib().send(&abort), kSrbStatusDone);
  ASSERT_TRUE(Signalled(event, 5000));
  EXPECT_EQ(held.SRB_Status, kSrbStatusAborted);
  EXPECT_EQ(Lib().send(&abort), kSrbStatusAbortFailed) << "given up already";

  // The drive still answers the next command once it answers at all.
  ASSERT_EQ(Lib().vb_fault_stall({0, 1, 0}, 0), 0);
  TSRB_ExecSCSICmd next = RequestBlock(0x00);
  next.SRB_Target = 1;
  EXPECT_EQ(Lib().send(&next), kSrbStatusError);  // no medium
  close(event);
}

TEST(VburnerFaults, BusyAndInjectedFailuresHitTheNextCommands) {
  Scratch scratch;
  const std::string disc = Create(scratch, "a.vmed", "dvd+rw", 0, true);
  Configure("0:0:0,medium=" + disc);
  Drive drive;
  ASSERT_EQ(Lib().vb_fault_busy(drive.address(), 2), 0);
  for (int i = 0; i < 2; ++i) {
    const Result r = drive.TestUnitReady();
    EXPECT_EQ(r.status, kSrbStatusError);
    EXPECT_EQ(r.target_status, kTargetStatusBusy);
    EXPECT_EQ(r.sense[0], 0);  // BUSY carries no sense
  }
  EXPECT_TRUE(drive.TestUnitReady().ok());

  ASSERT_EQ(Lib().vb_fault_fail(drive.address(), 0x28, 2, 0x03, 0x11, 0x05), 0);
  EXPECT_TRUE(drive.TestUnitReady().ok());  // other opcodes are not touched
  EXPECT_SENSE(drive.Read(0, 1), 0x03, 0x11, 0x05);
  EXPECT_SENSE(drive.Read(0, 1), 0x03, 0x11, 0x05);
  EXPECT_TRUE(drive.Read(0, 1).ok());
}

TEST(VburnerFaults, WriteErrorAndPulledMediumStopAWriteAtTheirAddress) {
  Scratch scratch;
  const std::string disc = Create(scratch, "a.vmed", "dvd+r");
  Configure("0:0:0,medium=" + disc);
  Drive drive;
  ASSERT_EQ(Lib().vb_fault_write_error(drive.address(), 40, 0x03, 0x0C, 0x00), 0);
  EXPECT_TRUE(drive.Write(0, 32, 1).ok());
  const Result failed = drive.Write(32, 32, 2);
  EXPECT_SENSE(failed, 0x03, 0x0C, 0x00);
  EXPECT_EQ(failed.sense[0], 0xF0);  // valid information field: the failing block
  EXPECT_EQ(Be32(Bytes(failed.sense.begin(), failed.sense.end()), 3), 40u);
  EXPECT_EQ(drive.NextWritable(1), 40u);  // the blocks before it were recorded

  ASSERT_EQ(Lib().vb_fault_remove_medium(drive.address(), 50), 0);
  EXPECT_SENSE(drive.Write(40, 16, 3), 0x02, 0x3A, 0x02);
  EXPECT_SENSE(drive.TestUnitReady(), 0x02, 0x3A, 0x02);
  ASSERT_EQ(Lib().vb_insert(drive.address(), disc.c_str()), 0) << Lib().vb_last_error();
  EXPECT_EQ(drive.NextWritable(1), 50u);  // the track stayed open where the medium left
}

// The same faults set by the description, for a program that cannot call
// the vb_* functions: each hits once, a fail= given twice twice.
TEST(VburnerFaults, TheDescriptionSetsFaultsFromTheStart) {
  Scratch scratch;
  const std::string disc = Create(scratch, "a.vmed", "dvd+r");
  Configure("0:0:0,medium=" + disc + ",writeerror=40/03/0C/00,fail=28/03/11/05,fail=00/02/04/01,fail=00/02/04/01");
  Drive drive;
  EXPECT_SENSE(drive.TestUnitReady(), 0x02, 0x04, 0x01);
  EXPECT_SENSE(drive.TestUnitReady(), 0x02, 0x04, 0x01);
  EXPECT_TRUE(drive.TestUnitReady().ok());
  EXPECT_TRUE(drive.Write(0, 32, 1).ok());
  EXPECT_SENSE(drive.Write(32, 32, 2), 0x03, 0x0C, 0x00);
  EXPECT_SENSE(drive.Read(0, 1), 0x03, 0x11, 0x05);
  EXPECT_TRUE(drive.Read(0, 1).ok());
}

TEST(VburnerTrace, RecordsEveryCommandWithItsDataAndOutcome) {
  Scratch scratch;
  const std::string disc = Create(scratch, "a.vmed", "dvd+r");
  const std::string trace_file = scratch.Path("trace.txt");
  Configure("0:0:0,medium=" + disc + ";trace=" + trace_file);
  Drive drive;
  ASSERT_EQ(Lib().vb_trace(drive.address(), 1), 0);
  EXPECT_TRUE(drive.Run({0x12, 0, 0, 0, 36, 0}, 36).ok());
  EXPECT_TRUE(drive.Write(0, 1, 0x5A).ok());
  EXPECT_FALSE(drive.Read(100, 1).ok());
  ASSERT_EQ(Lib().vb_trace_count(drive.address()), 3);

  vb_trace_entry e{};
  ASSERT_EQ(Lib().vb_trace_get(drive.address(), 0, &e), 0);
  EXPECT_EQ(e.cdb[0], 0x12);
  EXPECT_EQ(e.data_in_length, 36u);
  EXPECT_EQ(e.data[0], 0x05);
  ASSERT_EQ(Lib().vb_trace_get(drive.address(), 1, &e), 0);
  EXPECT_EQ(e.cdb[0], 0x2A);
  EXPECT_EQ(e.data_out_length, 2048u);
  EXPECT_EQ(e.data_captured, 256u);
  EXPECT_EQ(e.data[255], 0x5A);
  ASSERT_EQ(Lib().vb_trace_get(drive.address(), 2, &e), 0);
  EXPECT_EQ(e.status, kSrbStatusError);
  EXPECT_EQ(e.target_status, kTargetStatusCheckCondition);
  EXPECT_EQ(e.sense_key, 0x05);
  EXPECT_EQ(e.asc, 0x21);
  EXPECT_NE(Lib().vb_trace_get(drive.address(), 3, &e), 0);

  std::ifstream lines(trace_file);
  std::string first, line;
  std::getline(lines, first);
  int count = 1;
  while (std::getline(lines, line)) ++count;
  EXPECT_EQ(count, 3);
  EXPECT_NE(first.find(" 0:0:0 12 00 00 00 24 00 out 0 in 36 -> 01 00:00 00/00/00 | 05 80"), std::string::npos) << first;
}

TEST(VburnerConfiguration, MalformedDescriptionsAreRefusedWithTheReason) {
  Scratch scratch;
  for (const char* bad : {"0:0", "0:9:0", "0:0:0,colour=red", "0:0:0,reads=cd-r/laserdisc", "timescale=-1",
                          "0:0:0;0:0:0", "0:0:0,buffer=1", "volume=11", "0:0:0,fail=2A/03/0C", "0:0:0,fail=2AA/03/0C/00",
                          "0:0:0,writeerror=x/03/0C/00", "0:0:0,writeerror=40/03/0C/100"}) {
    EXPECT_EQ(Lib().vb_configure(bad), -1) << bad;
    EXPECT_STRNE(Lib().vb_last_error(), "") << bad;
  }
  EXPECT_EQ(Lib().vb_configure(("0:0:0,medium=" + scratch.Path("missing.vmed")).c_str()), -1);
  EXPECT_NE(std::string(Lib().vb_last_error()).find("missing.vmed"), std::string::npos);
  Drive drive;
  EXPECT_SENSE(drive.TestUnitReady(), 0x02, 0x3A, 0x01);  // the drive is there, its tray empty
}

}  // namespace
}  // namespace vbtest
