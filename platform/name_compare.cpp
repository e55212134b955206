// SPDX-License-Identifier: Apache-2.0
#include "platform/name_compare.h"

#include <locale.h>
#include <wctype.h>

#include "platform/text_conversion.h"

namespace orvex {
namespace {

locale_t CaseLocale() {
  static const locale_t locale = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return l;
  }();
  return locale;
}

}  // namespace

char32_t UpperNonAscii(char32_t cp) {
  if (cp >= 0xD800 && cp <= 0xDFFF) return cp;
  const locale_t locale = CaseLocale();
  if (locale == static_cast<locale_t>(0)) return cp;
  return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), locale));
}

bool NamesEqualIgnoreCase(std::u16string_view a, std::u16string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char16_t ua = a[i], ub = b[j];
    if (ua < 0x80 && ub < 0x80) {  // the common case: plain ASCII
      if (ua != ub && UpperCodePoint(ua) != UpperCodePoint(ub)) return false;
      ++i, ++j;
      continue;
    }
    if (UpperCodePoint(NextCodePoint(a, i)) != UpperCodePoint(NextCodePoint(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

uint64_t NameHash(std::u16string_view name) {
  uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a over the upper-cased code points
  for (size_t i = 0; i < name.size();) {
    const char32_t unit = name[i];
    h ^= unit < 0x80 ? UpperCodePoint(name[i++]) : UpperCodePoint(NextCodePoint(name, i));
    h *= 0x100000001b3ull;
  }
  return h;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

}  // namespace orvex
