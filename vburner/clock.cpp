// SPDX-License-Identifier: Apache-2.0
#include "vburner/clock.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace orvex::vburner {

using std::chrono::steady_clock;

Clock::Clock() : real_base_(steady_clock::now()) {}

uint64_t Clock::NowLocked() const {
  if (scale_ <= 0) return base_;
  const double real_us = std::chrono::duration<double, std::micro>(steady_clock::now() - real_base_).count();
  return base_ + static_cast<uint64_t>(real_us * scale_);
}

uint64_t Clock::Now() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return NowLocked();
}

double Clock::Scale() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return scale_;
}

void Clock::SetScale(double scale) {
  std::lock_guard<std::mutex> lock(mutex_);
  base_ = NowLocked();
  real_base_ = steady_clock::now();
  scale_ = std::isfinite(scale) && scale > 0 ? scale : 0;
}

void Clock::Advance(uint64_t microseconds) {
  std::function<void()> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    base_ = microseconds > UINT64_MAX - base_ ? UINT64_MAX : base_ + microseconds;
    listener = listener_;
  }
  if (listener) listener();
}

steady_clock::time_point Clock::RealDeadline(uint64_t at) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (scale_ <= 0) return steady_clock::time_point::max();
  const uint64_t now = NowLocked();
  if (at <= now) return steady_clock::now();
  const double real_us = static_cast<double>(at - now) / scale_;
  // Beyond a day of real waiting, wake up anyway and look again.
  const double capped = real_us < 86400e6 ? real_us : 86400e6;
  return steady_clock::now() + std::chrono::microseconds(static_cast<int64_t>(std::ceil(capped)));
}

void Clock::SetListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = std::move(listener);
}

}  // namespace orvex::vburner
