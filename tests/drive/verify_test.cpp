// SPDX-License-Identifier: Apache-2.0
// Verification of a recorded disc against its sources: which files it
// reads and how, what each kind of fault does to the events, and aborts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <utility>

#include "disc_fixture.h"
#include "drive/read_retry.h"
#include "services/verify_job.h"

namespace orvex {
namespace {

using test::DiscTest;
using test::Reads;
using Event = test::TVerifyEvent;
constexpr Event kGoodEnd{-1, false}, kFailedEnd{-1, true};

class VerifyTest : public DiscTest {
 protected:
  // The standard tree: an empty file, one of a single READ (or of
  // `one_size` bytes), one of two (100,000 bytes: 32 + 17 blocks), a memory
  // file, a directory with a file.
  void MakeTree(size_t one_size = 5000) {
    disc.ClearAll();
    empty = Insert("empty.txt", 0);
    one = Insert("one.bin", one_size, 1);
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

  // The reads of file data: those of the volume's structures (the
  // session's tree read back) left out.
  std::vector<std::pair<uint32_t, uint16_t>> DataReads(const std::vector<vb_trace_entry>& trace) const {
    std::vector<std::pair<uint32_t, uint16_t>> reads = Reads(trace);
    const uint32_t data = disc.CDFiles.FirstDataSector + disc.CDFiles.FirstWritableSector;
    std::erase_if(reads, [&](const auto& read) { return read.first < data; });
    return reads;
  }

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
  EXPECT_EQ(DataReads(trace), (std::vector<std::pair<uint32_t, uint16_t>>{
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
  EXPECT_EQ(DataReads(again).size(), 4u);
  EXPECT_EQ(big->Hash, digest);
}

// A big file's source is hashed beside the disc's reads: the same verdict,
// its blocks counted once.
TEST_F(VerifyTest, ABigGoodFileIsGoodAndCountedOnce) {
  MakeTree(3'000'017);
  image = BuildImage("disc.iso");
  LoadImage(image);
  EXPECT_EQ(Verify(), (std::vector<Event>{{Id(empty), false}, {Id(one), false}, {Id(big), false},
                                          {Id(three), false}, kGoodEnd}));
  EXPECT_EQ(disc.VerifyProgress(), disc.VerifySize());
  EXPECT_EQ(one->Hash.size(), 32u);
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
// on or to stop, and to report every file or only the bad ones.  A big
// one.bin has its source hashed beside the disc's reads.
enum class TFault { kCorruptedBlock, kReadError, kVanishedSource };

struct TFaultCase {
  const char* name;
  TFault fault;
  bool stop_on_mismatch;
  bool all_files;
  size_t one_size = 5000;
};

void PrintTo(const TFaultCase& c, std::ostream* os) { *os << c.name; }

class VerifyFaultTest : public VerifyTest, public ::testing::WithParamInterface<TFaultCase> {
 protected:
  void MakeFaultyDisc(TFault fault, size_t one_size) {
    MakeTree(one_size);
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
      // one.bin's is the first READ(10): the empty file before it reads
      // nothing.  Every attempt fails.
      ASSERT_EQ(vbtest::Lib().vb_fault_fail({0, 0, 0}, 0x28, kFailedReadAttempts, 0x03, 0x11, 0x00), 0);
    }
    if (fault == TFault::kVanishedSource) std::filesystem::remove(scratch.Path("one.bin"));
  }
};

TEST_P(VerifyFaultTest, TheBadFileFailsAndTheRunEndsWithOneFinalEvent) {
  const TFaultCase& c = GetParam();
  MakeFaultyDisc(c.fault, c.one_size);
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
  // Each fault is told as what it is: a read error is no mismatch.
  const TVerifyReport found = disc.LastVerify();
  const auto only_one = [&](TFault f) { return c.fault == f ? std::vector<int32_t>{Id(one)} : std::vector<int32_t>{}; };
  EXPECT_EQ(found.differing, only_one(TFault::kCorruptedBlock));
  EXPECT_EQ(found.unreadable, only_one(TFault::kReadError));
  EXPECT_EQ(found.unreadable_sources, only_one(TFault::kVanishedSource));
  // A file that differs is no error of the drive's; a read given up is
  // the run's failed command, with the block and what the drive said.
  const TOrvex::TErrorInfo error = disc.TakeError();
  EXPECT_EQ(error.Number, c.fault == TFault::kReadError ? kErrorReadingDisc : kErrorNone);
  const std::string read_error = "read error at block " + std::to_string(DiscBlock(*one)) + ": medium error, 03/11/00";
  EXPECT_EQ(error.Drive.Text, c.fault == TFault::kReadError ? read_error : "");
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
    {"BigCorruptedBlock", TFault::kCorruptedBlock, false, true, 3'000'017},
    {"BigReadError", TFault::kReadError, false, true, 3'000'017},
    {"BigVanishedSource", TFault::kVanishedSource, false, true, 3'000'017},
    {"BigVanishedSourceStop", TFault::kVanishedSource, true, true, 3'000'017},
};

INSTANTIATE_TEST_SUITE_P(Faults, VerifyFaultTest, ::testing::ValuesIn(kFaultCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// What a drive says while it is only momentarily unable to read one.bin.
struct TTransientCase {
  const char* name;
  bool busy;  // BUSY status, else CHECK CONDITION with the sense
  uint32_t count;
  uint8_t key, asc, ascq;
};

void PrintTo(const TTransientCase& c, std::ostream* os) { *os << c.name; }

class VerifyTransientTest : public VerifyTest, public ::testing::WithParamInterface<TTransientCase> {};

TEST_P(VerifyTransientTest, IsRiddenOutAndNoFileFails) {
  const TTransientCase& c = GetParam();
  Burn();
  const vb_address drive{0, 0, 0};
  if (c.busy) {
    ASSERT_EQ(vbtest::Lib().vb_fault_busy(drive, c.count), 0);
  } else {
    ASSERT_EQ(vbtest::Lib().vb_fault_fail(drive, 0x28, c.count, c.key, c.asc, c.ascq), 0);
  }
  std::vector<Event> events;
  const auto trace = Traced([&] { events = Verify(false, false); });
  EXPECT_EQ(events, std::vector<Event>{kGoodEnd});
  const auto reads = DataReads(trace);
  EXPECT_GT(std::count(reads.begin(), reads.end(), std::pair<uint32_t, uint16_t>{DiscBlock(*one), 3}), 1);
  EXPECT_EQ(disc.VerifyProgress(), disc.VerifySize());
  EXPECT_EQ(disc.ErrorNumber(), 0u) << "a refusal that was ridden out is left pending";
}

INSTANTIATE_TEST_SUITE_P(Refusals, VerifyTransientTest,
                         ::testing::Values(TTransientCase{"OneFailedRead", false, 1, 0x03, 0x11, 0x00},
                                           TTransientCase{"Busy", true, 3, 0, 0, 0},
                                           TTransientCase{"BecomingReady", false, 20, 0x02, 0x04, 0x01},
                                           TTransientCase{"Reset", false, 1, 0x06, 0x29, 0x00}),
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
  // The file the abort cut short is told as nothing: it was not checked.
  std::vector<Event> expected{{Id(empty), false}, {Id(one), false}};
  if (c.big_is_good) expected.push_back({Id(big), false});
  expected.push_back(kFailedEnd);
  EXPECT_EQ(events, expected);
  EXPECT_TRUE(disc.LastVerify().differing.empty());
  EXPECT_EQ(Reads(trace).size(), static_cast<size_t>(c.after_reads));
  EXPECT_TRUE(three->Hash.empty()) << "the source of a file after the abort was read";
  EXPECT_EQ(disc.CDFiles.ErrorNumber, 4u);
}

INSTANTIATE_TEST_SUITE_P(Aborts, VerifyAbortTest,
                         ::testing::Values(TAbortCase{"InTheMiddleOfAFile", 2, false},
                                           TAbortCase{"AtTheEndOfAFile", 3, true}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// The drive holds the job at its first command, so the abort always comes
// before the job could have finished on its own.
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
  EXPECT_EQ(disc.ErrorNumber(), 4u);
  EXPECT_EQ(disc.ComponentStatus(), 0);
}

// A DVD+R holding "First" (a.txt, docs/b.txt) and "Second" (those two
// imported, and c.txt), then compared with trees laid out anew.
class VerifySessionTest : public DiscTest {
 protected:
  void TwoSessions(bool joliet) {
    Load("dvd+r");
    disc.ClearAll();
    disc.SetJolietFileSystem(joliet);
    disc.CDFiles.FirstWritableSector = 0;
    Insert("a.txt", 3000, 1);
    ASSERT_NE(disc.CreateDir("\\", "docs"), nullptr);
    Insert("b.txt", 70000, 2, "\\docs");
    Record("first.iso", 1);
    disc.ClearAll();
    ASSERT_GT(disc.ImportSession(1, "\\"), 0);
    disc.CDFiles.FirstWritableSector = vbtest::Drive().NextWritable(2);
    c_block = DiscBlock(*Insert("c.txt", 5000, 3));
    Record("second.iso", 2);
  }

  uint32_t c_block = 0;
};

struct TFile {
  const char* dir;
  const char* name;
  size_t size;
  uint8_t seed;
};
const TFile kA{"\\", "a.txt", 3000, 1}, kB{"\\docs", "b.txt", 70000, 2}, kC{"\\", "c.txt", 5000, 3};

struct TSessionCase {
  const char* name;
  bool joliet;  // the disc has a Joliet tree
  uint8_t session;
  std::vector<TFile> tree;  // laid out with a UDF bridge and no Joliet, unlike the disc
  std::vector<std::u16string> failed, missing, extra, differing;
  uint32_t error;
};

void PrintTo(const TSessionCase& c, std::ostream* os) { *os << c.name; }

class VerifySessionCaseTest : public VerifySessionTest, public ::testing::WithParamInterface<TSessionCase> {};

TEST_P(VerifySessionCaseTest, ComparesByPathWhereTheSessionRecordsEachFile) {
  const TSessionCase& c = GetParam();
  TwoSessions(c.joliet);
  disc.ClearAll();
  disc.SetJolietFileSystem(false);
  disc.SetUDFBridge(true);
  for (const TFile& f : c.tree) {
    if (std::string(f.dir) != "\\") disc.CreateDir("\\", f.dir + 1);
    ASSERT_NE(Insert(f.name, f.size, f.seed, f.dir), nullptr);
  }
  disc.Prepare();
  std::vector<Event> events;
  const auto trace = Traced([&] { events = Verify(false, false, c.session); });
  std::vector<std::u16string> failed;
  for (const auto& [id, bad] : events) {
    if (id >= 0 && bad) failed.push_back(disc.FileName(id));
  }
  EXPECT_EQ(failed, c.failed);
  EXPECT_EQ(events.back(), (Event{-1, !c.failed.empty() || !c.extra.empty()}));
  const TVerifyReport found = disc.LastVerify();
  EXPECT_EQ(found.session, c.session == 0 ? 2 : c.session);
  EXPECT_TRUE(found.tree_whole);
  EXPECT_EQ(found.missing, c.missing);
  EXPECT_EQ(found.extra, c.extra);
  std::vector<std::u16string> differing;
  for (int32_t id : found.differing) differing.push_back(disc.FileName(id));
  EXPECT_EQ(differing, c.differing);
  EXPECT_EQ(disc.CDFiles.ErrorNumber, c.error);
  // c.txt is read where the disc has it, not where the new layout would put it.
  const auto reads = Reads(trace);
  const bool c_compared = c.session != 1 && c.tree.size() == 3 && c.tree[2].size == kC.size;
  EXPECT_EQ(std::count(reads.begin(), reads.end(), std::pair<uint32_t, uint16_t>{c_block, 3}), c_compared ? 1 : 0);
}

const TSessionCase kSessionCases[] = {
    {"SameFilesOtherLayout", true, 0, {kA, kB, kC}, {}, {}, {}, {}, kErrorNone},
    {"PrimaryTreeOnly", false, 0, {kA, kB, kC}, {}, {}, {}, {}, kErrorNone},
    {"EarlierSession", true, 1, {kA, kB}, {}, {}, {}, {}, kErrorNone},
    {"MissingAndExtra", true, 0, {kA, kB, {"\\", "d.txt", 100, 4}}, {u"d.txt"}, {u"/d.txt"}, {u"/c.txt"}, {},
     kErrorWrongSession},
    {"NotInThatSession", true, 1, {kA, kB, kC}, {u"c.txt"}, {u"/c.txt"}, {}, {}, kErrorWrongSession},
    {"Differs", true, 0, {kA, kB, {"\\", "c.txt", 5000, 9}}, {u"c.txt"}, {}, {}, {u"c.txt"}, kErrorNone},
    {"OtherSize", true, 0, {kA, kB, {"\\", "c.txt", 6000, 3}}, {u"c.txt"}, {}, {}, {u"c.txt"}, kErrorNone},
};

INSTANTIATE_TEST_SUITE_P(Trees, VerifySessionCaseTest, ::testing::ValuesIn(kSessionCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(VerifySessionTest, ASessionWithoutAVolumeFailsWithoutFileEvents) {
  Load("dvd+r");
  disc.ClearAll();
  Insert("a.txt", 3000, 1);
  disc.Prepare();
  EXPECT_EQ(Verify(false, true, 0), std::vector<Event>{kFailedEnd});
  EXPECT_FALSE(disc.LastVerify().tree_found);
  EXPECT_EQ(disc.CDFiles.ErrorNumber, kErrorWrongSession);
}

// After a burn the disc's last session must be the one written: one left
// incomplete (an interrupted burn) leaves the one before as the last a
// reader finds, though every block of the new files reads back well.
class VerifyWrittenSessionTest : public VerifySessionTest, public ::testing::WithParamInterface<bool> {};

TEST_P(VerifyWrittenSessionTest, TheNewSessionMustBeTheOneAReaderFinds) {
  const bool closed = GetParam();
  Load("dvd+r");
  disc.ClearAll();
  disc.SetJolietFileSystem(true);
  Insert("a.txt", 3000, 1);
  Record("first.iso", 1);
  disc.ClearAll();
  ASSERT_GT(disc.ImportSession(1, "\\"), 0);
  disc.CDFiles.FirstWritableSector = vbtest::Drive().NextWritable(2);
  const pFileEntry c = Insert("c.txt", 5000, 3);
  Record("second.iso", 2, closed);
  const std::vector<Event> events = Verify(false, true);
  EXPECT_EQ(events, (std::vector<Event>{{c->Index, false}, {-1, !closed}}));
  const TVerifyReport found = disc.LastVerify();
  EXPECT_EQ(found.session, closed ? 2 : 1);
  EXPECT_EQ(found.missing, closed ? std::vector<std::u16string>{} : std::vector<std::u16string>{u"/c.txt"});
  EXPECT_TRUE(found.extra.empty());
  EXPECT_EQ(disc.CDFiles.ErrorNumber, closed ? kErrorNone : kErrorWrongSession);
}

INSTANTIATE_TEST_SUITE_P(Burns, VerifyWrittenSessionTest, ::testing::Bool(),
                         [](const auto& param_info) { return param_info.param ? "Closed" : "LeftIncomplete"; });

}  // namespace
}  // namespace orvex
