// SPDX-License-Identifier: Apache-2.0
// Numbers as the desktop program shows them: a fixed count of decimals,
// with or without thousands separators ("," between groups, "." before
// the decimals, whatever the locale, so that log lines read the same
// everywhere).
#ifndef ORVEX_DEMO_NUMBER_FORMAT_H_
#define ORVEX_DEMO_NUMBER_FORMAT_H_

#include <string>

namespace orvex::demo {

// `value` rounded to `decimals` places: FormatNumber(22160, 0, true) is
// "22,160", FormatNumber(1.5, 2, false) is "1.50".
std::string FormatNumber(double value, int decimals, bool thousands);

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_NUMBER_FORMAT_H_
