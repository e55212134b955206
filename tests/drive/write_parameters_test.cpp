// SPDX-License-Identifier: Apache-2.0
// What the drive is told before writing: page 05h for each medium and
// option, read back from the MODE SELECT the burner received, and the
// speed, streaming, time stamp and sector commands.
#include <gtest/gtest.h>

#include "drive/capabilities.h"
#include "drive/transfer_rate.h"
#include "drive/write_parameters.h"
#include "drive_fixture.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

using test::DriveTest;

struct TPageCase {
  const char* profile;
  TMedium medium;
  bool test_write, multi;
  // Page bytes 2 to 5 and the packet size.
  uint8_t write_type, track_mode, data_block, link_size;
  uint32_t packet_size;
};

void PrintTo(const TPageCase& c, std::ostream* os) {
  *os << c.profile << (c.test_write ? " test" : "") << (c.multi ? " multi" : "");
}

// Every page has BUFE (bit 6 of byte 2): it is asked for and the drive has
// underrun protection.  DVD-R and sequential DVD-RW stay open for another
// session (multi-session 11b) only when asked; restricted overwrite always.
const TPageCase kPages[] = {
    {"cd-r", TMedium::mtCDR, false, false, 0x41, 0x04, 8, 0, 0},
    {"cd-r", TMedium::mtCDR, false, true, 0x41, 0xC4, 8, 0, 0},
    {"cd-r", TMedium::mtCDR, true, false, 0x51, 0xC4, 8, 0, 0},  // test write keeps the multi-session bits
    {"cd-rw", TMedium::mtCDRW, false, false, 0x41, 0x04, 8, 0, 0},
    {"dvd-r", TMedium::mtDVDR, false, false, 0x60, 0x25, 8, 16, 16},
    {"dvd-r", TMedium::mtDVDR, true, true, 0x70, 0xE5, 8, 16, 16},
    {"dvd-rw", TMedium::mtDVDRWSR, false, false, 0x60, 0x05, 8, 16, 16},
    {"dvd-rw", TMedium::mtDVDRWSR, false, true, 0x60, 0xC5, 8, 16, 16},
    {"dvd-rw-ro", TMedium::mtDVDRWRO, false, false, 0x60, 0xC5, 8, 16, 16},
    {"dvd+r", TMedium::mtDVDPLUSR, false, true, 0x62, 0xE4, 8, 16, 16},
    {"dvd+r", TMedium::mtDVDPLUSR, false, false, 0x62, 0x04, 8, 0, 0},
    {"dvd+rw", TMedium::mtDVDPLUSRW, false, false, 0x62, 0x04, 8, 16, 0},
    {"dvd+r-dl", TMedium::mtDVDPLUSRDL, false, true, 0x62, 0xC4, 8, 0, 0},
    {"dvd+r-dl", TMedium::mtDVDPLUSRDL, true, true, 0x72, 0xC4, 8, 0, 0},
    {"bd-r", TMedium::mtBDRSR, false, false, 0x41, 0x04, 8, 0, 0},
};

class WriteParametersTest : public DriveTest, public ::testing::WithParamInterface<TPageCase> {};

TEST_P(WriteParametersTest, ThePageSent) {
  const TPageCase& c = GetParam();
  for (const bool block_descriptor : {false, true}) {
    Load(c.profile, std::string("class=bd-writer,blockdesc=") + (block_descriptor ? "1" : "0"));
    disc.Device.TestWrite = c.test_write;
    disc.Device.BurnProof = true;
    const auto trace = Traced([&] {
      EXPECT_TRUE(SetWriteParameters(disc.Device, c.medium, c.multi ? TNextSession::kAllowed : TNextSession::kNone));
    });
    ASSERT_EQ(trace.size(), 2u);
    const vb_trace_entry& select = trace[1];
    ASSERT_EQ(select.cdb[0], 0x55);
    EXPECT_EQ(select.cdb[1], 0x10);
    const size_t at = block_descriptor ? 16 : 8;
    const uint8_t* page = select.data + at;
    EXPECT_EQ(GetBE16(&select.cdb[7]), at + page[1] + 2) << "MODE SELECT length";
    EXPECT_EQ(select.data_out_length, at + page[1] + 2);
    EXPECT_EQ(page[0], 0x05);
    EXPECT_EQ(page[2], c.write_type);
    EXPECT_EQ(page[3], c.track_mode);
    EXPECT_EQ(page[4], c.data_block);
    EXPECT_EQ(page[5], c.link_size);
    EXPECT_EQ(page[8], 0);  // session format
    EXPECT_EQ(GetBE32(page + 10), c.packet_size);
    EXPECT_EQ(GetBE16(page + 14), 150);  // audio pause
  }
}

INSTANTIATE_TEST_SUITE_P(Media, WriteParametersTest, ::testing::ValuesIn(kPages));

// Test write and BUFE come from the device's settings, BUFE only where the
// drive has underrun protection; the plain page has neither, whatever the
// settings say.
struct TSettingsCase {
  const char* drive;
  bool test_write, burn_proof, plain;
  uint8_t write_type;  // page byte 2
};

const TSettingsCase kSettings[] = {
    {"class=cd-writer", false, false, false, 0x01},
    {"class=cd-writer", true, true, false, 0x51},
    {"class=cd-writer,bufe=0", true, true, false, 0x11},
    {"class=cd-writer", true, true, true, 0x01},
};

TEST_F(DriveTest, TestWriteAndUnderrunProtectionFromTheDevice) {
  for (const TSettingsCase& c : kSettings) {
    Load("cd-r", c.drive);
    disc.Device.TestWrite = c.test_write;
    disc.Device.BurnProof = c.burn_proof;
    RefreshCapabilities(disc.Device);
    const auto trace = Traced([&] {
      EXPECT_TRUE(c.plain ? SetPlainWriteParameters(disc.Device, TMedium::mtCDR)
                          : SetWriteParameters(disc.Device, TMedium::mtCDR, TNextSession::kNone));
    });
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[1].data[10], c.write_type) << c.drive << (c.plain ? " plain" : "");
  }
}

TEST_F(DriveTest, SpeedsStreamingAndTimeStamp) {
  Load("dvd-r", "class=dvd-writer");
  const auto trace = Traced([&] {
    disc.SetDeviceSpeed(0, 0);
    disc.SetDeviceSpeed(1385, 5540);
    EXPECT_TRUE(SetStreaming(disc.Device, 100000, 11080, 1000, 22160, 1000));
    EXPECT_TRUE(SendDVDTimestamp(disc.Device, SYSTEMTIME{2026, 12, 3, 9, 8, 7, 6, 5}));
  });
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[0].cdb[0], 0xBB);
  EXPECT_EQ(trace[0].cdb[1], 0x00) << "rotational control: CLV";
  EXPECT_EQ(GetBE32(&trace[0].cdb[2]), 0xFFFFFFFFu);  // 0 asks for the fastest
  EXPECT_EQ(GetBE16(&trace[1].cdb[2]), 1385);
  EXPECT_EQ(GetBE16(&trace[1].cdb[4]), 5540);
  EXPECT_EQ(disc.Device.WriteSpeed, 5540);
  EXPECT_EQ(trace[2].cdb[0], 0xB6);
  EXPECT_EQ(GetBE16(&trace[2].cdb[9]), 28);
  const uint8_t* performance = trace[2].data;
  EXPECT_EQ(GetBE32(performance + 4), 0u);
  EXPECT_EQ(GetBE32(performance + 8), 100000u);
  EXPECT_EQ(GetBE32(performance + 12), 11080u);
  EXPECT_EQ(GetBE32(performance + 20), 22160u);
  EXPECT_EQ(GetBE32(performance + 24), 1000u);
  EXPECT_EQ(trace[3].cdb[0], 0xBF);
  EXPECT_EQ(trace[3].cdb[7], 0x0F);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(trace[3].data + 8), 14), "20261209080706");
}

// A block beyond 65535 keeps all of its address; reads and writes are timed.
TEST_F(DriveTest, SectorsFarOutAndTheirTiming) {
  Load("dvd+rw", "class=dvd-writer", true);
  std::vector<uint8_t> block(2048, 0x5A), back(2048);
  ResetSpeedSamples(disc.Device);
  const auto trace = Traced([&] {
    EXPECT_TRUE(WriteSectors(disc.Device, 70000, 1, 2048, block.data()));
    EXPECT_TRUE(ReadSectors(disc.Device, 70000, 1, back.data()));
  });
  std::vector<uint8_t> opcodes;
  for (const vb_trace_entry& e : trace) {
    if (e.cdb[0] != 0x2A && e.cdb[0] != 0x28) continue;
    opcodes.push_back(e.cdb[0]);
    EXPECT_EQ(GetBE32(&e.cdb[2]), 70000u);
    EXPECT_EQ(GetBE16(&e.cdb[7]), 1);
  }
  EXPECT_EQ(opcodes, (std::vector<uint8_t>{0x2A, 0x28}));
  EXPECT_EQ(back, block);
  EXPECT_EQ(disc.Device.bmWSize, 2048);
  EXPECT_EQ(disc.Device.bmRCounter, 1);
  EXPECT_EQ(disc.Device.qIndex, 2);
}

TEST(TransferRate, OverTheSamplesThereAre) {
  TSCSIDevice device;
  device.QPFreq = 1.0 / 1'000'000 * 1000;  // a microsecond counter
  EXPECT_EQ(CurrentTransferRate(device), 0u);
  AddSpeedSample(device, 1'000'000, 500'000);  // a megabyte in half a second
  EXPECT_EQ(CurrentTransferRate(device), 2'000'000u);
  EXPECT_EQ(TakeWriteSpeedSample(device), 0);  // the previous call's rate
  EXPECT_EQ(TakeWriteSpeedSample(device), 1954);  // 2,000,000 / 1024, rounded up
  device.qIndex = 64;
  AddSpeedSample(device, 7, 7);
  EXPECT_EQ(device.qIndex, 1);  // the ring wraps
}

}  // namespace
}  // namespace orvex
