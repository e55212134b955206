// SPDX-License-Identifier: Apache-2.0
// The content's size against the room it is meant for: the free space of
// the disc in the chosen drive, or, for an image file, the smallest common
// medium that holds it (the largest when none does).
#ifndef ORVEX_DEMO_DISC_ROOM_H_
#define ORVEX_DEMO_DISC_ROOM_H_

#include <QString>

#include <cstdint>
#include <optional>

namespace orvex::demo {

struct TDiscRoom {
  uint32_t room = 0;  // blocks of 2048 bytes
  bool fits = false;
  QString text;       // "12.50 MB of 4,482.00 MB free", "12.50 MB: fits a CD (702.83 MB)"
};

// `blocks` of content against `free_blocks` on the chosen disc, or against
// the common media when there is no disc to write (an image file).
TDiscRoom DiscRoom(uint32_t blocks, std::optional<uint32_t> free_blocks);

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_DISC_ROOM_H_
