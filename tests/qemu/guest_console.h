// SPDX-License-Identifier: Apache-2.0
// What the test guest's console said, read back from the marker lines that
// its /init (tests/qemu/guest_init.sh) prints around each command.
#ifndef ORVEX_TESTS_QEMU_GUEST_CONSOLE_H_
#define ORVEX_TESTS_QEMU_GUEST_CONSOLE_H_

#include <string>
#include <vector>

namespace orvex::test {

struct TGuestCommandResult {
  std::string name;
  int status = -1;  // the exit status; -1 while its end marker is missing
  std::string out;  // exactly the bytes the command wrote to standard output
  std::string err;  // and to standard error
};

struct TGuestConsole {
  bool ready = false;        // the drive came up and the commands began
  double ready_uptime = -1;  // seconds since the guest's kernel started
  double done_uptime = -1;   // at the last line before power-off; -1 when missing
  // Why the guest stopped early, in its own words, and every marker that
  // broke the form (an end without a begin, hex that is not hex, ...).
  std::vector<std::string> failures;
  std::vector<TGuestCommandResult> commands;

  // The result of the command `name`, null when it never began.
  const TGuestCommandResult* Find(const std::string& name) const;
};

// Reads the console text; lines without the marker (the kernel's, the
// human copy of each output) are passed over.
TGuestConsole ReadGuestConsole(const std::string& text);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_QEMU_GUEST_CONSOLE_H_
