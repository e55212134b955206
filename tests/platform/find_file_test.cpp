// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/find_file.h"
#include "platform/short_alias.h"
#include "platform/text_conversion.h"
#include "support/temp_dir.h"

namespace orvex {
namespace {

using test::TempDir;

struct Found {
  std::string name;
  std::string alias;
  uint32_t attributes;
  uint64_t size;
};

std::vector<Found> List(const std::string& pattern_path) {
  std::vector<Found> out;
  TFindSearch search;
  WIN32_FIND_DATAW fd;
  for (bool ok = search.First(Utf8ToUtf16(pattern_path), fd); ok; ok = search.Next(fd)) {
    out.push_back({Utf16ToUtf8(FindName(fd)), Utf16ToUtf8(FindAlternateName(fd)),
                   fd.dwFileAttributes, FindFileSize(fd)});
  }
  return out;
}

std::vector<std::string> Names(const std::vector<Found>& found) {
  std::vector<std::string> names;
  for (const Found& f : found) names.push_back(f.name);
  return names;
}

TEST(ShortAlias, ValidNamesNeedNone) {
  EXPECT_TRUE(IsValid83Name(u"README.TXT"));
  EXPECT_TRUE(IsValid83Name(u"readme.txt"));
  EXPECT_TRUE(IsValid83Name(u"A"));
  EXPECT_TRUE(IsValid83Name(u"12345678.abc"));
  EXPECT_FALSE(IsValid83Name(u"123456789"));
  EXPECT_FALSE(IsValid83Name(u"a.abcd"));
  EXPECT_FALSE(IsValid83Name(u"a b.txt"));
  EXPECT_FALSE(IsValid83Name(u"a.b.c"));
  EXPECT_FALSE(IsValid83Name(u".bashrc"));
  EXPECT_FALSE(IsValid83Name(u"name."));
  EXPECT_FALSE(IsValid83Name(u"caf\u00E9.txt"));
  EXPECT_FALSE(IsValid83Name(u"a+b.txt"));
}

TEST(ShortAlias, AliasesAreUniqueAndDeterministic) {
  const std::vector<std::string> names = {
      "Annual Report 2010.doc", "Annual Report 2011.doc", "annual~1.doc", ".bashrc",
      "Caf\xC3\xA9 menu.txt",   "a+b=c.txt",              "no extension here",
      "archive.tar.gz"};
  const auto aliases = MakeDirectoryAliases(names);
  EXPECT_EQ(aliases.count("annual~1.doc"), 0u);  // valid 8.3: no alias, and it keeps its name
  EXPECT_EQ(aliases.at("Annual Report 2010.doc"), u"ANNUAL~2.DOC");
  EXPECT_EQ(aliases.at("Annual Report 2011.doc"), u"ANNUAL~3.DOC");
  EXPECT_EQ(aliases.at(".bashrc"), u"BASHRC~1");
  EXPECT_EQ(aliases.at("Caf\xC3\xA9 menu.txt"), u"CAF_ME~1.TXT");
  EXPECT_EQ(aliases.at("a+b=c.txt"), u"A_B_C~1.TXT");
  EXPECT_EQ(aliases.at("no extension here"), u"NOEXTE~1");
  EXPECT_EQ(aliases.at("archive.tar.gz"), u"ARCHIV~1.GZ");

  // The same names in another order give the same aliases.
  const std::vector<std::string> reversed(names.rbegin(), names.rend());
  EXPECT_EQ(MakeDirectoryAliases(reversed), aliases);
}

TEST(ShortAlias, ManySimilarNamesStayUnique) {
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("Long file name " + std::to_string(i) + ".txt");
  const auto aliases = MakeDirectoryAliases(names);
  std::set<std::u16string> distinct;
  for (const auto& [name, alias] : aliases) {
    EXPECT_LE(alias.size(), 12u) << name;
    distinct.insert(alias);
  }
  EXPECT_EQ(distinct.size(), names.size());
  EXPECT_EQ(distinct.count(u"LONGFI~1.TXT"), 1u);
  EXPECT_EQ(distinct.count(u"LONGF~10.TXT"), 1u);
  EXPECT_EQ(distinct.count(u"LONG~100.TXT"), 1u);
}

TEST(ShortAlias, StemsCutToTheSameBaseShareTheirNumbers) {
  // "FILE10" and "FILE11" run out of one-digit numbers and both continue as
  // "FILE1~NN"; a real 8.3 name in between is stepped over.
  std::vector<std::string> names = {"FILE1~14.DAT"};
  for (const char* stem : {"file 10 ", "file 11 "}) {
    for (int i = 0; i < 12; ++i) names.push_back(stem + std::to_string(i) + ".dat");
  }
  const auto aliases = MakeDirectoryAliases(names);
  EXPECT_EQ(aliases.at("file 10 0.dat"), u"FILE10~1.DAT");
  EXPECT_EQ(aliases.at("file 10 6.dat"), u"FILE10~9.DAT");  // byte order: 0 1 10 11 2 ... 6
  EXPECT_EQ(aliases.at("file 10 9.dat"), u"FILE1~12.DAT");
  EXPECT_EQ(aliases.at("file 11 6.dat"), u"FILE11~9.DAT");
  EXPECT_EQ(aliases.at("file 11 7.dat"), u"FILE1~13.DAT");
  EXPECT_EQ(aliases.at("file 11 8.dat"), u"FILE1~15.DAT");
  EXPECT_EQ(aliases.at("file 11 9.dat"), u"FILE1~16.DAT");

  // At the scale of a large directory every alias is still its own.
  names.clear();
  for (int i = 0; i < 50'000; ++i) names.push_back("file " + std::to_string(i) + ".dat");
  std::set<std::u16string> distinct;
  for (const auto& [name, alias] : MakeDirectoryAliases(names)) distinct.insert(alias);
  EXPECT_EQ(distinct.size(), names.size());
}

TEST(FindSearch, ListsDotsFirstThenNamesInByteOrder) {
  TempDir dir;
  dir.Write("b.txt", "bb");
  dir.Write("A.txt", "a");
  dir.Mkdir("sub");
  dir.Write(".hidden", "h");
  const auto all = List(dir / "*.*");
  EXPECT_EQ(Names(all), (std::vector<std::string>{".", "..", ".hidden", "A.txt", "b.txt", "sub"}));
  EXPECT_EQ(all[0].attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(all[2].attributes, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(all[3].attributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(all[4].size, 2u);
  EXPECT_EQ(all[5].attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(all[5].size, 0u);
  EXPECT_EQ(all[2].alias, "HIDDEN~1");
  EXPECT_EQ(all[3].alias, "");

  EXPECT_EQ(Names(List(dir / "*.TXT")), (std::vector<std::string>{"A.txt", "b.txt"}));
  EXPECT_TRUE(List(dir / "*.none").empty());
  EXPECT_TRUE(List(dir / "missing/*").empty());
}

TEST(FindSearch, ReadOnlyWithoutWriteBits) {
  TempDir dir;
  const std::string file = dir.Write("locked.txt", "x");
  chmod(file.c_str(), 0444);
  const auto found = List(dir / "locked.txt");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].attributes, FILE_ATTRIBUTE_READONLY);
}

TEST(FindSearch, FollowsLinksButNeverEntersALoop) {
  TempDir dir;
  dir.Write("data/file.txt", "content");
  ASSERT_EQ(symlink((dir / "data").c_str(), (dir / "data/self").c_str()), 0);
  ASSERT_EQ(symlink((dir / "data/file.txt").c_str(), (dir / "data/alias.txt").c_str()), 0);
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "data/dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "data/pipe").c_str(), 0644), 0);
  const auto found = List(dir / "data/*");
  EXPECT_EQ(Names(found), (std::vector<std::string>{".", "..", "alias.txt", "file.txt"}));
  EXPECT_EQ(found[2].size, 7u);
  // A link to an ancestor further up is a loop too.
  dir.Mkdir("data/deep");
  ASSERT_EQ(symlink(dir.path().c_str(), (dir / "data/deep/top").c_str()), 0);
  EXPECT_EQ(Names(List(dir / "data/deep/*")), (std::vector<std::string>{".", ".."}));
}

TEST(FindSearch, NamesThatAreNotUtf8StillOpen) {
  TempDir dir;
  const std::string raw = "caf\xE9.txt";  // Latin-1 bytes
  dir.Write(raw, "bytes");
  const auto found = List(dir / "*.txt");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, raw);
  WIN32_FIND_DATAW fd;
  ASSERT_TRUE(FindFile(Utf8ToUtf16(dir / raw), fd));
  EXPECT_EQ(FindFileSize(fd), 5u);
  EXPECT_EQ(Utf16ToUtf8(FindAlternateName(fd)), "CAF_~1.TXT");
}

struct Skipped {
  std::string name;
  TFindSkip why;
  int error;
  bool operator==(const Skipped&) const = default;
};

// A search of `pattern_path` that records what it leaves out.
std::vector<Found> ListSkipping(const std::string& pattern_path, bool keep_links,
                                std::vector<Skipped>& skipped) {
  std::vector<Found> out;
  TFindSearch search;
  search.SetKeepLinks(keep_links);
  search.SetSkipHandler([&](std::u16string_view name, TFindSkip why, int error) {
    skipped.push_back({Utf16ToUtf8(name), why, error});
  });
  WIN32_FIND_DATAW fd;
  for (bool ok = search.First(Utf8ToUtf16(pattern_path), fd); ok; ok = search.Next(fd)) {
    out.push_back({Utf16ToUtf8(FindName(fd)), Utf16ToUtf8(FindAlternateName(fd)),
                   fd.dwFileAttributes, FindFileSize(fd)});
  }
  return out;
}

TEST(FindSearch, RelativeLinksResolveFromTheirOwnDirectory) {
  TempDir dir;
  dir.Write("data/file.txt", "content");
  dir.Write("other/x.txt", "xyz");
  dir.Mkdir("data/inner");
  const std::string data = dir / "data";
  ASSERT_EQ(symlink("file.txt", (data + "/rel").c_str()), 0);
  ASSERT_EQ(symlink("../other/x.txt", (data + "/up").c_str()), 0);
  ASSERT_EQ(symlink("inner", (data + "/sub").c_str()), 0);
  ASSERT_EQ(symlink("missing", (data + "/gone").c_str()), 0);
  ASSERT_EQ(symlink("ring2", (data + "/ring1").c_str()), 0);
  ASSERT_EQ(symlink("ring1", (data + "/ring2").c_str()), 0);

  std::vector<Skipped> skipped;
  const auto followed = ListSkipping(data + "/*", false, skipped);
  EXPECT_EQ(Names(followed), (std::vector<std::string>{".", "..", "file.txt", "inner", "rel", "sub", "up"}));
  EXPECT_EQ(followed[4].size, 7u);
  EXPECT_EQ(followed[5].attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(followed[6].size, 3u);
  EXPECT_EQ(skipped, (std::vector<Skipped>{{"gone", TFindSkip::kDangling, ENOENT},
                                           {"ring1", TFindSkip::kUnreadable, ELOOP},
                                           {"ring2", TFindSkip::kUnreadable, ELOOP}}));

  skipped.clear();
  const auto kept = ListSkipping(data + "/*", true, skipped);
  EXPECT_EQ(Names(kept), (std::vector<std::string>{".", "..", "file.txt", "gone", "inner", "rel", "ring1",
                                                   "ring2", "sub", "up"}));
  for (const Found& f : kept) {
    const bool link = f.name != "." && f.name != ".." && f.name != "file.txt" && f.name != "inner";
    EXPECT_EQ(f.attributes == FILE_ATTRIBUTE_REPARSE_POINT, link) << f.name;
    if (link) {
      EXPECT_EQ(f.size, 0u) << f.name;
    }
  }
  EXPECT_TRUE(skipped.empty());
}

TEST(FindSearch, OneSearchMovesFromDirectoryToDirectoryWithoutLeaking) {
  TempDir dir;
  dir.Write("a/one.txt", "1");
  dir.Write("b/two.txt", "22");
  const auto open_descriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto before = open_descriptors();
  {
    TFindSearch search;
    WIN32_FIND_DATAW fd;
    for (int round = 0; round < 3; ++round) {
      ASSERT_TRUE(search.First(Utf8ToUtf16(dir / "a/*.txt"), fd));
      EXPECT_EQ(Utf16ToUtf8(FindName(fd)), "one.txt");
      struct stat by_path;
      ASSERT_EQ(stat((dir / "a/one.txt").c_str(), &by_path), 0);
      EXPECT_EQ(search.Found().st_ino, by_path.st_ino);
      EXPECT_FALSE(search.First(Utf8ToUtf16(dir / "missing/*"), fd));
      EXPECT_EQ(search.Error(), ENOENT);
      // The second directory is examined, not the first one again.
      ASSERT_TRUE(search.First(Utf8ToUtf16(dir / "b/*.txt"), fd));
      EXPECT_EQ(Utf16ToUtf8(FindName(fd)), "two.txt");
      EXPECT_EQ(FindFileSize(fd), 2u);
      EXPECT_FALSE(search.First(Utf8ToUtf16(dir / "a/one.txt/*"), fd));
      EXPECT_EQ(search.Error(), ENOTDIR);
    }
  }
  EXPECT_EQ(open_descriptors(), before);
}

TEST(FindSearch, EntriesWhosePathIsTooLongToOpenAreLeftOut) {
  // A directory whose path leaves room for a name of 253 bytes: with it the
  // path and its terminating zero fill PATH_MAX.  That name is listed, one
  // byte more is not, though both could be examined relative to the
  // directory.
  TempDir dir;
  std::string deep = dir.path();
  const size_t target = PATH_MAX - 1 - 254;  // with "/" and the longer name: PATH_MAX bytes
  while (deep.size() < target) {
    const size_t room = target - deep.size() - 1;
    deep += "/" + std::string(std::min<size_t>(room, 200), 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  ASSERT_EQ(deep.size(), target);
  const int at = open(deep.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(at, 0);
  const std::string fits(253, 'f'), too_long(254, 't');
  for (const std::string& name : {fits, too_long}) {
    const int file = openat(at, name.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(file, 0);
    close(file);
  }
  std::vector<Skipped> skipped;
  const auto found = ListSkipping(deep + "/*", false, skipped);
  EXPECT_EQ(Names(found), (std::vector<std::string>{".", "..", fits}));
  EXPECT_EQ(skipped, (std::vector<Skipped>{{too_long, TFindSkip::kUnreadable, ENAMETOOLONG}}));
  // Removed here: its path is too long for removal by path.
  unlinkat(at, too_long.c_str(), 0);
  close(at);
}

TEST(FindSearch, UnreadableDirectoryListsNothing) {
  TempDir dir;
  dir.Write("closed/secret.txt", "s");
  chmod((dir / "closed").c_str(), 0);
  const std::string pattern = dir / "closed/*";
  EXPECT_TRUE(test::RunUnprivileged([&] { return List(pattern).empty(); }));
}

TEST(FindFile, LiteralLookupWithTheDirectorysAlias) {
  TempDir dir;
  dir.Write("Annual Report.doc", "r");
  dir.Write("star*.txt", "s");
  dir.Write("starry.txt", "t");
  WIN32_FIND_DATAW fd;
  ASSERT_TRUE(FindFile(Utf8ToUtf16(dir / "Annual Report.doc"), fd));
  EXPECT_EQ(Utf16ToUtf8(FindName(fd)), "Annual Report.doc");
  EXPECT_EQ(Utf16ToUtf8(FindAlternateName(fd)), "ANNUAL~1.DOC");
  ASSERT_TRUE(FindFile(Utf8ToUtf16(dir / "star*.txt"), fd));
  EXPECT_EQ(FindFileSize(fd), 1u);
  EXPECT_FALSE(FindFile(Utf8ToUtf16(dir / "missing.txt"), fd));
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
  EXPECT_FALSE(FindFile(Utf8ToUtf16(dir / "pipe"), fd));

  // A file added to the directory changes the aliases seen afterwards.
  dir.Write("Annual Report (old).doc", "o");
  ASSERT_TRUE(FindFile(Utf8ToUtf16(dir / "Annual Report.doc"), fd));
  EXPECT_EQ(Utf16ToUtf8(FindAlternateName(fd)), "ANNUAL~2.DOC");
}

}  // namespace
}  // namespace orvex
