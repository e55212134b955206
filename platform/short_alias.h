// SPDX-License-Identifier: Apache-2.0
// Windows-style 8.3 aliases for the names of one directory.
//
// Linux file systems keep no short names, so enumeration makes them the way
// Windows does: no alias for a name that already is a valid 8.3 name (case
// ignored); otherwise up to six valid characters of the base, "~N", and up
// to three of the last extension, upper case, with characters that 8.3 names
// cannot hold replaced by "_", and N the smallest number that keeps the
// alias unique in the directory.
#ifndef ORVEX_PLATFORM_SHORT_ALIAS_H_
#define ORVEX_PLATFORM_SHORT_ALIAS_H_

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orvex {

// A base of 1 to 8 and an optional extension of 1 to 3 valid characters.
bool IsValid83Name(std::u16string_view name);

// Aliases of a whole directory.  The result depends only on the set of names
// (they are taken in byte order), so the same directory always gets the same
// aliases.  Names that need no alias are absent from the map.
std::unordered_map<std::string, std::u16string> MakeDirectoryAliases(
    const std::vector<std::string>& names);

// The same for names that join a directory whose short names `taken` holds
// (upper case, without a final "."): a valid 8.3 name keeps its own form
// only while no other name has it, and every form kept and every alias made
// is added to `taken`, so that later calls never repeat one.
std::unordered_map<std::string, std::u16string> MakeDirectoryAliases(
    const std::vector<std::string>& names, std::unordered_set<std::string>& taken);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_SHORT_ALIAS_H_
