// SPDX-License-Identifier: Apache-2.0
#include "drive/media_events.h"

#include "drive/mmc_commands.h"
#include "drive/mmc_records.h"
#include "drive/ready_polls.h"

namespace orvex {

TMediumNews TakeMediaEvents(TSCSIDevice& device) {
  bool changed = false;
  for (uint32_t look = 0; look < kMostMediaEventsPerLook; ++look) {
    uint8_t answer[kEventStatusBytes] = {};
    uint32_t arrived = 0;
    const bool done = PastAttentions(device, [&] {
      return GetEventStatusNotification(device, 1 << kMediaEventClass, answer, sizeof answer, &arrived);
    });
    if (!done) return TMediumNews::kUnknown;
    const std::optional<TMediaEventStatus> status = DecodeMediaEvent(answer, arrived);
    if (!status) return TMediumNews::kUnknown;
    if (status->event == TMediaEvent::kNoChange) return changed ? TMediumNews::kChanged : TMediumNews::kUnchanged;
    changed = changed || ChangesMedium(status->event);
  }
  // Events still coming: whatever they are, the medium is described afresh.
  return TMediumNews::kChanged;
}

}  // namespace orvex
