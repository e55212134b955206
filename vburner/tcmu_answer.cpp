// SPDX-License-Identifier: Apache-2.0
#include "vburner/tcmu_answer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "vburner/sense.h"

namespace orvex::vburner {
namespace {

constexpr Sense kInvalidFieldInInformationUnit{0x05, 0x0E, 0x03};
constexpr Sense kLogicalUnitNotSupported{0x05, 0x25, 0x00};

RingAnswer CheckConditionOf(Sense sense) {
  const auto fixed = BuildFixedSense(CheckCondition{sense, std::nullopt, std::nullopt});
  return RingAnswer{kScsiCheckCondition, {fixed.begin(), fixed.end()}, 0};
}

}  // namespace

RingAnswer AnswerByDrive(Drive& drive, std::span<const uint8_t> cdb, std::span<uint8_t> data) {
  if (cdb.empty() || cdb.size() > kSrbCdbSize) return CheckConditionOf(kInvalidOpcode);
  if (data.size() > UINT32_MAX) return CheckConditionOf(kInvalidFieldInInformationUnit);
  TSRB_ExecSCSICmd srb{};
  srb.SRB_Cmd = kSrbExecSCSICmd;
  srb.SRB_HaId = drive.config().ha;
  srb.SRB_Target = drive.config().target;
  srb.SRB_Lun = drive.config().lun;
  srb.SRB_Flags = 0;  // either direction
  srb.SRB_BufLen = static_cast<uint32_t>(data.size());
  srb.SRB_BufPointer = data.data();
  srb.SRB_SenseLen = kSrbSenseSize;
  // Commands shorter than the block's lengths are padded with zeros.
  srb.SRB_CDBLen = cdb.size() <= 6 ? 6 : cdb.size() <= 10 ? 10 : cdb.size() <= 12 ? 12 : 16;
  std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
  uint32_t data_in = 0;
  // Without a post event the drive answers before Submit returns, unless
  // it is shutting down, when the request completes (aborted) shortly.
  if (drive.Submit(&srb, &data_in) == kSrbStatusPending) {
    while (std::atomic_ref<uint8_t>(srb.SRB_Status).load(std::memory_order_acquire) == kSrbStatusPending)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  RingAnswer answer;
  answer.data_in = data_in;
  switch (srb.SRB_Status) {
    case kSrbStatusDone:
      answer.status = kScsiGood;
      return answer;
    case kSrbStatusError:
      if (srb.SRB_HaStat != kHaStatOk) return CheckConditionOf(kInvalidFieldInInformationUnit);
      answer.status = srb.SRB_TargStat;
      if (srb.SRB_TargStat == kTargetStatusCheckCondition) {
        // Fixed format: the additional length in byte 7 counts the rest.
        const size_t length = std::min<size_t>(kSrbSenseSize, size_t{srb.SenseArea[7]} + 8);
        answer.sense.assign(srb.SenseArea, srb.SenseArea + length);
      }
      return answer;
    default:
      answer.status = kScsiTaskAborted;
      answer.data_in = 0;
      return answer;
  }
}

RingAnswer RefuseCommand(std::span<const uint8_t>, std::span<uint8_t>) {
  return CheckConditionOf(kLogicalUnitNotSupported);
}

}  // namespace orvex::vburner
