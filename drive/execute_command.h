// SPDX-License-Identifier: Apache-2.0
// The one path every drive command takes: the request block is addressed to
// the selected drive, sent through the transport, waited for when the
// transport completes it later, written to the debug log, and its outcome
// kept in the record (TargetBusy, LastSenseInfo, DeviceError).
//
// The debug log line of a command, in this order: "- NAL -> ADDRESS " when
// the data buffer's address is not a multiple of 4; then
// "MM:SS:mmm NAME (OP) {FLAGS:CDBLEN} - HA:TARGET:LUN <STATUS> [LENGTH] "
// (UTC minute, second and millisecond; the numbers in hexadecimal), CDB
// bytes 1 to 15, "| " and the first 100 bytes of data at most, the sense
// code and qualifier as "AA:QQ" (from either sense format), and with the pass-through ", " and
// LastWinError.
#ifndef ORVEX_DRIVE_EXECUTE_COMMAND_H_
#define ORVEX_DRIVE_EXECUTE_COMMAND_H_

#include <cstdint>
#include <string>

#include "drive/scsi_device.h"
#include "drive/transport.h"

namespace orvex {

// The sense bytes every command asks for.
constexpr uint8_t kSenseBytes = 24;

// Sends `request` (zeroed by the caller, then given its flags, data length
// and pointer, CDB length and CDB) to the selected drive and returns its
// status: kSrbStatusDone, kSrbStatusError, or kSrbStatusPending when the
// transport gave up waiting.  Without a transport or a selected drive
// (HaID or Target 255) the status is kSrbStatusError and nothing else
// happens.  TargetBusy: the drive refused the command with BUSY.
// LastSenseInfo: the sense area, also after success, in fixed format
// (descriptor-format sense is turned into it).  DeviceError: the
// sense code x 256 + qualifier when the code is not 0 (success leaves it).
// LastFailure: how the command failed (DescribeFailure, with the
// pass-through's errno), or nothing after a success.
// A transport that reports more data than was asked for is cut back to the
// request's length.
uint8_t ExecuteCommand(TSCSIDevice& device, TSRB_ExecSCSICmd& request);

// The system's reason (errno) when the last command failed without any
// sense: the request did not reach the drive, or the drive is gone.
// Asking again cannot help, so a job ends at once with it.  0 otherwise.
inline int FailedWithoutSense(const TSCSIDevice& device) { return device.LastFailure.system_error; }

// The job using the drive was aborted: a command that still does not
// answer a while later is given up, and the drive counts as not answering
// from then on (TTransport::Interrupt).  Any thread may call it.
inline void InterruptCommands(TSCSIDevice& device) {
  if (device.Transport) device.Transport->Interrupt();
}

// The user stops the job at once: a pending command is given up now
// (TTransport::Halt).  Any thread may call it.
inline void HaltCommands(TSCSIDevice& device) {
  if (device.Transport) device.Transport->Halt();
}

// A job starts, or a drive is selected: commands are waited for as long as
// they take again.
inline void ResumeCommands(TSCSIDevice& device) {
  if (device.Transport) device.Transport->Resume();
}

// The debug log line of a request that was sent, without CR LF.
std::string CommandLogLine(const TSCSIDevice& device, const TSRB_ExecSCSICmd& request);

}  // namespace orvex

#endif  // ORVEX_DRIVE_EXECUTE_COMMAND_H_
