// SPDX-License-Identifier: Apache-2.0
// The recording state of every writable medium from blank to finalized,
// the operations that keep a drive not ready, and the tray.
#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

class Media : public MediumTest {};

TEST_F(Media, CdRWritesTracksAndSessionsUntilFinalized) {
  Load("cd-r");
  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 3).ok());
  EXPECT_EQ(drive_.DiscStatus(), 0);
  ASSERT_TRUE(drive_.Write(0, 100, 0x11).ok());
  EXPECT_SENSE(drive_.Write(50, 1, 0), 0x05, 0x21, 0x02);  // not the next writable address
  EXPECT_EQ(drive_.NextWritable(1), 100u);
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  EXPECT_EQ(drive_.NextWritable(2), 252u);  // two run-out blocks and a two-second pre-gap
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  EXPECT_EQ(drive_.DiscStatus(), 1);
  EXPECT_EQ(drive_.NextWritable(2), 11502u);  // lead-out, lead-in and pre-gap of the first session
  ASSERT_TRUE(drive_.Write(11502, 50, 0x22).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  EXPECT_EQ(drive_.NextWritable(3), 11502u + 52 + 6900);  // later sessions cost less
  EXPECT_EQ(SessionCount(), 3);                           // the empty third one counts

  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 0).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());  // closing the empty session finalizes the disc
  const Result info = drive_.DiscInfo();
  EXPECT_EQ(info.data[2], 0x0E);  // complete session, complete disc
  EXPECT_EQ(info.data[4], 2);
  EXPECT_SENSE(drive_.Write(18454, 1, 0), 0x05, 0x21, 0x02);
  EXPECT_SENSE(drive_.TrackInfo(0xFF), 0x05, 0x24, 0x00);  // no open track left

  EXPECT_EQ(Block(99)[2047], 0x11);
  EXPECT_EQ(Block(11502)[0], 0x22);
  EXPECT_SENSE(drive_.Read(120, 1), 0x03, 0x11, 0x00);    // between the sessions
  EXPECT_SENSE(drive_.Read(11550, 4), 0x05, 0x21, 0x00);  // past the last recorded block
}

TEST_F(Media, TestWriteRecordsNothing) {
  Load("cd-r");
  ASSERT_TRUE(drive_.SetWriteParameters(1, true, 3).ok());
  ASSERT_TRUE(drive_.Write(0, 32, 1).ok());
  ASSERT_TRUE(drive_.Write(32, 32, 1).ok());  // the pretended track grows
  EXPECT_SENSE(drive_.Write(0, 1, 1), 0x05, 0x21, 0x02);
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  EXPECT_EQ(drive_.DiscStatus(), 0);
  EXPECT_SENSE(drive_.Read(0, 1), 0x05, 0x21, 0x00);
  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 3).ok());
  EXPECT_TRUE(drive_.Write(0, 1, 1).ok());
}

TEST_F(Media, DvdRWithTimeStampReservedTrackAndTwoSessions) {
  Load("dvd-r");
  Bytes stamp(22, 0);
  stamp[1] = 0x14;
  const std::string digits = "20261208120000";
  std::copy(digits.begin(), digits.end(), stamp.begin() + 8);
  EXPECT_TRUE(drive_.RunOut({0xBF, 0, 0, 0, 0, 0, 0, 0x0F, 0, 22, 0, 0}, stamp).ok());
  Bytes bad = stamp;
  bad[10] = 'x';
  EXPECT_SENSE(drive_.RunOut({0xBF, 0, 0, 0, 0, 0, 0, 0x0F, 0, 22, 0, 0}, bad), 0x05, 0x26, 0x00);
  EXPECT_SENSE(drive_.RunOut({0xBF, 0, 0, 0, 0, 0, 0, 0x04, 0, 22, 0, 0}, stamp), 0x05, 0x24, 0x00);

  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 3).ok());
  EXPECT_SENSE(drive_.Write(0, 16, 1), 0x05, 0x2C, 0x00);  // track at once is not for DVD-R
  ASSERT_TRUE(drive_.SetWriteParameters(0, false, 3).ok());
  ASSERT_TRUE(drive_.Reserve(1000).ok());
  for (uint32_t lba = 0; lba < 992; lba += 32) ASSERT_TRUE(drive_.Write(lba, 32, 3).ok());
  ASSERT_TRUE(drive_.Write(992, 8, 3).ok());
  EXPECT_SENSE(drive_.Write(1000, 16, 3), 0x05, 0x21, 0x02);  // past the reservation
  ASSERT_TRUE(drive_.Close(1, 1).ok());                         // padded to its reserved size
  EXPECT_EQ(Be32(drive_.TrackInfo(1).data, 24), 1008u);
  EXPECT_TRUE(drive_.Close(1, 2).ok());  // the empty invisible track: nothing to close
  ASSERT_TRUE(drive_.Close(2, 3).ok());
  EXPECT_EQ(drive_.DiscStatus(), 1);
  const uint32_t second = drive_.NextWritable(2);
  EXPECT_EQ(second, 1008u + 16384);
  ASSERT_TRUE(drive_.Write(second, 32, 4).ok());
  EXPECT_SENSE(drive_.Reserve(64), 0x05, 0x2C, 0x00);  // the invisible track is no longer empty
  ASSERT_TRUE(drive_.SetWriteParameters(0, false, 0).ok());
  ASSERT_TRUE(drive_.Close(2, 4).ok());
  EXPECT_EQ(drive_.DiscStatus(), 2);
  EXPECT_EQ(SessionCount(), 2);
  EXPECT_EQ(Block(1007), Bytes(2048, 0));  // the padding
  char text[2048];
  ASSERT_GT(Lib().vb_medium_describe(disc_.c_str(), text, sizeof text), 0);
  EXPECT_NE(std::string(text).find("time stamp 20261208120000"), std::string::npos) << text;
}

TEST_F(Media, DvdPlusRFinalizesOnlyWhenTheCloseFunctionSaysSo) {
  Load("dvd+r");
  ASSERT_TRUE(drive_.SetWriteParameters(2, false, 0).ok());  // "no next session": not for DVD+R to heed
  ASSERT_TRUE(drive_.Write(0, 32, 1).ok());
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  ASSERT_TRUE(drive_.Close(2, 0xFF).ok());
  EXPECT_EQ(drive_.DiscStatus(), 1);
  EXPECT_EQ(drive_.NextWritable(2), 32u + 8192);
  ASSERT_TRUE(drive_.Write(32 + 8192, 32, 2).ok());
  ASSERT_TRUE(drive_.Close(1, 2).ok());
  ASSERT_TRUE(drive_.Close(5, 0).ok());  // finalize with the minimal radius
  EXPECT_EQ(drive_.DiscStatus(), 2);
  EXPECT_EQ(SessionCount(), 2);
  EXPECT_SENSE(drive_.Close(3, 0), 0x05, 0x24, 0x00);
  EXPECT_EQ(CurrentProfile(), 0x001B);
}

// Without any MODE SELECT, as MMC has these media written: closing a
// session leaves the disc appendable, a second session follows, and only
// the finalizing close function ends the disc.
TEST_F(Media, DvdPlusRDualLayerAndBdRTakeASecondSessionUntilFinalized) {
  const struct {
    const char* profile;
    uint32_t second_start;  // the first track's 40 blocks rounded up to a cluster, then the session gap
  } kCases[] = {{"dvd+r", 48 + 8192}, {"dvd+r-dl", 48 + 8192}, {"bd-r", 64 + 4096}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.profile);
    Load(c.profile);
    ASSERT_EQ(Lib().vb_trace(drive_.address(), 1), 0);
    ASSERT_TRUE(drive_.Write(0, 40, 1).ok());
    ASSERT_TRUE(drive_.Close(1, 1).ok());
    ASSERT_TRUE(drive_.Close(2, 0).ok());
    drive_.DiscInfo();
    ASSERT_EQ(drive_.NextWritable(2), c.second_start);
    ASSERT_TRUE(drive_.Write(c.second_start, 32, 2).ok());
    ASSERT_TRUE(drive_.Close(1, 2).ok());
    ASSERT_TRUE(drive_.Close(2, 0).ok());
    drive_.DiscInfo();
    ASSERT_TRUE(drive_.Close(6, 0).ok());
    drive_.DiscInfo();

    const std::vector<vb_trace_entry> trace = Trace(drive_.address());
    EXPECT_EQ(Opcodes(trace), "2a 5b 5b 51 52 2a 5b 5b 51 5b 51");
    std::vector<std::pair<uint8_t, uint8_t>> states;  // disc status byte and session count, as answered
    for (const vb_trace_entry& e : trace)
      if (e.cdb[0] == 0x51) states.emplace_back(e.data[2], e.data[4]);
    EXPECT_EQ(states, (std::vector<std::pair<uint8_t, uint8_t>>{{0x01, 2}, {0x01, 3}, {0x0E, 2}}));
    EXPECT_EQ(Block(39)[0], 1);
    EXPECT_EQ(Block(c.second_start + 31)[0], 2);
    EXPECT_SENSE(drive_.Write(c.second_start + 32, 32, 3), 0x05, 0x21, 0x02);
  }
}

TEST_F(Media, BdRInSequentialRecordingMode) {
  Load("bd-r");
  ASSERT_TRUE(drive_.SetWriteParameters(2, false, 3).ok());
  ASSERT_TRUE(drive_.Write(0, 40, 1).ok());
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  EXPECT_EQ(drive_.NextWritable(2), 64u);  // tracks start on 32-block clusters
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  EXPECT_EQ(drive_.NextWritable(2), 64u + 4096);
  ASSERT_TRUE(drive_.Write(64 + 4096, 32, 2).ok());
  ASSERT_TRUE(drive_.Close(6, 0).ok());
  EXPECT_EQ(drive_.DiscStatus(), 2);
  EXPECT_SENSE(drive_.Blank(1), 0x05, 0x30, 0x00);
}

TEST_F(Media, DvdPlusRwFormatsInTheBackgroundAndIsOverwrittenAnywhere) {
  Load("dvd+rw");
  EXPECT_SENSE(drive_.Write(0, 32, 1), 0x05, 0x30, 0x05);  // unformatted
  EXPECT_SENSE(drive_.Read(0, 1), 0x05, 0x21, 0x00);
  EXPECT_EQ(drive_.DiscInfo().data[7] & 3, 0);
  const Bytes list{0x00, 0x82, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40, 0x98, 0x00, 0x00, 0x00};
  ASSERT_TRUE(drive_.Format(list).ok());
  EXPECT_EQ(WaitReady(0x04), 2);  // ready after the lead-in ...
  Result info = drive_.DiscInfo();
  EXPECT_EQ(info.data[2], 0x1F);      // erasable, random-writable
  EXPECT_EQ(info.data[7] & 3, 2);     // ... while the background format runs
  ASSERT_TRUE(drive_.Write(5000, 32, 1).ok());
  ASSERT_TRUE(drive_.Write(0, 32, 2).ok());
  ASSERT_TRUE(drive_.Write(0, 16, 3).ok());  // overwrite
  EXPECT_EQ(Block(0)[0], 3);
  EXPECT_EQ(Block(16)[0], 2);
  EXPECT_EQ(Block(5031)[0], 1);
  EXPECT_EQ(Block(100000), Bytes(2048, 0));  // formatted, never written
  ASSERT_TRUE(drive_.Close(3, 0xFF).ok());  // stops the background format
  EXPECT_EQ(drive_.DiscInfo().data[7] & 3, 1);
  ASSERT_TRUE(drive_.Format(list).ok());
  Lib().vb_advance_time(2000 * kSecond);
  EXPECT_EQ(drive_.DiscInfo().data[7] & 3, 3);
  EXPECT_EQ(Block(16)[0], 2);  // formatting again keeps what was written
  EXPECT_SENSE(drive_.Reserve(32), 0x05, 0x30, 0x00);
  EXPECT_SENSE(drive_.Blank(0), 0x05, 0x30, 0x00);
  EXPECT_SENSE(drive_.Close(1, 1), 0x05, 0x24, 0x00);
}

TEST_F(Media, DvdRamAndBdReFormatWhileTheDriveIsNotReady) {
  Load("dvd-ram", true);
  ASSERT_TRUE(drive_.Write(0, 32, 9).ok());
  ASSERT_TRUE(drive_.Format({0x00, 0x82, 0x00, 0x08, 0x00, 0x22, 0x21, 0x20, 0x00, 0x00, 0x08, 0x00}).ok());
  EXPECT_SENSE(drive_.DiscInfo(), 0x02, 0x04, 0x04);
  EXPECT_SENSE(drive_.Read(0, 1), 0x02, 0x04, 0x04);
  EXPECT_TRUE(drive_.Run({0x12, 0, 0, 0, 36, 0}, 36).ok());  // what needs no medium is answered
  EXPECT_TRUE(drive_.ModeSense(0x2A).ok());
  EXPECT_EQ(CurrentProfile(), 0x0012);
  const int seconds = WaitReady(0x04);
  EXPECT_GT(seconds, 1500);  // certification passes over the whole disc
  EXPECT_EQ(Block(0), Bytes(2048, 0));
  EXPECT_SENSE(drive_.Close(2, 0), 0x05, 0x24, 0x00);

  const std::string bd = Create(scratch_, "bd.vmed", "bd-re");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), bd.c_str()), 0);
  EXPECT_SENSE(drive_.Write(0, 32, 1), 0x05, 0x30, 0x05);
  const Bytes quick{0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x02, 0x80, 0xC0, 0x00, 0x10, 0x00};
  ASSERT_TRUE(drive_.Format(quick).ok());
  EXPECT_EQ(WaitReady(0x04), 60);
  ASSERT_TRUE(drive_.Write(0, 32, 5).ok());
  ASSERT_TRUE(drive_.Format(quick).ok());
  EXPECT_EQ(WaitReady(0x04), 10);  // a quick reformat keeps the data
  EXPECT_EQ(Block(0)[0], 5);
  ASSERT_TRUE(drive_.Format({0x00, 0x82, 0x00, 0x08, 0x00, 0xB4, 0x70, 0x00, 0xC2, 0x00, 0x00, 0x00}).ok());
  EXPECT_GT(WaitReady(0x04), 1000);  // full certification erases it
  EXPECT_EQ(Block(0), Bytes(2048, 0));
  EXPECT_SENSE(drive_.Format({0x00, 0x82, 0x00, 0x08, 0x00, 0, 0, 0, 0x98, 0, 0, 0}), 0x05, 0x26, 0x00);
  EXPECT_SENSE(drive_.Format({0x00, 0x82, 0x00, 0x08, 0x01, 0, 0, 0, 0xC0, 0, 0, 0}), 0x05, 0x26, 0x00);  // too large
  EXPECT_SENSE(drive_.Format({0x00, 0x82, 0x00, 0x0C, 0x00, 0, 0, 0, 0xC0, 0, 0, 0}), 0x05, 0x26, 0x00);
  EXPECT_SENSE(drive_.RunOut({0x04, 0x01, 0, 0, 0, 0}, quick), 0x05, 0x24, 0x00);  // without FmtData
}

TEST_F(Media, CdRwBlanksWithAnOperationInProgress) {
  Load("cd-rw");
  ASSERT_TRUE(drive_.SetWriteParameters(1, false, 3).ok());
  ASSERT_TRUE(drive_.Write(0, 64, 1).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  ASSERT_TRUE(drive_.Blank(1).ok());
  EXPECT_SENSE(drive_.DiscInfo(), 0x02, 0x04, 0x07);
  EXPECT_EQ(WaitReady(0x07), 60);
  EXPECT_EQ(drive_.DiscStatus(), 0);
  EXPECT_SENSE(drive_.Read(0, 1), 0x05, 0x21, 0x00);
  ASSERT_TRUE(drive_.Write(0, 1, 2).ok());
  const uint64_t before = Lib().vb_now();
  ASSERT_TRUE(drive_.Blank(0, false).ok());  // without Immed the command itself takes the time
  EXPECT_GT(Lib().vb_now() - before, 900 * kSecond);
  EXPECT_TRUE(drive_.TestUnitReady().ok());
  EXPECT_SENSE(drive_.Blank(5), 0x05, 0x24, 0x00);

  const std::string cdr = Create(scratch_, "r.vmed", "cd-r");
  ASSERT_EQ(Lib().vb_insert(drive_.address(), cdr.c_str()), 0);
  EXPECT_SENSE(drive_.Blank(0), 0x05, 0x30, 0x00);
  EXPECT_SENSE(drive_.Format({0x00, 0x82, 0x00, 0x08, 0, 0, 0, 0, 0x40, 0, 0, 0x10}), 0x05, 0x30, 0x00);
}

// A write that is no whole number of the medium's write unit is refused as
// MMC says: fixed packets are written whole, and a restricted-overwrite
// DVD-RW records whole ECC blocks of 16.
TEST_F(Media, WritesComeInWholeUnits) {
  struct Row {
    const char* profile;
    uint32_t fixed_packet;  // asked for in page 05h (packet writing); 0: variable
    uint16_t count;
    bool taken;
  };
  for (const Row& row : {Row{"dvd-r", 16, 32, true}, Row{"dvd-r", 16, 5, false}, Row{"dvd-r", 0, 5, true},
                         Row{"dvd-rw-ro", 0, 48, true}, Row{"dvd-rw-ro", 0, 5, false}}) {
    Load(row.profile);
    ASSERT_TRUE(drive_.SetWriteParameters(0, false, 3, row.fixed_packet).ok()) << row.profile;
    const Result written = drive_.Write(0, row.count, 1);
    if (row.taken) {
      EXPECT_TRUE(written.ok()) << row.profile << " " << row.count << ": " << SenseText(written);
    } else {
      EXPECT_SENSE(written, 0x05, 0x24, 0x00);
    }
  }
}

TEST_F(Media, DvdRwMovesBetweenSequentialAndRestrictedOverwrite) {
  Load("dvd-rw");
  EXPECT_EQ(CurrentProfile(), 0x0014);
  ASSERT_TRUE(drive_.SetWriteParameters(0, false, 0).ok());  // first a sequential burn, finalized
  ASSERT_TRUE(drive_.Write(0, 32, 1).ok());
  ASSERT_TRUE(drive_.Close(2, 0).ok());
  EXPECT_EQ(drive_.DiscStatus(), 2);
  EXPECT_SENSE(drive_.Write(32, 32, 1), 0x05, 0x21, 0x02);
  ASSERT_TRUE(drive_.Blank(0).ok());
  EXPECT_GT(WaitReady(0x07), 800);  // a full blank passes over the whole disc (at 4x)
  EXPECT_EQ(drive_.DiscStatus(), 0);
  // A quick format of 1000 blocks, as burn preparation sends it.
  ASSERT_TRUE(drive_.Format({0x00, 0xA2, 0x00, 0x08, 0x00, 0x00, 0x03, 0xE8, 0x54, 0x00, 0x00, 0x10}).ok());
  EXPECT_EQ(WaitReady(0x04), 30);
  EXPECT_EQ(CurrentProfile(), 0x0013);
  EXPECT_EQ(drive_.NextWritable(1), 1000u);
  const Result track = drive_.TrackInfo(1);
  EXPECT_EQ(track.data[6] & 0x30, 0x30);  // fixed packets ...
  EXPECT_EQ(Be32(track.data, 20), 16u);   // ... of 16 blocks
  ASSERT_TRUE(drive_.Format({0x00, 0x82, 0x00, 0x08, 0, 0, 0, 0, 0x4C, 0, 0, 0x10}).ok());  // grow the last session
  EXPECT_EQ(WaitReady(0x04), 10);
  EXPECT_EQ(drive_.NextWritable(1), 1000u);
  ASSERT_TRUE(drive_.Write(0, 32, 1).ok());
  ASSERT_TRUE(drive_.Write(1000, 32, 1).ok());
  EXPECT_EQ(drive_.NextWritable(1), 1032u);
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  ASSERT_TRUE(drive_.Close(2, 0, true).ok());
  EXPECT_EQ(WaitReady(0x07), 30);
  ASSERT_TRUE(drive_.Blank(1).ok());
  EXPECT_EQ(WaitReady(0x07), 60);
  EXPECT_EQ(CurrentProfile(), 0x0014);
  EXPECT_EQ(drive_.DiscStatus(), 0);

  const std::string ro = Create(scratch_, "ro.vmed", "dvd-rw-ro");  // fully formatted, nothing written
  ASSERT_EQ(Lib().vb_insert(drive_.address(), ro.c_str()), 0);
  EXPECT_TRUE(drive_.Write(64, 16, 1).ok());
  ASSERT_TRUE(drive_.Format({0x00, 0x82, 0x00, 0x08, 0, 0, 0, 0, 0x54, 0, 0, 0x10}).ok());  // quick: 0 blocks
  WaitReady(0x04);
  EXPECT_EQ(drive_.NextWritable(1), 0u);
  EXPECT_SENSE(drive_.Write(64, 16, 1), 0x05, 0x21, 0x02);  // beyond the formatted area
}

TEST_F(Media, ReadOnlyAndUnmodelledProfilesRefuseWriting) {
  const std::string image = scratch_.Path("image.bin");
  WriteFile(image, MinimalIso("rom"));
  const std::string rom = scratch_.Path("rom.vmed");
  ASSERT_EQ(Lib().vb_medium_from_image(rom.c_str(), "dvd-rom", image.c_str()), 0) << Lib().vb_last_error();
  const std::string hd = Create(scratch_, "hd.vmed", "hd-dvd-r");
  const std::string plus = Create(scratch_, "plus.vmed", "dvd+r");
  const std::string plus2 = Create(scratch_, "plus2.vmed", "dvd+r");
  Configure("0:0:0,medium=" + rom + ";0:1:0,medium=" + hd + ";0:2:0,class=cd-writer,medium=" + plus +
            ";0:3:0,class=dvd-rom,medium=" + plus2 + ";0:4:0,writes=cd-r,medium=" + Create(scratch_, "p3.vmed", "dvd+r"));
  EXPECT_EQ(CurrentProfile(), 0x0010);
  EXPECT_EQ(drive_.Read(16, 1).data[1], 'C');
  EXPECT_SENSE(drive_.Write(23, 1, 0), 0x05, 0x30, 0x05);
  EXPECT_SENSE(drive_.Read(23, 1), 0x05, 0x21, 0x00);
  Drive hd_drive({0, 1, 0}), cd_writer({0, 2, 0}), rom_drive({0, 3, 0}), narrow({0, 4, 0});
  EXPECT_EQ(Be16(hd_drive.Run({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8).data, 6), 0x0051);
  EXPECT_SENSE(hd_drive.Write(0, 1, 0), 0x05, 0x30, 0x05);
  EXPECT_SENSE(cd_writer.TestUnitReady(), 0x02, 0x30, 0x00);  // cannot read DVDs
  EXPECT_EQ(Be16(cd_writer.Run({0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 8).data, 6), 0x0000);
  EXPECT_SENSE(rom_drive.Write(0, 1, 0), 0x05, 0x20, 0x00);  // a reader knows no recording commands
  EXPECT_TRUE(rom_drive.TestUnitReady().ok());
  EXPECT_SENSE(narrow.Write(0, 1, 0), 0x05, 0x30, 0x05);  // a writer that writes CD-R only
}

// SEND OPC INFORMATION, which the CD and DVD-R writing features require
// (wodim calibrates with it before each burn): calibrating and handing back
// an OPC table succeed on media the drive writes and are refused elsewhere.
TEST_F(Media, PowerCalibrationOnlyWhereTheDriveWrites) {
  const Bytes two_entries = {0x1A, 0x5E, 0, 0, 0, 0, 0, 1, 0x0D, 0x2F, 0, 0, 0, 0, 0, 2};
  const struct {
    const char* profile;
    const char* options;
    uint8_t key, asc, ascq;  // all zero: accepted
  } rows[] = {
      {"cd-r", "", 0, 0, 0},          {"cd-rw", "", 0, 0, 0},   {"dvd-r", "", 0, 0, 0},
      {"dvd-rw", "", 0, 0, 0},        {"dvd+r", "", 0, 0, 0},   {"bd-r", "", 0, 0, 0},
      {"dvd+r", ",writes=cd-r", 0x05, 0x30, 0x05},  // a medium this writer does not write
      {"cd-r", ",class=dvd-rom", 0x05, 0x20, 0x00},  // a reader knows no recording commands
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.profile) + row.options);
    Load(row.profile, false, row.options);
    const Result calibrate = drive_.Run({0x54, 0x01, 0, 0, 0, 0, 0, 0, 0, 0});  // DoOpc
    const Result table = drive_.RunOut({0x54, 0, 0, 0, 0, 0, 0, 0, 16, 0}, two_entries);
    if (row.key == 0) {
      EXPECT_TRUE(calibrate.ok()) << SenseText(calibrate);
      EXPECT_TRUE(table.ok()) << SenseText(table);
      // A list that does not hold whole entries.
      EXPECT_SENSE(drive_.RunOut({0x54, 0, 0, 0, 0, 0, 0, 0, 12, 0}, Slice(two_entries, 0, 12)), 0x05, 0x1A, 0x00);
    } else {
      EXPECT_SENSE(calibrate, row.key, row.asc, row.ascq);
      EXPECT_SENSE(table, row.key, row.asc, row.ascq);
    }
  }
}

TEST_F(Media, TrayLockAndUnitAttentions) {
  Load("cd-r", false, ",ua=1");
  EXPECT_TRUE(drive_.Run({0x12, 0, 0, 0, 36, 0}, 36).ok());  // INQUIRY passes a unit attention by
  EXPECT_SENSE(drive_.TestUnitReady(), 0x06, 0x29, 0x00);   // power on, which covers the medium loaded at start
  EXPECT_TRUE(drive_.TestUnitReady().ok());
  ASSERT_TRUE(drive_.Run({0x1E, 0, 0, 0, 1, 0}).ok());
  EXPECT_EQ(drive_.ModeSense(0x2A).data[8 + 6] & 0x02, 0x02);  // lock state
  EXPECT_SENSE(drive_.Run({0x1B, 0, 0, 0, 0x02, 0}), 0x05, 0x53, 0x02);
  ASSERT_TRUE(drive_.Run({0x1E, 0, 0, 0, 0, 0}).ok());
  ASSERT_TRUE(drive_.Run({0x1B, 0, 0, 0, 0x02, 0}).ok());  // eject
  EXPECT_SENSE(drive_.TestUnitReady(), 0x02, 0x3A, 0x02);
  EXPECT_SENSE(drive_.DiscInfo(), 0x02, 0x3A, 0x02);
  ASSERT_TRUE(drive_.Run({0x1B, 1, 0, 0, 0x03, 0}).ok());  // load, immediately
  EXPECT_SENSE(drive_.TestUnitReady(), 0x06, 0x28, 0x00);
  EXPECT_SENSE(drive_.TestUnitReady(), 0x02, 0x04, 0x01);  // becoming ready
  Lib().vb_advance_time(kSecond);
  EXPECT_TRUE(drive_.TestUnitReady().ok());
  ASSERT_EQ(Lib().vb_remove(drive_.address()), 0);
  EXPECT_SENSE(drive_.TestUnitReady(), 0x02, 0x3A, 0x01);
  EXPECT_SENSE(drive_.Run({0x1B, 0, 0, 0, 0x01, 0}), 0x02, 0x3A, 0x01);  // nothing to spin up
}

TEST_F(Media, SynchronizeCacheAndClosingWaitForTheBuffer) {
  Load("dvd+r");
  ASSERT_TRUE(drive_.Write(0, 1024, 1).ok());  // 2 MiB in the buffer
  ASSERT_TRUE(drive_.Run({0x35, 0x02, 0, 0, 0, 0, 0, 0, 0, 0}).ok());
  EXPECT_SENSE(drive_.Write(1024, 1, 1), 0x02, 0x04, 0x08);  // long write in progress
  Lib().vb_advance_time(2097152 * 1000 / 22160 + 1);
  EXPECT_TRUE(drive_.Write(1024, 32, 1).ok());
  const uint64_t before = Lib().vb_now();
  ASSERT_TRUE(drive_.Close(1, 1).ok());
  EXPECT_EQ(Lib().vb_now() - before, kSecond + (65536 * 1000 + 22159) / 22160);
}

}  // namespace
}  // namespace vbtest
