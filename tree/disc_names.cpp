// SPDX-License-Identifier: Apache-2.0
#include "tree/disc_names.h"

#include <cstring>

#include "platform/name_compare.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

constexpr std::string_view kFallbackShortName = "________.___";

// Without an alias, the first 12 units of the long name take its place.
std::u16string_view AlternateOrDerived(const WIN32_FIND_DATAW& fd) {
  const std::u16string_view alternate = FindAlternateName(fd);
  return alternate.empty() ? FindName(fd).substr(0, 12) : alternate;
}

void StoreShortName(char (&field)[16], uint8_t& length, std::string_view text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), text.size());
  length = static_cast<uint8_t>(text.size());
}

}  // namespace

std::string ShortNameBytes(std::u16string_view alternate) {
  // A character with no 8-bit form (a byte of the source name that was not
  // UTF-8) is written as "_".
  std::string bytes = Utf16ToUtf8(ReplaceLoneSurrogates(alternate, u'_'));
  if (bytes.size() > kMaxShortNameBytes) return std::string(kFallbackShortName);
  return bytes;
}

void SetFileEntryNames(TFileEntry& entry, const WIN32_FIND_DATAW& fd) {
  const std::u16string_view long_name = FindName(fd);
  // Most entries keep their first name: it is held twice only once it changes.
  if (entry.LongNameWIN32.empty() && !entry.LongName.empty() && entry.LongName != long_name) {
    entry.LongNameWIN32 = std::move(entry.LongName);
  }
  entry.LongName.assign(long_name);
  entry.FileNameLengthJ = static_cast<uint8_t>(long_name.size());

  std::string short_name = ShortNameBytes(AlternateOrDerived(fd));
  // A file's short name always has a dot: README becomes "README.".
  if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      short_name.find('.') == std::string::npos) {
    short_name += '.';
  }
  StoreShortName(entry.ShortName, entry.FileNameLength, short_name);
}

void SetDirEntryNames(TDirEntry& dir, const WIN32_FIND_DATAW& fd) {
  const std::u16string_view long_name = FindName(fd);
  dir.LongName.assign(long_name);
  dir.DirNameLengthJ = static_cast<uint8_t>(long_name.size());
  StoreShortName(dir.ShortName, dir.DirNameLength,
                 AsciiUpper(ShortNameBytes(AlternateOrDerived(fd))));
}

void SetShortNames(TFileEntry& entry, std::u16string_view alternate) {
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = entry.attributes;
  SetFindName(fd, entry.LongName);
  SetFindAlternateName(fd, alternate);
  SetFileEntryNames(entry, fd);
  if (entry.DirRecord != nullptr) SetDirEntryNames(*entry.DirRecord, fd);
}

std::string ShortNameKey(const TFileEntry& entry) {
  std::string key = AsciiUpper(std::string_view(entry.ShortName, entry.FileNameLength));
  if (!key.empty() && key.back() == '.') key.pop_back();
  return key;
}

}  // namespace orvex
