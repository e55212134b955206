// SPDX-License-Identifier: Apache-2.0
// READ TOC/PMA/ATIP byte by byte: the formatted TOC, the session
// information and the ATIP, and on CD the full TOC, the PMA and the
// CD-TEXT, as a CD-R's lead-in and PMA hold them while it is written.
#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

class Toc : public MediumTest {};

TEST_F(Toc, FormattedTocSessionsAndAtipOfCdMedia) {
  Load("cd-r");
  EXPECT_SENSE(drive_.Run({0x43, 0, 0, 0, 0, 0, 0, 0, 64, 0}, 64), 0x05, 0x24, 0x00);  // nothing closed yet
  Result atip = drive_.Run({0x43, 0x02, 0x04, 0, 0, 0, 0, 0, 30, 0}, 30);
  EXPECT_EQ(Slice(atip.data, 0, 15), (Bytes{0, 26, 0, 0, 0xD0, 0x40, 0x80, 0, 0x61, 0x1A, 0x42, 0, 0x4F, 0x3B, 0x4A}));
  EXPECT_EQ(drive_.DiscInfo().data[7] & 0x20, 0x20);  // unrestricted use, as the ATIP says
  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 3).ok());
  ASSERT_TRUE(drive_.Write(0, 100, 1).ok());
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  Result toc = drive_.Run({0x43, 0, 0, 0, 0, 0, 0, 0, 64, 0}, 64);
  EXPECT_EQ(Slice(toc.data, 0, 20), (Bytes{0, 18, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0, 0, 0, 0, 102}));
  toc = drive_.Run({0x43, 0x02, 0, 0, 0, 0, 0, 0, 64, 0}, 64);  // MSF
  EXPECT_EQ(Slice(toc.data, 8, 12), (Bytes{0, 0, 2, 0, 0, 0x14, 0xAA, 0, 0, 0, 3, 27}));
  const Result sessions = drive_.Run({0x43, 0, 0x01, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_EQ(sessions.data, (Bytes{0, 10, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0}));
  EXPECT_SENSE(drive_.Run({0x43, 0, 0, 0, 0, 0, 2, 0, 64, 0}, 64), 0x05, 0x24, 0x00);  // no track 2
  const Result capacity = drive_.Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
  EXPECT_EQ(capacity.data, (Bytes{0, 0, 0, 99, 0, 0, 8, 0}));

  const std::string rw = Create(scratch_, "rw.vmed", "cd-rw");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), rw.c_str()), 0);
  atip = drive_.Run({0x43, 0x02, 0x04, 0, 0, 0, 0, 0, 30, 0}, 30);
  EXPECT_EQ(Slice(atip.data, 5, 2), (Bytes{0x40, 0xC0}));
  EXPECT_EQ(drive_.DiscInfo().data[2], 0x10);  // erasable
  const std::string dvd = Create(scratch_, "dvd.vmed", "dvd+r");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), dvd.c_str()), 0);
  EXPECT_SENSE(drive_.Run({0x43, 0x02, 0x04, 0, 0, 0, 0, 0, 30, 0}, 30), 0x05, 0x24, 0x00);
}

// The format asked for in the control byte's top two bits, as hosts of
// the first ATAPI drives do (the Linux sr driver finds the last session of
// a disc so, which mount then reads): it counts where byte 2 asks for the
// formatted TOC.
TEST_F(Toc, FormatInTheControlByteWhereByteTwoAsksForNone) {
  Load("cd-r");
  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 3).ok());
  ASSERT_TRUE(drive_.Write(0, 100, 1).ok());
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  const uint32_t second = drive_.NextWritable(2);
  ASSERT_TRUE(drive_.Write(second, 20, 2).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  const Bytes last_session{0, 10, 1, 2, 0, 0x14, 2, 0, 0, 0, uint8_t(second >> 8), uint8_t(second)};
  const Bytes first_track{0, 26, 1, 2, 0, 0x14, 1, 0, 0, 0, 0, 0};
  const Bytes full_toc{0, 123, 1, 2, 1, 0x14, 0, 0xA0, 0, 0, 0, 0};
  const struct {
    uint8_t format, control;
    const Bytes& expected;  // the first 12 bytes
  } rows[] = {
      {0x00, 0x00, first_track},  {0x00, 0x40, last_session}, {0x01, 0x00, last_session},
      {0x00, 0x80, full_toc},     {0x01, 0x80, last_session},  // byte 2 wins
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "format " << int(row.format) << ", control " << int(row.control));
    const Result r = drive_.Run({0x43, 0, row.format, 0, 0, 0, 0, 0, 12, row.control}, 12);
    ASSERT_TRUE(r.ok()) << SenseText(r);
    EXPECT_EQ(r.data, row.expected);
  }
}

// The full TOC and the PMA as a CD-R's lead-in and PMA hold them after a
// closed track, a reserved one, an appendable first session and a
// finalizing second one; addresses as MSF, 150 frames after block 0.
TEST_F(Toc, FullTocPmaAndCdTextOfACdR) {
  Load("cd-r");
  const auto toc = [&](uint8_t format, uint8_t session = 0) {
    const Result r = drive_.Run({0x43, 0, format, 0, 0, 0, session, 0x01, 0x00, 0}, 256);
    EXPECT_TRUE(r.ok()) << SenseText(r);
    return Slice(r.data, 0, 2 + Be16(r.data, 0));
  };
  EXPECT_SENSE(drive_.Run({0x43, 0, 0x02, 0, 0, 0, 0, 0, 64, 0}, 64), 0x05, 0x24, 0x00);  // no complete session
  EXPECT_EQ(toc(0x03), (Bytes{0, 2, 0, 0}));  // an empty PMA
  EXPECT_EQ(toc(0x05), (Bytes{0, 2, 0, 0}));  // no CD-TEXT
  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 3).ok());
  ASSERT_TRUE(drive_.Write(0, 100, 1).ok());
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  ASSERT_TRUE(drive_.Reserve(50).ok());  // track 2 at 252, after the run-out and the pre-gap
  const Bytes pma{0, 24, 0, 0, 0, 0x14, 0, 1, 0, 3, 26, 0, 0, 2, 0, 0, 0x14, 0, 2, 0, 6, 1, 0, 0, 5, 27};
  EXPECT_EQ(toc(0x03), pma);  // last and first block of each track
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  const Bytes session1{1, 0x14, 0, 0xA0, 0, 0, 0, 0, 1, 0, 0,  1, 0x14, 0, 0xA1, 0, 0, 0, 0, 2, 0, 0,
                       1, 0x14, 0, 0xA2, 0, 0, 0, 0, 0, 6, 2,  1, 0x14, 0, 1, 0, 0, 0, 0, 0, 2, 0,
                       1, 0x14, 0, 2, 0, 0, 0, 0, 0, 5, 27,
                       // B0: the next session at 11702 (02:38:02), two ADR 5 pointers, the outermost lead-out
                       1, 0x54, 0, 0xB0, 2, 38, 2, 2, 79, 59, 74,
                       // C0: the writing power, the lead-in at 97:26:66
                       1, 0x54, 0, 0xC0, 0xD0, 0, 0, 0, 97, 26, 66};
  Bytes expected{0, 79, 1, 1};
  expected.insert(expected.end(), session1.begin(), session1.end());
  EXPECT_EQ(toc(0x02), expected);
  EXPECT_EQ(toc(0x03), pma);

  ASSERT_TRUE(drive_.Write(11702, 20, 2).ok());
  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 0).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());  // finalized: no B0 in the last lead-in
  const Bytes session2{2, 0x14, 0, 0xA0, 0, 0, 0, 0, 3, 0, 0,  2, 0x14, 0, 0xA1, 0, 0, 0, 0, 3, 0, 0,
                       2, 0x14, 0, 0xA2, 0, 0, 0, 0, 2, 38, 24, 2, 0x14, 0, 3, 0, 0, 0, 0, 2, 38, 2};
  expected = {0, 123, 1, 2};
  expected.insert(expected.end(), session1.begin(), session1.end());
  expected.insert(expected.end(), session2.begin(), session2.end());
  EXPECT_EQ(toc(0x02), expected);
  expected = {0, 46, 1, 2};
  expected.insert(expected.end(), session2.begin(), session2.end());
  EXPECT_EQ(toc(0x02, 2), expected);  // from the second session on
  EXPECT_SENSE(drive_.Run({0x43, 0, 0x02, 0, 0, 0, 3, 0, 64, 0}, 64), 0x05, 0x24, 0x00);
  EXPECT_SENSE(drive_.Run({0x43, 0, 0x06, 0, 0, 0, 0, 0, 64, 0}, 64), 0x05, 0x24, 0x00);
}

TEST_F(Toc, FullTocOfACdRomAndCdFormatsRefusedOnOtherMedia) {
  const std::string image = scratch_.Path("image.iso"), rom = scratch_.Path("rom.vmed");
  WriteFile(image, MinimalIso("rom"));
  ASSERT_EQ(Lib().vb_medium_from_image(rom.c_str(), "cd-rom", image.c_str()), 0) << Lib().vb_last_error();
  Configure("0:0:0,medium=" + rom);
  Result r = drive_.Run({0x43, 0, 0x02, 0, 0, 0, 0, 0, 64, 0}, 64);
  EXPECT_EQ(Slice(r.data, 0, 4 + 44),
            (Bytes{0, 46, 1, 1, 1, 0x14, 0, 0xA0, 0, 0, 0, 0, 1, 0, 0, 1, 0x14, 0, 0xA1, 0, 0, 0, 0, 1, 0, 0,
                   1, 0x14, 0, 0xA2, 0, 0, 0, 0, 0, 2, 23, 1, 0x14, 0, 1, 0, 0, 0, 0, 0, 2, 0}));
  EXPECT_SENSE(drive_.Run({0x43, 0, 0x03, 0, 0, 0, 0, 0, 64, 0}, 64), 0x05, 0x24, 0x00);  // a pressed disc has no PMA
  EXPECT_TRUE(drive_.Run({0x43, 0, 0x05, 0, 0, 0, 0, 0, 64, 0}, 64).ok());

  const std::string dvd = Create(scratch_, "dvd.vmed", "dvd+r");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), dvd.c_str()), 0);
  for (uint8_t format : {0x02, 0x03, 0x04, 0x05}) {
    SCOPED_TRACE(format);
    EXPECT_SENSE(drive_.Run({0x43, 0x02, format, 0, 0, 0, 0, 0, 64, 0}, 64), 0x05, 0x24, 0x00);
  }
}

}  // namespace
}  // namespace vbtest
