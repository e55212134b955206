// SPDX-License-Identifier: Apache-2.0
// A drive that answers wrongly: short data, a length field larger than the
// data, an unknown profile, a sense area of zeros.  The component reads
// nothing beyond what arrived (the sanitizers watch) and gives sound values.
#include <gtest/gtest.h>

#include <functional>

#include "drive_fixture.h"

namespace orvex {
namespace {

using test::DriveTest;

struct TBadAnswer {
  const char* name;
  std::function<void(vb_address)> fault;
};

void PrintTo(const TBadAnswer& c, std::ostream* os) { *os << c.name; }

const TBadAnswer kBadAnswers[] = {
    {"disc information claiming 64 KiB", [](vb_address d) { vbtest::Lib().vb_fault_length(d, 0x51, 0xFFFF); }},
    {"a feature list claiming 4 GiB", [](vb_address d) { vbtest::Lib().vb_fault_length(d, 0x46, 0xFFFFFFF0); }},
    {"a mode page claiming 64 KiB", [](vb_address d) { vbtest::Lib().vb_fault_length(d, 0x5A, 0xFFFF); }},
    {"format capacities claiming 255 bytes", [](vb_address d) { vbtest::Lib().vb_fault_length(d, 0x23, 0xFF); }},
    {"track information claiming 64 KiB", [](vb_address d) { vbtest::Lib().vb_fault_length(d, 0x52, 0xFFFF); }},
    {"4 bytes of configuration", [](vb_address d) { vbtest::Lib().vb_fault_short_transfer(d, 0x46, 4); }},
    {"10 bytes of a mode page", [](vb_address d) { vbtest::Lib().vb_fault_short_transfer(d, 0x5A, 10); }},
    {"6 bytes of track information", [](vb_address d) { vbtest::Lib().vb_fault_short_transfer(d, 0x52, 6); }},
    {"2 bytes of disc information", [](vb_address d) { vbtest::Lib().vb_fault_short_transfer(d, 0x51, 2); }},
    {"an unknown profile", [](vb_address d) { vbtest::Lib().vb_fault_profile(d, 0x1234); }},
    {"a sense area of zeros", [](vb_address d) { vbtest::Lib().vb_fault_empty_sense(d, 0x51); }},
};

class BadAnswerTest : public DriveTest, public ::testing::WithParamInterface<TBadAnswer> {};

TEST_P(BadAnswerTest, EveryQuestionStillGetsASoundAnswer) {
  Load("dvd+r", "class=dvd-writer");
  GetParam().fault({0, 0, 0});
  // A drive whose GET CONFIGURATION fails is taken for one older than it:
  // its medium then comes from the fallbacks.
  disc.DiscIs();
  disc.SessionsOnDisc();
  EXPECT_LE(disc.FreeBlocksOnDisc(), 2295104u);
  EXPECT_LE(disc.TotalBlocksOnDisc(), 2295104u);
  disc.Writable();
  disc.Erasable();
  disc.WriteSpeed();
  disc.ReadDeviceBuffer();
  // Whatever happened, the next questions are answered as if nothing had.
  vbtest::Lib().vb_fault_clear({0, 0, 0});
  EXPECT_EQ(disc.DiscIs(), TMedium::mtDVDPLUSR);
  EXPECT_EQ(disc.FreeBlocksOnDisc(), 2295104u);
}

INSTANTIATE_TEST_SUITE_P(Faults, BadAnswerTest, ::testing::ValuesIn(kBadAnswers), [](const auto& param_info) {
  std::string name = param_info.param.name;
  for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

TEST_F(DriveTest, AnUnknownProfileIsNoMedium) {
  Load("dvd+r", "class=dvd-writer");
  vbtest::Lib().vb_fault_profile({0, 0, 0}, 0x1234);
  EXPECT_EQ(disc.DiscIs(), TMedium::mtUNKNOWN);
}

}  // namespace
}  // namespace orvex
