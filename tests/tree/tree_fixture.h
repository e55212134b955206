// SPDX-License-Identifier: Apache-2.0
// Shared set-up of the content tree tests: a cleared tree and memory-file
// find data.
#ifndef ORVEX_TESTS_TREE_TREE_FIXTURE_H_
#define ORVEX_TESTS_TREE_TREE_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>

#include "platform/find_data.h"
#include "tree/content_tree.h"

namespace orvex::test {

inline WIN32_FIND_DATAW MemoryFile(std::u16string_view name, uint64_t size = 1,
                                   std::u16string_view alias = u"") {
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFindName(fd, name);
  SetFindAlternateName(fd, alias);
  SetFindFileSize(fd, size);
  return fd;
}

class TreeTest : public ::testing::Test {
 protected:
  void SetUp() override { tree.ClearAll(); }

  pFileEntry AddMemory(std::u16string_view dest, std::u16string_view name, uint64_t size = 1,
                       std::u16string_view alias = u"") {
    return tree.InsertMemoryFileW(dest, MemoryFile(name, size, alias), nullptr);
  }

  // Names of a directory's list, in list order.
  static std::vector<std::u16string> ListOf(const TDirEntry* dir) {
    std::vector<std::u16string> names;
    for (const TFileEntry* e = dir->Files; e != nullptr; e = e->NextFile) names.push_back(e->LongName);
    return names;
  }

  TContentTree tree;
};

}  // namespace orvex::test

#endif  // ORVEX_TESTS_TREE_TREE_FIXTURE_H_
