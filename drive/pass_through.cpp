// SPDX-License-Identifier: Apache-2.0
#include "drive/pass_through.h"

#include <algorithm>
#include <cstring>

#include "drive/command_timeouts.h"
#include "drive/scsi_device.h"
#include "platform/sg_io.h"

namespace orvex {

int OpenDriveHandle(char letter, int* error) {
  const int fd = OpenOpticalDrive(letter, TDriveOpen::kReadWrite, error);
  return fd >= 0 ? fd : OpenOpticalDrive(letter, TDriveOpen::kRead, error);
}

namespace {

// Whether `device` has its drive open, opening it on first use; `error`
// gets the errno of an open that failed.
bool Opened(TSCSIDevice& device, int* error) {
  if (device.Handle < 0) device.Handle = OpenDriveHandle(device.DriveLetter, error);
  return device.Handle >= 0;
}

}  // namespace

uint8_t TPassThroughTransport::Send(TSCSIDevice& device, TSRB_ExecSCSICmd& request) {
  return PassThroughCommand(device, request);
}

uint32_t TPassThroughTransport::TransferLimit(TSCSIDevice& device) {
  int error = 0;
  if (!Opened(device, &error)) return 0;
  return QueueTransferLimit(device.Handle).value_or(0);
}

uint8_t PassThroughCommand(TSCSIDevice& device, TSRB_ExecSCSICmd& request) {
  if (int error = 0; !Opened(device, &error)) {
    device.LastWinError = static_cast<uint32_t>(error);
    return request.SRB_Status = kSrbStatusError;
  }
  uint8_t sense[kSrbSenseSize] = {};
  TPassThroughRequest call;
  call.cdb = request.CDBByte;
  call.cdb_length = request.SRB_CDBLen;
  call.direction = (request.SRB_Flags & kSrbDataIn) != 0    ? TDataDirection::kIn
                   : (request.SRB_Flags & kSrbDataOut) != 0 ? TDataDirection::kOut
                                                             : TDataDirection::kNone;
  call.data = request.SRB_BufPointer;
  call.length = request.SRB_BufLen;
  call.sense = sense;
  call.sense_length = std::min<uint8_t>(request.SRB_SenseLen, kSrbSenseSize);
  call.timeout_seconds = CommandTimeoutSeconds(request.CDBByte[0]);
  const TPassThroughResult result = PassThrough(device.Handle, call);
  device.LastWinError = static_cast<uint32_t>(result.error);

  if (result.sent && result.residue > 0) {
    request.SRB_BufLen -= std::min<uint32_t>(request.SRB_BufLen, static_cast<uint32_t>(result.residue));
  }
  if (result.sent && result.scsi_status == kTargetStatusGood && result.host_status == 0) {
    request.SRB_Status = kSrbStatusDone;
  } else {
    request.SRB_Status = kSrbStatusError;
    std::memcpy(request.SenseArea, sense, call.sense_length);
    request.SRB_TargStat = result.scsi_status;
    request.SRB_HaStat = static_cast<uint8_t>(std::min<uint16_t>(result.host_status, 0xFF));
  }
  if (device.CloseFH && !device.HeldForJob) {
    CloseOpticalDrive(device.Handle);
    device.Handle = -1;
  }
  return request.SRB_Status;
}

}  // namespace orvex
