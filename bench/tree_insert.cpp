// SPDX-License-Identifier: Apache-2.0
// Insertion speed of the content tree: memory files into one directory and
// spread over 1,000 directories, at three sizes.  The cost per entry should
// not grow with the size of a directory.
//
//   tree_insert [--repeat N]
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

orvex::WIN32_FIND_DATAW MemoryFile(size_t i) {
  orvex::WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = orvex::FILE_ATTRIBUTE_NORMAL;
  fd.nFileSizeLow = 4096;
  const std::string name = "memory file number " + std::to_string(i) + ".bin";
  orvex::SetFindName(fd, std::u16string(name.begin(), name.end()));
  return fd;
}

// Seconds to insert `files` memory files over `dirs` directories (0: the root).
double Run(size_t files, size_t dirs) {
  auto disc = std::make_unique<orvex::TOrvex>(nullptr);
  disc->ClearAll();
  std::vector<std::u16string> targets;
  for (size_t d = 0; d < dirs; ++d) {
    const std::string name = "dir" + std::to_string(d);
    disc->CreateDirW(u"\\", std::u16string(name.begin(), name.end()));
    targets.push_back(u"\\" + std::u16string(name.begin(), name.end()));
  }
  if (targets.empty()) targets.push_back(u"\\");
  std::vector<orvex::WIN32_FIND_DATAW> data;
  data.reserve(files);
  for (size_t i = 0; i < files; ++i) data.push_back(MemoryFile(i));

  const auto start = Clock::now();
  for (size_t i = 0; i < files; ++i) {
    if (disc->InsertMemoryFileW(targets[i % targets.size()], data[i], nullptr) == nullptr) {
      std::fprintf(stderr, "tree_insert: insertion %zu failed\n", i);
      std::exit(1);
    }
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  if (argc == 3 && std::strcmp(argv[1], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[2]));

  std::printf("%-16s %9s %14s %12s\n", "layout", "files", "entries/s", "ns/entry");
  for (const size_t dirs : {size_t{0}, size_t{1000}}) {
    double base_ns = 0;
    for (const size_t requested : {size_t{10'000}, size_t{50'000}, size_t{200'000}}) {
      // The file table holds 200,000 entries, the directories' own included.
      const size_t files = std::min(requested, orvex::kMaxFileEntries - dirs);
      std::vector<double> seconds;
      for (int r = 0; r < repeat; ++r) seconds.push_back(Run(files, dirs));
      const double s = Median(seconds);
      const double ns = s * 1e9 / static_cast<double>(files);
      if (base_ns == 0) base_ns = ns;
      std::printf("%-16s %9zu %14.0f %12.1f  (%.2fx the 10,000-file cost)\n",
                  dirs == 0 ? "one directory" : "1,000 dirs", files,
                  static_cast<double>(files) / s, ns, ns / base_ns);
    }
  }
  return 0;
}
