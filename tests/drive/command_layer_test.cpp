// The one path of every command: what it keeps of a command's outcome, the
// two ways a library completes, and the debug log, line for line.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "drive/execute_command.h"
#include "drive/mmc_commands.h"
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
