// SPDX-License-Identifier: Apache-2.0
// A drive's answers as the kernel's target gets them: status, sense and
// the bytes of data in, for commands whose buffers fit and do not.
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "vburner/clock.h"
#include "vburner/config.h"
#include "vburner/drive.h"
#include "vburner/medium.h"
#include "vburner/profiles.h"
#include "vburner/tcmu_answer.h"

namespace orvex::vburner {
namespace {

class TcmuAnswer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    const std::string medium = dir_ / "disc.vmed";
    ASSERT_TRUE(Medium::Create(medium, *FindProfile("dvd+r"), 0, false, Existing::kRefuse, error)) << error;
    clock_.SetScale(0);
    auto config = ParseConfig("0:0:0,medium=" + medium, error);
    ASSERT_TRUE(config) << error;
    drive_ = std::make_unique<Drive>(config->drives[0], clock_, nullptr);
    ASSERT_TRUE(drive_->Insert(Medium::Open(medium, BlockStore::Access::kDrive, error), error)) << error;
  }
  test::TempDir dir_;
  Clock clock_;
  std::unique_ptr<Drive> drive_;
};

TEST_F(TcmuAnswer, StatusSenseAndDataInReachTheRing) {
  struct Row {
    const char* name;
    std::vector<uint8_t> cdb;
    uint32_t buffer;
    uint8_t status;
    uint8_t key, asc, ascq;  // with CHECK CONDITION
    uint32_t data_in;        // UINT32_MAX: fewer than the buffer, more than 8
  } rows[] = {
      {"inquiry", {0x12, 0, 0, 0, 96, 0}, 96, kScsiGood, 0, 0, 0, 96},
      {"inquiry cut to its allocation length", {0x12, 0, 0, 0, 36, 0}, 36, kScsiGood, 0, 0, 0, 36},
      {"an answer shorter than the buffer", {0x46, 0x02, 0, 0, 0, 0, 0, 0xFF, 0xFA, 0}, 65530, kScsiGood, 0, 0, 0,
       UINT32_MAX},
      {"test unit ready", {0x00, 0, 0, 0, 0, 0}, 0, kScsiGood, 0, 0, 0, 0},
      {"an unknown command", {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, kScsiCheckCondition, 0x05, 0x20, 0x00, 0},
      {"a CDB longer than 16 bytes", std::vector<uint8_t>(32, 0x7F), 0, kScsiCheckCondition, 0x05, 0x20, 0x00, 0},
      {"a buffer smaller than the allocation length", {0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 100, 0}, 50,
       kScsiCheckCondition, 0x05, 0x0E, 0x03, 0},
      {"data out shorter than the CDB's transfer", {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 1024, kScsiCheckCondition, 0x05,
       0x0E, 0x03, 0},
      {"a read of a blank disc", {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 2048, kScsiCheckCondition, 0x05, 0x21, 0x00, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<uint8_t> buffer(r.buffer, 0xEE);
    const RingAnswer a = AnswerByDrive(*drive_, r.cdb, buffer);
    EXPECT_EQ(a.status, r.status);
    if (r.status == kScsiCheckCondition) {
      ASSERT_GE(a.sense.size(), 14u);
      EXPECT_EQ(a.sense[0] & 0x7F, 0x70);
      EXPECT_EQ(a.sense[2] & 0x0F, r.key);
      EXPECT_EQ(a.sense[12], r.asc);
      EXPECT_EQ(a.sense[13], r.ascq);
      EXPECT_EQ(a.sense.size(), size_t{a.sense[7]} + 8u);
    } else {
      EXPECT_TRUE(a.sense.empty());
    }
    if (r.data_in == UINT32_MAX) {
      EXPECT_GT(a.data_in, 8u);
      EXPECT_LT(a.data_in, r.buffer);
    } else {
      EXPECT_EQ(a.data_in, r.data_in);
    }
  }
}

TEST_F(TcmuAnswer, AnInquiryNamesAnOpticalDriveSoThatTheCdDriverBinds) {
  std::vector<uint8_t> buffer(36);
  ASSERT_EQ(AnswerByDrive(*drive_, std::vector<uint8_t>{0x12, 0, 0, 0, 36, 0}, buffer).status, kScsiGood);
  EXPECT_EQ(buffer[0] & 0x1F, 0x05);  // CD/DVD device
  EXPECT_NE(buffer[1] & 0x80, 0);     // removable medium
}

TEST_F(TcmuAnswer, WrittenBlocksArriveOnTheMedium) {
  // A reservation-free write at block 0 of a blank DVD+R, then read back.
  std::vector<uint8_t> out(2048 * 16);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> write = {0x2A, 0, 0, 0, 0, 0, 0, 0, 16, 0};
  ASSERT_EQ(AnswerByDrive(*drive_, write, out).status, kScsiGood);
  std::vector<uint8_t> in(out.size());
  const RingAnswer read = AnswerByDrive(*drive_, std::vector<uint8_t>{0x28, 0, 0, 0, 0, 0, 0, 0, 16, 0}, in);
  ASSERT_EQ(read.status, kScsiGood);
  EXPECT_EQ(read.data_in, out.size());
  EXPECT_EQ(in, out);
}

TEST(TcmuRefusal, EveryCommandIsRefusedAsAnUnsupportedUnit) {
  for (const uint8_t opcode : {0x00, 0x12, 0x1E, 0x35}) {
    const RingAnswer a = RefuseCommand(std::vector<uint8_t>{opcode, 0, 0, 0, 0, 0}, {});
    EXPECT_EQ(a.status, kScsiCheckCondition);
    ASSERT_GE(a.sense.size(), 14u);
    EXPECT_EQ(a.sense[2] & 0x0F, 0x05);
    EXPECT_EQ(a.sense[12], 0x25);
  }
}

}  // namespace
}  // namespace orvex::vburner
