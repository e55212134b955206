// MODE SENSE(10) and MODE SELECT(10): the write parameters page (05h), the
// capabilities and mechanical status page (2Ah) and, where configured, the
// vendor page 30h that announces buffer-underrun protection.
#include <algorithm>

#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

constexpr uint8_t kWriteParameters = 0x05;
constexpr uint8_t kCapabilities = 0x2A;
constexpr uint8_t kUnderrunPage = 0x30;
constexpr uint8_t kAllPages = 0x3F;

// Page controls (MODE SENSE byte 2 bits 7-6).
constexpr uint8_t kCurrent = 0, kChangeable = 1, kDefault = 2, kSaved = 3;

constexpr size_t kPage05Size = 52;

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

}  // namespace

void Drive::ResetWriteParameters() { write_parameters_ = DefaultWriteParameters(config_); }

Bytes Drive::WriteParametersPage(uint8_t control) const {
  if (control == kCurrent) return Bytes(write_parameters_.begin(), write_parameters_.end());
  if (control == kDefault) {
    const auto page = DefaultWriteParameters(config_);
    return Bytes(page.begin(), page.end());
  }
  Bytes mask(kPage05Size, 0);
  mask[0] = kWriteParameters;
  mask[1] = kPage05Size - 2;
  mask[2] = 0x2F | (config_.test_write ? 0x10 : 0) | (config_.underrun_protection ? 0x40 : 0);
  mask[3] = 0xEF;  // multi-session, FP, copy, track mode
  mask[4] = 0x0F;  // data block type
  mask[5] = 0xFF;  // link size
  mask[7] = 0x3F;  // host application code
  mask[8] = 0xFF;  // session format
  std::fill(mask.begin() + 10, mask.end(), 0xFF);  // packet size, pause, catalog number, ISRC, sub-header
  return mask;
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
  if (page == kWriteParameters && config_.WritesAny()) return WriteParametersPage(control);
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
  for (uint8_t code : {kWriteParameters, kCapabilities, kUnderrunPage}) {
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
  std::array<uint8_t, kPage05Size> staged = write_parameters_;
  const Bytes mask = WriteParametersPage(kChangeable);
  for (uint32_t at = 8 + descriptors; at < length;) {
    if (at + 2 > length || at + 2 + data[at + 1] > length) Fail(kParameterListLengthError);
    const uint8_t* page = &data[at];
    // Only the write parameters page can be changed, in its own length.
    if ((page[0] & 0x3F) != kWriteParameters || !config_.WritesAny() || page[1] != kPage05Size - 2)
      Fail(kInvalidFieldInParameterList);
    for (size_t i = 2; i < kPage05Size; ++i)
      if (((page[i] ^ write_parameters_[i]) & ~mask[i]) != 0) Fail(kInvalidFieldInParameterList);
    const uint8_t write_type = page[2] & 0x0F;
    const uint8_t block_type = page[4] & 0x0F;
    // The drive stores 2048-byte user data blocks: mode 1 or mode 2 form 1.
    if (write_type > 4 || (block_type != 8 && block_type != 10)) Fail(kInvalidFieldInParameterList);
    std::copy(page + 2, page + kPage05Size, staged.begin() + 2);
    at += 2 + page[1];
  }
  const bool test_write_ends = (write_parameters_[2] & 0x10) != 0 && (staged[2] & 0x10) == 0;
  write_parameters_ = staged;
  if (test_write_ends && medium_) {
    medium_->state().simulated_track = -1;
    medium_->state().simulated = 0;
  }
}

}  // namespace orvex::vburner
