// SPDX-License-Identifier: Apache-2.0
// Modelled time.  Drives measure buffer drain, formatting, blanking and
// closing on this clock, so that a time scale can shrink minutes to
// milliseconds and tests can step time by hand.
//
// With a scale s > 0, modelled time runs s times as fast as real time.
// With s = 0, it stands still: only Advance moves it, and a command that
// has to take time (waiting for buffer space, a non-immediate format) moves
// it by that time itself.  Tests use s = 0 and never wait real seconds.
#ifndef ORVEX_VBURNER_CLOCK_H_
#define ORVEX_VBURNER_CLOCK_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace orvex::vburner {

class Clock {
 public:
  Clock();

  // Microseconds of modelled time since the clock was made.
  uint64_t Now() const;

  double Scale() const;
  void SetScale(double scale);  // keeps Now() continuous; a negative scale counts as 0

  // Moves modelled time forward (at any scale) and tells the listener.
  void Advance(uint64_t microseconds);

  // The real time at which modelled time reaches `at`;
  // time_point::max() while the clock stands still.
  std::chrono::steady_clock::time_point RealDeadline(uint64_t at) const;

  // Called (without the clock's lock) after every Advance, so that drives
  // waiting for a modelled moment look again.  Set once, before use.
  void SetListener(std::function<void()> listener);

 private:
  uint64_t NowLocked() const;

  mutable std::mutex mutex_;
  double scale_ = 1.0;
  uint64_t base_ = 0;                           // modelled time at real_base_
  std::chrono::steady_clock::time_point real_base_;
  std::function<void()> listener_;
};

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_CLOCK_H_
