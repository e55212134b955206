// SPDX-License-Identifier: Apache-2.0
// The drive layer's tests talk to the virtual burner as a program would:
// its library loaded by the component's InitializeASPI, with the burner's
// modelled time behind the platform clock (a sleep moves it, nothing waits
// in real time) and the UTC time pinned for the debug log.  What was sent
// is read back from the burner's command trace.
#ifndef ORVEX_TESTS_DRIVE_DRIVE_FIXTURE_H_
#define ORVEX_TESTS_DRIVE_DRIVE_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "component/orvex.h"
#include "vburner/modelled_clock.h"
#include "vburner/vburner_support.h"

namespace orvex::test {

// Whether the command records on the disc or changes it: WRITE(10), FORMAT
// UNIT, BLANK, RESERVE TRACK, CLOSE TRACK/SESSION, SEND DVD STRUCTURE.
inline bool Records(const vb_trace_entry& e) {
  const uint8_t op = e.cdb[0];
  return op == 0x2A || op == 0x04 || op == 0xA1 || op == 0x53 || op == 0x5B || op == 0xBF;
}

// Empty when every recording command of the trace went out while the
// medium was locked in the drive (PREVENT MEDIUM REMOVAL with prevent set)
// and the trace leaves it allowed again; else what was out of place.
inline std::string UnguardedRecording(const std::vector<vb_trace_entry>& trace) {
  bool locked = false;
  for (size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].cdb[0] == 0x1E) locked = (trace[i].cdb[4] & 0x01) != 0;
    if (Records(trace[i]) && !locked) return "command " + std::to_string(i) + " records unlocked";
  }
  return locked ? "the medium is left locked" : "";
}

class DriveTest : public ::testing::Test {
 protected:
  DriveTest() { previous_ = SetClock(&clock_); }
  ~DriveTest() override { SetClock(previous_); }

  // Configures the burner with `drives` (its description syntax) and lets
  // the component find them through the library only.
  void Start(const std::string& drives, const std::string& log = "") {
    vbtest::Configure(drives);
    ASSERT_TRUE(disc.InitializeASPI(true, VBURNER_LIBRARY, log)) << disc.DriverLibraryProblem();
  }

  // Drive 0:0:0 of `options` holding a fresh medium of `profile`, selected.
  void Load(const std::string& profile, const std::string& options = "class=bd-writer", bool formatted = false) {
    medium = vbtest::Create(scratch, std::to_string(++media_) + "-" + profile + ".vmed", profile, 0, formatted);
    Start("0:0:0," + options + ",medium=" + medium);
    ASSERT_TRUE(disc.SelectDevice(0));
  }

  // The commands the drive received while `action` ran.
  template <class Action>
  std::vector<vb_trace_entry> Traced(Action action, vb_address drive = {0, 0, 0}) {
    vbtest::Lib().vb_trace(drive, 1);
    action();
    std::vector<vb_trace_entry> trace = vbtest::Trace(drive);
    vbtest::Lib().vb_trace(drive, 0);
    return trace;
  }

  TModelledClock& clock() { return clock_; }

  vbtest::Scratch scratch;
  std::string medium;  // the file of the medium Load put in
  TOrvex disc{nullptr};

 private:
  int media_ = 0;
  TModelledClock clock_;
  TClock* previous_ = nullptr;
};

}  // namespace orvex::test

#endif  // ORVEX_TESTS_DRIVE_DRIVE_FIXTURE_H_
