// SPDX-License-Identifier: Apache-2.0
// Finding the drives: through the driver library, and what happens when
// there is none to use.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "answering_transport.h"
#include "drive/device_enumeration.h"
#include "drive_fixture.h"
#include "platform/sg_io.h"

namespace orvex {
namespace {

using test::DriveTest;

TEST_F(DriveTest, TheLibrarysDrivesInAddressOrder) {
  vbtest::Configure("1:2:0,class=cd-writer,letter=F;0:3:1,class=dvd-writer,vendor=ACME,product=SPEEDY,revision=0.9;"
                    "0:0:0,class=bd-rom");
  ASSERT_TRUE(disc.InitializeASPI(true, VBURNER_LIBRARY, ""));
  ASSERT_EQ(disc.DeviceCount(), 3);
  EXPECT_EQ(disc.GetDeviceName(0), "0:0:0,?: ORVEX    VIRTUAL BD-ROM   1.00 ");
  EXPECT_EQ(disc.GetDeviceName(1), "0:3:1,?: ACME     SPEEDY           0.9  ");
  EXPECT_EQ(disc.GetDeviceName(2), "1:2:0,F: ORVEX    VIRTUAL CD-RW    1.00 ");
  EXPECT_EQ(disc.GetDeviceName(3), "");
  ASSERT_TRUE(disc.SelectDevice(1));
  EXPECT_EQ(disc.DeviceVendor(), "ACME    ");
  EXPECT_EQ(disc.DeviceProduct(), "SPEEDY          ");
  EXPECT_TRUE(disc.SelectDeviceByLetter('F'));
  EXPECT_EQ(disc.Device.HaID, 1);
  EXPECT_FALSE(disc.SelectDeviceByLetter('Q'));
  EXPECT_FALSE(disc.SelectDeviceByLetter(0));
}

// Two rows of one letter are selected in turn; the second stays selected.
TEST_F(DriveTest, ALetterTwoDrivesShare) {
  vbtest::Configure("0:1:0,class=cd-writer,letter=G;0:2:0,class=dvd-writer,letter=G");
  ASSERT_TRUE(disc.InitializeASPI(true, VBURNER_LIBRARY, ""));
  const auto inquiries = Traced([&] { EXPECT_TRUE(disc.SelectDeviceByLetter('G')); }, {0, 1, 0});
  EXPECT_FALSE(inquiries.empty());
  EXPECT_EQ(disc.Device.Target, 2);
}

// A kernel drive is named by its whole SCSI address, and one on a host
// adapter numbered 255 or more can still be selected and reached, as a
// drive (not as "no drive", nor as the drive on a host adapter the number
// cut to 8 bits would name).
TEST(LetterRows, KeepTheWholeAddress) {
  struct Row {
    std::optional<TScsiAddress> address;
    const char* name;
    uint8_t selected_host;
  };
  const Row rows[] = {
      {TScsiAddress{0, 0, 1, 0}, "0:1:0,D: ACME     SPEEDY           0.9  ", 0},
      {TScsiAddress{254, 0, 0, 0}, "254:0:0,D: ACME     SPEEDY           0.9  ", 254},
      {TScsiAddress{255, 0, 0, 0}, "255:0:0,D: ACME     SPEEDY           0.9  ", 254},
      {TScsiAddress{256, 0, 3, 1}, "256:3:1,D: ACME     SPEEDY           0.9  ", 254},
      {std::nullopt, "0:0:0,D: ACME     SPEEDY           0.9  ", 0},
  };
  for (const Row& row : rows) {
    uint8_t inquiry[64] = {5};
    std::memcpy(inquiry + 8, "ACME    ", 8);
    std::memcpy(inquiry + 16, "SPEEDY          ", 16);
    std::memcpy(inquiry + 32, "0.9 ", 4);
    auto owned = std::make_unique<TSCSIDevice>();
    TSCSIDevice& device = *owned;
    device.Devices[0] = LetterRow('D', row.address, inquiry);
    device.NoOfDevices = 1;
    EXPECT_EQ(GetDeviceName(device, 0), row.name);

    auto transport = std::make_unique<test::AnsweringTransport>(kSrbStatusDone);
    const auto& sent = transport->addresses;
    device.Transport = std::move(transport);
    device.ASPIInitialized = device.UsingSPTI = true;
    EXPECT_TRUE(SelectDevice(device, 0)) << row.name;
    EXPECT_EQ(device.DriveLetter, 'D') << row.name;
    ASSERT_FALSE(sent.empty()) << row.name;
    EXPECT_EQ(sent.front()[0], row.selected_host) << row.name;
  }
}

// A machine whose driver library cannot be used, or a library asked not to
// be used: no drive, and nothing reaches one.
TEST_F(DriveTest, NoUsableLibrary) {
  const std::string not_a_library = scratch.Path("text.so");
  std::ofstream(not_a_library) << "no code here";
  for (const std::string& library : {scratch.Path("missing.so"), not_a_library, std::string("libm.so.6"),
                                     std::string(VBURNER_LIBRARY), std::string(kNoDriverLibrary)}) {
    // The burner with no drive says it cannot be used; with one, it is
    // still not asked when no library is wanted.
    vbtest::Configure(library == kNoDriverLibrary ? "0:0:0,class=dvd-writer" : "");
    EXPECT_FALSE(disc.InitializeASPI(true, library, "")) << library;
    EXPECT_FALSE(disc.DriverLibraryProblem().empty()) << library;
    EXPECT_EQ(disc.DeviceCount(), 0);
    EXPECT_EQ(disc.GetDeviceName(0), "");
    EXPECT_FALSE(disc.SelectDevice(0));
    EXPECT_FALSE(disc.TestUnitReady());
    EXPECT_EQ(disc.DiscIs(), TMedium::mtUNKNOWN);
  }
}

// Without NoInternalASPI the letters are looked at first; this machine's
// kernel drives (if any) come before the library's.
TEST_F(DriveTest, TheLetterScanIsLoggedAndSkippedWhenAsked) {
  const std::string log = scratch.Path("scan.log");
  vbtest::Configure("0:0:0,class=dvd-writer");
  disc.InitializeASPI(false, VBURNER_LIBRARY, log);
  disc.DeviceCan(73);
  std::ifstream in(log);
  std::string first, second;
  std::getline(in, first);
  std::getline(in, second);
  EXPECT_EQ(first, "GetOrvexVersion\r");
  if (!IsOpticalDrive('C')) {
    EXPECT_EQ(second, "C: ( 1)\r");
  }

  disc.InitializeASPI(true, VBURNER_LIBRARY, log);
  disc.DeviceCan(73);
  std::ifstream again(log);
  std::getline(again, first);
  std::getline(again, second);
  EXPECT_EQ(second.find("C: ("), std::string::npos) << second;
}

// A drive whose first INQUIRY of the scan is refused or answered short (a
// drive just reset, or still starting up) is asked again and found.
struct TInquiryFault {
  const char* name;
  void (*inject)(vb_address);
};

const TInquiryFault kInquiryFaults[] = {
    {"NotReady", [](vb_address d) { vbtest::Lib().vb_fault_fail(d, 0x12, 1, 0x02, 0x04, 0x01); }},
    {"ShortOfTheIdentification", [](vb_address d) { vbtest::Lib().vb_fault_short_transfer(d, 0x12, 8); }},
    {"UnitAttention", [](vb_address d) { vbtest::Lib().vb_fault_fail(d, 0x12, 1, 0x06, 0x29, 0x00); }},
};

class UntrustedInquiry : public DriveTest, public ::testing::WithParamInterface<TInquiryFault> {};

TEST_P(UntrustedInquiry, IsAskedAgain) {
  vbtest::Configure("0:1:0,class=dvd-writer");
  GetParam().inject({0, 1, 0});
  const auto trace = Traced([&] { ASSERT_TRUE(disc.InitializeASPI(true, VBURNER_LIBRARY, "")); }, {0, 1, 0});
  ASSERT_EQ(disc.DeviceCount(), 1);
  EXPECT_EQ(disc.GetDeviceName(0), "0:1:0,?: ORVEX    VIRTUAL DVD-RW   1.00 ");
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ(trace[0].cdb[0], 0x12);
  EXPECT_NE(trace[0].status, kSrbStatusDone);
  EXPECT_EQ(trace.back().cdb[0], 0x12);
  EXPECT_EQ(trace.back().status, kSrbStatusDone);
}

INSTANTIATE_TEST_SUITE_P(Faults, UntrustedInquiry, ::testing::ValuesIn(kInquiryFaults),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace orvex
