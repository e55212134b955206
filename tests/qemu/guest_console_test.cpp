// SPDX-License-Identifier: Apache-2.0
// Reading the guest's console: exactly the bytes each command wrote, past
// the kernel's lines and the serial line's CR, and a loud failure for every
// marker out of its place, so that a garbled run never reads as a pass.
#include <gtest/gtest.h>

#include "qemu/guest_console.h"

namespace orvex::test {
namespace {

TEST(GuestConsole, ReadsEachCommandsBytesAndStatus) {
  const TGuestConsole console = ReadGuestConsole(
      "[    1.234] sr 1:0:0:0: Attached scsi CD-ROM sr0\r\n"
      "@@orvex-guest ready 2.50\r\n"
      "@@orvex-guest begin Sector\r\n"
      "@@orvex-guest note Sector out holds 3 bytes that are not plain text\r\n"
      "@@orvex-guest out 01 00 0a\r\n"
      "@@orvex-guest err 6f 6b\r\n"
      "@@orvex-guest end Sector 0\r\n"
      "@@orvex-guest begin Missing\r\n"
      "| ls: /nothing: No such file or directory\r\n"
      "@@orvex-guest err 6c 73\r\n"
      "@@orvex-guest end Missing 1\r\n"
      "@@orvex-guest done 3.75\r\n");
  EXPECT_TRUE(console.failures.empty());
  EXPECT_TRUE(console.ready);
  EXPECT_DOUBLE_EQ(console.ready_uptime, 2.5);
  EXPECT_DOUBLE_EQ(console.done_uptime, 3.75);
  ASSERT_EQ(console.commands.size(), 2u);
  const TGuestCommandResult* sector = console.Find("Sector");
  ASSERT_NE(sector, nullptr);
  EXPECT_EQ(sector->out, std::string("\x01\x00\n", 3));
  EXPECT_EQ(sector->err, "ok");
  EXPECT_EQ(sector->status, 0);
  EXPECT_EQ(console.Find("Missing")->status, 1);
  EXPECT_EQ(console.Find("Missing")->err, "ls");
  EXPECT_EQ(console.Find("Other"), nullptr);
}

TEST(GuestConsole, EveryBrokenFormIsAFailure) {
  struct TCase {
    const char* what;
    const char* text;
  };
  const TCase cases[] = {
      {"the guest's own failure", "@@orvex-guest fail no /dev/sr0 within 30 s\n"},
      {"output before any begin", "@@orvex-guest out 61\n"},
      {"a byte that is not two hex digits", "@@orvex-guest begin A\n@@orvex-guest out 6\n@@orvex-guest end A 0\n"},
      {"a field that is not hex", "@@orvex-guest begin A\n@@orvex-guest out zz\n@@orvex-guest end A 0\n"},
      {"an end of another command", "@@orvex-guest begin A\n@@orvex-guest end B 0\n"},
      {"an end without a status", "@@orvex-guest begin A\n@@orvex-guest end A\n"},
      {"a begin inside a command", "@@orvex-guest begin A\n@@orvex-guest begin B\n@@orvex-guest end B 0\n"},
      {"a command cut off", "@@orvex-guest begin A\n@@orvex-guest out 61\n"},
      {"an unknown marker", "@@orvex-guest bogus\n"},
  };
  for (const TCase& c : cases) {
    EXPECT_FALSE(ReadGuestConsole(c.text).failures.empty()) << c.what;
  }
  // A command cut off has no status, and the power-off line is missing.
  const TGuestConsole cut = ReadGuestConsole("@@orvex-guest begin A\n@@orvex-guest out 61\n");
  EXPECT_EQ(cut.Find("A")->status, -1);
  EXPECT_EQ(cut.done_uptime, -1);
}

}  // namespace
}  // namespace orvex::test
