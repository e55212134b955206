// SPDX-License-Identifier: Apache-2.0
#include "drive/mmc_commands.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "drive/execute_command.h"
#include "drive/mmc_codes.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

TCdb Block(std::initializer_list<uint8_t> bytes) {
  TCdb c;
  std::copy(bytes.begin(), bytes.end(), c.bytes.begin());
  c.length = static_cast<uint8_t>(bytes.size());
  return c;
}

TCdb Block6(uint8_t opcode) { return Block({opcode, 0, 0, 0, 0, 0}); }
TCdb Block10(uint8_t opcode) { return Block({opcode, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }
TCdb Block12(uint8_t opcode) { return Block({opcode, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }

// Bytes 7-8: the allocation or parameter list length of a 10-byte block.
TCdb WithLength10(TCdb c, uint16_t length) {
  PutBE16(&c.bytes[7], length);
  return c;
}

bool Done(uint8_t status) { return status == kSrbStatusDone; }
bool DoneOrPending(uint8_t status) { return status == kSrbStatusDone || status == kSrbStatusPending; }

}  // namespace

namespace cdb {

TCdb TestUnitReady() { return Block6(mmc::kTestUnitReady); }
TCdb RezeroUnit() { return Block6(mmc::kRezeroUnit); }

TCdb Inquiry(uint8_t allocation) {
  TCdb c = Block6(mmc::kInquiry);
  c.bytes[4] = allocation;
  return c;
}

TCdb StartStopUnit(bool immediate, uint8_t load_eject) {
  TCdb c = Block6(mmc::kStartStopUnit);
  c.bytes[1] = immediate ? 1 : 0;
  c.bytes[4] = load_eject;
  return c;
}

TCdb PreventAllowMediumRemoval(bool prevent) {
  TCdb c = Block6(mmc::kPreventAllowMediumRemoval);
  c.bytes[4] = prevent ? 1 : 0;
  return c;
}

TCdb FormatUnit(uint8_t byte1) {
  TCdb c = Block6(mmc::kFormatUnit);
  c.bytes[1] = byte1;
  return c;
}

TCdb ReadFormatCapacities(uint16_t allocation) { return WithLength10(Block10(mmc::kReadFormatCapacities), allocation); }

TCdb Read10(uint32_t lba, uint16_t blocks) {
  TCdb c = Block10(mmc::kRead10);
  PutBE32(&c.bytes[2], lba);
  PutBE16(&c.bytes[7], blocks);
  return c;
}

TCdb Write10(uint32_t lba, uint16_t blocks) {
  TCdb c = Block10(mmc::kWrite10);
  PutBE32(&c.bytes[2], lba);
  PutBE16(&c.bytes[7], blocks);
  return c;
}

TCdb SynchronizeCache(bool immediate) {
  TCdb c = Block10(mmc::kSynchronizeCache);
  c.bytes[1] = immediate ? 0x02 : 0;  // IMMED
  return c;
}

TCdb ReadToc(uint8_t format, uint8_t number, uint8_t allocation, bool msf) {
  TCdb c = Block10(mmc::kReadToc);
  c.bytes[1] = msf ? 0x02 : 0;  // addresses as minute, second, frame
  c.bytes[2] = format;
  c.bytes[6] = number;
  c.bytes[8] = allocation;
  return c;
}

TCdb GetConfiguration(uint16_t feature, uint16_t allocation) {
  TCdb c = WithLength10(Block10(mmc::kGetConfiguration), allocation);
  c.bytes[1] = 0x02;  // the one feature named
  PutBE16(&c.bytes[2], feature);
  return c;
}

TCdb GetEventStatusNotification(uint8_t classes, uint16_t allocation) {
  TCdb c = WithLength10(Block10(mmc::kGetEventStatusNotification), allocation);
  c.bytes[1] = 0x01;  // polled: the host asks, the drive does not call back
  c.bytes[4] = classes;
  return c;
}

TCdb ReadDiscInformation(uint16_t allocation) { return WithLength10(Block10(mmc::kReadDiscInformation), allocation); }

TCdb ReadTrackInformation(uint8_t track, uint16_t allocation) {
  TCdb c = WithLength10(Block10(mmc::kReadTrackInformation), allocation);
  c.bytes[1] = 0x01;  // by track number
  c.bytes[5] = track;
  return c;
}

TCdb ReserveTrack(uint32_t blocks) {
  TCdb c = Block10(mmc::kReserveTrack);
  PutBE32(&c.bytes[5], blocks);
  return c;
}

TCdb ModeSelect10(uint16_t length) {
  TCdb c = WithLength10(Block10(mmc::kModeSelect10), length);
  c.bytes[1] = 0x10;  // page format
  return c;
}

TCdb ModeSense10(uint8_t page, bool defaults, uint16_t allocation) {
  TCdb c = WithLength10(Block10(mmc::kModeSense10), allocation);
  c.bytes[2] = static_cast<uint8_t>(page | (defaults ? 0x80 : 0));  // page control 10b: the defaults
  return c;
}

TCdb CloseTrackSession(mmc::TCloseFunction what, uint16_t number, bool immediate) {
  TCdb c = Block10(mmc::kCloseTrackSession);
  c.bytes[1] = immediate ? 1 : 0;
  c.bytes[2] = static_cast<uint8_t>(what);
  PutBE16(&c.bytes[4], number);
  return c;
}

TCdb ReadBufferCapacity(uint16_t allocation) { return WithLength10(Block10(mmc::kReadBufferCapacity), allocation); }

TCdb Blank(bool quick) {
  TCdb c = Block12(mmc::kBlank);
  c.bytes[1] = static_cast<uint8_t>(0x10 | (quick ? 1 : 0));  // IMMED; blanking type 001b minimal, 000b all
  return c;
}

TCdb SetStreaming(uint16_t length) {
  TCdb c = Block12(mmc::kSetStreaming);
  PutBE16(&c.bytes[9], length);
  return c;
}

TCdb SetCdSpeed(uint16_t read, uint16_t write) {
  TCdb c = Block12(mmc::kSetCdSpeed);
  c.bytes[1] = 0x00;  // rotational control 00b: CLV (and non-pure CAV), as recording wants
  PutBE16(&c.bytes[2], read == 0 ? 0xFFFF : read);
  PutBE16(&c.bytes[4], write == 0 ? 0xFFFF : write);
  return c;
}

TCdb ReadDiscStructure(uint8_t media_type, uint8_t format, uint16_t allocation) {
  TCdb c = Block12(0xAD);
  c.bytes[1] = media_type;
  c.bytes[7] = format;
  PutBE16(&c.bytes[8], allocation);
  return c;
}

TCdb SendDvdStructure(uint8_t format, uint16_t length) {
  TCdb c = Block12(mmc::kSendDvdStructure);
  c.bytes[7] = format;
  PutBE16(&c.bytes[8], length);
  return c;
}

}  // namespace cdb

uint8_t RunCommand(TSCSIDevice& device, const TCdb& command, uint8_t direction, uint8_t* data,
                   uint32_t length, uint32_t* transferred) {
  TSRB_ExecSCSICmd request{};
  request.SRB_Flags = static_cast<uint8_t>(kSrbPostEvent | direction);
  request.SRB_BufLen = length;
  request.SRB_BufPointer = length == 0 ? nullptr : data;
  request.SRB_CDBLen = command.length;
  std::memcpy(request.CDBByte, command.bytes.data(), command.length);
  const uint8_t status = ExecuteCommand(device, request);
  if (transferred != nullptr) *transferred = request.SRB_BufLen;
  return status;
}

std::optional<uint32_t> ReadAnswer(TSCSIDevice& device, const TCdb& command, uint8_t* buffer, uint32_t length,
                                   bool pending_counts) {
  std::memset(buffer, 0, length);
  uint32_t arrived = 0;
  const uint8_t status = RunCommand(device, command, kSrbDataIn, buffer, length, &arrived);
  if (!(pending_counts ? DoneOrPending(status) : Done(status))) return std::nullopt;
  return arrived;
}

namespace {

uint8_t RunNone(TSCSIDevice& device, const TCdb& command) { return RunCommand(device, command, 0, nullptr, 0); }

uint8_t RunIn(TSCSIDevice& device, const TCdb& command, uint8_t* data, uint32_t length,
              uint32_t* transferred = nullptr) {
  return RunCommand(device, command, kSrbDataIn, data, length, transferred);
}

uint8_t RunOut(TSCSIDevice& device, const TCdb& command, const uint8_t* data, uint32_t length) {
  return RunCommand(device, command, kSrbDataOut, const_cast<uint8_t*>(data), length);
}

}  // namespace

bool TestUnitReady(TSCSIDevice& device) { return Done(RunNone(device, cdb::TestUnitReady())); }
bool RezeroUnit(TSCSIDevice& device) { return Done(RunNone(device, cdb::RezeroUnit())); }
bool Inquiry(TSCSIDevice& device, uint8_t* buffer) { return Done(RunIn(device, cdb::Inquiry(64), buffer, 64)); }
bool LoadMedium(TSCSIDevice& device, bool immediate) {
  return Done(RunNone(device, cdb::StartStopUnit(immediate, mmc::kLoad)));
}
bool EjectMedium(TSCSIDevice& device, bool immediate) {
  return Done(RunNone(device, cdb::StartStopUnit(immediate, mmc::kEject)));
}
bool LockMedium(TSCSIDevice& device) { return Done(RunNone(device, cdb::PreventAllowMediumRemoval(true))); }
bool UnlockMedium(TSCSIDevice& device) { return Done(RunNone(device, cdb::PreventAllowMediumRemoval(false))); }

bool FormatUnit(TSCSIDevice& device, uint8_t byte1, const uint8_t* list, uint32_t length) {
  return DoneOrPending(RunOut(device, cdb::FormatUnit(byte1), list, length));
}

bool ReadFormatCapacities(TSCSIDevice& device, uint8_t* buffer, uint32_t* transferred) {
  return Done(RunIn(device, cdb::ReadFormatCapacities(124), buffer, 124, transferred));
}

bool Read10(TSCSIDevice& device, uint32_t lba, uint16_t blocks, uint8_t* buffer) {
  return Done(RunIn(device, cdb::Read10(lba, blocks), buffer, uint32_t{blocks} * 2048));
}

bool Write10(TSCSIDevice& device, uint32_t lba, uint16_t blocks, uint32_t length, const uint8_t* buffer) {
  return Done(RunOut(device, cdb::Write10(lba, blocks), buffer, length));
}

bool SynchronizeCache(TSCSIDevice& device, bool immediate) {
  return DoneOrPending(RunNone(device, cdb::SynchronizeCache(immediate)));
}

bool ReadTOC(TSCSIDevice& device, uint8_t format, uint8_t number, uint8_t length, uint8_t* buffer, bool msf) {
  return Done(RunIn(device, cdb::ReadToc(format, number, length, msf), buffer, length));
}

bool GetConfiguration(TSCSIDevice& device, uint8_t* buffer, uint16_t length, uint16_t feature,
                      uint32_t* transferred) {
  return Done(RunIn(device, cdb::GetConfiguration(feature, length), buffer, length, transferred));
}

bool GetEventStatusNotification(TSCSIDevice& device, uint8_t classes, uint8_t* buffer, uint16_t length,
                                uint32_t* transferred) {
  return Done(RunIn(device, cdb::GetEventStatusNotification(classes, length), buffer, length, transferred));
}

bool ReadDiscInformation(TSCSIDevice& device, uint8_t* buffer, uint16_t length) {
  return Done(RunIn(device, cdb::ReadDiscInformation(length), buffer, length));
}

bool ReadTrackInformation(TSCSIDevice& device, uint8_t track) {
  uint8_t raw[kTrackInformationBytes];
  if (!ReadAnswer(device, cdb::ReadTrackInformation(track, sizeof raw), raw, sizeof raw)) return false;
  device.TrackInformation = DecodeTrackInformation(raw);
  return true;
}

bool ReserveTrack(TSCSIDevice& device, uint32_t blocks) { return Done(RunNone(device, cdb::ReserveTrack(blocks))); }

bool ModeSelect10(TSCSIDevice& device, const uint8_t* buffer, uint16_t length) {
  return DoneOrPending(RunOut(device, cdb::ModeSelect10(length), buffer, length));
}

bool ModeSense10(TSCSIDevice& device, uint8_t* buffer, uint16_t length, bool defaults, uint8_t page) {
  return DoneOrPending(RunIn(device, cdb::ModeSense10(page, defaults, length), buffer, length));
}

bool CloseTrackSession(TSCSIDevice& device, mmc::TCloseFunction what, uint16_t number, bool immediate) {
  return DoneOrPending(RunNone(device, cdb::CloseTrackSession(what, number, immediate)));
}

bool ReadBufferCapacityCommand(TSCSIDevice& device) {
  return Done(RunIn(device, cdb::ReadBufferCapacity(32), device.tmpBuffer.data(), 32));
}

bool BlankDisc(TSCSIDevice& device, bool quick) { return DoneOrPending(RunNone(device, cdb::Blank(quick))); }

bool SetStreamingCommand(TSCSIDevice& device, const uint8_t* buffer, uint16_t length) {
  return Done(RunOut(device, cdb::SetStreaming(length), buffer, length));
}

bool SetCDSpeed(TSCSIDevice& device, uint16_t read, uint16_t write) {
  return Done(RunNone(device, cdb::SetCdSpeed(read, write)));
}

bool SendDVDStructure(TSCSIDevice& device, uint8_t format, const uint8_t* buffer, uint16_t length) {
  return Done(RunOut(device, cdb::SendDvdStructure(format, length), buffer, length));
}

}  // namespace orvex
