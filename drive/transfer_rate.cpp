// SPDX-License-Identifier: Apache-2.0
#include "drive/transfer_rate.h"

#include <cmath>

#include "drive/capabilities.h"
#include "drive/mmc_commands.h"
#include "platform/clock.h"

namespace orvex {
namespace {

// The timing of one direction: start, stop, totals, count and average.
struct TTiming {
  double& start;
  double& stop;
  double& total;
  double& size;
  uint16_t& average;
};

// Times one command around `run`, which moves `bytes`.
template <class Counter, class Run>
bool Timed(TSCSIDevice& device, TTiming timing, Counter& counter, uint16_t current_speed, uint64_t bytes, Run run) {
  TClock& clock = Clock();
  timing.start = static_cast<double>(clock.TickCount());
  if (timing.average == 0) timing.average = current_speed;
  timing.size += static_cast<double>(bytes);
  const uint64_t counter_start = clock.PerformanceCounter();
  const bool ok = run();
  timing.stop = static_cast<double>(clock.TickCount());
  timing.total += timing.stop - timing.start;
  timing.average = timing.total / 1000 > 0
                       ? static_cast<uint16_t>(std::lround(timing.size / 1024 / (timing.total / 1000)))
                       : 0;
  ++counter;
  AddSpeedSample(device, bytes, clock.PerformanceCounter() - counter_start);
  return ok;
}

// The drive's current speeds, as the component's ReadSpeed and WriteSpeed
// report them (a refresh of the capabilities).
uint16_t CurrentSpeed(TSCSIDevice& device, bool write) {
  RefreshCapabilities(device);
  return write ? device.ModePage2A.CurWriteSpeed : device.ModePage2A.CurReadSpeed;
}

}  // namespace

void ResetSpeedSamples(TSCSIDevice& device) {
  device.qTime.fill(0);
  device.qBytes.fill(0);
  device.qIndex = 0;
  device.QPFreq = 1.0 / static_cast<double>(Clock().PerformanceFrequency()) * 1000.0;
}

void AddSpeedSample(TSCSIDevice& device, uint64_t bytes, uint64_t ticks) {
  if (device.qIndex < 0 || device.qIndex >= static_cast<int32_t>(kSpeedSamples)) device.qIndex = 0;
  device.qTime[static_cast<size_t>(device.qIndex)] = ticks;
  device.qBytes[static_cast<size_t>(device.qIndex)] = bytes;
  ++device.qIndex;
}

uint32_t CurrentTransferRate(const TSCSIDevice& device) {
  uint64_t ticks = 0, bytes = 0;
  for (size_t i = 0; i < kSpeedSamples; ++i) {
    ticks += device.qTime[i];
    bytes += device.qBytes[i];
  }
  const double milliseconds = static_cast<double>(ticks) * device.QPFreq;
  if (milliseconds == 0 || bytes == 0) return 0;
  return static_cast<uint32_t>(std::ceil(static_cast<double>(bytes) / milliseconds * 1000.0));
}

// The drive's speed stands in for an average not measured yet.  It is asked
// for at the first transfer only: the average is recomputed after every
// transfer (0 until a second has been timed), so a speed asked for later
// would only show while its own transfer runs, at the price of a
// capabilities read per packet.
bool ReadSectors(TSCSIDevice& device, uint32_t lba, uint16_t count, uint8_t* buffer) {
  const uint16_t speed = device.bmAvgReadSpeed == 0 && device.bmRTotal == 0 ? CurrentSpeed(device, false) : 0;
  return Timed(device, {device.bmRStart, device.bmRStop, device.bmRTotal, device.bmRSize, device.bmAvgReadSpeed},
               device.bmRCounter, speed, uint64_t{count} * 2048, [&] { return Read10(device, lba, count, buffer); });
}

bool WriteSectors(TSCSIDevice& device, uint32_t lba, uint16_t count, uint32_t length, const uint8_t* buffer) {
  const uint16_t speed = device.bmAvgWriteSpeed == 0 && device.bmWTotal == 0 ? CurrentSpeed(device, true) : 0;
  return Timed(device, {device.bmWStart, device.bmWStop, device.bmWTotal, device.bmWSize, device.bmAvgWriteSpeed},
               device.bmWCounter, speed, length, [&] { return Write10(device, lba, count, length, buffer); });
}

uint16_t TakeWriteSpeedSample(TSCSIDevice& device) {
  const uint16_t last = device.bmWriteSpeed;
  device.bmWriteSpeed = static_cast<uint16_t>((CurrentTransferRate(device) + 1023) / 1024);
  return last;
}

uint16_t TakeReadSpeedSample(TSCSIDevice& device) {
  const uint16_t last = device.bmReadSpeed;
  device.bmReadSpeed = static_cast<uint16_t>((CurrentTransferRate(device) + 1023) / 1024);
  return last;
}

}  // namespace orvex
