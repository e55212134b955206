// SPDX-License-Identifier: Apache-2.0
// The format types each medium offers (READ FORMAT CAPACITIES) and what a
// FORMAT UNIT of one of them does.
#ifndef ORVEX_VBURNER_FORMATTING_H_
#define ORVEX_VBURNER_FORMATTING_H_

#include <cstdint>
#include <vector>

#include "vburner/model.h"

namespace orvex::vburner {

struct FormattableCapacity {
  uint32_t blocks;
  uint8_t type;        // format type, 6 bits
  uint32_t parameter;  // type-dependent parameter, 24 bits
};

struct FormatCapacities {
  uint32_t current_blocks = 0;
  uint8_t current_type = 2;  // 1 unformatted (maximum), 2 formatted (current), 3 no medium
  std::vector<FormattableCapacity> formattable;
};

// What READ FORMAT CAPACITIES reports: the current capacity and the
// formats the medium offers in its present state.
FormatCapacities ListFormatCapacities(const MediumState& s);

struct FormatRequest {
  uint8_t type = 0;
  uint8_t subtype = 0;  // BD: the low two bits of the type byte
  uint32_t blocks = 0;
  uint32_t parameter = 0;
};

// The operation a FORMAT UNIT of one of the offered types starts.  Throws
// when the medium has no such format or the descriptor is out of range.
Operation StartFormat(const MediumState& s, const FormatRequest& request);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_FORMATTING_H_
