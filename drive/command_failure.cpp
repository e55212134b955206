// SPDX-License-Identifier: Apache-2.0
#include "drive/command_failure.h"

#include <errno.h>

#include "drive/mmc_codes.h"

namespace orvex {
namespace {

// The commands whose bytes 2 to 5 are the first block they read or write.
bool AddressesBlocks(uint8_t opcode) {
  switch (opcode) {
  case mmc::kRead10:
  case mmc::kWrite10:
  case mmc::kSeek10:
  case mmc::kWriteAndVerify10:
  case mmc::kVerify10:
  case mmc::kRead12:
  case mmc::kWrite12:
  case mmc::kReadCd:
    return true;
  default:
    return false;
  }
}

uint32_t BigEndian32(const uint8_t *p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 |
         p[3];
}

} // namespace

TCommandFailure DescribeFailure(const TSRB_ExecSCSICmd &request,
                                const TSENSE &sense, int system_error) {
  TCommandFailure f;
  f.failed = true;
  f.opcode = request.CDBByte[0];
  f.sense_key = SenseKeyOf(sense);
  f.asc = sense.AddSenseCode;
  f.ascq = sense.AddSenQual;
  // VALID: the information field holds the block the error applies to.
  if ((sense.ErrorCode & 0x80) != 0) {
    f.has_block = true;
    f.block = BigEndian32(&sense.InfoByte0);
  } else if (AddressesBlocks(f.opcode)) {
    f.has_block = true;
    f.block = BigEndian32(&request.CDBByte[2]);
  }
  const bool no_sense = f.sense_key == 0 && f.asc == 0 && f.ascq == 0;
  const bool busy = request.SRB_TargStat == kTargetStatusBusy;
  const bool cut_short = request.SRB_HaStat == kHaStatDataOverUnderrun;
  if (no_sense && !busy && !cut_short)
    f.system_error = system_error != 0 ? system_error : EIO;
  return f;
}

} // namespace orvex
