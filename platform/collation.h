// SPDX-License-Identifier: Apache-2.0
// The locale string comparison: orders names as the user's locale collates
// them (LC_COLLATE of the program's C locale; a program that never calls
// setlocale collates in code point order).
#ifndef ORVEX_PLATFORM_COLLATION_H_
#define ORVEX_PLATFORM_COLLATION_H_

#include <string>
#include <string_view>

namespace orvex {

// Negative, zero or positive as a sorts before, with or after b.
int LocaleCompare(std::u16string_view a, std::u16string_view b);

// A key whose byte order (std::string comparison) is the LocaleCompare order,
// for sorting many names without converting them at every comparison.
std::string CollationKey(std::u16string_view text);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_COLLATION_H_
