#include "drive/mmc_records.h"

#include <algorithm>
#include <cstring>

namespace orvex {
namespace {

constexpr uint8_t kDescriptorCurrent = 0x72, kDescriptorDeferred = 0x73;
constexpr size_t kDescriptorHeader = 8;  // response code, key, code, qualifier, 3 reserved, length

// Descriptor types and where their payload goes in the fixed format.
constexpr uint8_t kInformation = 0x00, kCommandSpecific = 0x01, kSenseKeySpecific = 0x02,
                  kFieldReplaceableUnit = 0x03;

// Copies the low 32 bits of an 8-byte big-endian field to `at` of the
// record; true when the high ones are zero.
bool Low32(const uint8_t* field, TSENSE& record, size_t at) {
  std::memcpy(reinterpret_cast<uint8_t*>(&record) + at, field + 4, 4);
  return field[0] == 0 && field[1] == 0 && field[2] == 0 && field[3] == 0;
}

}  // namespace

TSENSE FixedFormatSense(const uint8_t* area, size_t length) {
  TSENSE fixed{};
  const uint8_t code = length > 0 ? area[0] & 0x7F : 0;
  if (code != kDescriptorCurrent && code != kDescriptorDeferred) {
    std::memcpy(&fixed, area, std::min(length, sizeof fixed));
    return fixed;
  }
  fixed.ErrorCode = code == kDescriptorCurrent ? 0x70 : 0x71;
  if (length < 4) return fixed;
  fixed.SenseKey = area[1] & 0x0F;
  fixed.AddSenseCode = area[2];
  fixed.AddSenQual = area[3];
  fixed.AddSenLen = offsetof(TSENSE, AddSenseBytes) - offsetof(TSENSE, ComSpecInf0);
  if (length < kDescriptorHeader) return fixed;
  const size_t end = std::min(length, kDescriptorHeader + area[7]);
  for (size_t at = kDescriptorHeader; at + 2 <= end;) {
    const uint8_t* d = area + at;
    const size_t size = 2 + d[1];
    if (at + size > end) break;
    if (d[0] == kInformation && size >= 12) {
      if (Low32(d + 4, fixed, offsetof(TSENSE, InfoByte0)) && (d[2] & 0x80)) fixed.ErrorCode |= 0x80;
    } else if (d[0] == kCommandSpecific && size >= 12) {
      Low32(d + 4, fixed, offsetof(TSENSE, ComSpecInf0));
    } else if (d[0] == kSenseKeySpecific && size >= 7) {
      std::memcpy(reinterpret_cast<uint8_t*>(&fixed) + offsetof(TSENSE, SenKeySpec15), d + 4, 3);
    } else if (d[0] == kFieldReplaceableUnit && size >= 4) {
      fixed.FieldRepUCode = d[3];
    }
    at += size;
  }
  return fixed;
}

}  // namespace orvex
