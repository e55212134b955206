#include "drive/medium_inspection.h"

#include <algorithm>
#include <cstring>

#include "drive/mmc_commands.h"
#include "drive/ready_polls.h"
#include "drive/transfer_rate.h"
#include "drive/write_parameters.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

constexpr uint16_t kDiscInformationRead = 64;

// READ DISC INFORMATION of 64 bytes into DiscInformation, asked again once
// when refused; what did not arrive reads 0.
bool ReadDiscInfo(TSCSIDevice& device) {
  return AskedAgainOnce(device, [&] {
    return ReadAnswer(device, cdb::ReadDiscInformation(kDiscInformationRead),
                      reinterpret_cast<uint8_t*>(&device.DiscInformation), kDiscInformationRead)
        .has_value();
  });
}

// READ TRACK INFORMATION of `track`, asked again once when refused.
bool ReadTrackInfo(TSCSIDevice& device, uint8_t track) {
  return AskedAgainOnce(device, [&] { return ReadTrackInformation(device, track); });
}

uint8_t DiscStatus(const TSCSIDevice& device) { return DiscStatusOf(device.DiscInformation); }

// Free space never goes below 0: a drive whose figures disagree (a track
// larger than the formatted capacity) has no room, not four billion blocks.
uint32_t Less(uint32_t a, uint32_t b) { return a > b ? a - b : 0; }

bool OneOf(TMedium m, std::initializer_list<TMedium> media) {
  return std::find(media.begin(), media.end(), m) != media.end();
}

}  // namespace

TMedium DiscIs(TSCSIDevice& device) {
  TConfigHeader& header = device.ConfigHeader;
  if (const auto arrived = ReadAnswer(device, cdb::GetConfiguration(0, sizeof header), reinterpret_cast<uint8_t*>(&header),
                                      sizeof header)) {
    // A profile that did not arrive whole is no profile.
    return *arrived >= 8 ? MediumOfProfile(GetBE16(header.CurrentProfile)) : TMedium::mtUNKNOWN;
  }
  uint8_t* atip = device.tmpBuffer.data();
  if (ReadAnswer(device, cdb::ReadToc(4, 0, 30, true), atip, 30)) {
    if ((atip[6] & 0x80) == 0) return TMedium::mtCDROM;
    return (atip[6] & 0x40) != 0 ? TMedium::mtCDRW : TMedium::mtCDR;
  }
  if (ReadDiscInfo(device)) return (device.DiscInformation.info & 0x10) != 0 ? TMedium::mtCDRW : TMedium::mtCDR;
  return TestUnitReady(device) ? TMedium::mtCDROM : TMedium::mtUNKNOWN;
}

bool Erasable(TSCSIDevice& device) {
  const TMedium m = DiscIs(device);
  if (OneOf(m, {TMedium::mtDVDRAM, TMedium::mtDVDRW, TMedium::mtDVDRWRO, TMedium::mtDVDRWSR, TMedium::mtDVDPLUSRW})) {
    return true;
  }
  return ReadDiscInfo(device) && (device.DiscInformation.info & 0x10) != 0;
}

bool Writable(TSCSIDevice& device) {
  const TMedium m = DiscIs(device);
  if (OneOf(m, {TMedium::mtDVDRAM, TMedium::mtDVDPLUSRW, TMedium::mtDVDRWRO, TMedium::mtBDRE})) return true;
  if (ReadDiscInfo(device)) {
    const uint8_t status = DiscStatus(device);
    if (status == kDiscStatusEmpty || status == kDiscStatusIncomplete) return true;
    if (status == kDiscStatusComplete) return false;
  }
  // No disc information, or the status "others": the track that can still
  // be written says.
  SetWriteParameters(device, m, TNextSession::kNone);
  if (ReadTrackInfo(device, 0xFF)) return device.TrackInformation.FreeBlocks != 0;
  if (ReadTrackInfo(device, static_cast<uint8_t>(device.DiscInformation.LastTrackOfLastSession + 1))) {
    return device.TrackInformation.FreeBlocks != 0;
  }
  return false;
}

std::optional<int32_t> AnsweredSessions(TSCSIDevice& device) {
  if (!ReadDiscInfo(device)) {
    const TSENSE refusal = device.LastSenseInfo;  // the medium is asked for next
    if (DiscIs(device) == TMedium::mtDVDRAM) return 1;
    device.LastSenseInfo = refusal;
    return std::nullopt;
  }
  TDiscInformation& info = device.DiscInformation;
  // An empty last session is one still to be written.
  if (LastSessionState(info) == kSessionEmpty && info.Sessions > 0) --info.Sessions;
  return info.Sessions;
}

int32_t SessionsOnDisc(TSCSIDevice& device) { return AnsweredSessions(device).value_or(0); }

std::optional<uint32_t> AnsweredFreeBlocks(TSCSIDevice& device) {
  if (!Writable(device)) return 0;
  const TMedium m = DiscIs(device);
  SetPlainWriteParameters(device, m);
  if (ReadDiscInfo(device) && ReadTrackInfo(device, device.DiscInformation.LastTrackOfLastSession)) {
    const TTrackInformation& t = device.TrackInformation;
    if (t.TrackSize == 0xFFFFFFFF) return 0;
    if (m == TMedium::mtDVDRWRO) return Less(ReadFormatCapacity(device), t.TrackSize);
    if (OneOf(m, {TMedium::mtDVDRAM, TMedium::mtDVDPLUSRW, TMedium::mtBDRE})) {
      return Less(t.TrackSize, ExistingVolumeSize(device));
    }
    return std::max(t.TrackSize, t.FreeBlocks);
  }
  if (OneOf(m, {TMedium::mtDVDRAM, TMedium::mtDVDPLUSRW})) {
    return Less(ReadFormatCapacity(device), ExistingVolumeSize(device));
  }
  return std::nullopt;
}

uint32_t FreeBlocksOnDisc(TSCSIDevice& device) { return AnsweredFreeBlocks(device).value_or(0); }

uint32_t TotalBlocksOnDisc(TSCSIDevice& device) {
  SetPlainWriteParameters(device, DiscIs(device));
  if (ReadDiscInfo(device) && ReadTrackInfo(device, device.DiscInformation.LastTrackOfLastSession)) {
    const TTrackInformation& t = device.TrackInformation;
    if ((t.info2 & 0x10) == 0) return t.TrackStartAddress + t.TrackSize;
    return t.TrackSize == 0xFFFFFFFF ? 0 : ReadFormatCapacity(device);
  }
  return ReadFormatCapacity(device);
}

uint32_t ReadFormatCapacity(TSCSIDevice& device) {
  uint8_t list[124];
  const std::optional<uint32_t> arrived = ReadAnswer(device, cdb::ReadFormatCapacities(sizeof list), list, sizeof list);
  if (!arrived) return 0;
  // The descriptors the header announces, as far as they arrived.
  const size_t end = std::min<size_t>({4 + size_t{list[3]}, *arrived, sizeof list});
  const size_t count = end < 4 ? 0 : (end - 4) / 8;
  for (size_t i = 0; i < std::min<size_t>(count, 4); ++i) {
    const uint8_t* d = list + 4 + 8 * i;
    if (d[4] == 0 && d[5] == 0 && d[6] == 0x08 && d[7] == 0) return GetBE32(d);
  }
  return count > 0 ? GetBE32(list + 4) : 0;
}

uint32_t ExistingVolumeSize(TSCSIDevice& device) {
  uint8_t sector[2048];
  SetWriteParameters(device, DiscIs(device), TNextSession::kNone);
  for (const uint8_t type : {uint8_t{2}, uint8_t{1}}) {  // a supplementary descriptor first
    for (uint32_t lba = 16; lba <= 31; ++lba) {
      std::memset(sector, 0xFF, sizeof sector);
      if (!ReadSectors(device, lba, 1, sector)) continue;
      if (sector[0] == type && std::memcmp(sector + 1, "CD001", 5) == 0) return GetLE32(sector + 80);
    }
  }
  return 0;
}

bool ReadBufferCapacity(TSCSIDevice& device) {
  std::memset(device.tmpBuffer.data(), 0, 32);
  const bool ok = ReadBufferCapacityCommand(device);
  // Written also after a failure, as the write thread's polls expect.
  device.DeviceBufferSize = GetBE32(device.tmpBuffer.data() + 4);
  device.DeviceBufferPosition = GetBE32(device.tmpBuffer.data() + 8);
  return ok;
}

}  // namespace orvex
