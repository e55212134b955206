// SPDX-License-Identifier: Apache-2.0
// Case-insensitive equality of names, as the content tree compares long names.
//
// Two names are equal when they have the same code points after each is
// upper-cased by the Unicode simple case mapping (the C.UTF-8 locale's, so
// the result does not depend on the user's locale).  NameHash agrees with
// that equality, for hashed per-directory indexes.
#ifndef ORVEX_PLATFORM_NAME_COMPARE_H_
#define ORVEX_PLATFORM_NAME_COMPARE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

char32_t UpperNonAscii(char32_t cp);

// The simple upper-case mapping of one code point.
inline char32_t UpperCodePoint(char32_t cp) {
  if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - ('a' - 'A') : cp;
  return UpperNonAscii(cp);
}

bool NamesEqualIgnoreCase(std::u16string_view a, std::u16string_view b);
uint64_t NameHash(std::u16string_view name);

// ASCII a..z to A..Z, every other byte unchanged (what the disc writers and
// short names use).
char AsciiUpper(char c);
std::string AsciiUpper(std::string_view text);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_NAME_COMPARE_H_
