// SPDX-License-Identifier: Apache-2.0
#include "services/volume_records.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/byte_order.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

// Record fields (byte offsets in the record).
constexpr size_t kRecordExtent = 2;
constexpr size_t kRecordDataLength = 10;
constexpr size_t kRecordTime = 18;
constexpr size_t kRecordFlags = 25;
constexpr size_t kRecordIdentifierLength = 32;
constexpr size_t kRecordIdentifier = 33;

}  // namespace

std::optional<TDirectoryRecord> ReadDirectoryRecord(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return std::nullopt;
  TDirectoryRecord record;
  record.length = bytes[0];
  if (record.length <= kRecordIdentifier || record.length > bytes.size()) return std::nullopt;
  const size_t identifier_length = bytes[kRecordIdentifierLength];
  if (identifier_length == 0 || kRecordIdentifier + identifier_length > record.length) {
    return std::nullopt;
  }
  record.extent = GetLE32(&bytes[kRecordExtent]);
  record.data_length = GetLE32(&bytes[kRecordDataLength]);
  std::memcpy(record.recorded, &bytes[kRecordTime], sizeof record.recorded);
  record.flags = bytes[kRecordFlags];
  record.identifier = bytes.subspan(kRecordIdentifier, identifier_length);
  const size_t used = kRecordIdentifier + identifier_length + (identifier_length % 2 == 0 ? 1 : 0);
  if (used < record.length) record.system_use = bytes.subspan(used, record.length - used);
  return record;
}

bool IsVolumeDescriptor(std::span<const uint8_t> sector) {
  return sector.size() > kDescriptorStandardId + 5 &&
         std::memcmp(&sector[kDescriptorStandardId], "CD001", 5) == 0;
}

bool IsJolietDescriptor(std::span<const uint8_t> sector) {
  if (!IsVolumeDescriptor(sector) || sector[kDescriptorType] != kSupplementaryDescriptor ||
      sector.size() < kDescriptorEscapes + 3) {
    return false;
  }
  const uint8_t* escape = &sector[kDescriptorEscapes];
  return escape[0] == '%' && escape[1] == '/' &&
         (escape[2] == '@' || escape[2] == 'C' || escape[2] == 'E');
}

std::u16string DecodeIdentifier(std::span<const uint8_t> identifier, TNameEncoding encoding) {
  if (encoding == TNameEncoding::Ucs2) {
    std::u16string name;
    for (size_t i = 0; i + 1 < identifier.size(); i += 2) {
      const auto unit = static_cast<char16_t>(GetBE16(&identifier[i]));
      if (unit == u';') break;
      name += unit;
    }
    return name;
  }
  std::string_view text(reinterpret_cast<const char*>(identifier.data()), identifier.size());
  text = text.substr(0, text.find(';'));
  if (encoding == TNameEncoding::Primary && !text.empty() && text.back() == '.') {
    text.remove_suffix(1);
  }
  return Utf8ToUtf16(text);
}

FILETIME RecordingTime(const TDirectoryRecord& record) {
  SYSTEMTIME time;
  time.wYear = static_cast<uint16_t>(1900 + record.recorded[0]);
  time.wMonth = record.recorded[1];
  time.wDay = record.recorded[2];
  time.wHour = record.recorded[3];
  time.wMinute = record.recorded[4];
  time.wSecond = record.recorded[5];
  FILETIME utc;
  if (!SystemTimeToFileTime(time, utc)) return FILETIME{};
  return utc;
}

}  // namespace orvex
