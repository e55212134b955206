// SPDX-License-Identifier: Apache-2.0
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
constexpr uint8_t kDvdStructures = 0, kBdStructures = 1;  // READ DISC STRUCTURE's media type

// READ DISC INFORMATION of 64 bytes into DiscInformation, asked again once
// when refused; what did not arrive reads 0.
bool ReadDiscInfo(TSCSIDevice& device) {
  return AskedAgainOnce(device, [&] {
    return ReadAnswer(device, cdb::ReadDiscInformation(kDiscInformationRead),
                      reinterpret_cast<uint8_t*>(&device.DiscInformation), kDiscInformationRead)
        .has_value();
  });
}

// READ DISC INFORMATION asked once (past attentions), kept apart from DiscInformation: a
// check that leaves what the inspection read before as it was.
std::optional<TDiscInformation> DiscInformationOnce(TSCSIDevice& device) {
  TDiscInformation info{};
  if (!AnswerPastAttentions(device, cdb::ReadDiscInformation(kDiscInformationRead), reinterpret_cast<uint8_t*>(&info),
                            kDiscInformationRead)) {
    return std::nullopt;
  }
  return info;
}

// READ TRACK INFORMATION of `track`, asked again once when refused.
bool ReadTrackInfo(TSCSIDevice& device, uint8_t track) {
  return AskedAgainOnce(device, [&] { return ReadTrackInformation(device, track); });
}

uint8_t DiscStatus(const TSCSIDevice& device) { return DiscStatusOf(device.DiscInformation); }

constexpr uint8_t kFullFormat = 0x00;  // format type 00h, as the descriptor's byte 4 holds it
constexpr uint32_t kBlockBytes = 2048;

// Free space never goes below 0: a drive whose figures disagree (a track
// larger than the formatted capacity) has no room, not four billion blocks.
uint32_t Less(uint32_t a, uint32_t b) { return a > b ? a - b : 0; }

bool OneOf(TMedium m, std::initializer_list<TMedium> media) {
  return std::find(media.begin(), media.end(), m) != media.end();
}

// What the medium says of itself, for a drive that does not name a
// profile or names one the medium contradicts: the ATIP of a recordable
// CD, the physical format of a DVD, the disc information unit of a BD.  A
// disc with none of them that its disc information shows complete and not
// erasable is a pressed CD: nothing can be written on it whatever it is.
// Anything else is unknown, and no burn takes an unknown medium.
TMedium MediumOfItsOwnAnswers(TSCSIDevice& device) {
  uint8_t* answer = device.tmpBuffer.data();
  if (const auto arrived = AnswerPastAttentions(device, cdb::ReadToc(4, 0, kAtipBytes, true), answer, kAtipBytes)) {
    const TAtipDisc atip = AtipDiscOf(answer, *arrived);
    if (atip != TAtipDisc::kNone) return atip == TAtipDisc::kRewritable ? TMedium::mtCDRW : TMedium::mtCDR;
  }
  if (const auto arrived = AnswerPastAttentions(device, cdb::ReadDiscStructure(kDvdStructures, 0, kDvdFormatBytes),
                                                answer, kDvdFormatBytes)) {
    const TDvdPhysicalFormat format = DecodeDvdPhysicalFormat(answer, *arrived);
    const bool fixed_packet =
        format.book == kBookDvdRw && ReadTrackInfo(device, 1) && TrackFixedPacket(device.TrackInformation);
    return MediumOfDvdBook(format.book, format.layers, fixed_packet);
  }
  if (const auto arrived =
          AnswerPastAttentions(device, cdb::ReadDiscStructure(kBdStructures, 0, kBdUnitBytes), answer, kBdUnitBytes)) {
    return MediumOfBdDisc(DecodeBdDiscType(answer, *arrived));
  }
  const std::optional<TDiscInformation> info = DiscInformationOnce(device);
  return info && DiscStatusOf(*info) == kDiscStatusComplete && !DiscErasable(*info) ? TMedium::mtCDROM
                                                                                    : TMedium::mtUNKNOWN;
}

}  // namespace

TMedium DiscIs(TSCSIDevice& device) {
  TConfigHeader& header = device.ConfigHeader;
  const std::optional<uint32_t> arrived = AnswerPastAttentions(device, cdb::GetConfiguration(0, sizeof header),
                                                               reinterpret_cast<uint8_t*>(&header), sizeof header);
  if (!arrived) return MediumOfItsOwnAnswers(device);
  const TMedium named = MediumOfProfile(CurrentProfileOf(header, *arrived));
  if (named == TMedium::mtUNKNOWN) return named;
  // A profile that contradicts the erasable bit is not trusted: a DVD+R
  // taken for a DVD+RW would be written in place and never closed.
  const std::optional<TDiscInformation> info = DiscInformationOnce(device);
  if (!info || DiscErasable(*info) == Rewritable(named)) return named;
  const TMedium own = MediumOfItsOwnAnswers(device);
  return Rewritable(own) == DiscErasable(*info) ? own : TMedium::mtUNKNOWN;
}

bool Erasable(TSCSIDevice& device) {
  const TMedium m = DiscIs(device);
  if (OneOf(m, {TMedium::mtDVDRAM, TMedium::mtDVDRW, TMedium::mtDVDRWRO, TMedium::mtDVDRWSR, TMedium::mtDVDPLUSRW})) {
    return true;
  }
  return ReadDiscInfo(device) && DiscErasable(device.DiscInformation);
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
    if (!TrackFixedPacket(t)) return t.TrackStartAddress + t.TrackSize;
    return t.TrackSize == 0xFFFFFFFF ? 0 : ReadFormatCapacity(device);
  }
  return ReadFormatCapacity(device);
}

uint32_t ReadFormatCapacity(TSCSIDevice& device) {
  uint8_t list[124];
  const std::optional<uint32_t> arrived = ReadAnswer(device, cdb::ReadFormatCapacities(sizeof list), list, sizeof list);
  if (!arrived) return 0;
  const std::vector<TCapacityDescriptor> descriptors = DecodeFormatCapacities(list, *arrived);
  // Without a medium the drive tells the most it could write: no capacity.
  if (descriptors.empty() || DescriptorTypeOf(descriptors.front()) == kNoMediumPresent) return 0;
  for (size_t i = 0; i < std::min<size_t>(descriptors.size(), 4); ++i) {
    if (descriptors[i].type == kFullFormat && descriptors[i].parameter == kBlockBytes) return descriptors[i].blocks;
  }
  return descriptors.front().blocks;
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
  TBufferCapacity answer;
  std::memcpy(&answer, device.tmpBuffer.data(), sizeof answer);
  device.DeviceBufferSize = BufferLengthOf(answer);
  device.DeviceBufferPosition = BlankLengthOf(answer);
  return ok;
}

}  // namespace orvex
