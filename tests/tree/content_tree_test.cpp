// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text_conversion.h"
#include "support/temp_dir.h"
#include "tree/content_tree.h"
#include "tree_fixture.h"

namespace orvex {
namespace {

using test::MemoryFile;
using test::TempDir;
using test::TreeTest;
using Names = std::vector<std::u16string>;

std::u16string U(const std::string& s) { return Utf8ToUtf16(s); }

TEST(ContentTreeLifecycle, NothingResolvesBeforeTheFirstClearAll) {
  TContentTree tree;
  EXPECT_EQ(tree.FindDir(u"\\"), nullptr);
  EXPECT_EQ(tree.InsertMemoryFileW(u"\\", MemoryFile(u"a.txt"), nullptr), nullptr);
  EXPECT_EQ(tree.CreateDirW(u"\\", u"Docs"), nullptr);
  EXPECT_EQ(tree.FileCounter(), 0);
}

TEST_F(TreeTest, ClearAllLeavesAFreshRoot) {
  AddMemory(u"\\", u"a.txt");
  tree.CreateDirW(u"\\", u"Docs");
  tree.ClearAll();
  EXPECT_EQ(tree.FileCounter(), 0);
  EXPECT_EQ(tree.DirCounter(), 1);
  ASSERT_EQ(tree.PathTableEntries.size(), 1u);
  EXPECT_EQ(tree.RootDir, tree.Dirs[0]);
  EXPECT_EQ(tree.RootDir->Parent, tree.RootDir);
  EXPECT_STREQ(tree.RootDir->ShortName, "ROOT_DIR");
  EXPECT_TRUE(tree.RootDir->LongName.empty());
  EXPECT_EQ(tree.RootDir->Files, nullptr);
  EXPECT_EQ(tree.FindDir(u"\\Docs"), nullptr);
}

TEST_F(TreeTest, AnExistingNameIsKeptOrReplaced) {
  const pFileEntry first = AddMemory(u"\\", u"a.txt", 10);
  ASSERT_NE(first, nullptr);
  first->Hash = "D41D8CD98F00B204E9800998ECF8427E";
  EXPECT_EQ(AddMemory(u"\\", u"a.txt", 20), first);
  EXPECT_EQ(first->FileSize, 10);
  EXPECT_EQ(first->LongName, u"a.txt");
  EXPECT_EQ(tree.FileCounter(), 1);

  tree.ReplaceFile = true;
  tree.Prepared = true;
  EXPECT_EQ(AddMemory(u"\\", u"a.txt", 30), first);
  EXPECT_EQ(first->FileSize, 30);
  EXPECT_EQ(first->LongName, u"a.txt");
  EXPECT_TRUE(first->Hash.empty());           // a new source's digest is unknown
  EXPECT_FALSE(tree.Prepared);                // the layout is stale
  EXPECT_EQ(tree.FileCounter(), 1);
  EXPECT_EQ(ListOf(tree.RootDir), Names{u"a.txt"});
}

// Names differing only in case are entries of their own, found, replaced
// and told apart exactly; each later one is told once, naming the earlier.
TEST_F(TreeTest, NamesDifferingOnlyInCaseAreKeptApart) {
  std::vector<TInsertIssue> issues;
  tree.cbInsertIssue = [&](const TInsertIssue& issue) { issues.push_back(issue); };
  const pFileEntry upper = AddMemory(u"\\", u"README", 10);
  const pFileEntry lower = AddMemory(u"\\", u"readme", 20);
  const pDirEntry docs = tree.CreateDirW(u"\\", u"Docs");
  const pFileEntry file_docs = AddMemory(u"\\", u"docs", 30);  // a file beside the directory
  ASSERT_NE(upper, nullptr);
  ASSERT_NE(lower, nullptr);
  ASSERT_NE(docs, nullptr);
  ASSERT_NE(file_docs, nullptr);
  EXPECT_NE(upper, lower);
  EXPECT_EQ(tree.FileCounter(), 4);
  EXPECT_EQ(ListOf(tree.RootDir), (Names{u"README", u"readme", u"Docs", u"docs"}));
  EXPECT_STRNE(upper->ShortName, lower->ShortName);  // the 8.3 tree holds both

  EXPECT_EQ(tree.FindFile(u"\\", u"README"), upper->Index);
  EXPECT_EQ(tree.FindFile(u"\\", u"readme"), lower->Index);
  EXPECT_EQ(tree.FindFile(u"\\", u"ReadMe"), -1);
  EXPECT_EQ(tree.FindDir(u"\\Docs"), docs);
  EXPECT_EQ(tree.FindDir(u"\\docs"), nullptr);  // a file of that name
  EXPECT_EQ(tree.FindDir(u"\\DOCS"), nullptr);

  tree.ReplaceFile = true;
  EXPECT_EQ(AddMemory(u"\\", u"readme", 25), lower);
  EXPECT_EQ(lower->FileSize, 25);
  EXPECT_EQ(upper->FileSize, 10);

  ASSERT_EQ(issues.size(), 2u);
  EXPECT_EQ(issues[0].Kind, TInsertIssueKind::kCaseVariant);
  EXPECT_EQ(issues[0].Path, u"\\readme");
  EXPECT_EQ(issues[0].Other, u"README");
  EXPECT_EQ(issues[1].Path, u"\\docs");
  EXPECT_EQ(issues[1].Other, u"Docs");
  EXPECT_TRUE(tree.RootDir->Names.HasCaseVariants());
  EXPECT_FALSE(docs->Names.HasCaseVariants());
}

TEST_F(TreeTest, ReplacingKeepsOnlyTheNewSource) {
  TempDir dir;
  const std::string source = dir.Write("a.txt", "on disk");
  const pFileEntry entry = tree.InsertMemoryFileW(
      u"\\", MemoryFile(u"a.txt", 5),
      [](TObject*, pFileEntry, uint64_t, void*, uint32_t&) {});
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(entry->mfcbFunction);
  // Without ReplaceFile a second memory file leaves the first one's callback alone.
  bool second_called = false;
  tree.InsertMemoryFileW(u"\\", MemoryFile(u"a.txt", 9),
                         [&](TObject*, pFileEntry, uint64_t, void*, uint32_t&) { second_called = true; });
  uint32_t size = 0;
  entry->mfcbFunction(nullptr, entry, 0, nullptr, size);
  EXPECT_FALSE(second_called);

  tree.ReplaceFile = true;
  EXPECT_EQ(tree.InsertFileW(u"\\", U(source)), entry);
  EXPECT_FALSE(entry->mfcbFunction);  // the file on disk is read, not the old callback
  EXPECT_EQ(entry->Path, U(source));
  EXPECT_EQ(entry->FileSize, 7);
  EXPECT_EQ(tree.InsertMemoryFileW(u"\\", MemoryFile(u"a.txt", 3), nullptr), entry);
  EXPECT_TRUE(entry->Path.empty());
}

TEST_F(TreeTest, FilesAndDirectoriesNeverTakeOverEachOther) {
  const pDirEntry docs = tree.CreateDirW(u"\\", u"Docs");
  ASSERT_NE(docs, nullptr);
  const pFileEntry docs_entry = tree.RootDir->Files;
  // With or without ReplaceFile the file is refused and nothing changes.
  EXPECT_EQ(AddMemory(u"\\", u"Docs", 99), nullptr);
  tree.ReplaceFile = true;
  EXPECT_EQ(AddMemory(u"\\", u"Docs", 99), nullptr);
  EXPECT_EQ(docs_entry->DirRecord, docs);
  EXPECT_NE(docs_entry->attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

  const pFileEntry file = AddMemory(u"\\", u"notes", 5);
  EXPECT_EQ(tree.CreateDirW(u"\\", u"notes"), nullptr);
  EXPECT_EQ(file->DirRecord, nullptr);
  EXPECT_EQ(tree.DirCounter(), 2);
  EXPECT_EQ(tree.FileCounter(), 2);
}

TEST_F(TreeTest, CreatingADirectoryTwiceReturnsTheSameOne) {
  const pDirEntry docs = tree.CreateDirW(u"\\", u"Docs");
  EXPECT_EQ(tree.CreateDirW(u"\\", u"Docs"), docs);
  EXPECT_EQ(tree.CreateDirW(u"/", u"Docs"), docs);
  EXPECT_EQ(tree.DirCounter(), 2);
  EXPECT_EQ(tree.FileCounter(), 1);
  EXPECT_EQ(docs->Parent, tree.RootDir);
  EXPECT_EQ(tree.RootDir->Files->DirRecord, docs);
  EXPECT_EQ(tree.PathTableEntries[1], docs);
}

TEST_F(TreeTest, FindDirPathForms) {
  const pDirEntry docs = tree.CreateDirW(u"\\", u"Docs");
  const pDirEntry letters = tree.CreateDirW(u"\\Docs", u"Letters");
  AddMemory(u"\\Docs", u"a.txt");
  EXPECT_EQ(tree.FindDir(u""), tree.RootDir);
  EXPECT_EQ(tree.FindDir(u"\\"), tree.RootDir);
  EXPECT_EQ(tree.FindDir(u"/"), tree.RootDir);
  for (const char16_t* path : {u"\\Docs", u"\\Docs\\", u"Docs", u"\\\\Docs", u"/Docs/"}) {
    EXPECT_EQ(tree.FindDir(path), docs) << Utf16ToUtf8(path);
  }
  EXPECT_EQ(tree.FindDir(u"\\Docs\\\\"), nullptr);
  EXPECT_EQ(tree.FindDir(u"\\Docs\\a.txt"), nullptr);
  EXPECT_EQ(tree.FindDir(u"\\Docs\\a.txt\\Letters"), nullptr);
  EXPECT_EQ(tree.FindDir(u"\\Docs\\Letters"), letters);
  EXPECT_EQ(tree.FindDir(u"/Docs/Letters/"), letters);
  EXPECT_EQ(tree.FindDir(u"\\Letters"), nullptr);
  EXPECT_EQ(tree.FindDir(u"\\DOCS"), nullptr);  // names are exact
  EXPECT_EQ(tree.DirPath(letters), u"\\Docs\\Letters\\");
  EXPECT_EQ(tree.DirPath(tree.RootDir), u"\\");
}

TEST_F(TreeTest, LongNameLimit) {
  // Every name a Linux file system holds (255 bytes) fits.
  EXPECT_NE(AddMemory(u"\\", std::u16string(255, u'n')), kEntryRefused);
  EXPECT_EQ(AddMemory(u"\\", std::u16string(256, u'm')), kEntryRefused);
  EXPECT_EQ(tree.FileCounter(), 1);
  EXPECT_EQ(AddMemory(u"\\", u""), nullptr);  // a nameless entry fits no tree
  EXPECT_EQ(tree.FileCounter(), 1);
}

TEST_F(TreeTest, TheAddFileHandlerCanSkipOrRename) {
  std::vector<std::u16string> seen;
  tree.cbAddFileEvent = [&](TObject* sender, const char16_t* path, WIN32_FIND_DATAW& fd, bool& skip) {
    EXPECT_EQ(sender, nullptr);
    EXPECT_EQ(path, nullptr);
    seen.emplace_back(FindName(fd));
    if (FindName(fd) == u"skip.me") skip = true;
    if (FindName(fd) == u"rename.me") SetFindName(fd, u"renamed.txt");
  };
  EXPECT_EQ(AddMemory(u"\\", u"skip.me"), kEntryRefused);
  const pFileEntry renamed = AddMemory(u"\\", u"rename.me");
  ASSERT_NE(renamed, kEntryRefused);
  EXPECT_EQ(renamed->LongName, u"renamed.txt");
  EXPECT_EQ(tree.FileCounter(), 1);
  EXPECT_EQ(seen, (Names{u"skip.me", u"rename.me"}));
}

// A directory renamed by the handler has one name: its entry's and its own.
TEST_F(TreeTest, AHandlersNewNameIsTheDirectorysToo) {
  tree.cbAddFileEvent = [](TObject*, const char16_t*, WIN32_FIND_DATAW& fd, bool&) {
    if (FindName(fd) == u"old") SetFindName(fd, u"renamed");
  };
  const pDirEntry dir = tree.CreateDirW(u"\\", u"old");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir->LongName, u"renamed");
  EXPECT_EQ(tree.RootDir->Files->LongName, u"renamed");
  EXPECT_EQ(tree.FindDir(u"\\renamed"), dir);
  // The same source again finds the directory it became.
  EXPECT_EQ(tree.CreateDirW(u"\\", u"old"), dir);
  EXPECT_EQ(tree.DirCounter(), 2);
}

TEST_F(TreeTest, AMemoryFileIsAFile) {
  WIN32_FIND_DATAW fd = MemoryFile(u"looks like a directory", 4096);
  fd.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  EXPECT_EQ(tree.InsertMemoryFileW(u"\\", fd, nullptr), nullptr);
  // Nor may a handler make a file into one.
  tree.cbAddFileEvent = [](TObject*, const char16_t*, WIN32_FIND_DATAW& data, bool&) {
    data.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  };
  EXPECT_EQ(AddMemory(u"\\", u"plain.txt"), nullptr);
  EXPECT_EQ(tree.FileCounter(), 0);
}

TEST_F(TreeTest, ImportedEntriesKeepTheirAddress) {
  WIN32_FIND_DATAW fd = MemoryFile(u"old.dat", 4096);
  const pFileEntry entry = tree.AddEntry(tree.RootDir, fd, true, 5000, nullptr);
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(entry->Imported);
  EXPECT_EQ(entry->Address, 5000u);
  EXPECT_TRUE(entry->Path.empty());
  const pFileEntry plain = tree.AddEntry(tree.RootDir, MemoryFile(u"zero.dat", 0), true, 0, nullptr);
  EXPECT_FALSE(plain->Imported);
}

TEST_F(TreeTest, FindFileReturnsTheTableIndex) {
  AddMemory(u"\\", u"first.txt");
  tree.CreateDirW(u"\\", u"Docs");
  AddMemory(u"\\Docs", u"x.txt");
  EXPECT_EQ(tree.FindFile(u"\\Docs", u"x.txt"), 2);
  EXPECT_EQ(tree.FindFile(u"\\Docs", u"X.TXT"), -1);
  EXPECT_EQ(tree.FindFile(u"\\", u"Docs"), 1);
  EXPECT_EQ(tree.FindFile(u"\\Docs", u"y.txt"), -1);
  EXPECT_EQ(tree.FindFile(u"\\Missing", u"x.txt"), -1);
}

TEST_F(TreeTest, TableCapacitiesAreEnforced) {
  // Fill the directory table: the root plus 64,999 directories.
  for (int i = 1; i < static_cast<int>(kMaxDirectories); ++i) {
    ASSERT_NE(tree.CreateDirW(u"\\", U("d" + std::to_string(i))), nullptr) << i;
  }
  EXPECT_EQ(tree.CreateDirW(u"\\", u"one too many"), nullptr);
  EXPECT_EQ(tree.DirCounter(), static_cast<int32_t>(kMaxDirectories));
  EXPECT_EQ(tree.FileCounter(), static_cast<int32_t>(kMaxDirectories) - 1);
  EXPECT_EQ(tree.RootDir->LastFile->LongName, u"d64999");

  // Fill the file table; the last insertion fails and changes nothing.
  const pDirEntry target = tree.FindDir(u"\\d1");
  for (int i = tree.FileCounter(); i < static_cast<int>(kMaxFileEntries); ++i) {
    ASSERT_NE(tree.InsertMemoryFileW(u"\\d1", MemoryFile(U("f" + std::to_string(i))), nullptr),
              nullptr);
  }
  EXPECT_EQ(tree.InsertMemoryFileW(u"\\d1", MemoryFile(u"overflow"), nullptr), nullptr);
  EXPECT_EQ(tree.FileCounter(), static_cast<int32_t>(kMaxFileEntries));
  EXPECT_EQ(target->Names.Find(u"overflow"), nullptr);
  // Replacing needs no new slot.
  tree.ReplaceFile = true;
  EXPECT_NE(tree.InsertMemoryFileW(u"\\d1", MemoryFile(u"f70000", 42), nullptr), nullptr);
}

TEST_F(TreeTest, DirectoryNeedsRoomInBothTables) {
  for (int i = 0; i < static_cast<int>(kMaxFileEntries); ++i) {
    ASSERT_NE(AddMemory(u"\\", U(std::to_string(i))), nullptr);
  }
  EXPECT_EQ(tree.CreateDirW(u"\\", u"NoRoom"), nullptr);
  EXPECT_EQ(tree.DirCounter(), 1);
}

// --- Insertion from the file system ---------------------------------------------

class TreeFromDiskTest : public TreeTest {
 protected:
  TempDir dir;
};

TEST_F(TreeFromDiskTest, InsertFileRecordsTheSource) {
  const std::string path = dir.Write("Annual Report 2010.doc", "12345");
  tree.CreateDirW(u"\\", u"Docs");
  const pFileEntry entry = tree.InsertFileW(u"\\Docs\\", U(path));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Path, U(path));
  EXPECT_EQ(entry->FileSize, 5);
  EXPECT_STREQ(entry->ShortName, "ANNUAL~1.DOC");
  EXPECT_TRUE(entry->Unicode);
  EXPECT_EQ(tree.InsertFileW(u"\\Missing", U(path)), nullptr);
  EXPECT_EQ(tree.InsertFileW(u"\\", U(dir / "nope")), nullptr);
  EXPECT_EQ(tree.InsertFileW(u"\\", U(dir.path())), nullptr);  // a directory is no file
  EXPECT_EQ(tree.FileCounter(), 2);
}

TEST_F(TreeFromDiskTest, InsertFileWithOtherNames) {
  const std::string path = dir.Write("source.bin", "xy");
  const pFileEntry entry = tree.InsertFileWithNameW(u"\\", U(path), u"Shown Name.bin", u"SHOWN.BIN");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->LongName, u"Shown Name.bin");
  EXPECT_STREQ(entry->ShortName, "SHOWN.BIN");
  EXPECT_EQ(entry->FileSize, 2);
  EXPECT_EQ(tree.InsertFileWithNameW(u"\\", U(path), std::u16string(256, u'x'), u""), kEntryRefused);
  EXPECT_EQ(tree.InsertFileWithNameW(u"\\", U(path), std::u16string(300, u'x'), u""), kEntryRefused);
  EXPECT_EQ(tree.InsertFileWithNameW(u"\\", U(path), u"ok.bin", u"ABCDEFGHIJ.KLM"), nullptr);
  EXPECT_EQ(tree.FileCounter(), 1);
}

TEST_F(TreeFromDiskTest, InsertDirPutsSubdirectoriesFirst) {
  dir.Write("src/b.txt", "b");
  dir.Write("src/a.log", "a");
  dir.Write("src/zz/deep.txt", "d");
  dir.Mkdir("src/empty");
  dir.Write("src/zz/other.log", "o");
  const pDirEntry dest = tree.InsertDirW(u"\\", U(dir / "src/"), u"*.txt", true, false);
  ASSERT_EQ(dest, tree.RootDir);
  // Every subdirectory is created, even one with no matching file.
  EXPECT_EQ(ListOf(tree.RootDir), (Names{u"empty", u"zz", u"b.txt"}));
  EXPECT_EQ(ListOf(tree.FindDir(u"\\zz")), Names{u"deep.txt"});
  EXPECT_EQ(tree.FindDir(u"\\zz")->Files->Path, U(dir / "src/zz/deep.txt"));

  tree.ClearAll();
  tree.InsertDirW(u"\\", U(dir / "src"), u"*.*", false, false);
  EXPECT_EQ(ListOf(tree.RootDir), (Names{u"a.log", u"b.txt"}));
}

TEST_F(TreeFromDiskTest, SavePathRecreatesTheSourcePath) {
  dir.Write("data/photos/p1.jpg", "jpg");
  const pDirEntry photos = tree.InsertDirW(u"\\", U(dir / "data/photos"), u"*.*", true, true);
  ASSERT_NE(photos, nullptr);
  // An absolute source keeps everything after its leading "/".
  std::u16string expected = u"\\" + U(dir.path().substr(1)) + u"\\data\\photos\\";
  for (char16_t& c : expected) c = c == u'/' ? u'\\' : c;
  EXPECT_EQ(tree.DirPath(photos), expected);
  EXPECT_EQ(ListOf(photos), Names{u"p1.jpg"});

  // A relative source is kept whole; "." and ".." make no directories.
  tree.ClearAll();
  const std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const pDirEntry relative = tree.InsertDirW(u"\\", u"./data/../data/photos", u"*", true, true);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  ASSERT_NE(relative, nullptr);
  EXPECT_EQ(tree.DirPath(relative), u"\\data\\data\\photos\\");
  EXPECT_EQ(ListOf(relative), Names{u"p1.jpg"});
}

TEST_F(TreeFromDiskTest, SavePathOfAServerShare) {
  const pDirEntry share_dir = tree.InsertDirW(u"\\", u"\\\\server\\share\\dir", u"*", true, true);
  ASSERT_NE(share_dir, nullptr);
  EXPECT_EQ(tree.DirPath(share_dir), u"\\dir\\");
  tree.ClearAll();
  const pDirEntry share = tree.InsertDirW(u"\\", u"\\\\server\\share", u"*", true, true);
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(tree.DirPath(share), u"\\share\\");
}

TEST_F(TreeFromDiskTest, MissingSourceAddsNothingButReturnsTheDestination) {
  tree.CreateDirW(u"\\", u"Docs");
  EXPECT_EQ(tree.InsertDirW(u"\\Docs", U(dir / "missing"), u"*", true, false), tree.FindDir(u"\\Docs"));
  EXPECT_EQ(tree.FileCounter(), 1);
  EXPECT_EQ(tree.InsertDirW(u"\\Nowhere", U(dir.path()), u"*", true, false), nullptr);
  // With SavePath the chain named by the source is created all the same.
  const pDirEntry chain = tree.InsertDirW(u"\\", U(dir / "missing"), u"*", true, true);
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(chain->LongName, u"missing");
  EXPECT_EQ(chain->Files, nullptr);
}

TEST_F(TreeFromDiskTest, RefusedEntriesDoNotStopTheWalk) {
  dir.Write("src/keep.txt", "k");
  dir.Write("src/skip.txt", "s");
  dir.Write("src/.git/config", "c");
  dir.Write("src/sub/inner.txt", "i");
  tree.cbAddFileEvent = [](TObject*, const char16_t*, WIN32_FIND_DATAW& fd, bool& skip) {
    skip = FindName(fd) == u"skip.txt" || FindName(fd) == u".git";
  };
  ASSERT_EQ(tree.InsertDirW(u"\\", U(dir / "src"), u"*", true, false), tree.RootDir);
  EXPECT_EQ(ListOf(tree.RootDir), (Names{u"sub", u"keep.txt"}));
  EXPECT_EQ(tree.DirCounter(), 2);  // the refused directory left nothing behind
  EXPECT_EQ(ListOf(tree.FindDir(u"\\sub")), Names{u"inner.txt"});
}

TEST_F(TreeFromDiskTest, LinkLoopsEndAndNonUtf8NamesStayOpenable) {
  dir.Write("src/caf\xE9.txt", "latin-1 name");
  dir.Mkdir("src/inner");
  ASSERT_EQ(symlink((dir / "src").c_str(), (dir / "src/inner/back").c_str()), 0);
  ASSERT_NE(tree.InsertDirW(u"\\", U(dir / "src"), u"*", true, false), nullptr);
  EXPECT_EQ(tree.DirCounter(), 2);  // root and inner; "back" loops and is not entered
  const pFileEntry file = tree.RootDir->LastFile;
  ASSERT_NE(file, nullptr);
  std::ifstream in(Utf16ToUtf8(file->Path), std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "latin-1 name");
}

TEST_F(TreeFromDiskTest, UnreadableSubdirectoryBecomesEmpty) {
  dir.Write("src/open/a.txt", "a");
  dir.Write("src/closed/b.txt", "b");
  chmod((dir / "src/closed").c_str(), 0);
  const std::u16string source = U(dir / "src");
  EXPECT_TRUE(test::RunUnprivileged([&] {
    TContentTree local;
    local.ClearAll();
    return local.InsertDirW(u"\\", source, u"*", true, false) == local.RootDir &&
           local.FindDir(u"\\closed") != nullptr && local.FindDir(u"\\closed")->Files == nullptr &&
           local.FileCounter() == 3;
  }));
}

}  // namespace
}  // namespace orvex
