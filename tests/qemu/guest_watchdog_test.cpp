// SPDX-License-Identifier: Apache-2.0
// The guest runner's watchdog: a guest whose console falls silent is
// stopped with the console's last words, long before the time limit.  An
// emulator stand-in says what a hung kernel last said and then nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "qemu/guest_boot.h"
#include "support/temp_dir.h"

namespace orvex::test {
namespace {

// Answers the runner's probe of the emulator (-machine none), and as the
// guest writes one line to the serial file (-serial file:PATH), then hangs.
constexpr const char* kHangingEmulator = R"(#!/bin/sh
serial=""
previous=""
for argument; do
  [ "$previous" = -serial ] && serial=${argument#file:}
  [ "$argument" = none ] && [ "$previous" = -machine ] && exit 0
  previous=$argument
done
printf 'Probing EDD (edd=off to disable)... ok\r\n' >"$serial"
exec sleep 600
)";

// Sets the environment for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
  ~ScopedEnv() { unsetenv(name_); }

 private:
  const char* name_;
};

TEST(GuestWatchdog, ASilentGuestFailsWithTheConsolesTailBeforeTheLimit) {
  TempDir dir;
  const std::string emulator = dir.Write("hanging-emulator", kHangingEmulator);
  chmod(emulator.c_str(), 0755);
  const ScopedEnv qemu("ORVEX_GUEST_QEMU", emulator), accel("ORVEX_GUEST_ACCEL", "tcg"),
      silence("ORVEX_GUEST_SILENCE_LIMIT", "3"), limit("ORVEX_GUEST_TIME_LIMIT", "600");
  const TGuestRun run = RunInGuest({dir.Write("image", std::string(2048, '\0')), {{"Nothing", "true"}}, {}},
                                   dir.path());
  if (run.outcome == TGuestOutcome::CannotRun) GTEST_SKIP() << run.message;
  EXPECT_EQ(run.outcome, TGuestOutcome::Failed);
  EXPECT_NE(run.message.find("said nothing for 3 s"), std::string::npos) << run.message;
  EXPECT_NE(run.message.find("| Probing EDD (edd=off to disable)... ok"), std::string::npos) << run.message;
}

}  // namespace
}  // namespace orvex::test
