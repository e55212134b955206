// SPDX-License-Identifier: Apache-2.0
#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace orvex {
namespace {

class TSystemClock final : public TClock {
 public:
  void Sleep(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  uint64_t TickCount() override {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  uint64_t PerformanceCounter() override {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  uint64_t PerformanceFrequency() override { return 1'000'000'000; }
  SYSTEMTIME UtcNow() override { return GetSystemTime(); }
};

TSystemClock g_system_clock;
std::atomic<TClock*> g_clock{&g_system_clock};

}  // namespace

TClock& Clock() { return *g_clock.load(); }

TClock* SetClock(TClock* clock) { return g_clock.exchange(clock != nullptr ? clock : &g_system_clock); }

}  // namespace orvex
