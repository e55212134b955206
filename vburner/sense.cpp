// SPDX-License-Identifier: Apache-2.0
#include "vburner/sense.h"

#include "vburner/bytes.h"

namespace orvex::vburner {

std::array<uint8_t, kFixedSenseLength> BuildFixedSense(const CheckCondition& condition) {
  std::array<uint8_t, kFixedSenseLength> s{};
  s[0] = condition.deferred ? 0x71 : 0x70;
  s[2] = condition.sense.key;
  if (condition.information) {
    s[0] |= 0x80;  // VALID: the information field holds the block address
    Put32(&s[3], *condition.information);
  }
  s[7] = kFixedSenseLength - 8;
  s[12] = condition.sense.asc;
  s[13] = condition.sense.ascq;
  if (condition.progress) {
    s[15] = 0x80;  // SKSV: bytes 16-17 are the progress indication
    Put16(&s[16], *condition.progress);
  }
  return s;
}

}  // namespace orvex::vburner
