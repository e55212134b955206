// SPDX-License-Identifier: Apache-2.0
// Bad answers on request, each seen through the request block: a short
// transfer with its residue, length fields that overstate the data, an
// unknown current profile, CHECK CONDITION without sense, and a command
// that completes only after a delay in modelled time.
#include <sys/eventfd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

using namespace orvex;

class BadAnswers : public MediumTest {
 protected:
  void SetUp() override {
    Load("dvd+r");
    // One closed session, so that the TOC has something to say.
    ASSERT_TRUE(drive_.Write(0, 32, 0x5A).ok());
    ASSERT_TRUE(drive_.Close(1, 1).ok());
    ASSERT_TRUE(drive_.Close(2, 0).ok());
  }
  // Sends `cdb` with a buffer of `length` bytes of 0xEE, returning what the buffer holds after.
  Result Send(const Bytes& cdb, uint32_t length) {
    Bytes buffer(length, 0xEE);
    Result r = drive_.Send(cdb, kSrbDataIn, buffer.data(), length);
    r.data = std::move(buffer);
    return r;
  }
};

const Bytes kDiscInfo{0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0};
const Bytes kRead{0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0};

TEST_F(BadAnswers, AShortTransferStopsEarlyAndReportsWhatArrived) {
  const struct {
    const char* command;
    Bytes cdb;
    uint32_t buffer, arrive;
  } kCases[] = {
      {"disc information", kDiscInfo, 34, 10},
      {"read", kRead, 2048, 100},  // the blocks go the same way as built answers
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.command);
    const Result whole = Send(c.cdb, c.buffer);
    ASSERT_TRUE(whole.ok()) << SenseText(whole);
    ASSERT_EQ(Lib().vb_fault_short_transfer(drive_.address(), c.cdb[0], c.arrive), 0);
    const Result r = Send(c.cdb, c.buffer);
    EXPECT_EQ(r.status, kSrbStatusError);
    EXPECT_EQ(r.host_status, kHaStatDataOverUnderrun);
    EXPECT_EQ(r.target_status, kTargetStatusGood);
    EXPECT_EQ(r.buffer_length, c.arrive);  // the residue: c.buffer - c.arrive
    EXPECT_EQ(Slice(r.data, 0, c.arrive), Slice(whole.data, 0, c.arrive));
    EXPECT_EQ(r.data[c.arrive], 0xEE);  // nothing past what arrived
    EXPECT_EQ(Send(c.cdb, c.buffer).data, whole.data);  // the next one arrives whole
  }
}

TEST_F(BadAnswers, ALengthFieldClaimsMoreThanTheDataHold) {
  const struct {
    const char* command;
    Bytes cdb;
    uint32_t buffer;
    uint32_t claim;
    Bytes field;  // the bytes that replace the answer's own, from its start
    size_t at;
  } kCases[] = {
      {"disc information", kDiscInfo, 34, 0xFFFF, {0xFF, 0xFF}, 0},
      {"configuration", {0x46, 0, 0, 0, 0, 0, 0, 0x10, 0, 0}, 4096, 0x7FFFFFF0, {0x7F, 0xFF, 0xFF, 0xF0}, 0},
      {"toc", {0x43, 0, 0, 0, 0, 0, 0, 0, 64, 0}, 64, 0x1000, {0x10, 0x00}, 0},  // runs past the buffer
      {"format capacities", {0x23, 0, 0, 0, 0, 0, 0, 0, 252, 0}, 252, 0x1234, {0xFF}, 3},  // as much as a byte holds
      {"request sense", {0x03, 0, 0, 0, 18, 0}, 18, 200, {200}, 7},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.command);
    const Result whole = Send(c.cdb, c.buffer);
    ASSERT_TRUE(whole.ok()) << SenseText(whole);
    ASSERT_EQ(Lib().vb_fault_length(drive_.address(), c.cdb[0], c.claim), 0) << Lib().vb_last_error();
    const Result r = Send(c.cdb, c.buffer);
    ASSERT_TRUE(r.ok()) << SenseText(r);
    Bytes expected = whole.data;
    std::copy(c.field.begin(), c.field.end(), expected.begin() + static_cast<long>(c.at));
    EXPECT_EQ(r.data, expected);
    EXPECT_EQ(Send(c.cdb, c.buffer).data, whole.data);
  }
  EXPECT_EQ(Lib().vb_fault_length(drive_.address(), 0x28, 1), -1);  // READ has no length field
  EXPECT_NE(std::string(Lib().vb_last_error()).find("28h"), std::string::npos);
}

TEST_F(BadAnswers, AnUnknownCurrentProfileAndSenseOfZeros) {
  ASSERT_EQ(Lib().vb_fault_profile(drive_.address(), 0x00FF), 0);
  Result r = drive_.Run({0x46, 0x00, 0, 0, 0, 0, 0, 0, 64, 0}, 64);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(Be16(r.data, 6), 0x00FF);
  EXPECT_EQ(CurrentProfile(), 0x001B);  // once only
  // A mistaken profile stays until the faults are cleared; the disc
  // information still tells the medium's own erasable bit.
  ASSERT_EQ(Lib().vb_fault_wrong_profile(drive_.address(), 0x001A), 0);
  EXPECT_EQ(CurrentProfile(), 0x001A);
  EXPECT_EQ(CurrentProfile(), 0x001A);
  EXPECT_EQ(drive_.DiscInfo().data[2] & 0x10, 0);
  ASSERT_EQ(Lib().vb_fault_clear(drive_.address()), 0);
  EXPECT_EQ(CurrentProfile(), 0x001B);

  ASSERT_EQ(Lib().vb_fault_empty_sense(drive_.address(), 0x2A), 0);
  r = drive_.Write(8224, 16, 1);  // the next writable address of the second session
  EXPECT_EQ(r.status, kSrbStatusError);
  EXPECT_EQ(r.target_status, kTargetStatusCheckCondition);
  EXPECT_EQ(r.sense, (std::array<uint8_t, 32>{}));
  EXPECT_EQ(drive_.NextWritable(2), 8224u);  // nothing was written
  EXPECT_TRUE(drive_.Write(8224, 16, 1).ok());
}

TEST_F(BadAnswers, ADelayedCommandStaysPendingUntilModelledTimeReachesIt) {
  ASSERT_EQ(Lib().vb_fault_delay(drive_.address(), 0x51, 5000000), 0);
  ASSERT_EQ(Lib().vb_trace(drive_.address(), 1), 0);
  const uint64_t start = Lib().vb_now();
  uint8_t info[34] = {};
  TSRB_ExecSCSICmd delayed = RequestBlock(0x51, 10, info, sizeof info), behind = RequestBlock(0x00);
  delayed.SRB_Flags |= kSrbPostEvent;
  delayed.CDBByte[8] = sizeof info;
  const int event = eventfd(0, EFD_CLOEXEC);
  delayed.SRB_PostProc = event;
  EXPECT_EQ(Lib().send(&delayed), kSrbStatusPending);
  EXPECT_EQ(Lib().send(&behind), kSrbStatusPending);  // no post event: told "pending" all the same
  Lib().vb_advance_time(4999999);
  EXPECT_FALSE(Signalled(event, 20));
  EXPECT_EQ(behind.SRB_Status, kSrbStatusPending);  // it waits behind the delayed one
  Lib().vb_advance_time(1);
  ASSERT_TRUE(Signalled(event, 5000));
  EXPECT_EQ(delayed.SRB_Status, kSrbStatusDone);
  EXPECT_EQ(info[2], 0x01);  // appendable
  TSRB_ExecSCSICmd after = RequestBlock(0x00);
  EXPECT_EQ(Lib().send(&after), kSrbStatusDone);  // answered in the call, so the one before it is done too
  EXPECT_EQ(behind.SRB_Status, kSrbStatusDone);
  const std::vector<vb_trace_entry> trace = Trace(drive_.address());
  ASSERT_EQ(Opcodes(trace), "51 00 00");
  EXPECT_EQ(trace[0].time_us, start + 5000000);
  close(event);
}

}  // namespace
}  // namespace vbtest
