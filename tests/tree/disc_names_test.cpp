// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The name an entry was first given survives renames (the UDF tree takes
// it); it is held apart from the long name only once they differ.
TEST(DiscNames, FirstLongNameSurvivesRenames) {
  struct TCase {
    std::vector<std::u16string> names;  // given one after the other
    std::u16string first, apart;        // FirstLongName, LongNameWIN32
  };
  const TCase cases[] = {
      {{u"a.txt"}, u"a.txt", u""},
      {{u"a.txt", u"a.txt"}, u"a.txt", u""},
      {{u"README", u"Readme"}, u"README", u"README"},
      {{u"one", u"two", u"three"}, u"one", u"one"},
      {{u"one", u"two", u"one"}, u"one", u"one"},
  };
  for (const TCase& c : cases) {
    TFileEntry entry;
    for (const std::u16string& name : c.names) {
      WIN32_FIND_DATAW fd;
      SetFindName(fd, name);
      SetFileEntryNames(entry, fd);
    }
    EXPECT_EQ(entry.LongName, c.names.back());
    EXPECT_EQ(entry.FirstLongName(), c.first);
    EXPECT_EQ(entry.LongNameWIN32, c.apart);
  }
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

struct TClashCase {
  const char* name;
  std::u16string first, first_alias;    // already in the directory
  std::u16string second, second_alias;  // added beside it
  bool second_is_directory;
  const char* expected;                 // the second's short name
};

void PrintTo(const TClashCase& c, std::ostream* os) { *os << c.name; }

class ShortNameClashTest : public TreeTest, public ::testing::WithParamInterface<TClashCase> {};

TEST_P(ShortNameClashTest, TheLaterEntryGetsAFreeAlias) {
  const TClashCase& c = GetParam();
  const pFileEntry first = AddMemory(u"\\", c.first, 1, c.first_alias);
  ASSERT_NE(first, nullptr);
  const std::string kept = first->ShortName;
  WIN32_FIND_DATAW fd = test::MemoryFile(c.second, 1, c.second_alias);
  pFileEntry second;
  if (c.second_is_directory) {
    fd.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    const pDirEntry dir = tree.MakeDir(tree.RootDir, fd);
    ASSERT_NE(dir, nullptr);
    second = tree.RootDir->LastFile;
    EXPECT_EQ(std::string(dir->ShortName), c.expected);  // the path table agrees
  } else {
    second = tree.InsertMemoryFileW(u"\\", fd, nullptr);
    ASSERT_NE(second, nullptr);
  }
  EXPECT_EQ(std::string(second->ShortName), c.expected);
  EXPECT_EQ(first->ShortName, kept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShortNameClashTest,
    ::testing::Values(
        TClashCase{"NoClashKeepsTheName", u"a.txt", u"", u"Annual Report.doc", u"ANNUAL~1.DOC", false,
                   "ANNUAL~1.DOC"},
        TClashCase{"DerivedNames", u"Annual Report 2010.doc", u"", u"Annual Report 2011.doc", u"", false,
                   "ANNUAL~1.DOC"},
        TClashCase{"AliasesOfTwoSourceFolders", u"Annual Report 2010.doc", u"ANNUAL~1.DOC",
                   u"Annual Report 2011.doc", u"ANNUAL~1.DOC", false, "ANNUAL~2.DOC"},
        TClashCase{"CaseIsIgnored", u"Read Me.txt", u"readme.txt", u"Read me too.txt", u"README.TXT", false,
                   "README~1.TXT"},
        // Readers show "README." as "README": a directory of that name clashes.
        TClashCase{"FinalDotIsIgnored", u"README", u"", u"Read me folder", u"README", true, "README~1"},
        TClashCase{"FallbackNames", u"αβγδεζηθικλμ.txt", u"",
                   u"αβγδεζηθικλν.txt", u"", false,
                   "______~1.TXT"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(TreeTest, RenameShortKeepsSoundFreeWishesAndAliasesTheRest) {
  const pFileEntry other = AddMemory(u"\\", u"Other.txt", 1, u"TAKEN.TXT");
  const pFileEntry kept = AddMemory(u"\\", u"Annual Report.pdf");
  const pFileEntry taken = AddMemory(u"\\", u"Taken one.txt");
  const pFileEntry unsound = AddMemory(u"\\", u"holiday-001-beach.jpg");
  const pFileEntry plain = AddMemory(u"\\", u"notes.txt");
  const pDirEntry docs = tree.CreateDirW(u"\\", u"Documents");
  const pFileEntry docs_entry = tree.RootDir->LastFile;
  tree.RenameShort(tree.RootDir, {{kept, u"ANNUAL~7.PDF"},
                                  {taken, u"TAKEN.TXT"},
                                  {unsound, u"HOLIDAY-001-"},
                                  {plain, u""},
                                  {docs_entry, u""}});
  EXPECT_STREQ(other->ShortName, "TAKEN.TXT");
  EXPECT_STREQ(kept->ShortName, "ANNUAL~7.PDF");
  EXPECT_STREQ(taken->ShortName, "TAKENO~1.TXT");
  EXPECT_STREQ(unsound->ShortName, "HOLIDA~1.JPG");
  EXPECT_STREQ(plain->ShortName, "notes.txt");
  EXPECT_STREQ(docs_entry->ShortName, "DOCUME~1");
  EXPECT_STREQ(docs->ShortName, "DOCUME~1");
  // A name given up is free again; one taken now is not.
  EXPECT_STREQ(AddMemory(u"\\", u"Documents list", 1, u"DOCUMENTS")->ShortName, "DOCUMENTS.");
  EXPECT_STREQ(AddMemory(u"\\", u"Another report.pdf", 1, u"ANNUAL~7.PDF")->ShortName, "ANOTHE~1.PDF");
}

}  // namespace
}  // namespace orvex
