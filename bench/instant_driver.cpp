// SPDX-License-Identifier: Apache-2.0
// A driver library that answers every command at once with GOOD status and
// INQUIRY as one optical drive at 0:0:0: what remains of a command's cost
// through the library path is the host side's own.
#include <cstring>

#include "drive/srb.h"

using namespace orvex;

extern "C" uint32_t GetASPI32SupportInfo(void) { return uint32_t{kSrbStatusDone} << 8 | 1; }

extern "C" uint32_t SendASPI32Command(void* request) {
  auto* block = static_cast<uint8_t*>(request);
  if (block[0] == kSrbHostAdapterInquiry) {
    static_cast<TSRB_HAInquiry*>(request)->HA_Count = 1;
    return block[1] = kSrbStatusDone;
  }
  if (block[0] != kSrbExecSCSICmd) return block[1] = kSrbStatusInvalidCmd;
  auto& srb = *static_cast<TSRB_ExecSCSICmd*>(request);
  if (srb.SRB_HaId != 0 || srb.SRB_Target != 0 || srb.SRB_Lun != 0) return srb.SRB_Status = kSrbStatusNoDevice;
  if (srb.CDBByte[0] == 0x12 && srb.SRB_BufLen >= 36) {
    std::memset(srb.SRB_BufPointer, ' ', 36);
    srb.SRB_BufPointer[0] = 5;
    std::memcpy(srb.SRB_BufPointer + 8, "INSTANT DRIVER", 14);
  }
  srb.SRB_HaStat = kHaStatOk;
  srb.SRB_TargStat = kTargetStatusGood;
  return srb.SRB_Status = kSrbStatusDone;
}
