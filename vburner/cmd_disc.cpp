// SPDX-License-Identifier: Apache-2.0
// What the disc holds: READ CAPACITY, READ FORMAT CAPACITIES, READ DISC
// INFORMATION and READ TRACK INFORMATION, all rendered from the recording
// model's views.  READ TOC/PMA/ATIP is in cmd_toc.cpp.
#include <algorithm>

#include "vburner/cd_addresses.h"
#include "vburner/drive.h"
#include "vburner/formatting.h"

namespace orvex::vburner {

void Drive::ReadCapacity(Command& c) {
  const MediumState& s = RequireMedium();
  const uint32_t end = ModelFor(s).ReadableEnd(s);
  Bytes out(8, 0);
  Put32(&out[0], end != 0 ? end - 1 : 0);
  Put32(&out[4], kBlockSize);
  c.Respond(std::move(out), 8);
}

void Drive::ReadFormatCapacities(Command& c) {
  FormatCapacities list;
  if (tray_open_ || !medium_) {
    list.current_type = 3;
    for (const ProfileInfo& p : AllProfiles())
      if (config_.Writes(p.number)) list.current_blocks = std::max(list.current_blocks, p.default_blocks);
  } else {
    list = ListFormatCapacities(RequireMedium());
  }
  Bytes out(4, 0);
  out[3] = static_cast<uint8_t>(8 * (1 + list.formattable.size()));
  uint8_t* d = Grow(out, 8);
  Put32(d, list.current_blocks);
  d[4] = list.current_type;
  Put24(&d[5], kBlockSize);
  for (const FormattableCapacity& f : list.formattable) {
    d = Grow(out, 8);
    Put32(d, f.blocks);
    d[4] = static_cast<uint8_t>(f.type << 2);
    Put24(&d[5], f.parameter);
  }
  c.Respond(std::move(out), Get16(&c.cdb[7]));
}

void Drive::ReadDiscInformation(Command& c) {
  const MediumState& s = RequireMedium();
  if ((c.cdb[1] & 0x07) != 0) Fail(kInvalidFieldInCdb);  // only standard disc information
  DiscSummary d = ModelFor(s).Summarize(s);
  if (background_) d.background_format = 2;
  Bytes out(34, 0);
  Put16(&out[0], 32);
  out[2] = static_cast<uint8_t>((InfoOf(s).erasable ? 0x10 : 0) | d.last_session_state << 2 | d.status);
  out[3] = 1;
  out[4] = static_cast<uint8_t>(d.sessions);
  out[5] = static_cast<uint8_t>(d.first_track_last_session);
  out[6] = static_cast<uint8_t>(d.last_track_last_session);
  out[7] = static_cast<uint8_t>(0x20 | d.background_format);  // unrestricted use
  out[9] = static_cast<uint8_t>(d.sessions >> 8);
  out[10] = static_cast<uint8_t>(d.first_track_last_session >> 8);
  out[11] = static_cast<uint8_t>(d.last_track_last_session >> 8);
  if (IsRecordableCd(s)) {
    if (s.finalized) {
      Put32(&out[16], 0xFFFFFFFF);
      Put32(&out[20], 0xFFFFFFFF);
    } else {
      const int64_t next = d.status == 0 ? kAtipLeadInStart : int64_t{s.tracks.back().start} - kLeadInAndPregap;
      PutMsf(&out[16], next);
      PutMsf(&out[20], s.capacity);
    }
  }
  c.Respond(std::move(out), Get16(&c.cdb[7]));
}

void Drive::ReadTrackInformation(Command& c) {
  const MediumState& s = RequireMedium();
  const uint8_t type = c.cdb[1] & 0x03;
  const uint32_t value = Get32(&c.cdb[2]);
  if (type == 3) Fail(kInvalidFieldInCdb);
  const std::vector<TrackView> tracks = ModelFor(s).Tracks(s);
  const TrackView* found = nullptr;
  for (const TrackView& v : tracks) {
    // By block address, by track number (FFh: the open track), by session.
    const bool match = type == 0   ? value >= v.start && value - v.start < std::max<uint32_t>(v.size, 1)
                       : type == 1 ? (value == 0xFF ? v.next_writable_valid : v.number == value)
                                   : v.session == value;
    if (match) {
      found = &v;
      break;
    }
  }
  if (found == nullptr) Fail(kInvalidFieldInCdb);
  const TrackView& v = *found;
  Bytes out(48, 0);
  Put16(&out[0], 46);
  out[2] = static_cast<uint8_t>(v.number);
  out[3] = static_cast<uint8_t>(v.session);
  out[5] = v.incremental ? 0x05 : 0x04;  // data track, recorded incrementally or uninterrupted
  out[6] = static_cast<uint8_t>((v.reserved ? 0x80 : 0) | (v.blank ? 0x40 : 0) |
                                (v.incremental || v.fixed_packet ? 0x20 : 0) | (v.fixed_packet ? 0x10 : 0) | 0x01);
  out[7] = static_cast<uint8_t>((v.last_recorded_valid ? 0x02 : 0) | (v.next_writable_valid ? 0x01 : 0));
  Put32(&out[8], v.start);
  Put32(&out[12], v.next_writable_valid ? v.next_writable : 0);
  Put32(&out[16], v.free);
  Put32(&out[20], v.packet_size);
  Put32(&out[24], v.size);
  Put32(&out[28], v.last_recorded_valid ? v.last_recorded : 0);
  out[32] = static_cast<uint8_t>(v.number >> 8);
  out[33] = static_cast<uint8_t>(v.session >> 8);
  c.Respond(std::move(out), Get16(&c.cdb[7]));
}

}  // namespace orvex::vburner
