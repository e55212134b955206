// Fills a content tree from a folder and prints it: each entry with its
// long name, its 8.3 name and its size.
//
//   print_tree FOLDER
#include <cstdio>
#include <string>

#include "component/orvex.h"
#include "platform/text_conversion.h"

namespace {

void PrintDirectory(const orvex::TDirEntry* dir, int depth) {
  for (const orvex::TFileEntry* entry = dir->Files; entry != nullptr; entry = entry->NextFile) {
    const std::string name = orvex::Utf16ToUtf8(entry->LongName);
    if (entry->DirRecord != nullptr) {
      std::printf("%*s%s/  [%s]\n", depth * 2, "", name.c_str(), entry->DirRecord->ShortName);
      PrintDirectory(entry->DirRecord, depth + 1);
    } else {
      std::printf("%*s%s  [%s]  %lld bytes\n", depth * 2, "", name.c_str(), entry->ShortName,
                  static_cast<long long>(entry->FileSize));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: print_tree FOLDER\n");
    return 2;
  }
  orvex::TOrvex disc(nullptr);
  disc.ClearAll();
  if (disc.InsertDir("\\", argv[1], "*", true, false) == nullptr) {
    std::fprintf(stderr, "print_tree: cannot insert %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %u files and directories in %u directories\n", argv[1], disc.FilesCount(),
              disc.DirsCount());
  std::printf("\\\n");
  PrintDirectory(disc.CDFiles.RootDir, 1);
  return 0;
}
