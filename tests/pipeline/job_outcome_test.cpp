// SPDX-License-Identifier: Apache-2.0
// A job's outcome is the truth: a layout made for other content or options
// is refused, a run that did not write every block never reports success,
// and the image file appears only when complete.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "job_fixture.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

using test::Counting;
using test::JobTest;

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int TemporaryFiles(const std::string& dir) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(dir)) n += entry.path().filename().string().find(".orvex-") != std::string::npos;
  return n;
}

struct TOptionChange {
  const char* name;
  std::function<void(TOrvex&, const std::string& boot)> change;
};

class StaleLayoutTest : public JobTest, public ::testing::WithParamInterface<TOptionChange> {};

// Each option the layout depends on, changed after Prepare: the build is
// refused with error 1, nothing is written and no event comes; a new
// Prepare makes it work again.
TEST_P(StaleLayoutTest, ChangingAnOptionAfterPrepareIsRefused) {
  const std::string boot = dir.Write("boot.img", std::string(2048, 'B'));
  disc.SetUDFBridge(false);
  AddMemory(u"a.bin", 100000, Counting(1));
  disc.CreateDirW(u"\\", u"Directory with a long name");
  disc.Prepare();
  GetParam().change(disc, boot);
  EXPECT_FALSE(disc.BuildISOImage(dir / "out.iso"));
  EXPECT_EQ(disc.ErrorNumber(), 1u);
  disc.ProcessMessages();
  EXPECT_EQ(write.events, 0);
  EXPECT_FALSE(fs::exists(dir / "out.iso"));
  EXPECT_EQ(TemporaryFiles(dir.path()), 0);

  disc.Prepare();
  ASSERT_TRUE(disc.BuildISOImage(dir / "out.iso"));
  WaitForWrite();
  EXPECT_FALSE(write.failed);
  EXPECT_EQ(fs::file_size(dir / "out.iso"), uint64_t{disc.ImageSize()} * 2048);
}

INSTANTIATE_TEST_SUITE_P(
    Options, StaleLayoutTest,
    ::testing::Values(TOptionChange{"joliet", [](TOrvex& d, const std::string&) { d.SetJolietFileSystem(false); }},
                      TOptionChange{"udf", [](TOrvex& d, const std::string&) { d.SetUDFBridge(true); }},
                      TOptionChange{"iso1999", [](TOrvex& d, const std::string&) { d.SetISO9660v1999FS(true); }},
                      TOptionChange{"boot", [](TOrvex& d, const std::string& boot) { d.SetBootImage(boot); }},
                      TOptionChange{"clear", [](TOrvex& d, const std::string&) { d.ClearAll(); }}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(JobTest, SettingAnOptionToWhatItIsKeepsTheLayout) {
  disc.Prepare();
  disc.SetJolietFileSystem(disc.JolietFileSystem());
  disc.SetUDFBridge(disc.UDFBridge());
  EXPECT_TRUE(disc.BuildISOImage(dir / "out.iso"));
  WaitForWrite();
  EXPECT_FALSE(write.failed);
}

// A layout told it is current when it is not: its structures no longer fill
// the sectors it gave them, too many or too few.  Generated whole, the
// header comes out empty; streamed, the run fails with error 1 and keeps no
// image, also when the writer had already taken packets of it.
struct TMisfit {
  const char* name;
  int dirs;                            // the tree: many directories make a header beyond the ring
  std::function<void(TOrvex&)> change;  // after Prepare
};

class MisfitHeaderTest : public JobTest, public ::testing::WithParamInterface<TMisfit> {};

TEST_P(MisfitHeaderTest, FailsTheRunAndKeepsNoImage) {
  AddMemory(u"a.bin", 10, Counting(0));
  for (int i = 0; i < GetParam().dirs; ++i) disc.CreateDirW(u"\\", u"directory " + Utf8ToUtf16(std::to_string(i)));
  disc.SetCacheSize(2);
  disc.SetUDFBridge(false);
  disc.Prepare();
  GetParam().change(disc);
  disc.CDFiles.Prepared = true;
  std::vector<uint8_t> header;
  EXPECT_FALSE(disc.CDFiles.GenerateHeader(header));
  EXPECT_TRUE(header.empty());

  if (disc.BuildISOImage(dir / "out.iso")) {
    WaitForWrite();
    EXPECT_TRUE(write.failed);
  }
  EXPECT_EQ(disc.ErrorNumber(), 1u);
  EXPECT_FALSE(fs::exists(dir / "out.iso"));
  EXPECT_EQ(TemporaryFiles(dir.path()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MisfitHeaderTest,
    ::testing::Values(TMisfit{"too_many_small", 0, [](TOrvex& d) { d.SetUDFBridge(true); }},
                      TMisfit{"too_many_large", 1200, [](TOrvex& d) { d.SetUDFBridge(true); }},
                      TMisfit{"too_few_small", 0, [](TOrvex& d) { d.SetJolietFileSystem(false); }},
                      TMisfit{"too_few_large", 1200, [](TOrvex& d) { d.SetJolietFileSystem(false); }}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(JobLifecycle, PrepareBeforeTheFirstClearAllLaysNothingOut) {
  TOrvex fresh(nullptr);
  EXPECT_EQ(fresh.Prepare(), 0u);
  EXPECT_FALSE(fresh.BuildISOImage("/nonexistent/never.iso"));
  EXPECT_EQ(fresh.ErrorNumber(), 1u);
}

// Stopped before the end, a run fails, also when its pending error was read
// (and so cleared) while it ran.
TEST_F(JobTest, AStoppedRunFailsWhetherOrNotItsErrorWasRead) {
  disc.SetCacheSize(0);
  AddMemory(u"long", 400 << 20, Counting(5));
  disc.Prepare();
  ASSERT_TRUE(disc.BuildISOImage(dir / "out.iso"));
  WaitFor([this] { return disc.BlocksWritten() > 0; });
  disc.AbortOperation();
  EXPECT_EQ(disc.ErrorNumber(), 4u);  // read while the job still runs
  WaitForWrite();
  EXPECT_EQ(write.events, 1);
  EXPECT_TRUE(write.failed);
  EXPECT_FALSE(fs::exists(dir / "out.iso"));
  EXPECT_EQ(TemporaryFiles(dir.path()), 0);
}

TEST_F(JobTest, AbortWhileTheQueueFillsLeavesAbortingAndFreesTheRing) {
  std::atomic<bool> asked{false};
  AddMemory(u"blocked", 100 << 20, [&](TObject*, pFileEntry, uint64_t, void* buffer, uint32_t& size) {
    asked = true;
    while (!disc.CDFiles.Aborted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::memset(buffer, 0, size);
  });
  disc.Prepare();
  std::thread aborter([&] {
    while (!asked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    disc.AbortOperation();
  });
  EXPECT_FALSE(disc.BuildISOImage(dir / "out.iso"));
  aborter.join();
  WaitForWrite();
  EXPECT_EQ(write.events, 1);
  EXPECT_TRUE(write.failed);
  EXPECT_EQ(disc.ComponentStatus(), 7);
  EXPECT_EQ(disc.CDFiles.Packets, nullptr);
  EXPECT_EQ(disc.ErrorNumber(), 4u);
  EXPECT_FALSE(fs::exists(dir / "out.iso"));
}

// A refused call changes nothing of the running job, its error included.
TEST_F(JobTest, ARefusedBuildLeavesTheRunningJobAlone) {
  std::atomic<bool> release{false};
  disc.SetCacheSize(0);
  AddMemory(u"slow", 64 << 20, [&](TObject*, pFileEntry, uint64_t position, void* buffer, uint32_t& size) {
    while (position > (8 << 20) && !release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::memset(buffer, 1, size);
  });
  disc.Prepare();
  ASSERT_TRUE(disc.BuildISOImage(dir / "first.iso"));
  EXPECT_FALSE(disc.BuildISOImage(std::string(5000, 'x')));  // too long to convert
  EXPECT_FALSE(disc.BuildISOImage(dir / "second.iso"));
  release = true;
  WaitForWrite();
  EXPECT_FALSE(write.failed);
  EXPECT_EQ(disc.ErrorNumber(), 0u);
  EXPECT_FALSE(fs::exists(dir / "second.iso"));
}

// A failed build leaves the file it would have replaced as it was, with no
// temporary file beside it; a good one replaces it, keeping its permissions.
TEST_F(JobTest, TheImageFileIsReplacedOnlyWhenComplete) {
  const std::string out = dir.Write("out.iso", "the old image");
  chmod(out.c_str(), 0640);
  const std::string gone = dir.Write("gone.txt", "soon gone");
  disc.InsertFile("\\", gone);
  disc.Prepare();
  fs::remove(gone);
  disc.BuildISOImage(out);
  WaitForWrite();
  EXPECT_TRUE(write.failed);
  EXPECT_EQ(ReadFile(out), "the old image");
  EXPECT_EQ(TemporaryFiles(dir.path()), 0);

  disc.ClearAll();
  write = {};
  AddMemory(u"new.bin", 5000, Counting(2));
  disc.Prepare();
  ASSERT_TRUE(disc.BuildISOImage(out));
  WaitForWrite();
  EXPECT_FALSE(write.failed);
  EXPECT_EQ(fs::file_size(out), uint64_t{disc.ImageSize()} * 2048);
  struct stat st;
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(TemporaryFiles(dir.path()), 0);
}

// A source that changed after it was added is noted; the image holds what
// was read, of the size that was recorded.
TEST_F(JobTest, SourcesThatChangedAreNoted) {
  const std::string grows = dir.Write("grows.txt", "short");
  const std::string stays = dir.Write("stays.txt", "same");
  // Big enough to be copied by the kernel had it not changed.
  const std::string big = dir.Write("big.bin", std::string(400'000, 'b'));
  const std::string big_stays = dir.Write("big stays.bin", std::string(400'000, 's'));
  for (const std::string& path : {grows, stays, big, big_stays}) disc.InsertFile("\\", path);
  disc.Prepare();
  dir.Write("grows.txt", "much longer than it was");
  dir.Write("big.bin", std::string(500'000, 'B'));
  const std::string out = dir / "out.iso";
  ASSERT_TRUE(disc.BuildISOImage(out));
  WaitForWrite();
  EXPECT_FALSE(write.failed);
  EXPECT_EQ(disc.ChangedFiles(), (std::vector<int32_t>{0, 2}));
  const std::string image = ReadFile(out);
  EXPECT_NE(image.find(std::string(400'000, 'B') + std::string(2048 - 400'000 % 2048, '\0')),
            std::string::npos);
  EXPECT_NE(image.find(std::string(400'000, 's')), std::string::npos);
}

TEST_F(JobTest, AFailureNamesTheFileAndTheReason) {
  const std::string gone = dir.Write("gone.txt", "soon gone");
  disc.InsertFile("\\", gone);
  disc.Prepare();
  fs::remove(gone);
  disc.BuildISOImage(dir / "out.iso");
  WaitForWrite();
  const TOrvex::TErrorInfo error = disc.TakeError();
  EXPECT_EQ(error.Number, 2u);
  EXPECT_EQ(error.Text, "Error opening file \\" + gone + "\\");
  EXPECT_EQ(error.FileName, Utf8ToUtf16(gone));
  EXPECT_EQ(error.SystemError, ENOENT);
  EXPECT_EQ(disc.TakeError().Number, 0u);  // taken
}

}  // namespace
}  // namespace orvex
