// SPDX-License-Identifier: Apache-2.0
#include "drive/command_timeouts.h"

#include <array>

#include "drive/mmc_codes.h"

namespace orvex {
namespace {

struct TBound {
  uint8_t opcode;
  uint32_t seconds;
};

// Every opcode not listed is bounded as a recording command.
constexpr TBound kBounds[] = {
    {mmc::kTestUnitReady, kQuestionTimeoutSeconds},
    {mmc::kRezeroUnit, kQuestionTimeoutSeconds},
    {mmc::kRequestSense, kQuestionTimeoutSeconds},
    {mmc::kInquiry, kQuestionTimeoutSeconds},
    {mmc::kModeSelect6, kQuestionTimeoutSeconds},
    {mmc::kModeSense6, kQuestionTimeoutSeconds},
    {mmc::kPreventAllowMediumRemoval, kQuestionTimeoutSeconds},
    {mmc::kReadFormatCapacities, kQuestionTimeoutSeconds},
    {mmc::kReadCapacity, kQuestionTimeoutSeconds},
    {mmc::kReadSubChannel, kQuestionTimeoutSeconds},
    {mmc::kReadToc, kQuestionTimeoutSeconds},
    {mmc::kGetConfiguration, kQuestionTimeoutSeconds},
    {mmc::kGetEventStatusNotification, kQuestionTimeoutSeconds},
    {mmc::kReadDiscInformation, kQuestionTimeoutSeconds},
    {mmc::kReadTrackInformation, kQuestionTimeoutSeconds},
    {mmc::kModeSelect10, kQuestionTimeoutSeconds},
    {mmc::kModeSense10, kQuestionTimeoutSeconds},
    {mmc::kReadBufferCapacity, kQuestionTimeoutSeconds},
    {mmc::kReportKey, kQuestionTimeoutSeconds},
    {mmc::kGetPerformance, kQuestionTimeoutSeconds},
    {mmc::kReadDvdStructure, kQuestionTimeoutSeconds},
    {mmc::kSetStreaming, kQuestionTimeoutSeconds},
    {mmc::kSetCdSpeed, kQuestionTimeoutSeconds},
    {mmc::kMechanismStatus, kQuestionTimeoutSeconds},
    {mmc::kStartStopUnit, kReadTimeoutSeconds},
    {mmc::kRead10, kReadTimeoutSeconds},
    {mmc::kSeek10, kReadTimeoutSeconds},
    {mmc::kVerify10, kReadTimeoutSeconds},
    {mmc::kSendOpcInformation, kReadTimeoutSeconds},
    {mmc::kLoadUnloadMedium, kReadTimeoutSeconds},
    {mmc::kRead12, kReadTimeoutSeconds},
    {mmc::kReadCd, kReadTimeoutSeconds},
    {mmc::kSendDvdStructure, kReadTimeoutSeconds},
};

constexpr std::array<uint32_t, 256> Table() {
  std::array<uint32_t, 256> table{};
  table.fill(kRecordingTimeoutSeconds);
  for (const TBound &b : kBounds)
    table[b.opcode] = b.seconds;
  return table;
}

constexpr std::array<uint32_t, 256> kTable = Table();

} // namespace

uint32_t CommandTimeoutSeconds(uint8_t opcode) { return kTable[opcode]; }

} // namespace orvex
