// SPDX-License-Identifier: Apache-2.0
#include "platform/text_conversion.h"

#include <cstdint>

namespace orvex {
namespace {

constexpr char32_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF carry invalid bytes

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes one strictly valid UTF-8 sequence at text[i]; returns its length,
// or 0 when the bytes there are not valid UTF-8 (overlong forms, surrogates
// and values above U+10FFFF included).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  const size_t left = text.size() - i;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t len;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, min = 0x80, cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, min = 0x800, cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, min = 0x10000, cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (left < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(b)) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

// Writes the UTF-8 form of `cp` at `out`; returns the position after it.
char* PutUtf8(char* out, char32_t cp) {
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (cp >> 18));
    *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

}  // namespace

// Most names are plain ASCII: their units are their bytes.  Other text is
// converted into a buffer sized for the longest result (one unit per byte
// at most; three bytes per unit at most the other way), cut to size after.
std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  char16_t* put = out.data();
  for (size_t i = 0; i < text.size();) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
      *put++ = b0;
      ++i;
      continue;
    }
    char32_t cp;
    const size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      *put++ = static_cast<char16_t>(kEscapeBase + b0);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *put++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *put++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *put++ = static_cast<char16_t>(cp);
    }
    i += len;
  }
  out.resize(static_cast<size_t>(put - out.data()));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  size_t ascii = 0;
  while (ascii < text.size() && text[ascii] < 0x80) ++ascii;
  std::string out(ascii == text.size() ? ascii : 3 * text.size(), '\0');
  char* put = out.data();
  for (size_t i = 0; i < ascii; ++i) *put++ = static_cast<char>(text[i]);
  for (size_t i = ascii; i < text.size(); ++i) {
    const char32_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      put = PutUtf8(put, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      *put++ = static_cast<char>(u - kEscapeBase);
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      put = PutUtf8(put, 0xFFFD);
    } else {
      put = PutUtf8(put, u);
    }
  }
  out.resize(static_cast<size_t>(put - out.data()));
  return out;
}

bool Utf8ToUtf16Bounded(std::string_view text, size_t capacity, std::u16string& out) {
  std::u16string converted = Utf8ToUtf16(text);
  if (converted.size() + 1 > capacity) return false;
  out = std::move(converted);
  return true;
}

bool Utf16ToUtf8Bounded(std::u16string_view text, size_t capacity, std::string& out) {
  std::string converted = Utf16ToUtf8(text);
  if (converted.size() + 1 > capacity) return false;
  out = std::move(converted);
  return true;
}

std::string_view CutUtf8(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t end = max_bytes;
  // Step back over continuation bytes to the lead byte of the cut sequence,
  // then keep that sequence only when it ends before the cut.
  size_t lead = end;
  while (lead > 0 && IsContinuation(static_cast<unsigned char>(text[lead]))) --lead;
  char32_t cp;
  const size_t len = DecodeUtf8(text, lead, cp);
  if (len != 0 && lead + len > end) end = lead;
  return text.substr(0, end);
}

std::u16string_view CutUtf16(std::u16string_view text, size_t max_units) {
  if (text.size() <= max_units) return text;
  size_t end = max_units;
  if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
  return text.substr(0, end);
}

char32_t NextCodePoint(std::u16string_view text, size_t& i) {
  const char32_t u = text[i++];
  if (u >= 0xD800 && u <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    return 0x10000 + ((u - 0xD800) << 10) + (text[i++] - 0xDC00);
  }
  return u;
}

std::u16string ReplaceLoneSurrogates(std::u16string_view text, char16_t with) {
  std::u16string out(text);
  for (size_t i = 0; i < out.size();) {
    const size_t at = i;
    const char32_t c = NextCodePoint(out, i);
    if (c >= 0xD800 && c <= 0xDFFF) out[at] = with;
  }
  return out;
}

size_t BoundedLength(const char16_t* text, size_t capacity) {
  size_t n = 0;
  while (n < capacity && text[n] != 0) ++n;
  return n;
}

size_t BoundedLength(const char* text, size_t capacity) {
  size_t n = 0;
  while (n < capacity && text[n] != 0) ++n;
  return n;
}

}  // namespace orvex
