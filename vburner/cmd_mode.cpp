// SPDX-License-Identifier: Apache-2.0
// MODE SENSE(10) and MODE SELECT(10): the read/write error recovery page
// (01h), the write parameters page (05h), the capabilities and mechanical
// status page (2Ah) and, where configured, the vendor page 30h that
// announces buffer-underrun protection.  Pages 01h and 05h can be changed.
#include <algorithm>
#include <span>

#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

constexpr uint8_t kErrorRecovery = 0x01;
constexpr uint8_t kWriteParameters = 0x05;
constexpr uint8_t kCapabilities = 0x2A;
constexpr uint8_t kUnderrunPage = 0x30;
constexpr uint8_t kAllPages = 0x3F;

// Page controls (MODE SENSE byte 2 bits 7-6).
constexpr uint8_t kCurrent = 0, kChangeable = 1, kDefault = 2, kSaved = 3;

constexpr size_t kPage05Size = 52;
constexpr size_t kPage01Size = 12;

std::array<uint8_t, kPage05Size> DefaultWriteParameters(const DriveConfig& config) {
  std::array<uint8_t, kPage05Size> p{};
  p[0] = kWriteParameters;
  p[1] = kPage05Size - 2;
  p[2] = (config.underrun_protection ? 0x40 : 0x00) | 0x01;  // BUFE, track at once
  p[3] = 0x04;                                               // no further session, data track
  p[4] = 0x08;                                               // mode 1, 2048 bytes
  Put16(&p[14], 150);                                        // audio pause
  return p;
}

std::array<uint8_t, kPage05Size> WriteParametersMask(const DriveConfig& config) {
  std::array<uint8_t, kPage05Size> mask{};
  mask[0] = kWriteParameters;
  mask[1] = kPage05Size - 2;
  mask[2] = 0x2F | (config.test_write ? 0x10 : 0) | (config.underrun_protection ? 0x40 : 0);
  mask[3] = 0xEF;  // multi-session, FP, copy, track mode
  mask[4] = 0x0F;  // data block type
  mask[5] = 0xFF;  // link size
  mask[7] = 0x3F;  // host application code
  mask[8] = 0xFF;  // session format
  std::fill(mask.begin() + 10, mask.end(), 0xFF);  // packet size, pause, catalog number, ISRC, sub-header
  return mask;
}

// Error recovery as a plain drive has it: no retries asked for, every
// error reported.  The emulator recovers nothing, so the host may set the
// flags (AWRE ARRE TB RC PER DTE DCR), the retry counts and EMCDR as it likes.
constexpr std::array<uint8_t, kPage01Size> kDefaultErrorRecovery{kErrorRecovery, kPage01Size - 2};
constexpr std::array<uint8_t, kPage01Size> kErrorRecoveryMask{kErrorRecovery, kPage01Size - 2, 0xF7, 0xFF, 0, 0,
                                                              0,              0,                0x03, 0xFF};

template <size_t N>
Bytes Selectable(uint8_t control, const std::array<uint8_t, N>& current, const std::array<uint8_t, N>& defaults,
                 const std::array<uint8_t, N>& mask) {
  const std::array<uint8_t, N>& page = control == kCurrent ? current : control == kDefault ? defaults : mask;
  return Bytes(page.begin(), page.end());
}

}  // namespace

WriteMode Drive::CurrentWriteMode() const {
  WriteMode mode;
  mode.write_type = write_parameters_[2] & 0x0F;
  mode.test_write = (write_parameters_[2] & 0x10) != 0;
  mode.multi_session = write_parameters_[3] >> 6;
  if (mode.write_type == 0 && (write_parameters_[3] & 0x20) != 0) mode.fixed_packet = Get32(&write_parameters_[10]);
  return mode;
}

void Drive::ResetModePages() {
  write_parameters_ = DefaultWriteParameters(config_);
  error_recovery_ = kDefaultErrorRecovery;
}

Bytes Drive::CapabilitiesPage(uint8_t control) const {
  using namespace profile;
  const std::vector<uint32_t> speeds = WriteSpeeds();
  Bytes p(32 + 4 * speeds.size(), 0);
  p[0] = kCapabilities;
  p[1] = static_cast<uint8_t>(p.size() - 2);
  if (control == kChangeable) return p;  // nothing on this page can be changed
  const auto r = [this](uint16_t profile) { return config_.Reads(profile); };
  const auto w = [this](uint16_t profile) { return config_.Writes(profile); };
  p[2] = (r(kCdR) ? 0x01 : 0) | (r(kCdRw) ? 0x02 : 0) | (r(kCdRom) ? 0x04 : 0) | (r(kDvdRom) ? 0x08 : 0) |
         (r(kDvdR) ? 0x10 : 0) | (r(kDvdRam) ? 0x20 : 0);
  const bool simulates = config_.test_write && (w(kCdR) || w(kCdRw) || w(kDvdR) || w(kDvdRwSequential));
  p[3] = (w(kCdR) ? 0x01 : 0) | (w(kCdRw) ? 0x02 : 0) | (simulates ? 0x04 : 0) | (w(kDvdR) ? 0x10 : 0) |
         (w(kDvdRam) ? 0x20 : 0);
  p[4] = (config_.underrun_protection && config_.WritesAny() ? 0x80 : 0) | 0x40 | 0x20 | 0x10;
  p[6] = 0x20 | 0x08 | 0x01 | (prevent_removal_ ? 0x02 : 0);  // tray, eject, lock, lock state
  const bool defaults = control == kDefault;
  Put16(&p[8], MaxReadSpeed());
  Put16(&p[10], 256);  // volume levels
  Put16(&p[12], std::min<uint32_t>(config_.buffer_kib, 0xFFFF));
  Put16(&p[14], defaults ? MaxReadSpeed() : CurrentReadSpeed());
  Put16(&p[18], MaxWriteSpeed());
  const uint32_t write_speed = defaults ? MaxWriteSpeed() : CurrentWriteSpeed();
  Put16(&p[20], write_speed);
  Put16(&p[28], write_speed);
  Put16(&p[30], static_cast<uint32_t>(speeds.size()));
  for (size_t i = 0; i < speeds.size(); ++i) Put16(&p[32 + 4 * i + 2], speeds[i]);
  return p;
}

Bytes Drive::ModePage(uint8_t page, uint8_t control) const {
  if (page == kErrorRecovery) return Selectable(control, error_recovery_, kDefaultErrorRecovery, kErrorRecoveryMask);
  if (page == kWriteParameters && config_.WritesAny())
    return Selectable(control, write_parameters_, DefaultWriteParameters(config_), WriteParametersMask(config_));
  if (page == kCapabilities) return CapabilitiesPage(control);
  if (page == kUnderrunPage && config_.page30) {
    if (control == kChangeable) return {kUnderrunPage, 0x02, 0x00, 0x00};
    return {kUnderrunPage, 0x02, static_cast<uint8_t>(config_.underrun_protection ? 0x01 : 0x00), 0x00};
  }
  return {};
}

void Drive::ModeSense10(Command& c) {
  const bool no_descriptor = (c.cdb[1] & 0x08) != 0;
  const uint8_t control = c.cdb[2] >> 6;
  const uint8_t page = c.cdb[2] & 0x3F;
  if (control == kSaved) Fail(kSavingNotSupported);
  if (c.cdb[3] != 0) Fail(kInvalidFieldInCdb);  // no subpages
  Bytes pages;
  for (uint8_t code : {kErrorRecovery, kWriteParameters, kCapabilities, kUnderrunPage}) {
    if (page != kAllPages && page != code) continue;
    const Bytes p = ModePage(code, control);
    pages.insert(pages.end(), p.begin(), p.end());
  }
  if (pages.empty()) Fail(kInvalidFieldInCdb);
  Bytes out(8, 0);
  if (config_.block_descriptor && !no_descriptor) {
    Put16(&out[6], 8);
    uint8_t* d = Grow(out, 8);
    const uint32_t blocks = medium_ && !tray_open_ ? medium_->state().capacity : 0;
    Put24(&d[1], std::min<uint32_t>(blocks, 0xFFFFFF));
    Put24(&d[5], kBlockSize);
  }
  out.insert(out.end(), pages.begin(), pages.end());
  Put16(&out[0], static_cast<uint32_t>(out.size() - 2));
  c.Respond(std::move(out), Get16(&c.cdb[7]));
}

void Drive::ModeSelect10(Command& c) {
  if ((c.cdb[1] & 0x10) == 0 || (c.cdb[1] & 0x01) != 0) Fail(kInvalidFieldInCdb);  // PF required, SP unsupported
  const uint32_t length = Get16(&c.cdb[7]);
  const uint8_t* data = c.TakeDataOut(length);
  if (length == 0) return;
  if (length < 8) Fail(kParameterListLengthError);
  const uint32_t descriptors = Get16(&data[6]);
  if (descriptors != 0 && descriptors != 8) Fail(kInvalidFieldInParameterList);
  std::array<uint8_t, kPage05Size> write_parameters = write_parameters_;
  std::array<uint8_t, kPage01Size> error_recovery = error_recovery_;
  // The pages are staged, so that a list with a bad page changes none.
  const auto staged_page = [&](uint8_t code) -> std::span<uint8_t> {
    if (code == kErrorRecovery) return error_recovery;
    if (code == kWriteParameters && config_.WritesAny()) return write_parameters;
    return {};
  };
  for (uint32_t at = 8 + descriptors; at < length;) {
    if (at + 2 > length || at + 2 + data[at + 1] > length) Fail(kParameterListLengthError);
    const uint8_t* page = &data[at];
    const uint8_t code = page[0] & 0x3F;
    // Only a changeable page, in its own length, and in it only the changeable bits.
    const std::span<uint8_t> staged = staged_page(code);
    if (staged.empty() || page[1] != staged.size() - 2) Fail(kInvalidFieldInParameterList);
    const Bytes mask = ModePage(code, kChangeable);
    for (size_t i = 2; i < staged.size(); ++i)
      if (((page[i] ^ staged[i]) & ~mask[i]) != 0) Fail(kInvalidFieldInParameterList);
    if (code == kWriteParameters) {
      const uint8_t write_type = page[2] & 0x0F;
      const uint8_t block_type = page[4] & 0x0F;
      // The drive stores 2048-byte user data blocks: mode 1 or mode 2 form 1.
      if (write_type > 4 || (block_type != 8 && block_type != 10)) Fail(kInvalidFieldInParameterList);
    }
    std::copy(page + 2, page + staged.size(), staged.begin() + 2);
    at += 2 + page[1];
  }
  const bool test_write_ends = (write_parameters_[2] & 0x10) != 0 && (write_parameters[2] & 0x10) == 0;
  write_parameters_ = write_parameters;
  error_recovery_ = error_recovery;
  if (test_write_ends && medium_) {
    medium_->state().simulated_track = -1;
    medium_->state().simulated = 0;
  }
}

}  // namespace orvex::vburner
