// SPDX-License-Identifier: Apache-2.0
#include "pipeline/source_opener.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "job_fixture.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using test::OpenDescriptors;

std::string Content(TFile& file) {
  std::string text(64, '\0');
  const int64_t n = file.Read(text.data(), text.size());
  text.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return text;
}

class SourceOpenerTest : public ::testing::Test {
 protected:
  // An entry with a source: what the opener opens.
  TFileEntry* AddSource(const std::string& path) {
    TFileEntry* entry = files.Append();
    entry->Path = Utf8ToUtf16(path);
    entry->FileSize = 1;
    return entry;
  }
  // Entries the opener passes over: they have no source file of their own.
  void AddOthers() {
    files.Append()->FileSize = 5;  // a memory file
    TFileEntry* empty = AddSource(dir.Write("empty"));
    empty->FileSize = 0;
    AddSource(dir.Mkdir("folder"))->attributes = FILE_ATTRIBUTE_DIRECTORY;
    AddSource(dir.Write("copy", "copy"))->ReferenceEntry = files[0];
  }

  test::TempDir dir;
  TEntryTable<TFileEntry> files{100'000};
};

// Files of like names in different directories, directories whose paths
// begin alike, and entries without a source in between: each source is the
// file its entry names, in file table order.
TEST_F(SourceOpenerTest, OpensEachEntrysOwnSourceInOrder) {
  std::vector<std::pair<int32_t, std::string>> expected;
  for (const std::string folder : {"a", "ab", "a/b", "a", "b"}) {
    for (const std::string name : {"x", "y"}) {
      expected.emplace_back(files.size(), folder + "/" + name);
      AddSource(dir.Write(folder + "/" + name, folder + "/" + name));
      AddOthers();
    }
  }
  TSourceOpener opener(files, static_cast<int32_t>(files.size()));
  for (const auto& [index, content] : expected) {
    TFile file = opener.Take(index);
    ASSERT_TRUE(file.IsOpen()) << content;
    EXPECT_EQ(Content(file), content);
    ASSERT_TRUE(file.OpenedState());
    EXPECT_EQ(file.OpenedState()->size, content.size());
  }
}

// A source that cannot be opened fails as an open by its path at its turn
// would, never blocking; one that is back by its turn is read.
TEST_F(SourceOpenerTest, FailuresAreThoseOfAnOpenAtTheTurn) {
  const std::string gone = dir.Write("gone/file", "gone");
  const std::string vanished = dir.Write("here/vanished", "vanished");
  const std::string fifo = dir.Write("here/fifo", "fifo");
  const std::string folder = dir.Write("here/folder", "folder");
  const std::string back = dir.Write("here/back", "back");
  const std::string kept = dir.Write("here/kept", "kept");
  for (const std::string& path : {gone, vanished, fifo, folder, back, kept}) AddSource(path);
  fs::remove_all(dir / "gone");
  fs::remove(vanished);
  fs::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::remove(folder);
  fs::create_directory(folder);
  fs::remove(back);

  TSourceOpener opener(files, static_cast<int32_t>(files.size()));
  struct Expected {
    int error;
    const char* content;
  };
  const Expected expected[] = {{ENOENT, ""}, {ENOENT, ""}, {EINVAL, ""}, {EISDIR, ""}, {0, "back"}, {0, "kept"}};
  for (int32_t i = 0; i < 6; ++i) {
    if (i == 4) dir.Write("here/back", "back");
    TFile file = opener.Take(i);
    EXPECT_EQ(file.IsOpen(), expected[i].error == 0) << i;
    EXPECT_EQ(file.LastError(), expected[i].error) << i;
    if (file.IsOpen()) {
      EXPECT_EQ(Content(file), expected[i].content);
    }
  }
}

// However far the opener runs ahead, it holds a bounded number of files,
// and stopping it while it opens closes every one not taken or not closed
// yet.
TEST_F(SourceOpenerTest, HoldsABoundedNumberAndClosesWhatWasNotTaken) {
  constexpr int32_t kFiles = 3 * TSourceOpener::kLookahead + 5;
  for (int32_t i = 0; i < kFiles; ++i) {
    AddSource(dir.Write("d" + std::to_string(i % 7) + "/f" + std::to_string(i), "data"));
  }
  const int before = OpenDescriptors();
  for (int32_t taken : {0, 1, kFiles / 2, kFiles}) {
    {
      TSourceOpener opener(files, kFiles);
      for (int32_t i = 0; i < taken; ++i) {
        TFile file = opener.Take(i);
        ASSERT_TRUE(file.IsOpen());
        // The ones held ahead, those given back, their directory and this file.
        EXPECT_LE(OpenDescriptors(), before + 2 * static_cast<int>(TSourceOpener::kLookahead) + 2);
        opener.Close(std::move(file));
      }
    }
    EXPECT_EQ(OpenDescriptors(), before) << taken << " taken";
  }
}

}  // namespace
}  // namespace orvex
