// SPDX-License-Identifier: Apache-2.0
// Whether the medium in the selected drive changed since the last look,
// told by the drive's media events (GET EVENT STATUS NOTIFICATION, polled,
// media class) instead of by describing the disc again: one short command
// per look while nothing happens.
#ifndef ORVEX_DRIVE_MEDIA_EVENTS_H_
#define ORVEX_DRIVE_MEDIA_EVENTS_H_

#include <cstdint>

#include "drive/scsi_device.h"

namespace orvex {

enum class TMediumNews : uint8_t {
  kUnchanged,  // no event since the last look that changes the medium
  kChanged,    // a medium arrived, left, was changed or (re)formatted
  kUnknown,    // the drive keeps no media events: describe the medium afresh
};

// A drive reports one event per answer; a look takes at most this many.
constexpr uint32_t kMostMediaEventsPerLook = 8;

// Takes the media events waiting in the drive, one answer each, until one
// says "no change" (at most kMostMediaEventsPerLook).  kChanged when one of
// them changes the medium (ChangesMedium), and when the look ended with
// events still coming; kUnchanged when none did.  kUnknown when the drive
// refuses the command (a unit attention is not a refusal: the command is
// sent again) or does not report the media class.
TMediumNews TakeMediaEvents(TSCSIDevice& device);

}  // namespace orvex

#endif  // ORVEX_DRIVE_MEDIA_EVENTS_H_
