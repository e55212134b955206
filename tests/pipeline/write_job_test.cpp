// SPDX-License-Identifier: Apache-2.0
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
#include <iterator>
#include <thread>

#include "../image/image_assembler.h"
#include "job_fixture.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

using test::Counting;
using test::JobTest;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Options {
  bool joliet, udf, iso1999;
  int boot;  // 0 none, 1 a 2048-byte image, 2 a 1.44 MB diskette
};

class ImageEqualityTest : public JobTest, public ::testing::WithParamInterface<Options> {};

// The image a job writes is, byte for byte, the test assembler's image of
// the same prepared tree: with the packet ring wrapping many times (the
// smallest cache), files of every size around sector and packet boundaries,
// and memory files.
TEST_P(ImageEqualityTest, JobWritesTheAssemblersImage) {
  const Options o = GetParam();
  disc.SetJolietFileSystem(o.joliet);
  disc.SetUDFBridge(o.udf);
  disc.SetISO9660v1999FS(o.iso1999);
  disc.SetCacheSize(0);  // 2 MiB: 32 packets
  disc.SetVolumeID("Equality");
  if (o.boot != 0) {
    disc.SetBootImage(dir.Write("boot.img", std::string(o.boot == 1 ? 2048 : 1'474'560, 'B')));
  }
  for (uint64_t size : {0ull, 1ull, 2047ull, 2048ull, 2049ull, 65535ull, 65536ull, 65537ull, 3000000ull}) {
    dir.Write("src/file " + std::to_string(size), std::string(size, static_cast<char>('a' + size % 26)));
  }
  dir.Write("src/sub/deeper/leaf.txt", "leaf");
  ASSERT_NE(disc.InsertDir("\\", dir / "src", "*", true, false), nullptr);
  AddMemory(u"memory 70000", 70000, Counting(3));
  AddMemory(u"memory 131072", 131072, Counting(7));
  disc.Prepare();

  const std::string built = dir / "built.iso";
  ASSERT_TRUE(disc.BuildISOImage(built));
  WaitForWrite();
  EXPECT_EQ(write.events, 1);
  EXPECT_FALSE(write.failed);
  EXPECT_EQ(write.sender, &disc);  // delivered through the queue
  EXPECT_EQ(disc.ErrorNumber(), 0u);
  EXPECT_EQ(disc.ComponentStatus(), 0);
  EXPECT_EQ(disc.BlocksWritten(), disc.ImageSize());

  const std::string assembled = dir / "assembled.iso";
  ASSERT_EQ(test::AssembleImage(disc.CDFiles, assembled), "");
  const std::string a = ReadFile(built), b = ReadFile(assembled);
  EXPECT_EQ(a.size(), uint64_t{disc.ImageSize()} * 2048);
  EXPECT_TRUE(a == b) << "the job's image differs from the assembler's";
}

INSTANTIATE_TEST_SUITE_P(OptionSets, ImageEqualityTest,
                         ::testing::Values(Options{false, false, false, 0}, Options{true, false, false, 0},
                                           Options{true, true, false, 0}, Options{false, false, true, 0},
                                           Options{true, true, false, 1}, Options{true, false, true, 2},
                                           Options{false, true, false, 2}));

TEST_F(JobTest, UdfDataEndingOnAPacketGetsTheAnchorPacket) {
  disc.SetJolietFileSystem(false);
  disc.SetUDFBridge(true);
  AddMemory(u"fill", 23 * 2048, Counting(1));  // data ends at sector 288
  disc.Prepare();
  ASSERT_TRUE(disc.CDFiles.UDFBridgeInfo.IsNewPacketRequiredForLastAVDP);
  ASSERT_TRUE(disc.BuildISOImage(dir / "a.iso"));
  WaitForWrite();
  const std::string image = ReadFile(dir / "a.iso");
  ASSERT_EQ(image.size(), 320u * 2048);
  EXPECT_EQ(image[319 * 2048], 2);  // the closing anchor's tag
  EXPECT_EQ(image.find_first_not_of('\0', 288 * 2048), 319u * 2048);
}

TEST_F(JobTest, WithoutAnOwnerTheWriteThreadReports) {
  TOrvex alone(nullptr);
  alone.ClearAll();
  std::atomic<int> events{0};
  std::atomic<TObject*> sender{nullptr};
  std::thread::id caller = std::this_thread::get_id(), reporter;
  alone.SetOnWriteDone([&](TObject* s, uint8_t, bool failed) {
    EXPECT_FALSE(failed);
    reporter = std::this_thread::get_id();
    sender = s;
    ++events;
  });
  alone.Prepare();
  ASSERT_TRUE(alone.BuildISOImage(dir / "alone.iso"));
  while (alone.JobRunning() || events == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(events, 1);
  EXPECT_NE(reporter, caller);
  EXPECT_NE(sender.load(), &alone);  // the write thread object
}

TEST_F(JobTest, RefusesUnpreparedAndOverlappingJobs) {
  AddMemory(u"a", 10, Counting(0));
  EXPECT_FALSE(disc.BuildISOImage(dir / "x.iso"));
  EXPECT_EQ(disc.ErrorNumber(), 1u);
  EXPECT_EQ(disc.ErrorString(), "Unknown/No Error!");
  disc.Prepare();
  AddMemory(u"b", 10, Counting(0));  // a change makes the layout stale again
  EXPECT_FALSE(disc.BuildISOImage(dir / "x.iso"));
  EXPECT_EQ(disc.ErrorString(), "Data not prepared ");
  EXPECT_FALSE(std::filesystem::exists(dir / "x.iso"));

  // A job that cannot finish until released (its data stops beyond what
  // the queue holds): a second one is refused, and the tree is left alone.
  std::atomic<bool> release{false};
  disc.SetCacheSize(0);
  AddMemory(u"slow", 200 << 20, [&](TObject*, pFileEntry, uint64_t position, void* buffer, uint32_t& size) {
    while (position > (8 << 20) && !release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::memset(buffer, 1, size);
  });
  disc.Prepare();
  ASSERT_TRUE(disc.BuildISOImage(dir / "first.iso"));
  EXPECT_TRUE(disc.JobRunning());
  EXPECT_FALSE(disc.BuildISOImage(dir / "second.iso"));
  EXPECT_FALSE(disc.GenerateSmartReferences());
  EXPECT_EQ(disc.Prepare(), 0u);
  EXPECT_EQ(AddMemory(u"late", 1, Counting(0)), nullptr);
  const uint32_t files = disc.FilesCount();
  disc.ClearAll();
  EXPECT_EQ(disc.FilesCount(), files);
  EXPECT_FALSE(std::filesystem::exists(dir / "second.iso"));
  release = true;
  WaitForWrite();
  EXPECT_EQ(write.events, 1);
  EXPECT_FALSE(write.failed);
}

TEST_F(JobTest, OutputThatCannotBeCreated) {
  disc.Prepare();
  EXPECT_FALSE(disc.BuildISOImage(dir / "missing/dir/out.iso"));
  EXPECT_EQ(disc.ErrorString(), "Error creating file \\" + (dir / "missing/dir/out.iso") + "\\");
  disc.ProcessMessages();
  EXPECT_EQ(write.events, 0);
}

TEST_F(JobTest, SourceDeletedAfterInsertion) {
  disc.SetCacheSize(0);
  AddMemory(u"first", 4 << 20, Counting(0));  // fills the queue before the lost file is reached
  const std::string gone = dir.Write("gone.txt", "soon gone");
  disc.InsertFile("\\", gone);
  disc.Prepare();
  std::filesystem::remove(gone);
  EXPECT_TRUE(disc.BuildISOImage(dir / "out.iso"));
  WaitForWrite();
  EXPECT_EQ(write.events, 1);
  EXPECT_TRUE(write.failed);
  EXPECT_EQ(disc.ErrorString(), "Error opening file \\" + gone + "\\");
  disc.ProcessMessages();
  EXPECT_EQ(write.events, 1);  // exactly one event
}

// A source lost after the layout was prepared, among others of its
// directory: the run fails when its turn comes, naming it and the reason,
// and one replaced by a pipe fails without waiting for a writer.
TEST_F(JobTest, SourcesLostInSeveralWays) {
  struct Loss {
    const char* what;
    std::function<void(const std::string& file)> lose;
    int error;
    bool whole_directory;
  };
  const Loss losses[] = {
      {"file", [](const std::string& file) { std::filesystem::remove(file); }, ENOENT, false},
      {"directory", [](const std::string& file) { std::filesystem::remove_all(std::filesystem::path(file).parent_path()); },
       ENOENT, true},
      {"pipe",
       [](const std::string& file) {
         std::filesystem::remove(file);
         ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
       },
       EINVAL, false},
  };
  for (const Loss& loss : losses) {
    disc.ClearAll();
    write = {};
    test::TempDir src;
    for (const char* name : {"a/1", "a/2", "b/1"}) src.Write(name, name);
    const std::string lost = src.Write("b/2", "b/2");
    ASSERT_NE(disc.InsertDir("\\", src.path(), "*", true, false), nullptr);
    disc.Prepare();
    loss.lose(lost);
    disc.BuildISOImage(dir / "out.iso");
    WaitForWrite();
    EXPECT_TRUE(write.failed) << loss.what;
    const TOrvex::TErrorInfo error = disc.TakeError();
    EXPECT_EQ(error.Number, 2u) << loss.what;
    // With its directory gone, the directory's first file is the one missed.
    const std::string name = Utf16ToUtf8(error.FileName);
    if (loss.whole_directory) {
      EXPECT_EQ(name.rfind(src / "b/", 0), 0u) << name;
    } else {
      EXPECT_EQ(name, lost);
    }
    EXPECT_EQ(error.Text, "Error opening file \\" + name + "\\") << loss.what;
    EXPECT_EQ(error.SystemError, loss.error) << loss.what;
  }
}

// An abort while sources are held open ahead of the reader ends the run,
// and closes every source that was opened.
TEST_F(JobTest, AbortWithSourcesOpenedAhead) {
  std::atomic<bool> asked{false}, aborted{false};
  AddMemory(u"gate", 4096, [&](TObject*, pFileEntry, uint64_t, void* buffer, uint32_t& size) {
    asked = true;
    asked.notify_all();
    aborted.wait(false);
    std::memset(buffer, 0, size);
  });
  for (int i = 0; i < 300; ++i) dir.Write("src/d" + std::to_string(i % 3) + "/f" + std::to_string(i), "data");
  ASSERT_NE(disc.InsertDir("\\", dir / "src", "*", true, false), nullptr);
  disc.Prepare();
  const int before = test::OpenDescriptors();
  std::thread aborter([&] {
    asked.wait(false);
    disc.AbortOperation();
    aborted = true;
    aborted.notify_all();
  });
  EXPECT_FALSE(disc.BuildISOImage(dir / "out.iso"));
  aborter.join();
  WaitForWrite();
  EXPECT_TRUE(write.failed);
  EXPECT_EQ(disc.ErrorNumber(), 4u);
  EXPECT_EQ(test::OpenDescriptors(), before);
}

TEST_F(JobTest, SourceLostWhileTheQueueFills) {
  const std::string gone = dir.Write("gone.txt", "soon gone");
  disc.InsertFile("\\", gone);
  disc.Prepare();
  std::filesystem::remove(gone);
  EXPECT_FALSE(disc.BuildISOImage(dir / "out.iso"));  // the run stopped before writing began
  WaitForWrite();
  EXPECT_EQ(write.events, 1);
  EXPECT_TRUE(write.failed);
  EXPECT_EQ(disc.ErrorNumber(), 2u);
}

TEST_F(JobTest, SourceThatShrankOrCannotBeRead) {
  const std::string shrinking = dir.Write("shrinking.bin", std::string(100000, 's'));
  disc.InsertFile("\\", shrinking);
  disc.Prepare();
  dir.Write("shrinking.bin", std::string(50000, 's'));
  disc.BuildISOImage(dir / "out.iso");
  WaitForWrite();
  EXPECT_TRUE(write.failed);
  EXPECT_EQ(disc.ErrorString(), "Error reading file \\" + shrinking + "\\");

  // A memory file whose callback delivers less than asked, and one without
  // any callback, fail alike.
  disc.ClearAll();
  write = {};
  AddMemory(u"stingy", 5000, [](TObject*, pFileEntry, uint64_t, void*, uint32_t& size) { size /= 2; });
  disc.Prepare();
  disc.BuildISOImage(dir / "out.iso");
  WaitForWrite();
  EXPECT_TRUE(write.failed);
  EXPECT_EQ(disc.ErrorStringW(), u"Error reading file \\'stingy\\'");
  disc.ClearAll();
  write = {};
  AddMemory(u"no data", 5000, nullptr);
  disc.Prepare();
  disc.BuildISOImage(dir / "out.iso");
  WaitForWrite();
  EXPECT_EQ(disc.ErrorNumber(), 5u);
}

TEST_F(JobTest, UnreadableSourceFailsWithError2) {
  const std::string secret = dir.Write("secret.bin", "classified");
  chmod(secret.c_str(), 0);
  chmod(dir.Mkdir("open").c_str(), 0777);
  const std::string out = dir / "open/out.iso";
  EXPECT_TRUE(test::RunUnprivileged([&] {
    test::Owner other_owner;
    TOrvex other(&other_owner);
    other.ClearAll();
    bool failed = false, done = false;
    other.SetOnWriteDone([&](TObject*, uint8_t, bool f) { failed = f, done = true; });
    other.InsertFile("\\", secret);
    other.Prepare();
    other.BuildISOImage(out);
    for (int i = 0; i < 2000 && !done; ++i) {
      other.ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done && failed && other.ErrorNumber() == 2;
  }));
}

TEST_F(JobTest, FullDiskFailsWithError6) {
  const std::string out = dir / "limited.iso";
  // In a child, so that the file-size limit binds only there.
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1 << 20, 1 << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool ok = [&] {  // the component goes (and joins its threads) before the child exits
      test::Owner child_owner;
      TOrvex other(&child_owner);
      other.ClearAll();
      bool failed = false, done = false;
      other.SetOnWriteDone([&](TObject*, uint8_t, bool f) { failed = f, done = true; });
      WIN32_FIND_DATAW fd;
      fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
      SetFindName(fd, u"big");
      SetFindFileSize(fd, 8 << 20);
      other.InsertMemoryFileW(u"\\", fd, Counting(2));
      other.Prepare();
      other.BuildISOImage(out);
      for (int i = 0; i < 4000 && !done; ++i) {
        other.ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      return done && failed && other.ErrorString() == "Error writing file \\" + out + "\\";
    }();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(JobTest, AbortWhileWriting) {
  AddMemory(u"long", 400 << 20, Counting(5));
  disc.Prepare();
  ASSERT_TRUE(disc.BuildISOImage(dir / "out.iso"));
  WaitFor([this] { return disc.BlocksWritten() > 0 || write.events > 0; });
  disc.AbortOperation();
  EXPECT_EQ(disc.ComponentStatus(), 7);
  WaitForWrite();
  EXPECT_EQ(write.events, 1);
  EXPECT_TRUE(write.failed);
  EXPECT_EQ(disc.ErrorNumber(), 4u);
  EXPECT_EQ(disc.ComponentStatus(), 0);
  EXPECT_LT(disc.BlocksWritten(), disc.ImageSize());
}

TEST_F(JobTest, DestroyingTheComponentEndsItsJob) {
  auto other = std::make_unique<TOrvex>(&owner);
  other->ClearAll();
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFindName(fd, u"long");
  SetFindFileSize(fd, 400 << 20);
  other->InsertMemoryFileW(u"\\", fd, Counting(1));
  other->Prepare();
  ASSERT_TRUE(other->BuildISOImage(dir / "out.iso"));
  other.reset();  // aborts and waits; nothing is left running
}

}  // namespace
}  // namespace orvex
