// SPDX-License-Identifier: Apache-2.0
// Identity, readiness and the tray: TEST UNIT READY, REZERO UNIT, REQUEST
// SENSE, INQUIRY, START STOP UNIT and PREVENT ALLOW MEDIUM REMOVAL.
#include <cstdio>
#include <cstring>

#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

void PutText(uint8_t* at, size_t width, const std::string& text) {
  std::memset(at, ' ', width);
  std::memcpy(at, text.data(), std::min(width, text.size()));
}

constexpr uint64_t kSpinUpMicroseconds = 1000000;

}  // namespace

void Drive::TestUnitReady(Command&) { RequireMedium(); }

// Obsolete in MMC, still sent before and after writing: it only needs a medium.
void Drive::RezeroUnit(Command&) { RequireMedium(); }

// With the sense delivered in the request block, nothing is left pending
// after a failed command; REQUEST SENSE reports the drive's standing
// condition: a unit attention, or the progress of an operation.
void Drive::RequestSense(Command& c) {
  if ((c.cdb[1] & 0x01) != 0) Fail(kInvalidFieldInCdb);  // descriptor format
  CheckCondition condition{kNoSense, std::nullopt, std::nullopt};
  if (unit_attention_) {
    condition.sense = *unit_attention_;
    unit_attention_.reset();
  } else if (active_) {
    condition = CheckCondition{active_->op.busy, std::nullopt, Progress()};
  }
  const auto sense = BuildFixedSense(condition);
  c.Respond(Bytes(sense.begin(), sense.end()), c.cdb[4]);
}

void Drive::Inquiry(Command& c) {
  const bool vital_product_data = (c.cdb[1] & 0x01) != 0;
  const uint8_t page = c.cdb[2];
  const uint32_t allocation = Get16(&c.cdb[3]);
  Bytes out;
  if (!vital_product_data) {
    if (page != 0) Fail(kInvalidFieldInCdb);
    out.assign(96, 0);
    out[0] = 0x05;  // CD/DVD device
    out[1] = 0x80;  // removable medium
    out[2] = 0x05;  // SPC-3
    out[3] = 0x02;  // response data format
    out[4] = static_cast<uint8_t>(out.size() - 5);
    PutText(&out[8], 8, config_.vendor);
    PutText(&out[16], 16, config_.product);
    PutText(&out[32], 4, config_.revision);
    Put16(&out[58], 0x02A0);  // MMC-5
    Put16(&out[60], 0x0300);  // SPC-3
  } else if (page == 0x00) {
    out = {0x05, 0x00, 0x00, 0x02, 0x00, 0x80};
  } else if (page == 0x80) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "VB%02u%02u%02u", config_.ha, config_.target, config_.lun);
    out = {0x05, 0x80, 0x00, static_cast<uint8_t>(std::strlen(serial))};
    out.insert(out.end(), serial, serial + std::strlen(serial));
  } else {
    Fail(kInvalidFieldInCdb);
  }
  c.Respond(std::move(out), allocation);
}

void Drive::StartStopUnit(Command& c) {
  const bool immediate = (c.cdb[1] & 0x01) != 0;
  const bool load_eject = (c.cdb[4] & 0x02) != 0;
  const bool start = (c.cdb[4] & 0x01) != 0;
  if (!load_eject) {
    if (start) RequireMedium();  // spinning up needs a disc; stopping always works
    return;
  }
  if (!start) {
    if (prevent_removal_) Fail(kRemovalPrevented);
    if (!tray_open_) {
      UnloadMedium();
      tray_open_ = true;
    }
    return;
  }
  if (!tray_open_) return;
  tray_open_ = false;
  if (!medium_) return;
  LoadMedium(std::move(medium_));
  Operation spin_up;
  spin_up.duration_us = kSpinUpMicroseconds;
  spin_up.busy = kBecomingReady;
  RunOperation(spin_up, immediate);
}

void Drive::PreventAllowMediumRemoval(Command& c) { prevent_removal_ = (c.cdb[4] & 0x01) != 0; }

}  // namespace orvex::vburner
