// SPDX-License-Identifier: Apache-2.0
#include "demo/number_format.h"

#include <algorithm>
#include <cstdio>

namespace orvex::demo {

std::string FormatNumber(double value, int decimals, bool thousands) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  const std::string digits(text);
  if (!thousands) return digits;
  const size_t start = digits[0] == '-' ? 1 : 0;
  const size_t point = std::min(digits.find('.'), digits.size());
  std::string grouped = digits.substr(0, start);
  for (size_t at = start; at < point; ++at) {
    grouped += digits[at];
    const size_t left = point - at - 1;  // digits still to come before the point
    if (left > 0 && left % 3 == 0) grouped += ',';
  }
  return grouped + digits.substr(point);
}

}  // namespace orvex::demo
