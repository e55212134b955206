// SPDX-License-Identifier: Apache-2.0
// The two entry points a driver library exports.  Request blocks come from
// the caller as they are: every field is checked before a drive sees it.
#include <climits>
#include <cstring>

#include "drive/srb.h"
#include "vburner/emulator.h"

using namespace orvex;
using orvex::vburner::Emulator;

namespace {

void PutText(uint8_t* at, size_t width, const char* text) {
  std::memset(at, ' ', width);
  std::memcpy(at, text, std::min(width, std::strlen(text)));
}

uint8_t HostAdapterInquiry(TSRB_HAInquiry& srb) {
  const uint8_t count = Emulator::Instance().AdapterCount();
  if (srb.SRB_HaId >= count) return srb.SRB_Status = kSrbStatusInvalidHa;
  srb.HA_Count = count;
  srb.HA_SCSI_ID = 7;
  PutText(srb.HA_ManagerId, sizeof srb.HA_ManagerId, "ORVEX VBURNER");
  PutText(srb.HA_Identifier, sizeof srb.HA_Identifier, "VIRTUAL MMC BUS");
  std::memset(srb.HA_Unique, 0, sizeof srb.HA_Unique);
  srb.HA_Unique[3] = 8;                        // targets per adapter
  const uint32_t max_transfer = 65535u * 2048;  // a full WRITE(10)
  std::memcpy(&srb.HA_Unique[4], &max_transfer, sizeof max_transfer);
  return srb.SRB_Status = kSrbStatusDone;
}

uint8_t GetDiskInfo(TSRB_GetDiskInfo& srb) {
  if (srb.SRB_HaId >= Emulator::Instance().AdapterCount()) return srb.SRB_Status = kSrbStatusInvalidHa;
  const auto drive = Emulator::Instance().Find(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
  if (!drive) return srb.SRB_Status = kSrbStatusNoDevice;
  // Without a configured letter the drive has none to report.
  if (drive->config().letter == 0) return srb.SRB_Status = kSrbStatusError;
  srb.SRB_DriveFlags = 0;
  srb.SRB_Int13HDriveInfo = static_cast<uint8_t>(drive->config().letter - 'A');
  srb.SRB_Heads = 0;
  srb.SRB_Sectors = 0;
  return srb.SRB_Status = kSrbStatusDone;
}

uint8_t ExecSCSICmd(TSRB_ExecSCSICmd& srb) {
  const uint8_t direction = srb.SRB_Flags & (kSrbDataIn | kSrbDataOut);
  const bool cdb_length_ok = srb.SRB_CDBLen == 6 || srb.SRB_CDBLen == 10 || srb.SRB_CDBLen == 12 || srb.SRB_CDBLen == 16;
  const bool post_ok = (srb.SRB_Flags & kSrbPostEvent) == 0 || (srb.SRB_PostProc >= 0 && srb.SRB_PostProc <= INT_MAX);
  if (!cdb_length_ok || direction == (kSrbDataIn | kSrbDataOut) || !post_ok ||
      (srb.SRB_BufLen != 0 && srb.SRB_BufPointer == nullptr) || srb.SRB_SenseLen > kSrbSenseSize)
    return srb.SRB_Status = kSrbStatusInvalidSrb;
  Emulator& emulator = Emulator::Instance();
  if (srb.SRB_HaId >= emulator.AdapterCount()) return srb.SRB_Status = kSrbStatusInvalidHa;
  const auto drive = emulator.Find(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
  if (!drive) {
    srb.SRB_HaStat = kHaStatSelectionTimeout;
    return srb.SRB_Status = kSrbStatusNoDevice;
  }
  return drive->Submit(&srb);
}

// Any drive on the adapter may hold the request.
uint8_t AbortSRB(TSRB_Abort& srb) {
  Emulator& emulator = Emulator::Instance();
  if (srb.SRB_HaId >= emulator.AdapterCount()) return srb.SRB_Status = kSrbStatusInvalidHa;
  if (srb.SRB_ToAbort == nullptr) return srb.SRB_Status = kSrbStatusInvalidSrb;
  for (uint8_t target = 0; target < 8; ++target) {
    for (uint8_t lun = 0; lun < 8; ++lun) {
      const auto drive = emulator.Find(srb.SRB_HaId, target, lun);
      if (drive && drive->Abort(srb.SRB_ToAbort)) return srb.SRB_Status = kSrbStatusDone;
    }
  }
  return srb.SRB_Status = kSrbStatusAbortFailed;
}

}  // namespace

extern "C" uint32_t GetASPI32SupportInfo(void) {
  try {
    Emulator::Instance().EnsureConfigured();
    const uint8_t count = Emulator::Instance().AdapterCount();
    return count == 0 ? 0 : uint32_t{kSrbStatusDone} << 8 | count;
  } catch (...) {
    return 0;
  }
}

extern "C" uint32_t SendASPI32Command(void* request) {
  if (request == nullptr) return kSrbStatusInvalidSrb;
  try {
    Emulator::Instance().EnsureConfigured();
    switch (static_cast<uint8_t*>(request)[0]) {
      case kSrbHostAdapterInquiry: return HostAdapterInquiry(*static_cast<TSRB_HAInquiry*>(request));
      case kSrbGetDiskInfo: return GetDiskInfo(*static_cast<TSRB_GetDiskInfo*>(request));
      case kSrbExecSCSICmd: return ExecSCSICmd(*static_cast<TSRB_ExecSCSICmd*>(request));
      case kSrbAbortSRB: return AbortSRB(*static_cast<TSRB_Abort*>(request));
      default: return static_cast<uint8_t*>(request)[1] = kSrbStatusInvalidCmd;
    }
  } catch (...) {
    return kSrbStatusError;
  }
}
