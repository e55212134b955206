// SPDX-License-Identifier: Apache-2.0
// File name patterns of the find functions: '*' matches any run of
// characters, '?' any one character, everything else itself ignoring case.
// "*.*" matches every name, with or without a dot.
#ifndef ORVEX_PLATFORM_WILDCARD_H_
#define ORVEX_PLATFORM_WILDCARD_H_

#include <string_view>

namespace orvex {

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name);

// Whether `pattern` matches every name ("*" or "*.*"), so that a listing by
// it takes the whole directory.
bool MatchesEveryName(std::u16string_view pattern);

bool HasWildcards(std::u16string_view pattern);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_WILDCARD_H_
