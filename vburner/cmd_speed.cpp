// SPDX-License-Identifier: Apache-2.0
// Speeds: what the drive offers for the loaded medium, and SET CD SPEED,
// SET STREAMING and GET PERFORMANCE.  The drive offers a few write speeds
// (page 2Ah lists them); a request picks the fastest one not above it.
#include <algorithm>

#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

// The configured multiple of 1x for the family.
uint32_t Multiple(const DriveConfig& config, Family family) {
  switch (family) {
    case Family::kCd: return config.cd_speed;
    case Family::kDvd:
    case Family::kHdDvd: return config.dvd_speed;
    case Family::kBd: return config.bd_speed;
  }
  return config.cd_speed;
}

}  // namespace

Family Drive::CurrentFamily() const {
  return medium_ && !tray_open_ ? InfoOf(medium_->state()).family : Family::kCd;
}

uint32_t Drive::MaxReadSpeed() const { return Multiple(config_, CurrentFamily()) * OneX(CurrentFamily()); }

uint32_t Drive::MaxWriteSpeed() const {
  const bool loaded = medium_ && !tray_open_;
  const bool writes = loaded ? config_.Writes(medium_->state().profile) : config_.WritesAny();
  return writes ? Multiple(config_, CurrentFamily()) * OneX(CurrentFamily()) : 0;
}

std::vector<uint32_t> Drive::WriteSpeeds() const {
  const uint32_t max = MaxWriteSpeed();
  const uint32_t one = OneX(CurrentFamily());
  std::vector<uint32_t> speeds;
  for (uint32_t divisor : {1u, 2u, 4u}) {
    const uint32_t multiple = max / one / divisor;
    if (multiple >= 1 && (speeds.empty() || speeds.back() != multiple * one)) speeds.push_back(multiple * one);
  }
  return speeds;
}

uint32_t Drive::CurrentReadSpeed() const {
  const uint32_t max = MaxReadSpeed();
  return std::clamp(requested_read_, std::min(OneX(CurrentFamily()), max), max);
}

uint32_t Drive::CurrentWriteSpeed() const {
  const std::vector<uint32_t> speeds = WriteSpeeds();
  if (speeds.empty()) return 0;
  for (uint32_t s : speeds)
    if (s <= requested_write_) return s;
  return speeds.back();
}

void Drive::SelectSpeeds(uint32_t read, uint32_t write) {
  requested_read_ = std::min<uint32_t>(read, 0xFFFF);
  requested_write_ = std::min<uint32_t>(write, 0xFFFF);
  DrainBuffer();  // what drained so far went at the old speed
}

void Drive::SetCdSpeed(Command& c) {
  if ((c.cdb[1] & 0x03) > 1) Fail(kInvalidFieldInCdb);  // CLV or CAV
  SelectSpeeds(Get16(&c.cdb[2]), Get16(&c.cdb[4]));
}

void Drive::SetStreaming(Command& c) {
  constexpr uint8_t kPerformanceDescriptor = 0;
  if (c.cdb[8] != kPerformanceDescriptor) Fail(kInvalidFieldInCdb);
  const uint32_t length = Get16(&c.cdb[9]);
  const uint8_t* d = c.TakeDataOut(length);
  if (length < 28) Fail(kParameterListLengthError);
  if ((d[0] & 0x04) != 0) {  // RDD: back to the defaults
    SelectSpeeds(0xFFFF, 0xFFFF);
    return;
  }
  const uint32_t read_time = Get32(&d[16]);
  const uint32_t write_time = Get32(&d[24]);
  if (read_time == 0 || write_time == 0 || Get32(&d[8]) < Get32(&d[4])) Fail(kInvalidFieldInParameterList);
  // Kilobytes per so many milliseconds: kB/s.
  SelectSpeeds(static_cast<uint32_t>(uint64_t{Get32(&d[12])} * 1000 / read_time),
               static_cast<uint32_t>(uint64_t{Get32(&d[20])} * 1000 / write_time));
}

void Drive::GetPerformance(Command& c) {
  const MediumState& s = RequireMedium();
  const uint8_t type = c.cdb[10];
  const uint32_t most = Get16(&c.cdb[8]);
  const uint32_t end = s.capacity != 0 ? s.capacity - 1 : 0;
  Bytes out(8, 0);
  size_t descriptors = 0;
  if (type == 0x00) {
    // One descriptor: the whole disc at one (CLV) speed, read or write.
    const bool write = (c.cdb[1] & 0x04) != 0;
    out[4] = write ? 0x02 : 0x00;
    const uint32_t speed = write ? CurrentWriteSpeed() : CurrentReadSpeed();
    if (most >= 1) {
      uint8_t* d = Grow(out, 16);
      Put32(&d[4], speed);
      Put32(&d[8], end);
      Put32(&d[12], speed);
      descriptors = 1;
    }
  } else if (type == 0x03) {
    for (uint32_t speed : WriteSpeeds()) {
      if (descriptors == most) break;
      uint8_t* d = Grow(out, 16);
      Put32(&d[4], end);
      Put32(&d[8], MaxReadSpeed());
      Put32(&d[12], speed);
      ++descriptors;
    }
  } else {
    Fail(kInvalidFieldInCdb);
  }
  Put32(&out[0], static_cast<uint32_t>(out.size() - 4));
  const auto size = static_cast<uint32_t>(out.size());  // the descriptor count already bounds it
  c.Respond(std::move(out), size);
}

}  // namespace orvex::vburner
