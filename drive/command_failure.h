// SPDX-License-Identifier: Apache-2.0
// What a failed command leaves for the person who reads the job's error:
// the command, the block it failed at, the drive's sense, and, when the
// drive said nothing at all, the system's reason.
#ifndef ORVEX_DRIVE_COMMAND_FAILURE_H_
#define ORVEX_DRIVE_COMMAND_FAILURE_H_

#include <cstdint>

#include "drive/mmc_records.h"
#include "drive/srb.h"

namespace orvex {

struct TCommandFailure {
  bool failed = false;    // false: no command failed (the rest is zero)
  uint8_t opcode = 0;
  bool has_block = false;  // whether `block` says where the command failed
  uint32_t block = 0;      // the sense's information when valid, else the command's address
  uint8_t sense_key = 0, asc = 0, ascq = 0;
  // The system's reason (errno) when the command failed without any sense:
  // the request never reached the drive, or the drive is gone.  0 when the
  // drive said why.
  int system_error = 0;

  bool operator==(const TCommandFailure&) const = default;
};

// The failure `request` (which did not end in kSrbStatusDone) describes,
// with `sense` its sense in fixed format.  A failure without sense is one
// whose sense holds no key, code or qualifier, and which is neither a BUSY
// refusal nor a transfer cut short (asked again by its caller): its
// system_error is `system_error` when not 0, else EIO.
TCommandFailure DescribeFailure(const TSRB_ExecSCSICmd& request, const TSENSE& sense, int system_error);

}  // namespace orvex

#endif  // ORVEX_DRIVE_COMMAND_FAILURE_H_
