// SPDX-License-Identifier: Apache-2.0
// Running commands in the test guest: a QEMU machine whose ATAPI CD-ROM
// drive holds an image, started by tests/qemu/run_in_guest.sh.
#ifndef ORVEX_TESTS_QEMU_GUEST_BOOT_H_
#define ORVEX_TESTS_QEMU_GUEST_BOOT_H_

#include <string>
#include <utility>
#include <vector>

#include "qemu/guest_console.h"

namespace orvex::test {

struct TGuestSpec {
  std::string image;  // what the drive holds
  // NAME and the busybox sh command line the guest runs, in order. A name
  // is letters, digits and '_'; a command is one line.
  std::vector<std::pair<std::string, std::string>> commands;
  std::vector<std::string> programs;  // host programs the commands run, found in the guest by name
};

enum class TGuestOutcome {
  Ran,        // the guest ran every command and powered off
  CannotRun,  // this machine cannot run the guest; `message` says why
  Failed,     // anything else; `message` says what
};

struct TGuestRun {
  TGuestOutcome outcome = TGuestOutcome::Failed;
  std::string message;       // what the runner said: the reason, or the kernel and the time taken
  std::string console_text;  // all the guest's console said
  TGuestConsole console;
};

// Boots the guest once for all of `spec`'s commands; `work_dir` receives the
// command file and the console log.
TGuestRun RunInGuest(const TGuestSpec& spec, const std::string& work_dir);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_QEMU_GUEST_BOOT_H_
