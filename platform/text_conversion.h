// SPDX-License-Identifier: Apache-2.0
// Conversions between the 8-bit code page (UTF-8 on this platform) and UTF-16.
//
// File names on Linux are byte strings that need not be valid UTF-8.  Every
// byte that does not belong to a valid UTF-8 sequence converts to the lone
// surrogate U+DC00 + byte (U+DC80..U+DCFF), and converts back to that same
// byte, so a name read from the file system round-trips exactly and a later
// open of the source path still finds the file.  Other lone surrogates have
// no 8-bit form and become U+FFFD.
#ifndef ORVEX_PLATFORM_TEXT_CONVERSION_H_
#define ORVEX_PLATFORM_TEXT_CONVERSION_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace orvex {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Bounded forms, standing in for conversions into fixed buffers: the result
// plus a terminating zero must fit `capacity` units (UTF-16) or bytes (UTF-8).
// Return false and leave `out` unchanged when it does not fit.
bool Utf8ToUtf16Bounded(std::string_view text, size_t capacity, std::u16string& out);
bool Utf16ToUtf8Bounded(std::u16string_view text, size_t capacity, std::string& out);

// The longest prefix of `text` of at most `max_bytes` bytes that does not end
// inside a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, size_t max_bytes);

// The longest prefix of at most `max_units` units that does not split a
// surrogate pair.
std::u16string_view CutUtf16(std::u16string_view text, size_t max_units);

// `text` with every unpaired surrogate (such as a byte that was not UTF-8,
// see above) replaced by `with`; pairs are kept.  The length stays the same.
std::u16string ReplaceLoneSurrogates(std::u16string_view text, char16_t with);

// Reads the code point at text[i] and advances i past it: a surrogate pair
// counts as one code point, a lone surrogate stands for itself.
char32_t NextCodePoint(std::u16string_view text, size_t& i);

// Length of a zero-terminated UTF-16 text stored in a field of `capacity` units
// (the whole field when it holds no terminator).
size_t BoundedLength(const char16_t* text, size_t capacity);
size_t BoundedLength(const char* text, size_t capacity);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_TEXT_CONVERSION_H_
