// SPDX-License-Identifier: Apache-2.0
#include "drive/exclusive_use.h"

#include <errno.h>

#include <utility>

namespace orvex {

TExclusiveUse::TExclusiveUse(TSCSIDevice& device) {
  if (!device.UsingSPTI || device.DriveLetter == '?') return;
  path_ = OpticalDrivePath(device.DriveLetter);
  // Our own shared descriptor would make the exclusive open fail.
  if (device.Handle >= 0) CloseOpticalDrive(device.Handle);
  device.Handle = OpenOpticalDrive(device.DriveLetter, TDriveOpen::kExclusive, &error_);
  if (device.Handle < 0) return;
  error_ = 0;
  device.HeldForJob = true;
  device_ = &device;
}

TExclusiveUse::TExclusiveUse(TExclusiveUse&& other) noexcept
    : device_(std::exchange(other.device_, nullptr)), error_(other.error_), path_(std::move(other.path_)) {}

TExclusiveUse& TExclusiveUse::operator=(TExclusiveUse&& other) noexcept {
  if (this != &other) {
    Release();
    device_ = std::exchange(other.device_, nullptr);
    error_ = other.error_;
    path_ = std::move(other.path_);
  }
  return *this;
}

void TExclusiveUse::Release() {
  if (device_ == nullptr) return;
  CloseOpticalDrive(device_->Handle);
  device_->Handle = -1;
  device_->HeldForJob = false;
  device_ = nullptr;
}

bool TExclusiveUse::Busy() const { return error_ == EBUSY; }

bool TExclusiveUse::NoWriteAccess() const { return error_ == EACCES || error_ == EPERM; }

}  // namespace orvex
