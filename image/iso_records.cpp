#include "image/iso_records.h"

#include "platform/name_compare.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

std::string JolietBytes(const std::u16string& long_name) {
  const std::u16string_view name = CutUtf16(long_name, kMaxJolietUnits);
  std::string bytes;
  bytes.reserve(2 * name.size());
  for (char16_t unit : name) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

std::string Iso1999Bytes(const std::u16string& long_name) {
  return std::string(CutUtf8(Utf16ToUtf8(long_name), kMaxIso1999Bytes));
}

}  // namespace

uint32_t ExtentCount(int64_t size) {
  if (size < (int64_t{1} << 32)) return 1;
  return static_cast<uint32_t>((static_cast<uint64_t>(size) + kMaxExtentBytes - 1) / kMaxExtentBytes);
}

uint32_t RecordCount(const TFileEntry& entry) {
  return entry.DirRecord != nullptr ? 1 : ExtentCount(entry.FileSize);
}

std::string TIsoTree::Identifier(const TFileEntry& entry) const {
  if (joliet) return JolietBytes(entry.LongName);
  if (iso1999) return Iso1999Bytes(entry.LongName);
  return AsciiUpper(std::string_view(entry.ShortName, entry.FileNameLength));
}

std::string TIsoTree::Identifier(const TDirEntry& dir) const {
  if (joliet) return JolietBytes(dir.LongName);
  if (iso1999) return Iso1999Bytes(dir.LongName);
  return AsciiUpper(std::string_view(dir.ShortName, dir.DirNameLength));
}

TIsoTree PrimaryTree(bool iso1999) { return {false, iso1999, &TDirEntry::Address, &TDirEntry::DirSize}; }

TIsoTree JolietTree() { return {true, false, &TDirEntry::AddressJ, &TDirEntry::DirSizeJ}; }

}  // namespace orvex
