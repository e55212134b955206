// SPDX-License-Identifier: Apache-2.0
// The kernel pass-through transport: a request goes to /dev/srN of the
// selected drive letter (platform/sg_io.h).  The device is opened when a
// command needs it and stays open unless CloseFH asks to close it after
// each command; a recording job's exclusive hold (exclusive_use.h) keeps
// it open whatever CloseFH says.  Commands complete synchronously, within the bound of
// their kind (command_timeouts.h), which the kernel enforces.
#ifndef ORVEX_DRIVE_PASS_THROUGH_H_
#define ORVEX_DRIVE_PASS_THROUGH_H_

#include "drive/transport.h"

namespace orvex {

class TPassThroughTransport final : public TTransport {
 public:
  uint8_t Send(TSCSIDevice& device, TSRB_ExecSCSICmd& request) override;
  void WaitFor(TSRB_ExecSCSICmd&) override {}
  // The kernel refuses a pass-through request larger than the drive's
  // queue allows (its max_sectors, /sys/block/srN/queue/max_sectors_kb, at
  // most max_hw_sectors_kb): a USB bridge commonly allows 120 KiB, a SATA
  // port 512 KiB or more.  Read from the open device (BLKSECTGET).
  uint32_t TransferLimit(TSCSIDevice& device) override;
};

// Opens the drive of `letter` for reading and writing, else for reading
// only; -1 with `error` set when neither works.
int OpenDriveHandle(char letter, int* error);

// Sends `request` to the device of DriveLetter, opening it first when
// Handle is closed; LastWinError is the errno after the call.  Status 1
// when the drive answered GOOD; 4 otherwise, with the sense data (24 bytes)
// and the drive's status byte in the request.  A transfer that moved fewer
// bytes than asked lowers SRB_BufLen to what moved.
uint8_t PassThroughCommand(TSCSIDevice& device, TSRB_ExecSCSICmd& request);

}  // namespace orvex

#endif  // ORVEX_DRIVE_PASS_THROUGH_H_
