// SPDX-License-Identifier: Apache-2.0
#include "drive/command_names.h"

#include <array>
#include <cstdio>

#include "drive/mmc_codes.h"

namespace orvex {
namespace {

struct TNamedOpcode {
  uint8_t opcode;
  const char* name;
};

constexpr TNamedOpcode kNames[] = {
    {mmc::kTestUnitReady, "TEST UNIT READY       "},
    {mmc::kRezeroUnit, "REWIND UNIT           "},
    {mmc::kRequestSense, "REQUEST SENSE         "},
    {mmc::kFormatUnit, "FORMAT UNIT           "},
    {mmc::kInquiry, "INQUIRY               "},
    {mmc::kStartStopUnit, "START STOP UNIT       "},
    {mmc::kPreventAllowMediumRemoval, "PREVENT/ALLOW REMOVAL "},
    {mmc::kReadFormatCapacities, "READ FORMAT CAPACITIES"},
    {mmc::kReadCapacity, "READ CAPACITY         "},
    {mmc::kRead10, "READ (10)             "},
    {mmc::kWrite10, "WRITE (10)            "},
    {mmc::kSeek10, "SEEK (10)             "},
    {mmc::kWriteAndVerify10, "WRITE AND VERIFY (10) "},
    {mmc::kVerify10, "VERIFY (10)           "},
    {mmc::kSynchronizeCache, "SYNCHRONIZE CACHE     "},
    {mmc::kReadSubChannel, "READ SUB-CHANNEL      "},
    {mmc::kReadToc, "READ TOC/PMA/ATIP     "},
    {mmc::kPlayAudio10, "PLAY AUDIO (10)       "},
    {mmc::kGetConfiguration, "GET CONFIGURATION     "},
    {mmc::kPlayAudioMsf, "PLAY AUDIO MSF        "},
    {mmc::kGetEventStatusNotification, "GET EVENT/STATUS NOTIF"},
    {mmc::kPauseResume, "PAUSE/RESUME          "},
    {mmc::kStopPlayScan, "STOP PLAY/SCAN        "},
    {mmc::kReadDiscInformation, "READ DISC INFORMATION "},
    {mmc::kReadTrackInformation, "READ TRACK INFORMATION"},
    {mmc::kReserveTrack, "RESERVE TRACK         "},
    {mmc::kSendOpcInformation, "SEND OPC INFORMATION  "},
    {mmc::kModeSelect10, "MODE SELECT (10)      "},
    {mmc::kRepairTrack, "REPAIR TRACK          "},
    {mmc::kModeSense10, "MODE SENSE (10)       "},
    {mmc::kCloseTrackSession, "CLOSE TRACK/SESSION   "},
    {mmc::kReadBufferCapacity, "READ BUFFER CAPACITY  "},
    {mmc::kSendCueSheet, "SEND CUE SHEET        "},
    {mmc::kBlank, "BLANK                 "},
    {mmc::kSendEvent, "SEND EVENT            "},
    {mmc::kSendKey, "SEND KEY              "},
    {mmc::kReportKey, "REPORT KEY            "},
    {mmc::kPlayAudio12, "PLAY AUDIO (12)       "},
    {mmc::kLoadUnloadMedium, "LOAD/UNLOAD CD/DVD    "},
    {mmc::kSetReadAhead, "SET READ AHEAD        "},
    {mmc::kRead12, "READ (12)             "},
    {mmc::kWrite12, "WRITE (12)            "},
    {mmc::kGetPerformance, "GET PERFORMANCE       "},
    {mmc::kReadDvdStructure, "READ DVD STRUCTURE    "},
    {mmc::kSetStreaming, "SET STREAMING         "},
    {mmc::kReadCdMsf, "READ CD MSF           "},
    {mmc::kScan, "SCAN                  "},
    {mmc::kSetCdSpeed, "SET CD SPEED          "},
    {mmc::kMechanismStatus, "MECHANISM STATUS      "},
    {mmc::kReadCd, "READ CD               "},
    {mmc::kSendDvdStructure, "SEND DVD STRUCTURE    "},
};

constexpr std::array<const char*, 256> Table() {
  std::array<const char*, 256> table{};
  for (const TNamedOpcode& n : kNames) table[n.opcode] = n.name;
  return table;
}

constexpr std::array<const char*, 256> kTable = Table();

}  // namespace

std::string_view CommandName(uint8_t opcode) {
  const char* name = kTable[opcode];
  return name == nullptr ? std::string_view() : std::string_view(name);
}

std::string CommandTitle(uint8_t opcode) {
  const std::string_view name = CommandName(opcode);
  if (name.empty()) {
    char text[16];
    std::snprintf(text, sizeof text, "command %02Xh", opcode);
    return text;
  }
  return std::string(name.substr(0, name.find_last_not_of(' ') + 1));
}

std::string RefusalText(uint8_t opcode, const TSENSE& sense) {
  char detail[40];
  std::snprintf(detail, sizeof detail, " failed (sense %X/%02Xh/%02Xh)", SenseKeyOf(sense), sense.AddSenseCode,
                sense.AddSenQual);
  return CommandTitle(opcode) + detail;
}

}  // namespace orvex
