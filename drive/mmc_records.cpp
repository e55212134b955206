// SPDX-License-Identifier: Apache-2.0
#include "drive/mmc_records.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"

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

TTrackInformation DecodeTrackInformation(const uint8_t* raw) {
  TTrackInformation t{};
  std::memcpy(&t, raw, kTrackInformationBytes);
  t.DataLength = GetBE16(raw);
  t.TrackStartAddress = GetBE32(raw + 8);
  t.NextWritableAddress = GetBE32(raw + 12);
  t.FreeBlocks = GetBE32(raw + 16);
  t.FixedPacketSize = GetBE32(raw + 20);
  t.TrackSize = GetBE32(raw + 24);
  t.LastRecordedAddress = GetBE32(raw + 28);
  return t;
}

TModePage2A DecodeCapabilitiesPage(const uint8_t* page) {
  TModePage2A p{};
  std::memcpy(&p, page, kModePage2ABytes);
  p.MaxReadSpeed = GetBE16(page + 8);
  p.NumVolLevels = GetBE16(page + 10);
  p.BufferSize = GetBE16(page + 12);
  p.CurReadSpeed = GetBE16(page + 14);
  p.MaxWriteSpeed = GetBE16(page + 18);
  p.CurWriteSpeed = GetBE16(page + 20);
  return p;
}

bool PageCan(const TModePage2A& page, TPageCapability capability) {
  // Byte and bit of each flag, in the enumeration's order.
  static constexpr struct {
    uint8_t TModePage2A::*byte;
    uint8_t bit;
  } kBits[] = {
      {&TModePage2A::ReadInfo, 0},  {&TModePage2A::ReadInfo, 1},  {&TModePage2A::ReadInfo, 2},
      {&TModePage2A::ReadInfo, 3},  {&TModePage2A::ReadInfo, 4},  {&TModePage2A::ReadInfo, 5},
      {&TModePage2A::WriteInfo, 0}, {&TModePage2A::WriteInfo, 1}, {&TModePage2A::WriteInfo, 2},
      {&TModePage2A::WriteInfo, 4}, {&TModePage2A::WriteInfo, 5}, {&TModePage2A::OtherInfo, 7},
  };
  const auto& b = kBits[static_cast<size_t>(capability)];
  return (page.*b.byte >> b.bit & 1) != 0;
}

uint16_t CurrentProfileOf(const TConfigHeader& header, size_t arrived) {
  return arrived >= kConfigHeaderBytes ? GetBE16(header.CurrentProfile) : 0;
}

uint16_t FeatureCodeOf(const TConfigHeader& header) { return GetBE16(header.FeatureCode); }

uint32_t BufferLengthOf(const TBufferCapacity& answer) { return GetBE32(answer.BufferLength); }
uint32_t BlankLengthOf(const TBufferCapacity& answer) { return GetBE32(answer.BlankLength); }

std::vector<TCapacityDescriptor> DecodeFormatCapacities(const uint8_t* list, size_t arrived) {
  std::vector<TCapacityDescriptor> found;
  if (arrived < 4) return found;
  const size_t end = std::min<size_t>(4 + size_t{list[3]}, arrived);
  for (size_t at = 4; at + 8 <= end; at += 8) {
    const uint8_t* d = list + at;
    found.push_back({GetBE32(d), d[4], uint32_t{d[5]} << 16 | uint32_t{d[6]} << 8 | d[7]});
  }
  return found;
}

TAtipDisc AtipDiscOf(const uint8_t* answer, size_t arrived) {
  // The descriptor follows the 4-byte header; its third byte holds the bits.
  if (arrived < 7 || (answer[6] & 0x80) == 0) return TAtipDisc::kNone;
  return (answer[6] & 0x40) != 0 ? TAtipDisc::kRewritable : TAtipDisc::kRecordable;
}

TDvdPhysicalFormat DecodeDvdPhysicalFormat(const uint8_t* answer, size_t arrived) {
  if (arrived < kDvdFormatBytes) return {};
  return {static_cast<uint8_t>(answer[4] >> 4), static_cast<uint8_t>((answer[6] >> 5 & 0x03) + 1)};
}

TBdDisc DecodeBdDiscType(const uint8_t* answer, size_t arrived) {
  if (arrived < kBdUnitBytes || std::memcmp(answer + 4, "DI", 2) != 0) return TBdDisc::kNone;
  const uint8_t* type = answer + 4 + 8;
  if (std::memcmp(type, "BDO", 3) == 0) return TBdDisc::kRom;
  if (std::memcmp(type, "BDR", 3) == 0) return TBdDisc::kRecordable;
  if (std::memcmp(type, "BDW", 3) == 0) return TBdDisc::kRewritable;
  return TBdDisc::kNone;
}

std::optional<TMediaEventStatus> DecodeMediaEvent(const uint8_t* answer, size_t arrived) {
  if (arrived < kEventStatusBytes || (answer[2] & 0x80) != 0 || (answer[2] & 0x07) != kMediaEventClass) {
    return std::nullopt;
  }
  // The descriptor must lie within the length the header gives too.
  if (static_cast<size_t>(answer[0] << 8 | answer[1]) < kEventStatusBytes - 2) return std::nullopt;
  const uint8_t code = answer[4] & 0x0F;
  if (code > static_cast<uint8_t>(TMediaEvent::kFormatRestarted)) return std::nullopt;
  return TMediaEventStatus{static_cast<TMediaEvent>(code), (answer[5] & 0x02) != 0, (answer[5] & 0x01) != 0};
}

bool ChangesMedium(TMediaEvent event) {
  return event != TMediaEvent::kNoChange && event != TMediaEvent::kEjectRequest;
}

}  // namespace orvex
