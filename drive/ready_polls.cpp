// SPDX-License-Identifier: Apache-2.0
#include "drive/ready_polls.h"

#include <algorithm>

#include "drive/mmc_commands.h"
#include "platform/clock.h"

namespace orvex {

bool SleepUnlessStopped(uint32_t milliseconds, const std::atomic<bool>* stop) {
  const auto stopped = [stop] { return stop != nullptr && *stop; };
  for (uint32_t slept = 0; slept < milliseconds && !stopped(); slept += kStopLookMilliseconds) {
    Clock().Sleep(std::min(kStopLookMilliseconds, milliseconds - slept));
  }
  return !stopped();
}

std::optional<uint32_t> AnswerPastAttentions(TSCSIDevice& device, const TCdb& command, uint8_t* buffer,
                                             uint32_t length, bool pending_counts) {
  std::optional<uint32_t> arrived;
  PastAttentions(device, [&] {
    arrived = ReadAnswer(device, command, buffer, length, pending_counts);
    return arrived.has_value();
  });
  return arrived;
}

uint32_t ReadyPollPause(uint32_t round) {
  uint32_t pause = kFirstReadyPauseMilliseconds;
  for (uint32_t i = 0; i < round && pause < kReadyPollMilliseconds; ++i) pause *= 2;
  return std::min(pause, kReadyPollMilliseconds);
}

bool PollWhileBecomingReady(TSCSIDevice& device, TPollOrder order, TPollCommand, const std::atomic<bool>* stop) {
  uint64_t slept = 0;
  for (uint32_t round = 0; slept < kReadyWaitMilliseconds; ++round) {
    const uint32_t pause = ReadyPollPause(round);
    if (order == TPollOrder::kSleepFirst && !SleepUnlessStopped(pause, stop)) return false;
    if (stop != nullptr && *stop) return false;
    const bool answered = PastAttentions(
        device, [&] { return ReadDiscInformation(device, reinterpret_cast<uint8_t*>(&device.BGFDI), 42); });
    const bool busy = BecomingReady(device);
    if (!busy) return answered;
    if (order == TPollOrder::kSleepIfBusy && !SleepUnlessStopped(pause, stop)) return false;
    slept += pause;
  }
  return false;
}

}  // namespace orvex
