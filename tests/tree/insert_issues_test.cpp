// SPDX-License-Identifier: Apache-2.0
// What the insertion routines leave out is told, each entry with its path
// and reason, and nothing else is lost with it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "platform/text_conversion.h"
#include "support/temp_dir.h"
#include "tree/content_tree.h"
#include "tree_fixture.h"

namespace orvex {
namespace {

using test::MemoryFile;
using test::TempDir;

struct TIssueCase {
  const char* name;
  std::function<void(const TempDir&)> make;  // adds to dir/src, beside src/kept.txt
  TInsertIssueKind kind;
  const char* path;  // below dir/src
  int error;
  int entries;       // what the tree then holds
};

const TIssueCase kIssues[] = {
    {"pipe", [](const TempDir& d) { mkfifo((d / "src/pipe").c_str(), 0644); }, TInsertIssueKind::kSpecialFile,
     "pipe", 0, 1},
    {"dangling link", [](const TempDir& d) { symlink("/nowhere", (d / "src/link").c_str()); },
     TInsertIssueKind::kDanglingLink, "link", ENOENT, 1},
    {"loop",
     [](const TempDir& d) {
       d.Mkdir("src/inner");
       symlink((d / "src").c_str(), (d / "src/inner/back").c_str());
     },
     TInsertIssueKind::kLoop, "inner/back", 0, 2},
    {"unreadable file",
     [](const TempDir& d) {
       d.Write("src/secret", "s");
       chmod((d / "src/secret").c_str(), 0);
     },
     TInsertIssueKind::kUnreadableEntry, "secret", EACCES, 1},
    {"unreadable directory",
     [](const TempDir& d) {
       d.Write("src/closed/x", "x");
       chmod((d / "src/closed").c_str(), 0);
     },
     TInsertIssueKind::kUnreadableDirectory, "closed", EACCES, 2},
    {"directory that cannot be entered",
     [](const TempDir& d) {
       d.Write("src/listed/x", "x");
       chmod((d / "src/listed").c_str(), 0444);
     },
     TInsertIssueKind::kUnreadableDirectory, "listed", EACCES, 2},
};

void PrintTo(const TIssueCase& c, std::ostream* os) { *os << c.name; }

// A pattern of every name reads each directory in one listing, any other
// pattern in two: both must tell the same.
const char16_t* const kPatterns[] = {u"*", u"*.*", u"?*"};

class InsertIssueTest : public ::testing::TestWithParam<TIssueCase> {};

// Run unprivileged, so that permissions apply; readable files only.
TEST_P(InsertIssueTest, IsToldWithItsPathAndReason) {
  const TIssueCase& c = GetParam();
  TempDir dir;
  dir.Write("src/kept.txt", "kept");
  c.make(dir);
  const std::u16string source = Utf8ToUtf16(dir / "src");
  const std::u16string expected = source + u"/" + Utf8ToUtf16(c.path);
  for (const char16_t* pattern : kPatterns) {
    SCOPED_TRACE(Utf16ToUtf8(pattern));
    EXPECT_TRUE(test::RunUnprivileged([&] {
      TContentTree tree;
      tree.ClearAll();
      tree.ReadableSourcesOnly = true;
      std::vector<TInsertIssue> issues;
      tree.cbInsertIssue = [&](const TInsertIssue& issue) { issues.push_back(issue); };
      const bool inserted = tree.InsertDirW(u"\\", source, pattern, true, false) == tree.RootDir;
      const bool told = issues.size() == 1 && issues[0].Kind == c.kind && issues[0].Path == expected &&
                        issues[0].Error == c.error;
      if (!told) {
        for (const TInsertIssue& i : issues) {
          std::fprintf(stderr, "issue %d %s %d\n", static_cast<int>(i.Kind), Utf16ToUtf8(i.Path).c_str(), i.Error);
        }
      }
      return inserted && told && tree.FileCounter() == c.entries && tree.RootDir->Names.Find(u"kept.txt") != nullptr;
    }));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, InsertIssueTest, ::testing::ValuesIn(kIssues), [](const auto& param_info) {
  std::string name = param_info.param.name;
  for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
});

// Loops are told before the other entries left out, whatever their names,
// and the entries taken carry what their source says of them.
TEST(InsertIssues, LoopsComeFirstAndTakenEntriesKeepTheirAttributes) {
  TempDir dir;
  dir.Write("src/kept.txt", "kept");
  chmod((dir / "src/kept.txt").c_str(), 0640);
  symlink("/nowhere", (dir / "src/a-link").c_str());
  symlink((dir / "src").c_str(), (dir / "src/z-back").c_str());
  const std::u16string source = Utf8ToUtf16(dir / "src");
  struct stat st;
  ASSERT_EQ(stat((dir / "src/kept.txt").c_str(), &st), 0);
  for (const char16_t* pattern : kPatterns) {
    SCOPED_TRACE(Utf16ToUtf8(pattern));
    TContentTree tree;
    tree.ClearAll();
    std::vector<TInsertIssue> issues;
    tree.cbInsertIssue = [&](const TInsertIssue& issue) { issues.push_back(issue); };
    ASSERT_EQ(tree.InsertDirW(u"\\", source, pattern, true, false), tree.RootDir);
    ASSERT_EQ(issues.size(), 2u);
    EXPECT_EQ(issues[0].Kind, TInsertIssueKind::kLoop);
    EXPECT_EQ(issues[0].Path, source + u"/z-back");
    EXPECT_EQ(issues[1].Kind, TInsertIssueKind::kDanglingLink);
    EXPECT_EQ(issues[1].Path, source + u"/a-link");
    const pFileEntry kept = tree.RootDir->Names.Find(u"kept.txt");
    ASSERT_NE(kept, nullptr);
    ASSERT_TRUE(kept->Posix.has_value());
    EXPECT_EQ(kept->Posix->Name, "kept.txt");
    EXPECT_EQ(kept->Posix->Mode, st.st_mode);
    EXPECT_EQ(kept->Posix->Serial, st.st_ino);
    EXPECT_EQ(kept->Posix->Links, st.st_nlink);
    EXPECT_EQ(kept->Posix->Modified.tv_nsec, st.st_mtim.tv_nsec);
  }
}

// A file against a directory of the same name: only that entry is left out.
TEST(InsertIssues, AKindClashSkipsOnlyTheClashingEntry) {
  TempDir dir;
  dir.Write("one/docs", "a file named docs");
  dir.Write("one/a.txt", "a");
  dir.Write("two/docs/inner.txt", "inner");
  dir.Write("two/b.txt", "b");
  TContentTree tree;
  tree.ClearAll();
  std::vector<TInsertIssue> issues;
  tree.cbInsertIssue = [&](const TInsertIssue& issue) { issues.push_back(issue); };
  ASSERT_EQ(tree.InsertDirW(u"\\", Utf8ToUtf16(dir / "one"), u"*", true, false), tree.RootDir);
  ASSERT_EQ(tree.InsertDirW(u"\\", Utf8ToUtf16(dir / "two"), u"*", true, false), tree.RootDir);
  ASSERT_EQ(issues.size(), 1u);
  EXPECT_EQ(issues[0].Kind, TInsertIssueKind::kKindClash);
  EXPECT_EQ(issues[0].Path, Utf8ToUtf16(dir / "two/docs"));
  EXPECT_NE(tree.RootDir->Names.Find(u"b.txt"), nullptr);
  EXPECT_EQ(tree.RootDir->Names.Find(u"docs")->DirRecord, nullptr);
}

TEST(InsertIssues, FullTablesStopTheInsertionAndAreTold) {
  TempDir dir;
  dir.Write("src/one.txt", "1");
  TContentTree tree;
  tree.ClearAll();
  for (size_t i = 0; i < kMaxFileEntries; ++i) {
    ASSERT_NE(tree.InsertMemoryFileW(u"\\", test::MemoryFile(Utf8ToUtf16(std::to_string(i))), nullptr), nullptr);
  }
  std::vector<TInsertIssue> issues;
  tree.cbInsertIssue = [&](const TInsertIssue& issue) { issues.push_back(issue); };
  EXPECT_EQ(tree.InsertDirW(u"\\", Utf8ToUtf16(dir / "src"), u"*", true, false), nullptr);
  ASSERT_EQ(issues.size(), 1u);
  EXPECT_EQ(issues[0].Kind, TInsertIssueKind::kFilesFull);
  EXPECT_EQ(issues[0].Path, Utf8ToUtf16(dir / "src/one.txt"));
}

}  // namespace
}  // namespace orvex
