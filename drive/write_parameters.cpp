#include "drive/write_parameters.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

constexpr uint16_t kPageRead = 512;

// The first 32 bytes of the page every medium starts from: page 05h of 50
// bytes, write type 2, multi-session 11b with track mode 4, data block type
// 8, audio pause 150.  BUFE is clear: it is set only where the caller and
// the drive allow it, since a drive without underrun protection refuses a
// page that asks for it.
constexpr uint8_t kTemplate[32] = {0x05, 0x32, 0x02, 0xC4, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x96};

constexpr uint8_t kBufe = 0x40, kLinkSizeValid = 0x20, kTestWriteBit = 0x10;
constexpr uint8_t kFixedPacket = 0x20;
constexpr uint32_t kDvdPacketBlocks = 16;  // an ECC block

void SetWriteType(TModePage05& p, uint8_t type) { p.WriteType = static_cast<uint8_t>((p.WriteType & 0xF0) | type); }
void SetTrackMode(TModePage05& p, uint8_t mode) { p.TrackMode = static_cast<uint8_t>((p.TrackMode & 0xF0) | mode); }
void SetMultiSession(TModePage05& p, uint8_t bits) {
  p.TrackMode = static_cast<uint8_t>((p.TrackMode & 0x3F) | (bits << 6));
}
void SetFixedPacket(TModePage05& p, bool on) {
  p.TrackMode = static_cast<uint8_t>(on ? p.TrackMode | kFixedPacket : p.TrackMode & ~kFixedPacket);
}
void SetPackets(TModePage05& p, uint32_t packet, uint8_t link) {
  PutBE32(p.PacketSize, packet);
  p.LinkSize = link;
  p.WriteType |= kLinkSizeValid;
}

}  // namespace

bool SetWriteParameters(TSCSIDevice& device, bool test_write, bool burn_proof, TMedium medium, bool multi) {
  TModePage05& page = device.ModePage05;
  page = TModePage05{};
  uint8_t* buffer = device.tmpBuffer.data();
  const std::optional<uint32_t> answer =
      ReadAnswer(device, cdb::ModeSense10(mmc::kWriteParametersPage, false, kPageRead), buffer, kPageRead, true);
  if (!answer) return false;
  const uint32_t arrived = *answer;
  // The page follows the 8-byte header, or an 8-byte block descriptor too.
  const size_t at = buffer[8] == mmc::kWriteParametersPage ? 8 : 16;
  if (arrived < at + 2) return false;  // no page came

  std::memcpy(&page, kTemplate, sizeof kTemplate);
  page.PageCode = mmc::kWriteParametersPage;
  // A page claimed longer than what arrived is as long as what arrived.
  page.PageLen = static_cast<uint8_t>(std::min<size_t>(buffer[at + 1], arrived - at - 2));
  SetWriteType(page, 1);  // track at once
  page.DBType = 8;        // mode 1, 2048-byte blocks
  page.SessionFormat = 0;
  SetTrackMode(page, 4);
  switch (medium) {
    case TMedium::mtDDCDR:
    case TMedium::mtDDCDRW:
      SetWriteType(page, 2);  // session at once
      SetTrackMode(page, 5);
      break;
    case TMedium::mtDVDR:
    case TMedium::mtDVDRW:
    case TMedium::mtDVDRWRO:
    case TMedium::mtDVDRWSR:
      SetWriteType(page, 0);  // incremental
      SetTrackMode(page, 5);
      break;
    default:
      break;
  }
  if (!test_write) SetMultiSession(page, multi ? 3 : 0);
  if (medium == TMedium::mtDVDR || medium == TMedium::mtDVDRWSR || medium == TMedium::mtDVDRWRO) {
    // In packets of 16 blocks (fixed ones on DVD-R).  Closing a session of
    // a sequential disc finalizes it unless this field says 11b, also under
    // test write; a restricted-overwrite disc always stays open.
    SetMultiSession(page, multi || medium == TMedium::mtDVDRWRO ? 3 : 0);
    SetFixedPacket(page, medium == TMedium::mtDVDR);
    SetPackets(page, kDvdPacketBlocks, kDvdPacketBlocks);
  }
  page.DBType = 8;
  if (medium == TMedium::mtDVDPLUSR || medium == TMedium::mtDVDPLUSRW) {
    SetWriteType(page, 2);
    SetTrackMode(page, 4);
    page.Res6 = 0;
    // DVD+R keeps fixed packets of 16 only while the disc stays open.
    const bool packets = medium == TMedium::mtDVDPLUSR && multi;
    SetFixedPacket(page, packets);
    SetPackets(page, packets ? 16 : 0, medium == TMedium::mtDVDPLUSRW || packets ? 16 : 0);
  }
  if (medium == TMedium::mtDVDPLUSRDL) {
    SetWriteType(page, 2);
    SetTrackMode(page, 4);
    page.Res6 = 0;
    SetPackets(page, 0, 0);
    SetFixedPacket(page, false);
    SetMultiSession(page, multi ? 3 : 0);  // also under test write
  }
  if (burn_proof && (device.ModePage2A.OtherInfo & 0x80) != 0) page.WriteType |= kBufe;
  PutBE16(page.PauseLength, 150);
  if (test_write) page.WriteType |= kTestWriteBit;

  // The drive's page, as long as it says it is, gets ours; the header, any
  // block descriptor and the page's last two bytes go back unchanged.
  std::memcpy(buffer + at, &page, std::min<size_t>(page.PageLen, sizeof page));
  return ModeSelect10(device, buffer, static_cast<uint16_t>(at + page.PageLen + 2));
}

uint32_t WriteUnitBlocks(TMedium medium) {
  return medium == TMedium::mtDVDRWRO || medium == TMedium::mtDVDR ? kDvdPacketBlocks : 1;
}

void SetDeviceSpeed(TSCSIDevice& device, uint16_t read_speed, uint16_t write_speed) {
  device.WriteSpeed = write_speed;
  device.ReadSpeed = read_speed;
  SetCDSpeed(device, read_speed, write_speed);
}

bool SetStreaming(TSCSIDevice& device, uint32_t end_lba, uint32_t read_size, uint32_t read_time,
                  uint32_t write_size, uint32_t write_time) {
  uint8_t* d = device.tmpBuffer.data();
  std::memset(d, 0, 28);
  PutBE32(d + 8, end_lba);
  PutBE32(d + 12, read_size);
  PutBE32(d + 16, read_time);
  PutBE32(d + 20, write_size);
  PutBE32(d + 24, write_time);
  return SetStreamingCommand(device, d, 28);
}

bool SendDVDTimestamp(TSCSIDevice& device, const SYSTEMTIME& time) {
  uint8_t* d = device.tmpBuffer.data();
  std::memset(d, 0, 22);
  PutBE16(d, 0x0014);
  char stamp[15];
  std::snprintf(stamp, sizeof stamp, "%04u%02u%02u%02u%02u%02u", time.wYear % 10000u, time.wMonth % 100u,
                time.wDay % 100u, time.wHour % 100u, time.wMinute % 100u, time.wSecond % 100u);
  std::memcpy(d + 8, stamp, 14);
  return SendDVDStructure(device, 0x0F, d, 22);
}

}  // namespace orvex
