// SPDX-License-Identifier: Apache-2.0
// The one path of every command: what it keeps of a command's outcome, the
// two ways a library completes, and the debug log, line for line.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <atomic>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <thread>

#include "answering_transport.h"
#include "drive/debug_log.h"
#include "drive/execute_command.h"
#include "drive/mmc_commands.h"
#include "drive/ready_polls.h"
#include "drive_fixture.h"

namespace orvex {
namespace {

using test::DriveTest;

TEST_F(DriveTest, DriveErrorsAreKeptUntilRead) {
  Load("dvd+r", "class=dvd-writer");
  const vb_address drive{0, 0, 0};
  vbtest::Lib().vb_fault_fail(drive, 0x00, 1, 0x02, 0x3A, 0x02);
  EXPECT_FALSE(disc.TestUnitReady());
  EXPECT_EQ(disc.Device.LastSenseInfo.AddSenseCode, 0x3A);
  EXPECT_TRUE(disc.TestUnitReady());  // a success leaves the error pending
  EXPECT_EQ(disc.ErrorString(), "Hardware Error 14850");
  EXPECT_EQ(disc.ErrorNumber(), 0u);

  vbtest::Lib().vb_fault_fail(drive, 0x00, 1, 0x02, 0x04, 0x01);
  EXPECT_FALSE(disc.TestUnitReady());
  EXPECT_EQ(disc.ErrorStringW(), u"Hardware Error \\'1025");
}

TEST_F(DriveTest, BusyIsTold) {
  Load("dvd+r", "class=dvd-writer");
  vbtest::Lib().vb_fault_busy({0, 0, 0}, 1);
  EXPECT_FALSE(disc.TestUnitReady());
  EXPECT_TRUE(disc.Device.TargetBusy);
  EXPECT_TRUE(disc.TestUnitReady());
  EXPECT_FALSE(disc.Device.TargetBusy);
}

// A library that completes at once, one that completes through the post
// event, and a command held back until modelled time reaches it.
TEST_F(DriveTest, BothWaysOfCompleting) {
  for (const char* sync : {"sync=1", "sync=0"}) {
    Load("dvd+r", std::string("class=dvd-writer,") + sync);
    EXPECT_TRUE(disc.TestUnitReady()) << sync;
    EXPECT_EQ(disc.DiscIs(), TMedium::mtDVDPLUSR) << sync;
  }
  vbtest::Lib().vb_fault_delay({0, 0, 0}, 0x00, 5'000'000);
  std::atomic<bool> done{false};
  std::thread time_passes([&] {
    while (!done) {
      vbtest::Lib().vb_advance_time(100'000);
      std::this_thread::yield();
    }
  });
  EXPECT_TRUE(disc.TestUnitReady());
  done = true;
  time_passes.join();
}

// Sense in either format reaches the record every wait and retry reads in
// fixed format: key, code and qualifier, and the descriptors' payloads.
TEST(SenseFormats, AreReadAlike) {
  struct Row {
    const char* what;
    std::vector<uint8_t> sense;
    uint8_t error_code, key, asc, ascq;
    std::array<uint8_t, 4> info;
    std::array<uint8_t, 3> key_specific;
  };
  const Row rows[] = {
      {"fixed, not ready", {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x01, 0, 0x80, 0x12, 0x34},
       0x70, 0x02, 0x04, 0x01, {}, {0x80, 0x12, 0x34}},
      {"descriptor, progress", {0x72, 0x02, 0x04, 0x04, 0, 0, 0, 8, 0x02, 0x06, 0, 0, 0x80, 0x40, 0x00, 0},
       0x70, 0x02, 0x04, 0x04, {}, {0x80, 0x40, 0x00}},
      {"deferred descriptor, failing block",
       {0x73, 0x03, 0x0C, 0x00, 0, 0, 0, 12, 0x00, 0x0A, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34},
       0xF1, 0x03, 0x0C, 0x00, {0, 0, 0x12, 0x34}, {}},
      {"descriptor, address beyond 32 bits",
       {0x72, 0x03, 0x11, 0x00, 0, 0, 0, 12, 0x00, 0x0A, 0x80, 0, 0, 0, 0, 1, 0, 0, 0, 5},
       0x70, 0x03, 0x11, 0x00, {0, 0, 0, 5}, {}},
      {"descriptor, unit attention", {0x72, 0x06, 0x28, 0x00, 0, 0, 0, 0}, 0x70, 0x06, 0x28, 0x00, {}, {}},
      {"descriptor running past its length",
       {0x72, 0x05, 0x24, 0x00, 0, 0, 0, 4, 0x02, 0x06, 0x80, 0x00, 0x07}, 0x70, 0x05, 0x24, 0x00, {}, {}},
  };
  for (const Row& row : rows) {
    auto owned = std::make_unique<TSCSIDevice>();
    TSCSIDevice& device = *owned;
    device.ASPIInitialized = true;
    device.Transport = std::make_unique<test::AnsweringTransport>(kSrbStatusError, row.sense);
    TSRB_ExecSCSICmd request{};
    request.SRB_CDBLen = 6;
    EXPECT_EQ(ExecuteCommand(device, request), kSrbStatusError) << row.what;
    const TSENSE& s = device.LastSenseInfo;
    EXPECT_EQ(s.ErrorCode, row.error_code) << row.what;
    EXPECT_EQ(SenseKeyOf(s), row.key) << row.what;
    EXPECT_EQ(static_cast<uint16_t>(device.DeviceError), row.asc << 8 | row.ascq) << row.what;
    EXPECT_EQ((std::array{s.InfoByte0, s.InfoByte1, s.InfoByte2, s.InfoByte3}), row.info) << row.what;
    EXPECT_EQ((std::array{s.SenKeySpec15, s.SenKeySpec16, s.SenKeySpec17}), row.key_specific) << row.what;
    EXPECT_EQ(BecomingReady(device), row.asc == 0x04) << row.what;
    EXPECT_EQ(UnitAttention(device), row.key == mmc::kSenseUnitAttention) << row.what;
    EXPECT_TRUE(CommandLogLine(device, request).ends_with(
        (std::ostringstream() << std::hex << std::setfill('0') << std::setw(2) << int{row.asc} << ':'
                              << std::setw(2) << int{row.ascq}).str()))
        << row.what;
  }
}

TEST_F(DriveTest, NothingIsSentWithoutASelectedDrive) {
  Load("dvd+r", "class=dvd-writer");
  EXPECT_FALSE(disc.SelectDevice(1));
  const auto trace = Traced([&] {
    EXPECT_FALSE(disc.TestUnitReady());
    EXPECT_EQ(disc.DiscIs(), TMedium::mtUNKNOWN);
  });
  EXPECT_TRUE(trace.empty());
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The log's lines, byte for byte, with the UTC time pinned: the first line,
// a command with data in, one without data, and an opcode without a name.
TEST_F(DriveTest, TheDebugLogLine) {
  const std::string log = scratch.Path("drive.log");
  Start("0:0:0,class=dvd-writer,medium=" + vbtest::Create(scratch, "log.vmed", "dvd+r"), log);
  alignas(4) uint8_t data[64] = {};
  ASSERT_TRUE(Inquiry(disc.Device, data));
  disc.TestUnitReady();
  TCdb unnamed;
  unnamed.bytes[0] = 0x26;
  unnamed.length = 10;
  RunCommand(disc.Device, unnamed, 0, nullptr, 0);
  disc.DeviceCan(73);  // closes the log

  std::string inquiry = "11:12:345 INQUIRY                (12) {48:06} - 0:0:0 <01> [00040] "
                        "00 00 00 40 00 00 00 00 00 00 00 00 00 00 00 | ";
  for (uint8_t byte : data) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x ", byte);
    inquiry += hex;
  }
  inquiry += "00:00\r";
  const std::vector<std::string> lines = Lines(log);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "GetOrvexVersion\r");
  EXPECT_EQ(lines[1], inquiry);
  EXPECT_EQ(lines[2], "11:12:345 TEST UNIT READY        (00) {40:06} - 0:0:0 <01> [00000] "
                      "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 | 00:00\r");
  EXPECT_EQ(lines[3], "11:12:345  (26) {40:0a} - 0:0:0 <04> [00000] "
                      "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 | 20:00\r");
}

// A log stops at its cap: whole lines only, the last one saying so, and
// nothing after it; a log reopened starts counting again.
TEST_F(DriveTest, TheDebugLogIsCapped) {
  const std::string path = scratch.Path("capped.log");
  const std::string full = "(log full: later lines left out)\r";
  struct Row {
    uint64_t cap;
    size_t lines_kept;  // of "line N" after the first line
  };
  // "GetOrvexVersion\r\n" is 17 bytes, each "line N\r\n" 8, the note 34.
  for (const Row& row : {Row{17 + 34, 0}, Row{17 + 8 + 34, 1}, Row{17 + 8 * 5 + 34 + 7, 5}}) {
    TDebugLog log;
    ASSERT_TRUE(log.Open(path, row.cap));
    for (int i = 0; i < 9; ++i) log.Line("line " + std::to_string(i));
    log.Close();
    const std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), row.lines_kept + 2) << row.cap;
    EXPECT_EQ(lines.front(), "GetOrvexVersion\r");
    EXPECT_EQ(lines.back(), full);
    EXPECT_LE(std::filesystem::file_size(path), row.cap);
    if (row.lines_kept > 0) {
      EXPECT_EQ(lines[row.lines_kept], "line " + std::to_string(row.lines_kept - 1) + "\r");
    }
  }
  // The default cap leaves an ordinary log whole.
  TDebugLog log;
  ASSERT_TRUE(log.Open(path));
  for (int i = 0; i < 1000; ++i) log.Line("line");
  log.Close();
  EXPECT_EQ(Lines(path).size(), 1001u);
}

TEST_F(DriveTest, AMisalignedBufferIsMarked) {
  const std::string log = scratch.Path("drive.log");
  Start("0:0:0,class=dvd-writer", log);
  ASSERT_TRUE(disc.SelectDevice(0));
  alignas(4) uint8_t data[2 + 64] = {};
  ASSERT_TRUE(Inquiry(disc.Device, data + 2));
  disc.DeviceCan(73);
  const std::vector<std::string> lines = Lines(log);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("- NAL -> ", 0), 0u) << lines.back();
  EXPECT_NE(lines.back().find(" 11:12:345 INQUIRY"), std::string::npos) << lines.back();
}

}  // namespace
}  // namespace orvex
