// SPDX-License-Identifier: Apache-2.0
// Burning a tree and an existing image to every writable medium the
// virtual burner models, each disc judged by the peer tools.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "drive/burn_fixture.h"
#include "drive/transport.h"
#include "platform/byte_order.h"

namespace orvex::test {
namespace {

struct TMediumCase {
  const char* profile;
  bool formatted;
};

class BurnEveryMedium : public BurnTest, public ::testing::WithParamInterface<TMediumCase> {};

TEST_P(BurnEveryMedium, BurnsAndReadersSeeTheTree) {
  Load(GetParam().profile, "class=bd-writer", GetParam().formatted);
  const std::string source = Source("src");
  Lay(source);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ASSERT_TRUE(outcome.started) << disc.ErrorString();
  EXPECT_EQ(UnguardedRecording(trace), "");
  EXPECT_EQ(outcome.events, 1);
  EXPECT_FALSE(outcome.failed) << outcome.error;
  EXPECT_EQ(outcome.error, 0u);
  EXPECT_EQ(disc.BlocksWritten(), disc.ImageSize());
  EXPECT_EQ(Judge(Export(), source), "");
}

INSTANTIATE_TEST_SUITE_P(Media, BurnEveryMedium,
                         ::testing::Values(TMediumCase{"cd-r", false}, TMediumCase{"cd-rw", false},
                                           TMediumCase{"dvd-r", false}, TMediumCase{"dvd-rw", false},
                                           TMediumCase{"dvd-rw-ro", false}, TMediumCase{"dvd+r", false},
                                           TMediumCase{"dvd+r-dl", false}, TMediumCase{"dvd+rw", false},
                                           TMediumCase{"dvd+rw", true}, TMediumCase{"dvd-ram", true},
                                           TMediumCase{"bd-r", false}, TMediumCase{"bd-re", true}),
                         [](const ::testing::TestParamInfo<TMediumCase>& param) {
                           std::string name = param.param.profile;
                           for (char& c : name) c = c == '+' ? 'p' : std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name + (param.param.formatted ? "_formatted" : "");
                         });

}  // namespace
}  // namespace orvex::test

namespace orvex::test {
namespace {

// An image made by another tool, of a size that is no whole number of
// sectors: written from block 0, its last sector filled up with zeros.
TEST_F(BurnTest, BurnsAnImageMadeByGenisoimage) {
  Load("dvd+r");
  const std::string source = Source("src");
  const std::string image = scratch.Path("peer.iso");
  const TToolResult made = RunTool({"genisoimage", "-quiet", "-J", "-o", image, source});
  ASSERT_EQ(made.status, 0) << made.err;
  {
    std::ofstream(image, std::ios::binary | std::ios::app) << std::string(1000, '\x7f');
  }
  const uint64_t bytes = std::filesystem::file_size(image);
  TOutcome outcome;
  const auto trace = Traced([&] { outcome = Run([&] { return disc.BurnISOImage(image); }); });
  ASSERT_TRUE(outcome.started) << outcome.error;
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(disc.ImageSize(), (bytes + 2047) / 2048);
  EXPECT_EQ(Writing(trace).rfind("2a@0 ", 0), 0u);
  EXPECT_EQ(UnguardedRecording(trace), "");
  std::ifstream exported(Export(), std::ios::binary);
  const std::string burned((std::istreambuf_iterator<char>(exported)), std::istreambuf_iterator<char>());
  std::ifstream original(image, std::ios::binary);
  const std::string wanted((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
  ASSERT_EQ(burned.size(), disc.ImageSize() * 2048ull);
  EXPECT_TRUE(burned.compare(0, wanted.size(), wanted) == 0) << "the image's bytes differ";
  EXPECT_EQ(burned.find_first_not_of('\0', wanted.size()), std::string::npos) << "the filler is not zeros";
}

// An image whose size is no whole number of the medium's write unit: its
// last packet goes out filled up with zero blocks where the drive takes
// only whole ones (16 on a restricted-overwrite DVD-RW and in DVD-R's
// fixed packets), and as it is elsewhere; the image's size stays its own.
TEST_F(BurnTest, TheLastPacketIsFilledUpToTheWriteUnit) {
  const std::string image = scratch.Path("odd.iso");
  for (const auto& [profile, unit] : {std::pair{"dvd-rw-ro", 16u}, {"dvd-r", 16u}, {"dvd+r", 1u}}) {
    Load(profile);
    if (!std::filesystem::exists(image)) {
      Lay(Source("src"));
      ASSERT_FALSE(Run([&] { return disc.BuildISOImage(image); }).failed);
      std::ofstream(image, std::ios::binary | std::ios::app) << std::string(5 * 2048, '\x7f');
    }
    const uint32_t blocks = static_cast<uint32_t>(std::filesystem::file_size(image) / 2048);
    ASSERT_NE(blocks % 16, 0u);
    TOutcome outcome;
    const auto trace = Traced([&] { outcome = Run([&] { return disc.BurnISOImage(image); }); });
    ASSERT_TRUE(outcome.started) << profile << ": " << outcome.error;
    EXPECT_FALSE(outcome.failed) << profile << ": " << outcome.error;
    EXPECT_EQ(disc.ImageSize(), blocks) << profile;
    EXPECT_EQ(disc.BlocksWritten(), blocks) << profile;
    uint32_t sent = 0;
    for (const vb_trace_entry& e : trace) {
      if (e.cdb[0] != 0x2A) continue;
      const uint32_t count = e.cdb[7] << 8 | e.cdb[8];
      EXPECT_EQ(count % unit, 0u) << profile << ": a WRITE of " << count << " blocks";
      sent += count;
    }
    EXPECT_EQ(sent, (blocks + unit - 1) / unit * unit) << profile;
    std::ifstream exported(Export(), std::ios::binary);
    const std::string burned((std::istreambuf_iterator<char>(exported)), std::istreambuf_iterator<char>());
    std::ifstream original(image, std::ios::binary);
    const std::string wanted((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
    EXPECT_EQ(burned.compare(0, wanted.size(), wanted), 0) << profile << ": the image's bytes differ";
    EXPECT_EQ(burned.find_first_not_of('\0', wanted.size()), std::string::npos) << profile << ": the filler";
  }
}

// A restricted-overwrite DVD-RW is written in whole ECC blocks (16) that
// start on an ECC block.  One quick-formatted to a size that is no multiple
// of 16 reports that size as its next writable address: the new session
// starts at the next ECC block, and its volume is found there.
TEST_F(BurnTest, OnRestrictedOverwriteTheSessionStartsOnAnEccBlock) {
  Load("dvd-rw");
  vbtest::Drive drive;
  // Quick format (type 15h) of 1005 blocks.
  ASSERT_TRUE(drive.Format({0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x03, 0xED, 0x54, 0x00, 0x00, 0x10}).ok());
  vbtest::Lib().vb_advance_time(60'000'000);
  ASSERT_EQ(drive.NextWritable(1), 1005u);
  disc.SetVolumeID("ALIGNED");
  Lay(Source("src"));
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ASSERT_TRUE(outcome.started) << outcome.error;
  EXPECT_FALSE(outcome.failed) << outcome.error;
  EXPECT_EQ(disc.CDFiles.FirstWritableSector, 1008u);
  for (const vb_trace_entry& e : trace) {
    if (e.cdb[0] != 0x2A) continue;
    EXPECT_EQ(GetBE32(&e.cdb[2]) % 16, 0u) << "a WRITE at " << GetBE32(&e.cdb[2]);
  }
  EXPECT_EQ(disc.ReadVolumeLabelOfDisc(0), u"ALIGNED");
}

// A test write goes through every step of a burn on the media that can
// simulate; the disc stays blank, and a sequential DVD-RW unformatted.
TEST_F(BurnTest, ATestWriteRecordsNothing) {
  for (const char* profile : {"cd-r", "dvd-r", "dvd-rw"}) {
    Load(profile);
    Lay(Source("src"));
    disc.SetTestWrite(true);
    TOutcome outcome;
    const auto trace = TracedBurn(outcome);
    EXPECT_FALSE(outcome.failed) << profile;
    EXPECT_EQ(disc.BlocksWritten(), disc.ImageSize()) << profile;
    EXPECT_EQ(Sent(trace, 0x04), 0u) << profile << ": formatted";
    EXPECT_EQ(vbtest::Drive().DiscStatus(), 0) << profile << ": the disc is still empty";
  }
}

// The drive's own transport, but with the transfer limit a test gives it.
class LimitedTransport final : public TTransport {
 public:
  LimitedTransport(std::unique_ptr<TTransport> inner, uint32_t limit) : inner_(std::move(inner)), limit_(limit) {}
  uint8_t Send(TSCSIDevice& device, TSRB_ExecSCSICmd& request) override { return inner_->Send(device, request); }
  void WaitFor(TSRB_ExecSCSICmd& request) override { inner_->WaitFor(request); }
  void Interrupt() override { inner_->Interrupt(); }
  void Halt() override { inner_->Halt(); }
  void Resume() override { inner_->Resume(); }
  uint32_t TransferLimit(TSCSIDevice&) override { return limit_; }

 private:
  std::unique_ptr<TTransport> inner_;
  uint32_t limit_;
};

struct TLimitCase {
  const char* profile;
  uint32_t limit;    // what the transport says; 0: it cannot tell
  uint32_t largest;  // the largest WRITE(10) expected, in bytes
};

class WriteLimit : public BurnTest, public ::testing::WithParamInterface<TLimitCase> {};

// No WRITE(10) carries more than the transport allows, in whole write units
// of the medium (one at least: a limit below a unit, which no adapter for
// optical drives has, cannot be kept), nor more than a packet; the writes
// follow one another block by block, and the disc holds the tree whole.
TEST_P(WriteLimit, KeepsEveryWriteWithinTheTransfer) {
  const TLimitCase& c = GetParam();
  Load(c.profile, "class=bd-writer", false);
  disc.Device.Transport = std::make_unique<LimitedTransport>(std::move(disc.Device.Transport), c.limit);
  const std::string source = Source("src");
  Lay(source);
  TOutcome outcome;
  const auto trace = TracedBurn(outcome);
  ASSERT_TRUE(outcome.started) << disc.ErrorString();
  EXPECT_FALSE(outcome.failed) << outcome.error;
  uint32_t largest = 0, next = 0;
  bool first = true;
  for (const vb_trace_entry& e : trace) {
    if (e.cdb[0] != 0x2A || e.status != kSrbStatusDone) continue;
    const uint32_t lba = GetBE32(&e.cdb[2]);
    if (!first) {
      EXPECT_EQ(lba, next) << "a gap or an overlap between writes";
    }
    first = false;
    next = lba + GetBE16(&e.cdb[7]);
    largest = std::max(largest, e.data_out_length);
  }
  EXPECT_EQ(largest, c.largest);
  EXPECT_EQ(Judge(Export(), source), "");
}

INSTANTIATE_TEST_SUITE_P(Limits, WriteLimit,
                         ::testing::Values(TLimitCase{"cd-r", 0, 65536}, TLimitCase{"cd-r", 30 * 1024, 30 * 1024},
                                           TLimitCase{"cd-r", 1 << 20, 65536}, TLimitCase{"dvd+r", 40 * 1024, 40 * 1024},
                                           TLimitCase{"dvd-r", 40 * 1024, 32 * 1024},
                                           TLimitCase{"dvd-r", 20 * 1024, 32 * 1024},
                                           TLimitCase{"bd-r", 65536, 65536}));

}  // namespace
}  // namespace orvex::test
