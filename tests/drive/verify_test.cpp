// Verification of a recorded disc against its sources: which files it
// reads and how, what each kind of fault does to the events, and aborts.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <utility>

#include "disc_fixture.h"
#include "services/verify_job.h"

namespace orvex {
namespace {

using test::DiscTest;
using test::Reads;
using Event = test::TVerifyEvent;
constexpr Event kGoodEnd{-1, false}, kFailedEnd{-1, true};

class VerifyTest : public DiscTest {
 protected:
  // The standard tree: an empty file, one of a single READ, one of two
  // (100,000 bytes: 32 + 17 blocks), a memory file, a directory with a file.
  void MakeTree() {
    disc.ClearAll();
    empty = Insert("empty.txt", 0);
    one = Insert("one.bin", 5000, 1);
    big = Insert("big.bin", 100000, 2);
    WIN32_FIND_DATAW fd;
    fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFindName(fd, u"memory.bin");
    SetFindFileSize(fd, 3000);
    memory = disc.InsertMemoryFileW(u"\\", fd, [](TObject*, pFileEntry, uint64_t, void* b, uint32_t& n) {
      std::memset(b, 'm', n);
    });
    ASSERT_NE(disc.CreateDir("\\", "sub"), nullptr);
    three = Insert("three.bin", 3000, 3, "\\sub");
  }

  // The standard tree burnt: built as an image and loaded as a recorded disc.
  void Burn() {
    MakeTree();
    image = BuildImage("disc.iso");
    LoadImage(image);
  }

  int32_t Id(const pFileEntry e) const { return e->Index; }

  pFileEntry empty = nullptr, one = nullptr, big = nullptr, memory = nullptr, three = nullptr;
  std::string image;
};

TEST_F(VerifyTest, GoodFilesAreReadOnceInWholeChunksAndOthersPassedBy) {
  Burn();
  std::vector<Event> events;
  const auto trace = Traced([&] { events = Verify(); });
  // No event for the memory file or the directory; the empty file is good
  // without a read.
  EXPECT_EQ(events, (std::vector<Event>{{Id(empty), false}, {Id(one), false}, {Id(big), false},
                                        {Id(three), false}, kGoodEnd}));
  const uint32_t b = DiscBlock(*big);
  EXPECT_EQ(Reads(trace), (std::vector<std::pair<uint32_t, uint16_t>>{
                              {DiscBlock(*one), 3}, {b, 32}, {b + 32, 17}, {DiscBlock(*three), 2}}));
  EXPECT_EQ(disc.VerifySize(), 3u + 49 + 2);  // what verification reads, not the image's files
  EXPECT_EQ(disc.VerifyProgress(), disc.VerifySize());
  EXPECT_EQ(empty->Hash, "-");
  EXPECT_EQ(big->Hash.size(), 32u);
  EXPECT_TRUE(memory->Hash.empty());

  // Again, with the sources gone: the digests kept are used, only the disc is read.
  for (const char* name : {"one.bin", "big.bin", "three.bin"}) std::filesystem::remove(scratch.Path(name));
  const std::string digest = big->Hash;
  const auto again = Traced([&] { EXPECT_EQ(Verify(), events); });
  EXPECT_EQ(Reads(again).size(), 4u);
  EXPECT_EQ(big->Hash, digest);
}

TEST_F(VerifyTest, PostedEventsCarryTheMessageParameters) {
  Burn();
  std::filesystem::remove(scratch.Path("big.bin"));
  TCompletionQueue queue;
  disc.CDFiles.hWNDFE = &queue;
  ASSERT_TRUE(StartVerifyJob(disc.CDFiles, disc.Device, false, true, [](TObject*, uint8_t, int32_t, bool) {}, &disc));
  using R = std::tuple<uint32_t, int64_t, int64_t>;
  std::vector<R> records;
  WaitFor([&] {
    for (TCompletionRecord r; queue.Take(r);) records.emplace_back(r.Message, r.WParam, r.LParam);
    return !records.empty() && std::get<1>(records.back()) == 0xFFFFFFFF;
  });
  disc.CDFiles.hWNDFE = nullptr;
  EXPECT_EQ(records, (std::vector<R>{R{1127, Id(empty), 0}, R{1127, Id(one), 0}, R{1127, Id(big), 0xFFFFFFFF},
                                     R{1127, Id(three), 0}, R{1127, 0xFFFFFFFF, 1}}));
}

// One file (one.bin) is bad in one of three ways; the run is asked to go
// on or to stop, and to report every file or only the bad ones.
enum class TFault { kCorruptedBlock, kReadError, kVanishedSource };

struct TFaultCase {
  const char* name;
  TFault fault;
  bool stop_on_mismatch;
  bool all_files;
};

void PrintTo(const TFaultCase& c, std::ostream* os) { *os << c.name; }

class VerifyFaultTest : public VerifyTest, public ::testing::WithParamInterface<TFaultCase> {
 protected:
  void MakeFaultyDisc(TFault fault) {
    MakeTree();
    image = BuildImage("disc.iso");
    if (fault == TFault::kCorruptedBlock) {
      // The disc holds one byte that is not the source's.
      std::fstream f(image, std::ios::binary | std::ios::in | std::ios::out);
      const std::streamoff at = static_cast<std::streamoff>(DiscBlock(*one)) * 2048 + 4321;
      f.seekg(at);
      const char byte = static_cast<char>(f.get());
      f.seekp(at);
      f.put(static_cast<char>(~byte));
    }
    LoadImage(image);
    if (fault == TFault::kReadError) {
      // one.bin's is the first READ(10): the empty file before it reads nothing.
      ASSERT_EQ(vbtest::Lib().vb_fault_fail({0, 0, 0}, 0x28, 1, 0x03, 0x11, 0x00), 0);
    }
    if (fault == TFault::kVanishedSource) std::filesystem::remove(scratch.Path("one.bin"));
  }
};

TEST_P(VerifyFaultTest, TheBadFileFailsAndTheRunEndsWithOneFinalEvent) {
  const TFaultCase& c = GetParam();
  MakeFaultyDisc(c.fault);
  std::vector<Event> events;
  const auto trace = Traced([&] { events = Verify(c.stop_on_mismatch, c.all_files); });
  std::vector<Event> expected;
  if (c.all_files) expected.push_back({Id(empty), false});
  expected.push_back({Id(one), true});
  if (!c.stop_on_mismatch && c.all_files) {
    expected.push_back({Id(big), false});
    expected.push_back({Id(three), false});
  }
  expected.push_back(kFailedEnd);
  EXPECT_EQ(events, expected);
  size_t reads_after_one = 0;
  for (const auto& [lba, count] : Reads(trace)) reads_after_one += lba >= DiscBlock(*big) ? 1 : 0;
  if (c.stop_on_mismatch) {
    EXPECT_EQ(reads_after_one, 0u);
    EXPECT_TRUE(big->Hash.empty()) << "a file after the stop was read";
  } else {
    EXPECT_EQ(reads_after_one, 3u);
    EXPECT_EQ(disc.VerifyProgress(), disc.VerifySize());  // a failed file counts as done
  }
  // A vanished source is no digest to keep; a disc fault keeps the source's.
  EXPECT_EQ(one->Hash.empty(), c.fault == TFault::kVanishedSource);
}

const TFaultCase kFaultCases[] = {
    {"CorruptedBlock", TFault::kCorruptedBlock, false, true},
    {"CorruptedBlockStop", TFault::kCorruptedBlock, true, true},
    {"CorruptedBlockFailedOnly", TFault::kCorruptedBlock, false, false},
    {"ReadError", TFault::kReadError, false, true},
    {"ReadErrorStop", TFault::kReadError, true, true},
    {"ReadErrorFailedOnly", TFault::kReadError, false, false},
    {"VanishedSource", TFault::kVanishedSource, false, true},
    {"VanishedSourceStop", TFault::kVanishedSource, true, true},
    {"VanishedSourceFailedOnly", TFault::kVanishedSource, false, false},
};

INSTANTIATE_TEST_SUITE_P(Faults, VerifyFaultTest, ::testing::ValuesIn(kFaultCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Asks the component to abort at the end of the n-th READ(10): every
// transfer is timed with two readings of the performance counter.
class TAbortingClock final : public TClock {
 public:
  TAbortingClock(TOrvex& disc, int after_reads) : disc_(disc), readings_(2 * after_reads) {}
  void Sleep(uint32_t ms) override { inner_.Sleep(ms); }
  uint64_t TickCount() override { return inner_.TickCount(); }
  uint64_t PerformanceCounter() override {
    if (--readings_ == 0) disc_.AbortOperation();
    return inner_.PerformanceCounter();
  }
  uint64_t PerformanceFrequency() override { return inner_.PerformanceFrequency(); }
  SYSTEMTIME UtcNow() override { return inner_.UtcNow(); }

 private:
  test::TModelledClock inner_;
  TOrvex& disc_;
  int readings_;
};

struct TAbortCase {
  const char* name;
  int after_reads;   // one.bin is read 1st, big.bin 2nd and 3rd, three.bin 4th
  bool big_is_good;  // big.bin was checked whole before the abort was seen
};

void PrintTo(const TAbortCase& c, std::ostream* os) { *os << c.name; }

class VerifyAbortTest : public VerifyTest, public ::testing::WithParamInterface<TAbortCase> {};

TEST_P(VerifyAbortTest, EndsAfterTheFileInProgress) {
  const TAbortCase& c = GetParam();
  Burn();
  TAbortingClock aborting(disc, c.after_reads);
  TClock* previous = SetClock(&aborting);
  std::vector<Event> events;
  const auto trace = Traced([&] { events = Verify(false, true); });
  SetClock(previous);
  EXPECT_EQ(events, (std::vector<Event>{{Id(empty), false}, {Id(one), false}, {Id(big), !c.big_is_good},
                                        kFailedEnd}));
  EXPECT_EQ(Reads(trace).size(), static_cast<size_t>(c.after_reads));
  EXPECT_TRUE(three->Hash.empty()) << "the source of a file after the abort was read";
  EXPECT_EQ(disc.CDFiles.ErrorNumber, 4u);
}

INSTANTIATE_TEST_SUITE_P(Aborts, VerifyAbortTest,
                         ::testing::Values(TAbortCase{"InTheMiddleOfAFile", 2, false},
                                           TAbortCase{"AtTheEndOfAFile", 3, true}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(VerifyTest, AnAbortRightAfterTheStartEndsWithAFailedFinalEvent) {
  Burn();
  TVerifyRun run;
  ASSERT_TRUE(StartVerify(false, true, run));
  disc.AbortOperation();
  WaitFor([&] { return run.ended; });
  EXPECT_EQ(run.events.back(), kFailedEnd);
  EXPECT_EQ(disc.ErrorNumber(), 4u);
  EXPECT_EQ(disc.ComponentStatus(), 0);
}

TEST_F(VerifyTest, AJobThatWaitsForTheDriveKeepsOthersOutAndCanBeAborted) {
  Burn();
  ASSERT_EQ(vbtest::Lib().vb_fault_stall({0, 0, 0}, 1), 0);
  TVerifyRun run;
  ASSERT_TRUE(StartVerify(false, true, run));
  EXPECT_FALSE(StartVerifyJob(disc.CDFiles, disc.Device, false, true, nullptr, &disc));
  disc.AbortOperation();
  ASSERT_EQ(vbtest::Lib().vb_fault_stall({0, 0, 0}, 0), 0);
  WaitFor([&] { return run.ended; });
  EXPECT_EQ(run.events.back(), kFailedEnd);
  EXPECT_EQ(disc.ComponentStatus(), 0);
}

}  // namespace
}  // namespace orvex
