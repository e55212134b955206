#include "drive/command_failure.h"

#include <errno.h>

namespace orvex {
namespace {

// The commands whose bytes 2 to 5 are the first block they read or write.
bool AddressesBlocks(uint8_t opcode) {
  switch (opcode) {
    case 0x28:  // READ (10)
    case 0x2A:  // WRITE (10)
    case 0x2B:  // SEEK (10)
    case 0x2E:  // WRITE AND VERIFY (10)
    case 0x2F:  // VERIFY (10)
    case 0xA8:  // READ (12)
    case 0xAA:  // WRITE (12)
    case 0xBE:  // READ CD
      return true;
    default:
      return false;
  }
}

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

TCommandFailure DescribeFailure(const TSRB_ExecSCSICmd& request, const TSENSE& sense, int system_error) {
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
  if (no_sense && !busy && !cut_short) f.system_error = system_error != 0 ? system_error : EIO;
  return f;
}

}  // namespace orvex
