// SPDX-License-Identifier: Apache-2.0
#include "drive/execute_command.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "drive/command_names.h"
#include "drive/mmc_records.h"
#include "platform/clock.h"

namespace orvex {
namespace {

void Append(std::string& line, const char* format, auto... values) {
  char piece[160];
  std::snprintf(piece, sizeof piece, format, values...);
  line += piece;
}

}  // namespace

uint8_t ExecuteCommand(TSCSIDevice& device, TSRB_ExecSCSICmd& request) {
  if (!device.ASPIInitialized || !device.Transport || device.HaID == kNoAddress ||
      device.Target == kNoAddress) {
    return request.SRB_Status = kSrbStatusError;
  }
  request.SRB_Cmd = kSrbExecSCSICmd;
  request.SRB_HaId = device.HaID;
  request.SRB_Target = device.Target;
  request.SRB_Lun = device.Lun;
  request.SRB_SenseLen = kSenseBytes;
  const uint32_t asked = request.SRB_BufLen;
  const uint8_t immediate = device.Transport->Send(device, request);
  if (immediate == kSrbStatusPending) device.Transport->WaitFor(request);
  request.SRB_BufLen = std::min(request.SRB_BufLen, asked);

  if (device.fdbg.IsOpen()) device.fdbg.Line(CommandLogLine(device, request));
  // Judged by the final status: a library that completes through the post
  // event reports BUSY only once the command has ended.
  device.TargetBusy = request.SRB_Status != kSrbStatusPending && request.SRB_Status != kSrbStatusDone &&
                      request.SRB_TargStat == kTargetStatusBusy;
  device.LastSenseInfo = FixedFormatSense(request.SenseArea, sizeof request.SenseArea);
  if (device.LastSenseInfo.AddSenseCode != 0) device.DeviceError = SenseCodeOf(device.LastSenseInfo);
  const int system_error = device.UsingSPTI ? static_cast<int>(device.LastWinError) : 0;
  device.LastFailure = request.SRB_Status == kSrbStatusDone ? TCommandFailure{}
                                                            : DescribeFailure(request, device.LastSenseInfo, system_error);
  return request.SRB_Status;
}

std::string CommandLogLine(const TSCSIDevice& device, const TSRB_ExecSCSICmd& request) {
  std::string line;
  const auto address = reinterpret_cast<uintptr_t>(request.SRB_BufPointer);
  if (address % 4 != 0) Append(line, "- NAL -> %016" PRIxPTR " ", address);
  const SYSTEMTIME now = Clock().UtcNow();
  const uint8_t opcode = request.CDBByte[0];
  // "%02d" writes what "%0.2d" means (two digits at least), without the
  // ignored flag the compiler warns of; likewise for the others.
  Append(line, "%02d:%02d:%03d %s (%02x) {%02x:%02x} - %x:%x:%x <%02x> [%05x] ", now.wMinute,
         now.wSecond, now.wMilliseconds, std::string(CommandName(opcode)).c_str(), opcode, request.SRB_Flags,
         request.SRB_CDBLen, request.SRB_HaId, request.SRB_Target, request.SRB_Lun, request.SRB_Status,
         request.SRB_BufLen);
  for (size_t i = 1; i < kSrbCdbSize; ++i) Append(line, "%02x ", request.CDBByte[i]);
  line += "| ";
  const uint32_t shown = request.SRB_BufPointer == nullptr ? 0 : std::min<uint32_t>(request.SRB_BufLen, 100);
  for (uint32_t i = 0; i < shown; ++i) Append(line, "%02x ", request.SRB_BufPointer[i]);
  const TSENSE sense = FixedFormatSense(request.SenseArea, sizeof request.SenseArea);
  Append(line, "%02x:%02x", sense.AddSenseCode, sense.AddSenQual);
  if (device.UsingSPTI) Append(line, ", %u", device.LastWinError);
  return line;
}

}  // namespace orvex
