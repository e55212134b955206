// SPDX-License-Identifier: Apache-2.0
// Response layouts checked byte by byte against MMC: INQUIRY, disc and
// track information, configuration, mode pages, format capacities, buffer
// capacity, capacity and performance, and the sense of REQUEST SENSE.
#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

class Responses : public MediumTest {};

TEST_F(Responses, InquiryIdentifiesAnMmcDevice) {
  Load("cd-r");
  const Result r = drive_.Run({0x12, 0, 0, 0, 36, 0}, 96);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(Slice(r.data, 0, 5), (Bytes{0x05, 0x80, 0x05, 0x02, 91}));
  EXPECT_EQ(std::string(r.data.begin() + 8, r.data.begin() + 36), "ORVEX   VIRTUAL BD-RW   1.00");
  EXPECT_EQ(r.data[36], 0);  // cut at the allocation length
  const Result serial = drive_.Run({0x12, 1, 0x80, 0, 96, 0}, 96);
  EXPECT_EQ(Slice(serial.data, 0, 12), (Bytes{0x05, 0x80, 0, 8, 'V', 'B', '0', '0', '0', '0', '0', '0'}));
  EXPECT_SENSE(drive_.Run({0x12, 1, 0x83, 0, 96, 0}, 96), 0x05, 0x24, 0x00);
  EXPECT_SENSE(drive_.Run({0x12, 0, 0x80, 0, 96, 0}, 96), 0x05, 0x24, 0x00);
}

TEST_F(Responses, DiscInformationOfACdRBeforeAndAfterItsFirstSession) {
  Load("cd-r");
  Result r = drive_.DiscInfo();
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.data, (Bytes{0x00, 0x20, 0x00, 1, 1, 1, 1, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x61, 0x1A, 0x42,
                           0x00, 0x4F, 0x3B, 0x4A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 3).ok());
  ASSERT_TRUE(drive_.Write(0, 100, 7).ok());
  r = drive_.DiscInfo();
  EXPECT_EQ(r.data[2], 0x05);  // incomplete session, incomplete disc
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  r = drive_.DiscInfo();
  // Appendable with an empty second session whose first track starts at
  // 102 + 11400; its lead-in starts 4650 blocks before that: 01:33:27.
  EXPECT_EQ(Slice(r.data, 2, 5), (Bytes{0x01, 1, 2, 2, 2}));
  EXPECT_EQ(Slice(r.data, 16, 4), (Bytes{0x00, 0x01, 0x21, 0x1B}));
  EXPECT_EQ(drive_.NextWritable(2), 11502u);
}

TEST_F(Responses, TrackInformationOfTheInvisibleAndAReservedTrack) {
  Load("dvd-r");
  Result r = drive_.TrackInfo(1);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.data, (Bytes{0x00, 0x2E, 1, 1, 0, 0x05, 0x61, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x23, 0x12, 0x80,
                           0, 0, 0, 16, 0x00, 0x23, 0x12, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           0, 0, 0, 0}));
  ASSERT_TRUE(drive_.Reserve(1000).ok());
  ASSERT_TRUE(drive_.SetWriteParameters(0, false, 3).ok());
  ASSERT_TRUE(drive_.Write(0, 10, 1).ok());
  r = drive_.Run({0x52, 0x00, 0, 0, 0, 5, 0, 0, 48, 0}, 48);  // by address: block 5 lies in track 1
  EXPECT_EQ(r.data[2], 1);
  EXPECT_EQ(r.data[6], 0xA1);  // reserved, incremental, not blank
  EXPECT_EQ(r.data[7], 0x03);  // last recorded and next writable addresses valid
  EXPECT_EQ(Be32(r.data, 12), 10u);
  EXPECT_EQ(Be32(r.data, 16), 998u);  // free: 1008 reserved (16-block units) - 10
  EXPECT_EQ(Be32(r.data, 24), 1008u);
  EXPECT_EQ(Be32(r.data, 28), 9u);
  r = drive_.Run({0x52, 0x01, 0, 0, 0, 0xFF, 0, 0, 48, 0}, 48);  // FFh: the first open track
  EXPECT_EQ(r.data[2], 1);
  EXPECT_EQ(drive_.NextWritable(2), 1008u);  // the invisible track follows the reservation
  EXPECT_SENSE(drive_.TrackInfo(3), 0x05, 0x24, 0x00);
}

TEST_F(Responses, ConfigurationListsProfilesAndFeaturesWithTheCurrentOnes) {
  Load("dvd+rw", true);
  Result r = drive_.Run({0x46, 0x02, 0x00, 0x2A, 0, 0, 0, 0, 64, 0}, 64);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(Slice(r.data, 0, 16), (Bytes{0, 0, 0, 12, 0, 0, 0x00, 0x1A, 0x00, 0x2A, 0x05, 4, 0x01, 0, 0, 0}));

  r = drive_.Run({0x46, 0x00, 0, 0, 0, 0, 0, 0x10, 0, 0}, 4096);
  const uint32_t length = Be32(r.data, 0);
  EXPECT_EQ(Be16(r.data, 8), 0x0000);
  EXPECT_EQ(r.data[10], 0x03);  // profile list: persistent, current
  const uint8_t list_length = r.data[11];
  EXPECT_EQ(list_length, 21 * 4);  // every profile the drive reads
  EXPECT_EQ(Be16(r.data, 12), 0x0052);  // highest first
  bool current_marked = false;
  for (size_t at = 12; at < 12u + list_length; at += 4)
    if (Be16(r.data, at) == 0x001A) current_marked = r.data[at + 2] == 0x01;
  EXPECT_TRUE(current_marked);
  size_t at = 12 + list_length;
  std::vector<uint16_t> all;
  while (at < length + 4) {
    all.push_back(Be16(r.data, at));
    at += 4 + r.data[at + 3];
  }
  EXPECT_EQ(at, length + 4);
  EXPECT_EQ(all, (std::vector<uint16_t>{0x0001, 0x0002, 0x0003, 0x0010, 0x001E, 0x001F, 0x0020, 0x0021, 0x0023, 0x0024, 0x0026,
                                        0x002A, 0x002B, 0x002D, 0x002F, 0x003B, 0x0040, 0x0041, 0x0050, 0x0107}));

  r = drive_.Run({0x46, 0x01, 0, 0, 0, 0, 0, 0x10, 0, 0}, 4096);  // current features only
  std::vector<uint16_t> current;
  for (at = 8; at < Be32(r.data, 0) + 4; at += 4 + r.data[at + 3]) current.push_back(Be16(r.data, at));
  EXPECT_EQ(current, (std::vector<uint16_t>{0x0000, 0x0001, 0x0002, 0x0003, 0x0010, 0x001F, 0x0020, 0x0023, 0x002A, 0x0107}));
  EXPECT_SENSE(drive_.Run({0x46, 0x03, 0, 0, 0, 0, 0, 0, 8, 0}, 8), 0x05, 0x24, 0x00);
}

// A write feature is current only while the drive writes the medium it
// holds: a drive that reads a medium but does not write it has the feature
// (for the media it writes) without being able to use it now.
TEST_F(Responses, WriteFeaturesAreCurrentOnlyForAMediumTheDriveWrites) {
  const struct {
    const char* profile;
    const char* options;
    uint16_t feature;
    bool current;
  } rows[] = {
      {"dvd-r", "", 0x002F, true},
      {"dvd-r", ",writes=cd-r/dvd-rw", 0x002F, false},
      {"dvd-r", ",writes=cd-r/dvd-rw", 0x0021, false},
      {"cd-r", "", 0x002D, true},
      {"cd-r", ",reads=cd-r,writes=cd-rw/dvd-r", 0x002D, false},
      {"bd-r", "", 0x0041, true},
      {"bd-r", ",writes=bd-re", 0x0041, false},
      {"bd-re", ",writes=bd-r/dvd+rw", 0x0020, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.profile) + " " + row.options);
    Load(row.profile, false, row.options);
    const Result r = drive_.Run({0x46, 0x02, static_cast<uint8_t>(row.feature >> 8),
                                 static_cast<uint8_t>(row.feature), 0, 0, 0, 0, 64, 0}, 64);
    ASSERT_TRUE(r.ok());
    ASSERT_GE(Be32(r.data, 0), 8u) << "the feature is there";
    EXPECT_EQ(Be16(r.data, 8), row.feature);
    EXPECT_EQ(r.data[10] & 0x01, row.current ? 1 : 0);
  }
}

TEST_F(Responses, ConfigurationOfAnEmptyOrSmallerDrive) {
  Configure("0:0:0,class=cd-writer;0:1:0");
  Result r = drive_.Run({0x46, 0x02, 0x00, 0x40, 0, 0, 0, 0, 64, 0}, 64);
  EXPECT_EQ(Slice(r.data, 0, 9), (Bytes{0, 0, 0, 4, 0, 0, 0, 0, 0}));  // no BD feature: the header alone
  r = Drive({0, 1, 0}).Run({0x46, 0x02, 0x00, 0x3B, 0, 0, 0, 0, 64, 0}, 64);
  EXPECT_EQ(Slice(r.data, 6, 6), (Bytes{0, 0, 0x00, 0x3B, 0x00, 4}));  // no medium: profile 0, not current
}

TEST_F(Responses, WriteParametersPageCurrentDefaultAndChangeable) {
  Load("cd-r");
  Result r = drive_.ModeSense(0x05);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(Be16(r.data, 0), 58);
  EXPECT_EQ(Slice(r.data, 6, 2), (Bytes{0, 0}));
  EXPECT_EQ(Slice(r.data, 8, 16), (Bytes{0x05, 0x32, 0x41, 0x04, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x96}));
  r = drive_.ModeSense(0x45);  // changeable
  EXPECT_EQ(Slice(r.data, 8, 12), (Bytes{0x05, 0x32, 0x7F, 0xEF, 0x0F, 0xFF, 0x00, 0x3F, 0xFF, 0x00, 0xFF, 0xFF}));
  ASSERT_TRUE(drive_.SetWriteParameters(0, true, 3).ok());
  r = drive_.ModeSense(0x05);
  EXPECT_EQ(Slice(r.data, 10, 2), (Bytes{0x50, 0xC4}));
  r = drive_.ModeSense(0x85);  // defaults stay
  EXPECT_EQ(Slice(r.data, 10, 2), (Bytes{0x41, 0x04}));
  EXPECT_SENSE(drive_.ModeSense(0xC5), 0x05, 0x39, 0x00);
  EXPECT_SENSE(drive_.ModeSense(0x30), 0x05, 0x24, 0x00);  // no page 30h unless configured
}

TEST_F(Responses, ModeSelectChangesOnlyWhatTheDriveLetsChange) {
  Load("cd-r");
  const Bytes page = Slice(drive_.ModeSense(0x05).data, 0, 60);
  const auto select = [&](const Bytes& list, uint8_t byte1 = 0x10) {
    return drive_.RunOut({0x55, byte1, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(list.size()), 0}, list);
  };
  EXPECT_TRUE(select(page).ok());
  Bytes bad = page;
  bad[9] = 0x30;  // page length
  EXPECT_SENSE(select(bad), 0x05, 0x26, 0x00);
  bad = page;
  bad[14] = 1;  // a reserved byte
  EXPECT_SENSE(select(bad), 0x05, 0x26, 0x00);
  bad = page;
  bad[12] = 0x00;  // raw 2352-byte blocks
  EXPECT_SENSE(select(bad), 0x05, 0x26, 0x00);
  bad = page;
  bad[8] = 0x2A;
  EXPECT_SENSE(select(bad), 0x05, 0x26, 0x00);
  EXPECT_SENSE(select(page, 0x00), 0x05, 0x24, 0x00);  // no PF
  EXPECT_SENSE(select(page, 0x11), 0x05, 0x24, 0x00);  // SP
  EXPECT_SENSE(select(Slice(page, 0, 4)), 0x05, 0x1A, 0x00);
  EXPECT_SENSE(select(Slice(page, 0, 20)), 0x05, 0x1A, 0x00);  // the page runs past the list
}

TEST_F(Responses, ErrorRecoveryPageIsPlainAndChangeable) {
  Load("cd-r");
  Result r = drive_.ModeSense(0x01);
  ASSERT_TRUE(r.ok()) << SenseText(r);
  EXPECT_EQ(Slice(r.data, 0, 20), (Bytes{0, 18, 0, 0, 0, 0, 0, 0, 0x01, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(drive_.ModeSense(0x41).data, 8, 12), (Bytes{0x01, 0x0A, 0xF7, 0xFF, 0, 0, 0, 0, 0x03, 0xFF, 0, 0}));
  const Bytes header(8, 0);
  const auto select = [&](const Bytes& pages) {
    Bytes list = header;
    list.insert(list.end(), pages.begin(), pages.end());
    return drive_.RunOut({0x55, 0x10, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(list.size()), 0}, list);
  };
  const Bytes page{0x01, 0x0A, 0x05, 0x20, 0, 0, 0, 0, 0x01, 0x10, 0, 0};  // PER DCR, 32 read and 16 write retries
  ASSERT_TRUE(select(page).ok());
  EXPECT_EQ(Slice(drive_.ModeSense(0x01).data, 8, 12), page);
  EXPECT_EQ(Slice(drive_.ModeSense(0x81).data, 10, 2), (Bytes{0, 0}));  // the defaults stay
  const struct {
    size_t at;
    uint8_t value;
  } kRefused[] = {{1, 0x08}, {2, 0x0D}, {4, 1}, {8, 0x04}, {11, 1}};  // page length, reserved bits and bytes
  for (const auto& bad : kRefused) {
    Bytes wrong = page;
    wrong[bad.at] = bad.value;
    SCOPED_TRACE(bad.at);
    EXPECT_SENSE(select(wrong), 0x05, 0x26, 0x00);
  }
  // A list whose second page is refused changes neither.
  Bytes both{0x01, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const Bytes write_parameters = Slice(drive_.ModeSense(0x05).data, 8, 52);
  both.insert(both.end(), write_parameters.begin(), write_parameters.end());
  both[12 + 4] = 0x00;  // raw blocks
  EXPECT_SENSE(select(both), 0x05, 0x26, 0x00);
  EXPECT_EQ(Slice(drive_.ModeSense(0x01).data, 8, 12), page);
  r = drive_.ModeSense(0x3F, 1024);
  EXPECT_EQ(Be16(r.data, 0), 6 + 12 + 52 + 44);  // 01h, 05h, 2Ah in ascending order
  EXPECT_EQ((Bytes{r.data[8], r.data[20], r.data[72]}), (Bytes{0x01, 0x05, 0x2A}));

  Configure("0:0:0,class=dvd-rom");  // a reader has page 01h but no write parameters
  EXPECT_TRUE(drive_.ModeSense(0x01).ok());
  EXPECT_SENSE(drive_.ModeSense(0x05), 0x05, 0x24, 0x00);
  EXPECT_SENSE(select(write_parameters), 0x05, 0x26, 0x00);
}

TEST_F(Responses, CapabilitiesPageWithSpeedsAndOptionalBlockDescriptor) {
  Load("dvd+r", false, ",blockdesc=1,page30=1");
  Result r = drive_.ModeSense(0x2A);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(Slice(r.data, 6, 10), (Bytes{0, 8, 0, 0x23, 0x05, 0x40, 0, 0x00, 0x08, 0x00}));
  const Bytes p = Slice(r.data, 16, 44);
  EXPECT_EQ(Slice(p, 0, 10), (Bytes{0x2A, 42, 0x3F, 0x37, 0xF0, 0x00, 0x29, 0x00, 0x56, 0x90}));
  EXPECT_EQ(Be16(p, 12), 4096);  // buffer KiB
  EXPECT_EQ(Be16(p, 18), 22160);  // 16x DVD
  EXPECT_EQ(Be16(p, 28), 22160);
  EXPECT_EQ(Slice(p, 30, 14), (Bytes{0, 3, 0, 0, 0x56, 0x90, 0, 0, 0x2B, 0x48, 0, 0, 0x15, 0xA4}));
  ASSERT_TRUE(drive_.Run({0xBB, 0x01, 0xFF, 0xFF, 0x2E, 0xE0, 0, 0, 0, 0, 0, 0}).ok());  // write 12000 kB/s
  EXPECT_EQ(Be16(Slice(drive_.ModeSense(0x2A).data, 16, 44), 28), 11080);  // the fastest offered below it
  r = drive_.Run({0x5A, 0x08, 0x30, 0, 0, 0, 0, 0, 64, 0}, 64);  // DBD: no descriptor
  EXPECT_EQ(Slice(r.data, 0, 12), (Bytes{0, 10, 0, 0, 0, 0, 0, 0, 0x30, 0x02, 0x01, 0x00}));
}

TEST_F(Responses, FormatCapacitiesOfOverwritableMediaAndOfAnEmptyDrive) {
  Load("dvd+rw");
  Result r = drive_.Run({0x23, 0, 0, 0, 0, 0, 0, 0, 0xFC, 0}, 252);
  EXPECT_EQ(Slice(r.data, 0, 20), (Bytes{0, 0, 0, 16, 0x00, 0x23, 0x05, 0x40, 0x01, 0x00, 0x08, 0x00, 0x00, 0x23,
                                         0x05, 0x40, 0x98, 0, 0, 0}));
  const std::string ram = Create(scratch_, "ram.vmed", "dvd-ram", 0, true);
  ASSERT_EQ(Lib().vb_insert(drive_.address(), ram.c_str()), 0);
  r = drive_.Run({0x23, 0, 0, 0, 0, 0, 0, 0, 0xFC, 0}, 252);
  EXPECT_EQ(Slice(r.data, 0, 20), (Bytes{0, 0, 0, 16, 0x00, 0x22, 0x21, 0x20, 0x02, 0x00, 0x08, 0x00, 0x00, 0x22,
                                         0x21, 0x20, 0x00, 0x00, 0x08, 0x00}));
  ASSERT_EQ(Lib().vb_remove(drive_.address()), 0);
  r = drive_.Run({0x23, 0, 0, 0, 0, 0, 0, 0, 0xFC, 0}, 252);
  EXPECT_EQ(Slice(r.data, 0, 12), (Bytes{0, 0, 0, 8, 0x00, 0xBA, 0x74, 0x00, 0x03, 0x00, 0x08, 0x00}));
}

TEST_F(Responses, BufferCapacityFillsWithWritesAndDrainsWithTime) {
  Load("dvd+r");
  const auto blank = [&] { return Be32(drive_.Run({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12).data, 8); };
  const Result r = drive_.Run({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_EQ(r.data, (Bytes{0, 10, 0, 0, 0x00, 0x40, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00}));
  ASSERT_TRUE(drive_.Write(0, 32, 1).ok());
  EXPECT_EQ(blank(), 4194304u - 65536);
  Lib().vb_advance_time(1000);  // 1 ms at 22160 kB/s
  EXPECT_EQ(blank(), 4194304u - 65536 + 22160);
  EXPECT_EQ(Be32(drive_.Run({0x5C, 1, 0, 0, 0, 0, 0, 0, 12, 0}, 12).data, 8), (4194304u - 65536 + 22160) / 2048);

  // A full buffer makes the next write wait until room has drained.
  Lib().vb_advance_time(1000000);
  for (uint32_t lba = 32; lba < 32 + 32 * 64; lba += 64) ASSERT_TRUE(drive_.Write(lba, 64, 2).ok());
  EXPECT_EQ(blank(), 0u);
  const uint64_t before = Lib().vb_now();
  ASSERT_TRUE(drive_.Write(32 + 32 * 64, 64, 3).ok());
  EXPECT_EQ(Lib().vb_now() - before, (131072u * 1000 + 22159) / 22160);
}

TEST_F(Responses, PerformanceDescriptorsAndStreaming) {
  Load("dvd+r");
  Result r = drive_.Run({0xAC, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0x03, 0}, 1024);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(Be32(r.data, 0), 52u);
  EXPECT_EQ(Slice(r.data, 8, 16),
            (Bytes{0, 0, 0, 0, 0x00, 0x23, 0x05, 0x3F, 0, 0, 0x56, 0x90, 0, 0, 0x56, 0x90}));
  EXPECT_EQ(Be32(r.data, 8 + 16 + 12), 11080u);
  Bytes streaming(28, 0);
  const auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) streaming[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  put(8, 1000);    // end block
  put(12, 4096);   // read 4096 kB ...
  put(16, 1000);   // ... per 1000 ms
  put(20, 5540);   // write 5540 kB (4x) ...
  put(24, 1000);   // ... per 1000 ms
  ASSERT_TRUE(drive_.RunOut({0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, streaming).ok());
  r = drive_.Run({0xAC, 0x04, 0, 0, 0, 0, 0, 0, 0, 1, 0x00, 0}, 1024);  // nominal write performance
  EXPECT_EQ(r.data[4], 0x02);
  EXPECT_EQ(Be32(r.data, 12), 5540u);
  put(16, 0);  // no read time
  EXPECT_SENSE(drive_.RunOut({0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, streaming), 0x05, 0x26, 0x00);
  EXPECT_SENSE(drive_.RunOut({0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0}, Bytes(20, 0)), 0x05, 0x1A, 0x00);
  EXPECT_SENSE(drive_.Run({0xAC, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x05, 0}, 64), 0x05, 0x24, 0x00);
}

TEST_F(Responses, RequestSenseReportsProgressAndUnknownOpcodesAreRefused) {
  Load("dvd-ram", true);
  EXPECT_EQ(drive_.Run({0x03, 0, 0, 0, 18, 0}, 18).data,
            (Bytes{0x70, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(drive_.Format({0x00, 0x82, 0x00, 0x08, 0x00, 0x22, 0x21, 0x20, 0x00, 0x00, 0x08, 0x00}).ok());
  const Result first = drive_.Run({0x03, 0, 0, 0, 18, 0}, 18);
  EXPECT_EQ(Slice(first.data, 12, 6), (Bytes{0x04, 0x04, 0, 0x80, 0, 0}));
  Lib().vb_advance_time(826'000'000);  // about half of the format
  const Result half = drive_.Run({0x03, 0, 0, 0, 18, 0}, 18);
  EXPECT_EQ(half.data[2], 0x02);
  EXPECT_NEAR(Be16(half.data, 16), 32768, 300);
  EXPECT_SENSE(drive_.Run({0x26, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0x05, 0x20, 0x00);
  EXPECT_SENSE(drive_.Run({0xA4, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0}, 4), 0x05, 0x20, 0x00);  // no CSS here
}

}  // namespace
}  // namespace vbtest
