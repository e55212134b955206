// SPDX-License-Identifier: Apache-2.0
// Whether the medium changed, by the drive's media events: one command per
// look while nothing happens, every change the burner makes seen once, and
// a drive that keeps no events told apart from one with nothing to say.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "drive_fixture.h"

namespace orvex {
namespace {

using test::DriveTest;

TEST_F(DriveTest, MediaEventsTellOfEachChangeOnce) {
  Load("dvd+r", "class=dvd-writer");
  const vb_address drive{0, 0, 0};
  const struct {
    const char* step;
    std::function<void()> act;
    std::optional<bool> changed;
    const char* sent;  // the opcodes of the look
  } kSteps[] = {
      {"the disc found at power-on", [] {}, true, "4a 4a"},
      {"nothing happened", [] {}, false, "4a"},
      {"tray opened", [&] { ASSERT_EQ(vbtest::Lib().vb_tray(drive, 1), 0); }, true, "4a 4a"},
      {"tray still open", [] {}, false, "4a"},
      {"tray closed", [&] { ASSERT_EQ(vbtest::Lib().vb_tray(drive, 0), 0); }, true, "4a 4a"},
      {"disc swapped between two looks",
       [&] { ASSERT_EQ(vbtest::Lib().vb_insert(drive, vbtest::Create(scratch, "other.vmed", "dvd+r").c_str()), 0); },
       true, "4a 4a 4a"},
      {"ejected by command", [&] { ASSERT_TRUE(disc.EjectMedium(false)); }, true, "4a 4a"},
      {"loaded by command", [&] { ASSERT_TRUE(disc.LoadMedium(false)); }, true, "4a 4a"},
      {"an attention on the look", [&] { ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive, 0x4A, 1, 6, 0x28, 0), 0); },
       false, "4a! 4a"},
      {"a drive that refuses the command",
       [&] { ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive, 0x4A, 1, 5, 0x20, 0), 0); }, std::nullopt, "4a!"},
      {"an answer without the media class", [&] { ASSERT_EQ(vbtest::Lib().vb_fault_length(drive, 0x4A, 2), 0); },
       std::nullopt, "4a"},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.step);
    s.act();
    disc.TakeError();  // what the act left
    std::optional<bool> changed;
    const auto trace = Traced([&] { changed = disc.MediumChanged(); });
    EXPECT_EQ(changed, s.changed);
    EXPECT_EQ(vbtest::Opcodes(trace), s.sent);
    EXPECT_EQ(disc.TakeError().Number, 0u) << "a look leaves no error for the user's next action";
  }
}

TEST_F(DriveTest, NoMediaEventsWithoutADrive) {
  Load("dvd+r", "class=dvd-writer");
  EXPECT_FALSE(disc.SelectDevice(1));  // no such drive: none is selected
  EXPECT_EQ(disc.MediumChanged(), std::nullopt);
}

}  // namespace
}  // namespace orvex
