// SPDX-License-Identifier: Apache-2.0
// The decodes of drive answers where a byte or bit out of place would name
// the wrong medium or the wrong room: multi-byte fields, the bits that
// share a byte, and answers cut short.
#include <gtest/gtest.h>

#include <vector>

#include "drive/medium.h"
#include "drive/mmc_records.h"

namespace orvex {
namespace {

using Bytes = std::vector<uint8_t>;

struct TCapacityCase {
  const char* name;
  Bytes list;
  size_t arrived;
  size_t count;
  uint32_t first_blocks;
  uint8_t first_descriptor_type;
  uint32_t last_parameter;
};

const TCapacityCase kCapacities[] = {
    {"CurrentAndOneFormat",
     {0, 0, 0, 16, 0x00, 0x23, 0x05, 0x40, 0x02, 0x00, 0x08, 0x00, 0x00, 0x23, 0x05, 0x40, 0x54, 0x01, 0x02, 0x03},
     20, 2, 0x00230540, 2, 0x010203},
    {"NoMedium", {0, 0, 0, 8, 0x00, 0xBA, 0x7E, 0x00, 0x03, 0x00, 0x08, 0x00}, 12, 1, 0x00BA7E00, 3, 2048},
    {"HeaderClaimsMoreThanArrived", {0, 0, 0, 0xF8, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x08, 0x00, 0xFF}, 13, 1,
     256, 2, 2048},
    {"DescriptorCutShort", {0, 0, 0, 8, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x08}, 11, 0, 0, 0, 0},
    {"HeaderOnly", {0, 0, 0}, 3, 0, 0, 0, 0},
};

TEST(MmcRecords, FormatCapacities) {
  for (const TCapacityCase& c : kCapacities) {
    SCOPED_TRACE(c.name);
    const std::vector<TCapacityDescriptor> found = DecodeFormatCapacities(c.list.data(), c.arrived);
    ASSERT_EQ(found.size(), c.count);
    if (c.count == 0) continue;
    EXPECT_EQ(found.front().blocks, c.first_blocks);
    EXPECT_EQ(DescriptorTypeOf(found.front()), c.first_descriptor_type);
    EXPECT_EQ(found.back().parameter, c.last_parameter);
  }
}

// What the medium says of itself: the ATIP's disc type, a DVD's book type
// and layers, a BD's disc type, each also from an answer cut short.
struct TOwnAnswerCase {
  const char* name;
  Bytes answer;
  TMedium medium;
};

TMedium Atip(const Bytes& a) {
  switch (AtipDiscOf(a.data(), a.size())) {
    case TAtipDisc::kRecordable: return TMedium::mtCDR;
    case TAtipDisc::kRewritable: return TMedium::mtCDRW;
    case TAtipDisc::kNone: break;
  }
  return TMedium::mtUNKNOWN;
}

TMedium Dvd(const Bytes& a, bool fixed_packet = false) {
  const TDvdPhysicalFormat f = DecodeDvdPhysicalFormat(a.data(), a.size());
  return f.layers == 0 ? TMedium::mtUNKNOWN : MediumOfDvdBook(f.book, f.layers, fixed_packet);
}

TMedium Bd(const Bytes& a) { return MediumOfBdDisc(DecodeBdDiscType(a.data(), a.size())); }

Bytes BdUnit(const char* type) {
  Bytes a = {0, 0x12, 0, 0, 'D', 'I', 1, 8, 112, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 3; ++i) a[12 + i] = static_cast<uint8_t>(type[i]);
  return a;
}

Bytes Cut(Bytes a) {
  a.pop_back();
  return a;
}

TEST(MmcRecords, TheMediumsOwnAnswers) {
  const struct {
    const char* name;
    TMedium medium, expected;
  } kCases[] = {
      {"AtipCdR", Atip({0, 22, 0, 0, 0xD0, 0x40, 0x80}), TMedium::mtCDR},
      {"AtipCdRw", Atip({0, 22, 0, 0, 0xD0, 0x40, 0xC0}), TMedium::mtCDRW},
      {"AtipWithoutItsMark", Atip({0, 22, 0, 0, 0xD0, 0x40, 0x40}), TMedium::mtUNKNOWN},
      {"AtipCutShort", Atip({0, 22, 0, 0, 0xD0, 0x40}), TMedium::mtUNKNOWN},
      {"DvdPlusR", Dvd({0, 0x12, 0, 0, 0xA1, 0x02, 0x02}), TMedium::mtDVDPLUSR},
      {"DvdPlusRTwoLayers", Dvd({0, 0x12, 0, 0, 0xA1, 0x02, 0x22}), TMedium::mtDVDPLUSRDL},
      {"DvdPlusRDlBook", Dvd({0, 0x12, 0, 0, 0xE1, 0x02, 0x32}), TMedium::mtDVDPLUSRDL},
      {"DvdPlusRw", Dvd({0, 0x12, 0, 0, 0x92, 0x02, 0x04}), TMedium::mtDVDPLUSRW},
      {"DvdR", Dvd({0, 0x12, 0, 0, 0x25, 0x02, 0x02}), TMedium::mtDVDR},
      {"DvdRDualLayer", Dvd({0, 0x12, 0, 0, 0x25, 0x02, 0x22}), TMedium::mtUNKNOWN},
      {"DvdRwSequential", Dvd({0, 0x12, 0, 0, 0x32, 0x02, 0x04}), TMedium::mtDVDRWSR},
      {"DvdRwFixedPackets", Dvd({0, 0x12, 0, 0, 0x32, 0x02, 0x04}, true), TMedium::mtDVDRWRO},
      {"DvdRam", Dvd({0, 0x12, 0, 0, 0x16, 0x02, 0x04}), TMedium::mtDVDRAM},
      {"DvdRom", Dvd({0, 0x12, 0, 0, 0x01, 0x02, 0x01}), TMedium::mtDVDROM},
      {"DvdCutShort", Dvd({0, 0x12, 0, 0, 0xA1, 0x02}), TMedium::mtUNKNOWN},
      {"BdR", Bd(BdUnit("BDR")), TMedium::mtBDRSR},
      {"BdRe", Bd(BdUnit("BDW")), TMedium::mtBDRE},
      {"BdRom", Bd(BdUnit("BDO")), TMedium::mtBDROM},
      {"BdOtherType", Bd(BdUnit("XYZ")), TMedium::mtUNKNOWN},
      {"BdCutShort", Bd(Cut(BdUnit("BDR"))), TMedium::mtUNKNOWN},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.medium, c.expected) << c.name;
}

// The media class's event: its code and status bits, and every answer
// that holds no media event of its own (another class, no event
// available, a code MMC does not define, a descriptor cut short or beyond
// the length the header gives).
TEST(MmcRecords, MediaEvent) {
  const struct {
    const char* name;
    Bytes answer;
    bool decoded;
    TMediaEvent event;
    bool present, tray_open;
    bool changes;
  } kCases[] = {
      {"NewMedia", {0, 6, 0x04, 0x12, 0x02, 0x02, 0, 0}, true, TMediaEvent::kNewMedia, true, false, true},
      {"RemovalTrayOpen", {0, 6, 0x04, 0x12, 0x03, 0x01, 0, 0}, true, TMediaEvent::kMediaRemoval, false, true, true},
      {"NoChange", {0, 6, 0x04, 0x12, 0x00, 0x02, 0, 0}, true, TMediaEvent::kNoChange, true, false, false},
      {"EjectRequest", {0, 6, 0x04, 0x12, 0x01, 0x02, 0, 0}, true, TMediaEvent::kEjectRequest, true, false, false},
      {"MediaChanged", {0, 6, 0x04, 0x12, 0x04, 0x02, 0, 0}, true, TMediaEvent::kMediaChanged, true, false, true},
      {"FormatCompleted", {0, 6, 0x04, 0x12, 0x05, 0x02, 0, 0}, true, TMediaEvent::kFormatCompleted, true, false, true},
      {"FormatRestarted", {0, 6, 0x04, 0x12, 0x06, 0x02, 0, 0}, true, TMediaEvent::kFormatRestarted, true, false, true},
      {"ReservedBitsAroundTheCode", {0, 6, 0x04, 0x12, 0xF2, 0xFE, 0, 0}, true, TMediaEvent::kNewMedia, true, false, true},
      {"UndefinedCode", {0, 6, 0x04, 0x12, 0x07, 0x02, 0, 0}, false, {}, false, false, false},
      {"NoEventAvailable", {0, 2, 0x84, 0x12, 0x02, 0x02, 0, 0}, false, {}, false, false, false},
      {"OperationalClass", {0, 6, 0x01, 0x12, 0x02, 0x02, 0, 0}, false, {}, false, false, false},
      {"HeaderOnly", {0, 6, 0x04, 0x12}, false, {}, false, false, false},
      {"DescriptorCutShort", {0, 6, 0x04, 0x12, 0x02, 0x02, 0}, false, {}, false, false, false},
      {"LengthStopsShort", {0, 2, 0x04, 0x12, 0x02, 0x02, 0, 0}, false, {}, false, false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::optional<TMediaEventStatus> status = DecodeMediaEvent(c.answer.data(), c.answer.size());
    ASSERT_EQ(status.has_value(), c.decoded);
    if (!status) continue;
    EXPECT_EQ(status->event, c.event);
    EXPECT_EQ(status->present, c.present);
    EXPECT_EQ(status->tray_open, c.tray_open);
    EXPECT_EQ(ChangesMedium(status->event), c.changes);
  }
}

TEST(MmcRecords, TrackInformation) {
  Bytes raw(kTrackInformationBytes, 0);
  const Bytes head = {0x00, 0x24, 3, 2, 0, 0x25, 0x50, 0x01, 0x00, 0x01, 0x02, 0x03, 0x10, 0x20, 0x30, 0x40,
                      0x80, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x10, 0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x12, 0x34};
  std::copy(head.begin(), head.end(), raw.begin());
  const TTrackInformation t = DecodeTrackInformation(raw.data());
  EXPECT_EQ(t.DataLength, 0x24);
  EXPECT_EQ(t.TrackNumber, 3);
  EXPECT_EQ(t.TrackStartAddress, 0x00010203u);
  EXPECT_EQ(t.NextWritableAddress, 0x10203040u);
  EXPECT_EQ(t.FreeBlocks, 0x80000001u);
  EXPECT_EQ(t.FixedPacketSize, 16u);
  EXPECT_EQ(t.TrackSize, 0xFFFFFFFEu);
  EXPECT_EQ(t.LastRecordedAddress, 0x1234u);
  EXPECT_TRUE(TrackDamaged(t));
  EXPECT_FALSE(TrackReserved(t));
  EXPECT_TRUE(TrackBlank(t));
  EXPECT_TRUE(TrackFixedPacket(t));
  EXPECT_TRUE(NextWritableAddressValid(t));
}

// Each flag of the capabilities page alone in its byte, and the speeds in
// host order.
TEST(MmcRecords, CapabilitiesPage) {
  const struct {
    size_t byte;
    uint8_t bit;
    TPageCapability capability;
  } kFlags[] = {
      {2, 0, TPageCapability::kReadCdR},     {2, 1, TPageCapability::kReadCdRw},   {2, 2, TPageCapability::kReadMethod2},
      {2, 3, TPageCapability::kReadDvdRom},  {2, 4, TPageCapability::kReadDvdR},   {2, 5, TPageCapability::kReadDvdRam},
      {3, 0, TPageCapability::kWriteCdR},    {3, 1, TPageCapability::kWriteCdRw},  {3, 2, TPageCapability::kTestWrite},
      {3, 4, TPageCapability::kWriteDvdR},   {3, 5, TPageCapability::kWriteDvdRam}, {4, 7, TPageCapability::kUnderrunFree},
  };
  for (const auto& set : kFlags) {
    uint8_t raw[kModePage2ABytes] = {0x2A, 0x3E};
    raw[set.byte] = static_cast<uint8_t>(1 << set.bit);
    const TModePage2A page = DecodeCapabilitiesPage(raw);
    for (const auto& asked : kFlags) {
      EXPECT_EQ(PageCan(page, asked.capability), &asked == &set) << set.byte << "." << int{set.bit};
    }
    EXPECT_EQ(PageWritesAny(page), set.byte == 3);
  }
  uint8_t raw[kModePage2ABytes] = {0x2A, 0x3E};
  raw[8] = 0x1B, raw[9] = 0x12, raw[12] = 0x08, raw[13] = 0x00, raw[18] = 0x56, raw[19] = 0x90;
  const TModePage2A page = DecodeCapabilitiesPage(raw);
  EXPECT_EQ(page.MaxReadSpeed, 0x1B12);
  EXPECT_EQ(page.BufferSize, 0x0800);
  EXPECT_EQ(page.MaxWriteSpeed, 0x5690);
}

}  // namespace
}  // namespace orvex
