#include "drive/ready_polls.h"

#include "drive/mmc_commands.h"
#include "platform/clock.h"

namespace orvex {

bool PollWhileBecomingReady(TSCSIDevice& device, TPollOrder order, TPollCommand) {
  for (uint32_t round = 0; round < kMaxReadyPolls; ++round) {
    if (order == TPollOrder::kSleepFirst) Clock().Sleep(kReadyPollMilliseconds);
    const bool answered = PastAttentions(
        device, [&] { return ReadDiscInformation(device, reinterpret_cast<uint8_t*>(&device.BGFDI), 42); });
    const bool busy = BecomingReady(device);
    if (order == TPollOrder::kSleepIfBusy && busy) Clock().Sleep(kReadyPollMilliseconds);
    if (!busy) return answered;
  }
  return false;
}

}  // namespace orvex
