// SPDX-License-Identifier: Apache-2.0
// The content tree as lines a test can compare: "d PATH" for a directory,
// "f PATH SIZE ADDRESS" for a file, depth first in list order, PATH with
// "/" separators and in UTF-8.
#ifndef ORVEX_TESTS_SERVICES_TREE_LISTING_H_
#define ORVEX_TESTS_SERVICES_TREE_LISTING_H_

#include <string>
#include <vector>

#include "platform/text_conversion.h"
#include "tree/content_tree.h"

namespace orvex::test {

inline void ListInto(const TDirEntry* dir, const std::string& prefix,
                     std::vector<std::string>& lines) {
  for (const TFileEntry* e = dir->Files; e != nullptr; e = e->NextFile) {
    const std::string path = prefix + Utf16ToUtf8(e->LongName);
    if (e->DirRecord != nullptr) {
      lines.push_back("d " + path);
      ListInto(e->DirRecord, path + "/", lines);
    } else {
      lines.push_back("f " + path + " " + std::to_string(e->FileSize) + " " +
                      std::to_string(e->Address));
    }
  }
}

// "PATH SHORTNAME" for every entry, in the same order.
inline void ShortNamesInto(const TDirEntry* dir, const std::string& prefix, std::vector<std::string>& lines) {
  for (const TFileEntry* e = dir->Files; e != nullptr; e = e->NextFile) {
    const std::string path = prefix + Utf16ToUtf8(e->LongName);
    lines.push_back(path + " " + std::string(e->ShortName, e->FileNameLength));
    if (e->DirRecord != nullptr) ShortNamesInto(e->DirRecord, path + "/", lines);
  }
}

inline std::vector<std::string> ShortNames(const TContentTree& tree) {
  std::vector<std::string> lines;
  if (tree.RootDir != nullptr) ShortNamesInto(tree.RootDir, "", lines);
  return lines;
}

inline std::vector<std::string> Listing(const TContentTree& tree) {
  std::vector<std::string> lines;
  if (tree.RootDir != nullptr) ListInto(tree.RootDir, "", lines);
  return lines;
}

}  // namespace orvex::test

#endif  // ORVEX_TESTS_SERVICES_TREE_LISTING_H_
