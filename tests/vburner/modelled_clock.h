// SPDX-License-Identifier: Apache-2.0
// A platform clock for tests against the virtual burner: every sleep of
// the drive layer and the workers moves the burner's modelled time instead
// of waiting, so a job makes every poll it would make on a real drive and
// still ends in milliseconds.
#ifndef ORVEX_TESTS_VBURNER_MODELLED_CLOCK_H_
#define ORVEX_TESTS_VBURNER_MODELLED_CLOCK_H_

#include <cstdint>
#include <functional>

#include "platform/clock.h"
#include "vburner/vburner_support.h"

namespace orvex::test {

// Sleeps advance the burner's modelled time; ticks and the performance
// counter follow it; UTC stands at 2026-12-09 10:11:12.345.  OnSleep, when
// set (before a job starts), is told of every sleep first.
class TModelledClock final : public TClock {
 public:
  void Sleep(uint32_t milliseconds) override {
    if (OnSleep) OnSleep(milliseconds);
    vbtest::Lib().vb_advance_time(uint64_t{milliseconds} * 1000);
  }
  uint64_t TickCount() override { return vbtest::Lib().vb_now() / 1000; }
  uint64_t PerformanceCounter() override { return vbtest::Lib().vb_now(); }
  uint64_t PerformanceFrequency() override { return 1'000'000; }
  SYSTEMTIME UtcNow() override { return SYSTEMTIME{2026, 12, 3, 9, 10, 11, 12, 345}; }

  std::function<void(uint32_t milliseconds)> OnSleep;
};

}  // namespace orvex::test

#endif  // ORVEX_TESTS_VBURNER_MODELLED_CLOCK_H_
