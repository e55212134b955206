// SPDX-License-Identifier: Apache-2.0
#include "platform/collation.h"

#include <cstring>

#include "platform/text_conversion.h"

namespace orvex {

int LocaleCompare(std::u16string_view a, std::u16string_view b) {
  return std::strcoll(Utf16ToUtf8(a).c_str(), Utf16ToUtf8(b).c_str());
}

std::string CollationKey(std::u16string_view text) {
  const std::string source = Utf16ToUtf8(text);
  std::string key(source.size() * 4 + 16, '\0');
  size_t needed = std::strxfrm(key.data(), source.c_str(), key.size());
  if (needed >= key.size()) {
    key.assign(needed + 1, '\0');
    needed = std::strxfrm(key.data(), source.c_str(), key.size());
  }
  key.resize(needed);
  return key;
}

}  // namespace orvex
