// SPDX-License-Identifier: Apache-2.0
// Fills a content tree from a folder and prints it: each entry with its
// path in the image and its size, and what could not be taken.
//
//   print_tree FOLDER
#include <cstdio>
#include <string>

#include "component/orvex.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: print_tree FOLDER\n");
    return 2;
  }
  orvex::TOrvex disc(nullptr);
  disc.ClearAll();
  disc.SetOnInsertIssue([](const orvex::TInsertIssue& issue) {
    std::fprintf(stderr, "print_tree: left out: %s\n", orvex::Utf16ToUtf8(issue.Path).c_str());
  });
  if (disc.InsertDir("\\", argv[1], "*", true, false) == nullptr) {
    std::fprintf(stderr, "print_tree: cannot insert %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %u files and directories in %u directories\n", argv[1], disc.FilesCount(),
              disc.DirsCount());
  disc.WalkTree([&](const orvex::TOrvex::TTreeItem& item) {
    if (item.IsDirectory) {
      std::printf("%s/\n", orvex::Utf16ToUtf8(item.Path).c_str());
    } else {
      std::printf("%s  [%s]  %lld bytes\n", orvex::Utf16ToUtf8(item.Path).c_str(),
                  disc.ShortFileName(item.FileId).c_str(), static_cast<long long>(item.Size));
    }
  });
  return 0;
}
