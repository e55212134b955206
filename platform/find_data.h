// SPDX-License-Identifier: Apache-2.0
// The find-data records that the find functions fill and the content tree
// takes entries from, with the Windows attribute bits.
#ifndef ORVEX_PLATFORM_FIND_DATA_H_
#define ORVEX_PLATFORM_FIND_DATA_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_time.h"

namespace orvex {

constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
// A symbolic link listed as itself (TFindSearch::SetKeepLinks), not followed.
constexpr uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;

constexpr size_t kFindNameUnits = 260;       // cFileName, terminator included
constexpr size_t kFindAlternateUnits = 14;   // cAlternateFileName, terminator included

struct WIN32_FIND_DATAW {
  uint32_t dwFileAttributes = 0;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  uint32_t nFileSizeHigh = 0;
  uint32_t nFileSizeLow = 0;
  char16_t cFileName[kFindNameUnits] = {};
  char16_t cAlternateFileName[kFindAlternateUnits] = {};
};

// The 8-bit layout: names in the 8-bit code page (UTF-8).
struct WIN32_FIND_DATAA {
  uint32_t dwFileAttributes = 0;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  uint32_t nFileSizeHigh = 0;
  uint32_t nFileSizeLow = 0;
  char cFileName[kFindNameUnits] = {};
  char cAlternateFileName[kFindAlternateUnits] = {};
};

// The names held in a record, up to their terminators.
std::u16string_view FindName(const WIN32_FIND_DATAW& fd);
std::u16string_view FindAlternateName(const WIN32_FIND_DATAW& fd);

// Store a name with its terminator; false (record unchanged) when it does
// not fit the field.
bool SetFindName(WIN32_FIND_DATAW& fd, std::u16string_view name);
bool SetFindAlternateName(WIN32_FIND_DATAW& fd, std::u16string_view name);

uint64_t FindFileSize(const WIN32_FIND_DATAW& fd);
void SetFindFileSize(WIN32_FIND_DATAW& fd, uint64_t size);

// Field by field conversion of the 8-bit layout: attributes, times and sizes
// copied, names converted.  False when a name does not fit its UTF-16 field.
bool FindDataAToW(const WIN32_FIND_DATAA& in, WIN32_FIND_DATAW& out);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_FIND_DATA_H_
