// SPDX-License-Identifier: Apache-2.0
#include "platform/find_data.h"

#include <algorithm>

#include "platform/text_conversion.h"

namespace orvex {
namespace {

template <size_t N>
bool StoreName(char16_t (&field)[N], std::u16string_view name) {
  if (name.size() + 1 > N) return false;
  std::fill(std::begin(field), std::end(field), u'\0');
  std::copy(name.begin(), name.end(), field);
  return true;
}

}  // namespace

std::u16string_view FindName(const WIN32_FIND_DATAW& fd) {
  return {fd.cFileName, BoundedLength(fd.cFileName, kFindNameUnits)};
}

std::u16string_view FindAlternateName(const WIN32_FIND_DATAW& fd) {
  return {fd.cAlternateFileName, BoundedLength(fd.cAlternateFileName, kFindAlternateUnits)};
}

bool SetFindName(WIN32_FIND_DATAW& fd, std::u16string_view name) {
  return StoreName(fd.cFileName, name);
}

bool SetFindAlternateName(WIN32_FIND_DATAW& fd, std::u16string_view name) {
  return StoreName(fd.cAlternateFileName, name);
}

uint64_t FindFileSize(const WIN32_FIND_DATAW& fd) {
  return (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
}

void SetFindFileSize(WIN32_FIND_DATAW& fd, uint64_t size) {
  fd.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
  fd.nFileSizeLow = static_cast<uint32_t>(size);
}

bool FindDataAToW(const WIN32_FIND_DATAA& in, WIN32_FIND_DATAW& out) {
  std::u16string name, alternate;
  if (!Utf8ToUtf16Bounded({in.cFileName, BoundedLength(in.cFileName, kFindNameUnits)},
                          kFindNameUnits, name) ||
      !Utf8ToUtf16Bounded(
          {in.cAlternateFileName, BoundedLength(in.cAlternateFileName, kFindAlternateUnits)},
          kFindAlternateUnits, alternate)) {
    return false;
  }
  out = WIN32_FIND_DATAW{};
  out.dwFileAttributes = in.dwFileAttributes;
  out.ftCreationTime = in.ftCreationTime;
  out.ftLastAccessTime = in.ftLastAccessTime;
  out.ftLastWriteTime = in.ftLastWriteTime;
  out.nFileSizeHigh = in.nFileSizeHigh;
  out.nFileSizeLow = in.nFileSizeLow;
  SetFindName(out, name);
  SetFindAlternateName(out, alternate);
  return true;
}

}  // namespace orvex
