// SPDX-License-Identifier: Apache-2.0
// The drive-control methods of the component: forwarders to the drive
// layer, which asks nothing of the drive while a job uses it.
#include "component/orvex.h"

#include "drive/capabilities.h"
#include "drive/device_enumeration.h"
#include "drive/media_events.h"
#include "drive/medium_inspection.h"
#include "drive/mmc_commands.h"
#include "drive/track_list.h"
#include "drive/transfer_rate.h"
#include "drive/write_parameters.h"
#include "platform/user_paths.h"

namespace orvex {

bool TOrvex::InitializeASPI(bool NoInternalASPI, const std::string& ASPIDLLPath, const std::string& Reserved1) {
  if (!ReadyForJob()) return false;
  driver_problem_.clear();
  return EnumerateDevices(Device, NoInternalASPI, ASPIDLLPath, Reserved1, &driver_problem_);
}

std::string TOrvex::GetDeviceName(uint8_t DeviceIndex) const { return orvex::GetDeviceName(Device, DeviceIndex); }

int TOrvex::FindDevice(const std::string& AddressOrPath) const { return orvex::FindDevice(Device, AddressOrPath); }
std::string TOrvex::GetDevicePath(uint8_t DeviceIndex) const { return orvex::GetDevicePath(Device, DeviceIndex); }

bool TOrvex::SelectDevice(uint8_t DeviceIndex) { return ReadyForJob() && orvex::SelectDevice(Device, DeviceIndex); }

bool TOrvex::SelectDeviceByLetter(char DriveLetter) {
  return ReadyForJob() && orvex::SelectDeviceByLetter(Device, DriveLetter);
}

bool TOrvex::DeviceCan(uint8_t DeviceCapabilityID) {
  const std::string directory = DeviceCapabilityID == 72 ? UserStateDirectory() : "";
  const std::string log = directory.empty() ? "" : directory + "/orvexp.elg";
  return orvex::DeviceCan(Device, DeviceCapabilityID, log.empty() ? nullptr : log.c_str());
}

bool TOrvex::LockMedium() { return ReadyForJob() && orvex::LockMedium(Device); }
bool TOrvex::UnlockMedium() { return ReadyForJob() && orvex::UnlockMedium(Device); }

bool TOrvex::UnlockDrive() {
  if (ReadyForJob()) orvex::TestUnitReady(Device);
  return true;
}

bool TOrvex::LoadMedium(bool Immediate) { return ReadyForJob() && orvex::LoadMedium(Device, Immediate); }
bool TOrvex::EjectMedium(bool Immediate) { return ReadyForJob() && orvex::EjectMedium(Device, Immediate); }
bool TOrvex::FlushCache() { return ReadyForJob() && SynchronizeCache(Device, true); }
bool TOrvex::TestUnitReady() { return ReadyForJob() && orvex::TestUnitReady(Device); }
bool TOrvex::Erasable() { return ReadyForJob() && orvex::Erasable(Device); }
bool TOrvex::Writable() { return ReadyForJob() && orvex::Writable(Device); }
bool TOrvex::DeviceIsBurner() const { return orvex::DeviceIsBurner(Device); }
TMedium TOrvex::DiscIs() { return ReadyForJob() ? orvex::DiscIs(Device) : TMedium::mtUNKNOWN; }
int32_t TOrvex::SessionsOnDisc() { return ReadyForJob() ? orvex::SessionsOnDisc(Device) : 0; }

void TOrvex::SetDeviceSpeed(uint16_t ReadSpeed, uint16_t WriteSpeed) {
  if (ReadyForJob()) orvex::SetDeviceSpeed(Device, ReadSpeed, WriteSpeed);
}

// Each speed reads the capabilities afresh.
const TModePage2A& TOrvex::FreshCapabilities() {
  if (ReadyForJob()) RefreshCapabilities(Device);
  return Device.ModePage2A;
}
uint16_t TOrvex::DeviceMaxReadSpeed() { return FreshCapabilities().DeviceMaxReadSpeed; }
uint16_t TOrvex::DeviceMaxWriteSpeed() { return FreshCapabilities().DeviceMaxWriteSpeed; }
uint16_t TOrvex::ReadSpeed() { return FreshCapabilities().CurReadSpeed; }
uint16_t TOrvex::WriteSpeed() { return FreshCapabilities().CurWriteSpeed; }
uint16_t TOrvex::MaxWriteSpeed() { return FreshCapabilities().MaxWriteSpeed; }

// A blank length above the buffer's (a drive's garbage) leaves nothing waiting.
uint32_t TOrvex::DeviceBufferPosition() const {
  const uint32_t size = Device.DeviceBufferSize, blank = Device.DeviceBufferPosition;
  return size > blank ? size - blank : 0;
}

std::optional<TDiscLayout> TOrvex::DiscLayout() {
  return ReadyForJob() ? orvex::ReadDiscLayout(Device) : std::nullopt;
}

uint32_t TOrvex::FreeBlocksOnDisc() { return ReadyForJob() ? orvex::FreeBlocksOnDisc(Device) : 0; }
uint32_t TOrvex::TotalBlocksOnDisc() { return ReadyForJob() ? orvex::TotalBlocksOnDisc(Device) : 0; }
int TOrvex::DiscStatus() {
  if (!ReadyForJob()) return -1;
  TDiscInformation& info = Device.DiscInformation;
  info = TDiscInformation{};
  if (!ReadDiscInformation(Device, reinterpret_cast<uint8_t*>(&info), sizeof info)) return -1;
  return DiscStatusOf(info);
}

std::optional<bool> TOrvex::MediumChanged() {
  if (!ReadyForJob() || Device.HaID == kNoAddress) return std::nullopt;
  const uint16_t pending = Device.DeviceError;
  const TMediumNews news = TakeMediaEvents(Device);
  Device.DeviceError = pending;  // a background look, not the user's action
  if (news == TMediumNews::kUnknown) return std::nullopt;
  return news == TMediumNews::kChanged;
}

bool TOrvex::ReadDeviceBuffer() { return ReadyForJob() && ReadBufferCapacity(Device); }

uint16_t TOrvex::BMWriteSpeed() { return TakeWriteSpeedSample(Device); }
uint16_t TOrvex::BMReadSpeed() { return TakeReadSpeedSample(Device); }

}  // namespace orvex
