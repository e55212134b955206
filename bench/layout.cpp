// SPDX-License-Identifier: Apache-2.0
// Layout speed and memory: Prepare plus header generation for 200,000 files
// over 20,000 directories and for 100,000 files in one directory.
//
//   layout [--repeat N]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "component/orvex.h"

namespace {

using Clock = std::chrono::steady_clock;

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::unique_ptr<orvex::TOrvex> Fill(size_t files, size_t dirs) {
  auto disc = std::make_unique<orvex::TOrvex>(nullptr);
  disc->ClearAll();
  disc->SetUDFBridge(true);
  std::vector<std::u16string> targets;
  for (size_t d = 0; d < dirs; ++d) {
    // Two levels: 100 top directories, the rest spread below them.
    const std::u16string top = u"\\top " + Wide(std::to_string(d % 100));
    if (d < 100) {
      disc->CreateDirW(u"\\", top.substr(1));
      targets.push_back(top);
    } else {
      const std::u16string name = u"directory " + Wide(std::to_string(d));
      disc->CreateDirW(top, name);
      targets.push_back(top + u"\\" + name);
    }
  }
  if (targets.empty()) targets.push_back(u"\\");
  orvex::WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = orvex::FILE_ATTRIBUTE_NORMAL;
  for (size_t i = 0; i < files; ++i) {
    orvex::SetFindName(fd, u"a file with a long name " + Wide(std::to_string(i)) + u".dat");
    orvex::SetFindFileSize(fd, 1000 + i % 10000);
    disc->InsertMemoryFileW(targets[i % targets.size()], fd, nullptr);
  }
  return disc;
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 3;
  if (argc == 3 && std::strcmp(argv[1], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[2]));
  struct Case {
    const char* name;
    size_t files, dirs;
  };
  std::printf("%-34s %10s %12s %12s %14s\n", "tree", "entries", "Prepare ms", "header ms", "peak RSS MiB");
  for (const Case& c : {Case{"200,000 files over 20,000 dirs", 200'000 - 20'000, 20'000},
                        Case{"100,000 files in one directory", 100'000, 0}}) {
    std::vector<double> prepare, header;
    size_t entries = 0;
    for (int r = 0; r < repeat; ++r) {
      auto disc = Fill(c.files, c.dirs);
      entries = disc->FilesCount();
      const auto t0 = Clock::now();
      disc->CDFiles.Prepare();
      const auto t1 = Clock::now();
      std::vector<uint8_t> header_bytes;
      disc->CDFiles.GenerateHeader(header_bytes);
      const auto t2 = Clock::now();
      prepare.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      header.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::sort(prepare.begin(), prepare.end());
    std::sort(header.begin(), header.end());
    std::printf("%-34s %10zu %12.1f %12.1f %14.1f\n", c.name, entries, prepare[prepare.size() / 2],
                header[header.size() / 2], PeakKiB() / 1024.0);
  }
  return 0;
}
