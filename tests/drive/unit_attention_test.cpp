// SPDX-License-Identifier: Apache-2.0
// A unit attention (a drive just powered on, reset, or given a disc) is
// news, not an answer: the questions a program asks first of a drive are
// sent again past it, and answer as they would without it.
#include <gtest/gtest.h>

#include <functional>

#include "drive_fixture.h"

namespace orvex {
namespace {

using test::DriveTest;

// A drive described with a power-on attention still shows what it writes
// the moment it is selected; the trace shows the attention met and the
// capabilities page asked for again.
TEST_F(DriveTest, APowerOnAttentionLeavesTheCapabilitiesWhole) {
  const struct {
    const char* drive;
    const char* profile;
    bool burner, writes_dvd_plus_r;
    const char* select_starts;  // the opcodes SelectDevice sends first (no drive here has page 30h)
  } kCases[] = {
      {"class=dvd-writer", "dvd+r", true, true, "12 5a 5a 5a! 46"},
      {"class=dvd-writer,ua=1", "dvd+r", true, true, "12 5a! 5a 5a 5a! 46"},
      {"class=bd-writer,ua=1", "bd-r", true, true, "12 5a! 5a 5a 5a! 46"},
      {"class=cd-writer,ua=1", "cd-r", true, false, "12 5a! 5a 5a 5a! 46"},
      {"class=dvd-rom,ua=1", "dvd+r", false, false, "12 5a! 5a 5a 5a! 46"},
  };
  int disc_number = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.drive);
    medium = vbtest::Create(scratch, std::to_string(++disc_number) + ".vmed", c.profile);
    Start(std::string("0:0:0,") + c.drive + ",medium=" + medium);
    const auto trace = Traced([&] { ASSERT_TRUE(disc.SelectDevice(0)); });
    EXPECT_EQ(vbtest::Opcodes(trace).rfind(c.select_starts, 0), 0u) << vbtest::Opcodes(trace);
    EXPECT_EQ(disc.DeviceIsBurner(), c.burner);
    EXPECT_EQ(disc.DeviceCan(26), c.writes_dvd_plus_r);
    EXPECT_EQ(disc.DeviceMaxWriteSpeed() > 0, c.burner);
  }
}

// Each start-up question met by one attention of its own answers as it
// does without it.
TEST_F(DriveTest, EveryStartUpQuestionIsAskedPastAnAttention) {
  const vb_address drive{0, 0, 0};
  const auto attention = [&](uint8_t opcode) { ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive, opcode, 1, 6, 0x28, 0), 0); };
  const auto no_profiles = [&] { ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive, 0x46, 2, 5, 0x20, 0), 0); };
  const struct {
    const char* name;
    const char* profile;
    std::function<void()> before;  // faults besides the attention
    uint8_t opcode;                // the command that meets the attention
    std::function<int64_t(TOrvex&)> ask;
  } kCases[] = {
      {"inquiry at selection", "dvd+r", [] {}, 0x12, [](TOrvex& d) { return d.SelectDevice(0) ? 1 : 0; }},
      {"capabilities page", "dvd+r", [] {}, 0x5A, [](TOrvex& d) { return d.DeviceMaxWriteSpeed(); }},
      {"feature list", "dvd+r", [] {}, 0x46,
       [](TOrvex& d) {
         d.DeviceMaxWriteSpeed();  // refreshes the flags
         return d.DeviceCan(27) ? 1 : 0;
       }},
      {"current profile", "dvd+rw", [] {}, 0x46, [](TOrvex& d) { return static_cast<int64_t>(d.DiscIs()); }},
      // A DVD+R the drive takes for a DVD+RW is told by its disc
      // information, which the attention must not hide.
      {"disc information against the profile", "dvd+r",
       [&] { ASSERT_EQ(vbtest::Lib().vb_fault_wrong_profile(drive, 0x1A), 0); }, 0x51,
       [](TOrvex& d) { return static_cast<int64_t>(d.DiscIs()); }},
      {"ATIP without profiles", "cd-rw", no_profiles, 0x43,
       [](TOrvex& d) { return static_cast<int64_t>(d.DiscIs()); }},
      {"DVD structure without profiles", "dvd+r", no_profiles, 0xAD,
       [](TOrvex& d) { return static_cast<int64_t>(d.DiscIs()); }},
      {"sessions", "dvd+r", [] {}, 0x51, [](TOrvex& d) { return d.SessionsOnDisc(); }},
      {"free blocks", "dvd+r", [] {}, 0x52, [](TOrvex& d) { return d.FreeBlocksOnDisc(); }},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Load(c.profile, "class=bd-writer");
    c.before();
    const int64_t plain = c.ask(disc);
    c.before();
    attention(c.opcode);
    const auto trace = Traced([&] { EXPECT_EQ(c.ask(disc), plain); });
    char met[8];
    std::snprintf(met, sizeof met, "%02x!", c.opcode);
    EXPECT_NE(vbtest::Opcodes(trace).find(met), std::string::npos) << vbtest::Opcodes(trace);
    ASSERT_EQ(vbtest::Lib().vb_fault_clear(drive), 0);
  }
}

}  // namespace
}  // namespace orvex
