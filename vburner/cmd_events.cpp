// SPDX-License-Identifier: Apache-2.0
// GET EVENT STATUS NOTIFICATION in polled mode: the operational change
// class, whose state never changes here, and the media class, which
// reports a medium arriving or leaving and a background format ending.
// Events wait in the order they happened; each is reported once.
#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

constexpr uint8_t kOperationalChange = 1;  // notification classes
constexpr uint8_t kMedia = 4;
constexpr uint8_t kSupportedClasses = 1 << kOperationalChange | 1 << kMedia;
constexpr uint8_t kNoEventAvailable = 0x80;
constexpr size_t kMostEvents = 16;  // beyond them the oldest is forgotten

}  // namespace

void Drive::PostMediaEvent(uint8_t event) {
  if (media_events_.size() == kMostEvents) media_events_.pop_front();
  media_events_.push_back(event);
}

void Drive::GetEventStatusNotification(Command& c) {
  if ((c.cdb[1] & 0x01) == 0) Fail(kInvalidFieldInCdb);  // asynchronous notification is not offered
  const uint8_t requested = c.cdb[4] & kSupportedClasses;
  const uint32_t allocation = Get16(&c.cdb[7]);
  Bytes out(4, 0);
  out[3] = kSupportedClasses;
  if (requested == 0) {
    out[2] = kNoEventAvailable;
  } else {
    // The class of highest priority (lowest number) that has an event, or
    // else the highest requested one with "no change".
    const bool media_event = (requested & 1 << kMedia) != 0 && !media_events_.empty();
    const uint8_t report = media_event || (requested & 1 << kOperationalChange) == 0 ? kMedia : kOperationalChange;
    out[2] = report;
    uint8_t* d = Grow(out, 4);
    if (report == kMedia) {
      if (media_event) {
        d[0] = media_events_.front();
        // Only an event the host receives counts as reported: a look at the header alone keeps it.
        if (allocation >= out.size()) media_events_.pop_front();
      }
      d[1] = static_cast<uint8_t>((medium_ && !tray_open_ ? 0x02 : 0) | (tray_open_ ? 0x01 : 0));  // present, open
    }
  }
  Put16(&out[0], static_cast<uint32_t>(out.size() - 2));
  c.Respond(std::move(out), allocation);
}

}  // namespace orvex::vburner
