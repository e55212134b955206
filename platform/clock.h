// SPDX-License-Identifier: Apache-2.0
// The one clock every wait and every time stamp of the drive layer and the
// jobs goes through: sleeps between polls and retries, the tick counts of
// transfer timing, the performance counter, and the UTC time of the debug
// log.  Tests replace it (for instance with one whose sleep advances the
// virtual burner's modelled time), so that no test waits in real time for a
// drive and every poll still happens.
#ifndef ORVEX_PLATFORM_CLOCK_H_
#define ORVEX_PLATFORM_CLOCK_H_

#include <cstdint>

#include "platform/file_time.h"

namespace orvex {

class TClock {
 public:
  virtual ~TClock() = default;

  // Waits `milliseconds`.
  virtual void Sleep(uint32_t milliseconds) = 0;
  // Milliseconds since some fixed moment, never going back.
  virtual uint64_t TickCount() = 0;
  // A counter of Frequency() ticks per second, for timing transfers.
  virtual uint64_t PerformanceCounter() = 0;
  virtual uint64_t PerformanceFrequency() = 0;
  // The current time, UTC.
  virtual SYSTEMTIME UtcNow() = 0;
};

// The clock in use: the system's, unless a test installed another.
TClock& Clock();

// Installs `clock` (null: the system's again) and returns the one it
// replaces.  Not for use while a job runs.
TClock* SetClock(TClock* clock);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_CLOCK_H_
