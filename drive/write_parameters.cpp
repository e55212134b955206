// SPDX-License-Identifier: Apache-2.0
#include "drive/write_parameters.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "drive/mmc_records.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

using enum TMedium;
using enum TWriteType;
using enum TSessionsRule;
using enum TPacketRule;

constexpr uint16_t kPageRead = 512;
constexpr uint16_t kAudioPauseBlocks = 150;

// Every medium without a row of its own.
constexpr TWriteParametersRow kOtherMedia = {mtUNKNOWN, kTrackAtOnce, 4, 8, 0, kOpenUnderTest, kVariable, 0, false,
                                             0, 1};
constexpr TWriteParametersRow kRows[] = {
    // medium      write type      mode dbt sf sessions        packets          size  LS_V  link unit
    {mtDDCDR,      kSessionAtOnce, 5,   8,  0, kOpenUnderTest, kVariable,       0,    false, 0,  1},
    {mtDDCDRW,     kSessionAtOnce, 5,   8,  0, kOpenUnderTest, kVariable,       0,    false, 0,  1},
    {mtDVDRW,      kIncremental,   5,   8,  0, kOpenUnderTest, kVariable,       0,    false, 0,  1},
    {mtDVDR,       kIncremental,   5,   8,  0, kAsAsked,       kFixed,          16,   true,  16, 16},
    {mtDVDRWSR,    kIncremental,   5,   8,  0, kAsAsked,       kVariable,       16,   true,  16, 1},
    {mtDVDRWRO,    kIncremental,   5,   8,  0, kAlwaysOpen,    kVariable,       16,   true,  16, 16},
    {mtDVDPLUSR,   kSessionAtOnce, 4,   8,  0, kOpenUnderTest, kFixedWhileOpen, 16,   true,  16, 1},
    {mtDVDPLUSRW,  kSessionAtOnce, 4,   8,  0, kOpenUnderTest, kVariable,       0,    true,  16, 1},
    {mtDVDPLUSRDL, kSessionAtOnce, 4,   8,  0, kAsAsked,       kVariable,       0,    true,  0,  1},
};

constexpr uint8_t kBufe = 0x40, kLinkSizeValid = 0x20, kTestWriteBit = 0x10;
constexpr uint8_t kFixedPacket = 0x20;
constexpr uint8_t kMultiSessionOpen = 0xC0;  // 11b: another session may follow

// Page 05h's fields from `row`, the next session and the device's settings.
TModePage05 PageOf(const TWriteParametersRow& row, TNextSession next, bool test_write, bool underrun_protection) {
  const bool open = next == TNextSession::kAllowed;
  const bool fixed = row.packets == kFixed || (row.packets == kFixedWhileOpen && open);
  const bool packet_fields = row.packets != kFixedWhileOpen || open;
  const bool keeps_open = row.sessions == kAlwaysOpen || open || (row.sessions == kOpenUnderTest && test_write);
  TModePage05 page{};
  page.PageCode = mmc::kWriteParametersPage;
  page.WriteType = static_cast<uint8_t>(static_cast<uint8_t>(row.write_type) |
                                        (row.link_size_valid ? kLinkSizeValid : 0) |
                                        (test_write ? kTestWriteBit : 0) | (underrun_protection ? kBufe : 0));
  page.TrackMode =
      static_cast<uint8_t>(row.track_mode | (fixed ? kFixedPacket : 0) | (keeps_open ? kMultiSessionOpen : 0));
  page.DBType = row.data_block_type;
  page.LinkSize = packet_fields ? row.link_blocks : 0;
  page.SessionFormat = row.session_format;
  PutBE32(page.PacketSize, packet_fields ? row.packet_blocks : 0);
  PutBE16(page.PauseLength, kAudioPauseBlocks);
  return page;
}

}  // namespace

const TWriteParametersRow& WriteParametersOf(TMedium medium) {
  for (const TWriteParametersRow& row : kRows) {
    if (row.medium == medium) return row;
  }
  return kOtherMedia;
}

namespace {

// Reads the drive's page 05h and sends it back holding `medium`'s page.
bool SendPage(TSCSIDevice& device, TMedium medium, TNextSession next, bool test_write, bool underrun_protection) {
  uint8_t* buffer = device.tmpBuffer.data();
  device.ModePage05 = TModePage05{};
  const std::optional<uint32_t> answer =
      ReadAnswer(device, cdb::ModeSense10(mmc::kWriteParametersPage, false, kPageRead), buffer, kPageRead, true);
  if (!answer) return false;
  const uint32_t arrived = *answer;
  // The page follows the 8-byte header, or an 8-byte block descriptor too.
  const size_t at = buffer[8] == mmc::kWriteParametersPage ? 8 : 16;
  if (arrived < at + 2) return false;  // no page came

  TModePage05& page = device.ModePage05;
  page = PageOf(WriteParametersOf(medium), next, test_write, underrun_protection);
  // A page claimed longer than what arrived is as long as what arrived.
  page.PageLen = static_cast<uint8_t>(std::min<size_t>(buffer[at + 1], arrived - at - 2));
  // The drive's page, as long as it says it is, gets ours; the header, any
  // block descriptor and the page's last two bytes go back unchanged.
  std::memcpy(buffer + at, &page, std::min<size_t>(page.PageLen, sizeof page));
  return ModeSelect10(device, buffer, static_cast<uint16_t>(at + page.PageLen + 2));
}

}  // namespace

bool SetWriteParameters(TSCSIDevice& device, TMedium medium, TNextSession next) {
  const bool underrun_protection = device.BurnProof && PageCan(device.ModePage2A, TPageCapability::kUnderrunFree);
  return SendPage(device, medium, next, device.TestWrite, underrun_protection);
}

bool SetPlainWriteParameters(TSCSIDevice& device, TMedium medium) {
  return SendPage(device, medium, TNextSession::kNone, false, false);
}

uint32_t WriteUnitBlocks(TMedium medium) { return WriteParametersOf(medium).write_unit; }

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
