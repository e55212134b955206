// SPDX-License-Identifier: Apache-2.0
// Every command routine, as the drive received it: the command block and
// the direction and length of its data.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "drive/mmc_commands.h"
#include "drive_fixture.h"

namespace orvex {
namespace {

using mmc::TCloseFunction;
using test::DriveTest;

struct TBlockCase {
  const char* name;
  std::function<void(TSCSIDevice&, uint8_t*)> send;
  std::vector<uint8_t> cdb;
  uint32_t data_in, data_out;
};

void PrintTo(const TBlockCase& c, std::ostream* os) { *os << c.name; }

const TBlockCase kBlocks[] = {
    {"TEST UNIT READY", [](TSCSIDevice& d, uint8_t*) { TestUnitReady(d); }, {0x00, 0, 0, 0, 0, 0}, 0, 0},
    {"REZERO UNIT", [](TSCSIDevice& d, uint8_t*) { RezeroUnit(d); }, {0x01, 0, 0, 0, 0, 0}, 0, 0},
    {"INQUIRY", [](TSCSIDevice& d, uint8_t* b) { Inquiry(d, b); }, {0x12, 0, 0, 0, 0x40, 0}, 64, 0},
    {"load", [](TSCSIDevice& d, uint8_t*) { LoadMedium(d, true); }, {0x1B, 1, 0, 0, 0x03, 0}, 0, 0},
    {"eject", [](TSCSIDevice& d, uint8_t*) { EjectMedium(d, false); }, {0x1B, 0, 0, 0, 0x02, 0}, 0, 0},
    {"lock", [](TSCSIDevice& d, uint8_t*) { LockMedium(d); }, {0x1E, 0, 0, 0, 1, 0}, 0, 0},
    {"unlock", [](TSCSIDevice& d, uint8_t*) { UnlockMedium(d); }, {0x1E, 0, 0, 0, 0, 0}, 0, 0},
    {"READ FORMAT CAPACITIES", [](TSCSIDevice& d, uint8_t* b) { uint32_t n; ReadFormatCapacities(d, b, &n); },
     {0x23, 0, 0, 0, 0, 0, 0, 0, 0x7C, 0}, 124, 0},
    {"SYNCHRONIZE CACHE", [](TSCSIDevice& d, uint8_t*) { SynchronizeCache(d, true); },
     {0x35, 0x02, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 0},
    {"ATIP", [](TSCSIDevice& d, uint8_t* b) { ReadTOC(d, 4, 0, 30, b, true); }, {0x43, 0x02, 4, 0, 0, 0, 0, 0, 30, 0}, 30, 0},
    {"GET CONFIGURATION", [](TSCSIDevice& d, uint8_t* b) { GetConfiguration(d, b, 112, 0x003B); },
     {0x46, 0x02, 0x00, 0x3B, 0, 0, 0, 0, 112, 0}, 112, 0},
    {"GET EVENT STATUS NOTIFICATION", [](TSCSIDevice& d, uint8_t* b) { GetEventStatusNotification(d, 0x10, b, 8); },
     {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0}, 8, 0},
    {"READ DISC INFORMATION", [](TSCSIDevice& d, uint8_t* b) { ReadDiscInformation(d, b, 64); },
     {0x51, 0, 0, 0, 0, 0, 0, 0, 64, 0}, 64, 0},
    {"READ TRACK INFORMATION", [](TSCSIDevice& d, uint8_t*) { ReadTrackInformation(d, 0xFF); },
     {0x52, 0x01, 0, 0, 0, 0xFF, 0, 0, 0x26, 0}, 38, 0},
    {"RESERVE TRACK", [](TSCSIDevice& d, uint8_t*) { ReserveTrack(d, 0x12345678); },
     {0x53, 0, 0, 0, 0, 0x12, 0x34, 0x56, 0x78, 0}, 0, 0},
    {"MODE SENSE", [](TSCSIDevice& d, uint8_t* b) { ModeSense10(d, b, 128, true, 0x2A); },
     {0x5A, 0, 0xAA, 0, 0, 0, 0, 0, 128, 0}, 128, 0},
    {"close the session", [](TSCSIDevice& d, uint8_t*) { CloseTrackSession(d, TCloseFunction::kSession, 0xFF, true); },
     {0x5B, 1, 2, 0, 0, 0xFF, 0, 0, 0, 0}, 0, 0},
    {"close a track", [](TSCSIDevice& d, uint8_t*) { CloseTrackSession(d, TCloseFunction::kTrack, 0x0103, false); },
     {0x5B, 0, 1, 0, 0x01, 0x03, 0, 0, 0, 0}, 0, 0},
    {"compatible stop",
     [](TSCSIDevice& d, uint8_t*) { CloseTrackSession(d, TCloseFunction::kCompatibleStop, 0, false); },
     {0x5B, 0, 3, 0, 0, 0, 0, 0, 0, 0}, 0, 0},
    {"finalize", [](TSCSIDevice& d, uint8_t*) { CloseTrackSession(d, TCloseFunction::kFinalize, 0, true); },
     {0x5B, 1, 6, 0, 0, 0, 0, 0, 0, 0}, 0, 0},
    {"READ BUFFER CAPACITY", [](TSCSIDevice& d, uint8_t*) { ReadBufferCapacityCommand(d); },
     {0x5C, 0, 0, 0, 0, 0, 0, 0, 0x20, 0}, 32, 0},
    {"quick BLANK", [](TSCSIDevice& d, uint8_t*) { BlankDisc(d, true); }, {0xA1, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 0},
    {"full BLANK", [](TSCSIDevice& d, uint8_t*) { BlankDisc(d, false); }, {0xA1, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 0},
    {"FORMAT UNIT",
     [](TSCSIDevice& d, uint8_t*) {
       const uint8_t list[12] = {0, 0x82, 0, 8, 0, 0x23, 0x05, 0x40, 0x98, 0, 0, 0};
       FormatUnit(d, 0x11, list, sizeof list);
     },
     {0x04, 0x11, 0, 0, 0, 0}, 0, 12},
};

class CommandBlockTest : public DriveTest, public ::testing::WithParamInterface<TBlockCase> {};

TEST_P(CommandBlockTest, AsTheDriveReceivedIt) {
  const TBlockCase& c = GetParam();
  Load("cd-rw", "class=cd-writer");
  uint8_t buffer[512] = {};
  const auto trace = Traced([&] { c.send(disc.Device, buffer); });
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(std::vector<uint8_t>(trace[0].cdb, trace[0].cdb + trace[0].cdb_length), c.cdb);
  EXPECT_EQ(trace[0].flags & 0x18, c.data_in > 0 ? 0x08 : c.data_out > 0 ? 0x10 : 0);
  EXPECT_LE(trace[0].data_in_length, c.data_in);
  EXPECT_EQ(trace[0].data_out_length, c.data_out);
}

INSTANTIATE_TEST_SUITE_P(Routines, CommandBlockTest, ::testing::ValuesIn(kBlocks), [](const auto& param_info) {
  std::string name = param_info.param.name;
  for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

}  // namespace
}  // namespace orvex
