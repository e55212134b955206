// SPDX-License-Identifier: Apache-2.0
#include "image/iso_records.h"

#include <algorithm>

#include "image/disc_identifiers.h"
#include "platform/name_compare.h"

namespace orvex {
namespace {

std::string JolietBytes(std::u16string_view name) {
  std::string bytes;
  bytes.reserve(2 * name.size());
  for (char16_t unit : name) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

}  // namespace

void PutRecordingDate(uint8_t* p, const SYSTEMTIME& t, int32_t zone) {
  p[0] = static_cast<uint8_t>(std::clamp<int>(t.wYear, 1900, 2155) - 1900);
  p[1] = static_cast<uint8_t>(t.wMonth);
  p[2] = static_cast<uint8_t>(t.wDay);
  p[3] = static_cast<uint8_t>(t.wHour);
  p[4] = static_cast<uint8_t>(t.wMinute);
  p[5] = static_cast<uint8_t>(t.wSecond);
  p[6] = static_cast<uint8_t>(static_cast<int8_t>(zone));
}

uint32_t ExtentCount(int64_t size) {
  if (size < (int64_t{1} << 32)) return 1;
  return static_cast<uint32_t>((static_cast<uint64_t>(size) + kMaxExtentBytes - 1) / kMaxExtentBytes);
}

uint32_t RecordCount(const TFileEntry& entry) {
  return entry.DirRecord != nullptr ? 1 : ExtentCount(entry.FileSize);
}

std::string TIsoTree::Identifier(const TFileEntry& entry) const {
  if (joliet) return JolietBytes(JolietIdentifier(entry));
  if (iso1999) return Iso1999Identifier(entry);
  return AsciiUpper(std::string_view(entry.ShortName, entry.FileNameLength));
}

std::string TIsoTree::Identifier(const TDirEntry& dir) const {
  if (joliet) return JolietBytes(JolietIdentifier(dir));
  if (iso1999) return Iso1999Identifier(dir);
  return AsciiUpper(std::string_view(dir.ShortName, dir.DirNameLength));
}

TIsoTree PrimaryTree(bool iso1999) { return {false, iso1999, &TDirEntry::Address, &TDirEntry::DirSize}; }

TIsoTree JolietTree() { return {true, false, &TDirEntry::AddressJ, &TDirEntry::DirSizeJ}; }

}  // namespace orvex
