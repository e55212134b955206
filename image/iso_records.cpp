#include "image/iso_records.h"

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
