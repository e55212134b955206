#include <gtest/gtest.h>

#include "tree/disc_names.h"
#include "tree_fixture.h"

namespace orvex {
namespace {

using test::TreeTest;

TEST_F(TreeTest, FileShortNames) {
  const pFileEntry readme = AddMemory(u"\\", u"readme.txt");
  EXPECT_STREQ(readme->ShortName, "readme.txt");  // written upper-cased, kept as given
  EXPECT_EQ(readme->FileNameLength, 10);
  EXPECT_EQ(readme->FileNameLengthJ, 10);

  const pFileEntry bare = AddMemory(u"\\", u"README");
  EXPECT_STREQ(bare->ShortName, "README.");
  EXPECT_EQ(bare->FileNameLength, 7);

  const pFileEntry aliased = AddMemory(u"\\", u"Annual Report 2010.doc", 1, u"ANNUAL~1.DOC");
  EXPECT_STREQ(aliased->ShortName, "ANNUAL~1.DOC");
  const pFileEntry derived = AddMemory(u"\\", u"Annual Report 2011.doc");
  EXPECT_STREQ(derived->ShortName, "Annual Repor.");  // 12 units and a dot
  EXPECT_EQ(derived->FileNameLength, 13);
}

TEST_F(TreeTest, ShortNamesCountBytesAndFallBackWhenTooLong) {
  // "Café.txt": 8 units, 9 bytes in UTF-8.
  const pFileEntry cafe = AddMemory(u"\\", u"Caf\u00E9.txt");
  EXPECT_STREQ(cafe->ShortName, "Caf\xC3\xA9.txt");
  EXPECT_EQ(cafe->FileNameLength, 9);
  // Twelve Greek letters need 24 bytes: no 8-bit short form fits.
  const pFileEntry greek = AddMemory(u"\\", u"\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8\u03B9\u03BA\u03BB\u03BC.txt");
  EXPECT_STREQ(greek->ShortName, "________.___");
  EXPECT_EQ(greek->FileNameLength, 12);
  EXPECT_EQ(ShortNameBytes(u"ABCDEFGHIJKLM"), "ABCDEFGHIJKLM");
  EXPECT_EQ(ShortNameBytes(u"ABCDEFGHIJKLMN"), "________.___");
}

TEST_F(TreeTest, DirectoryNames) {
  const pDirEntry photos = tree.CreateDirW(u"\\", u"Photographs");
  EXPECT_STREQ(photos->ShortName, "PHOTOGRAPHS");
  EXPECT_EQ(photos->DirNameLength, 11);
  EXPECT_STREQ(tree.RootDir->Files->ShortName, "Photographs");  // its entry: no dot, case kept
  const pDirEntry docs = tree.CreateDirW(u"\\", u"My Documents");
  EXPECT_STREQ(docs->ShortName, "MY DOCUMENT");
  EXPECT_EQ(docs->LongName, u"My Documents");
  EXPECT_EQ(docs->DirNameLengthJ, 12);

  // Without an alias the first 12 units are taken, upper-cased, or the
  // fallback when their 8-bit form does not fit.
  WIN32_FIND_DATAW fd = test::MemoryFile(u"long directory name");
  fd.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  EXPECT_STREQ(tree.MakeDir(tree.RootDir, fd)->ShortName, "LONG DIRECTO");
  SetFindName(fd, u"\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4\u00C4x");
  const pDirEntry wide = tree.MakeDir(tree.RootDir, fd);
  EXPECT_STREQ(wide->ShortName, "________.___");
  EXPECT_EQ(wide->DirNameLength, 12);
}

}  // namespace
}  // namespace orvex
