// SPDX-License-Identifier: Apache-2.0
// Entries inserted from the file system carry what it says of them (mode,
// owner, times, the exact name), and with KeepLinks symbolic links are kept
// as links, dangling or not, instead of being followed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/text_conversion.h"
#include "support/temp_dir.h"
#include "tree/content_tree.h"
#include "tree_fixture.h"

namespace orvex {
namespace {

using test::TempDir;

const TFileEntry* Find(const TDirEntry* dir, std::u16string_view name) {
  for (const TFileEntry* e = dir->Files; e != nullptr; e = e->NextFile) {
    if (e->LongName == name) return e;
  }
  return nullptr;
}

struct TLinkCase {
  const char* name;
  bool keep_links;
  uint32_t type;          // what the entry is then: S_IFLNK, S_IFREG or S_IFDIR; 0 when left out
  const char* target;     // a kept link's target
};

class SourceTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("src/f600", "six");
    chmod((dir / "src/f600").c_str(), 0600);
    dir.Write("src/sub/f755", "x");
    chmod((dir / "src/sub/f755").c_str(), 0755);
    symlink("f600", (dir / "src/to_file").c_str());
    symlink("sub", (dir / "src/to_dir").c_str());
    symlink("../nowhere/at all", (dir / "src/dangling").c_str());
    tree.ClearAll();
  }

  void Insert(bool keep_links) {
    tree.KeepLinks = keep_links;
    ASSERT_NE(tree.InsertDirW(u"\\", Utf8ToUtf16(dir / "src"), u"*", true, false), nullptr);
  }

  TempDir dir;
  TContentTree tree;
};

TEST_F(SourceTreeTest, LinksAreKeptOrFollowedAsAsked) {
  const TLinkCase cases[] = {
      {"to_file", true, S_IFLNK, "f600"},  {"to_dir", true, S_IFLNK, "sub"},
      {"dangling", true, S_IFLNK, "../nowhere/at all"},
      {"to_file", false, S_IFREG, ""},     {"to_dir", false, S_IFDIR, ""},
      {"dangling", false, 0, ""},
  };
  for (const TLinkCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.keep_links ? " kept" : " followed"));
    tree.ClearAll();
    Insert(c.keep_links);
    const TFileEntry* e = Find(tree.RootDir, Utf8ToUtf16(c.name));
    if (c.type == 0) {
      EXPECT_EQ(e, nullptr);
      continue;
    }
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(e->Posix.has_value());
    EXPECT_EQ(e->Posix->Mode & S_IFMT, c.type);
    EXPECT_EQ(e->Posix->Name, c.name);
    EXPECT_EQ(e->Posix->LinkTarget, c.target);
    EXPECT_EQ(e->DirRecord != nullptr, c.type == S_IFDIR);
    if (c.type == S_IFLNK) {
      // A link has no data of its own to read.
      EXPECT_EQ(e->FileSize, 0);
      EXPECT_TRUE(e->Path.empty());
    }
  }
}

TEST_F(SourceTreeTest, EntriesCarryTheirSourcesAttributes) {
  Insert(true);
  struct stat st;
  ASSERT_EQ(stat((dir / "src/f600").c_str(), &st), 0);
  const TFileEntry* file = Find(tree.RootDir, u"f600");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Posix.has_value());
  EXPECT_EQ(file->Posix->Mode, S_IFREG | 0600);
  EXPECT_EQ(file->Posix->Uid, st.st_uid);
  EXPECT_EQ(file->Posix->Serial, st.st_ino);
  EXPECT_EQ(file->Posix->Modified.tv_sec, st.st_mtim.tv_sec);

  const TFileEntry* sub = Find(tree.RootDir, u"sub");
  ASSERT_NE(sub, nullptr);
  ASSERT_TRUE(sub->Posix.has_value());
  EXPECT_TRUE(S_ISDIR(sub->Posix->Mode));
  const TFileEntry* exe = Find(sub->DirRecord, u"f755");
  ASSERT_NE(exe, nullptr);
  EXPECT_EQ(exe->Posix->Mode & 07777, 0755u);
  // The root takes the attributes of the directory inserted into it.
  ASSERT_EQ(stat((dir / "src").c_str(), &st), 0);
  EXPECT_EQ(tree.RootPosix.Mode, st.st_mode);

  // Memory files and created directories have none; a replacing memory
  // file drops those of the source it replaces.
  const pDirEntry made = tree.CreateDirW(u"\\", u"made");
  ASSERT_NE(made, nullptr);
  EXPECT_FALSE(Find(tree.RootDir, u"made")->Posix.has_value());
  tree.ReplaceFile = true;
  ASSERT_NE(tree.InsertMemoryFileW(u"\\", test::MemoryFile(u"f600"), nullptr), nullptr);
  EXPECT_FALSE(Find(tree.RootDir, u"f600")->Posix.has_value());
}

TEST(RootAttributes, ClearAllGivesTheRootDefaults) {
  TContentTree tree;
  tree.ClearAll();
  EXPECT_EQ(tree.RootPosix.Mode, S_IFDIR | 0555u);
  EXPECT_EQ(tree.RootPosix.Uid, 0u);
  EXPECT_GT(tree.RootPosix.Modified.tv_sec, 0);
}

}  // namespace
}  // namespace orvex
