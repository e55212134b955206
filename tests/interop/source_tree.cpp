// SPDX-License-Identifier: Apache-2.0
#include "source_tree.h"

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace orvex::test {
namespace {

void Put(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace

std::string PatternBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    bytes[i] = static_cast<char>(x);
  }
  return bytes;
}

void MakeAwkwardTree(const std::string& root) {
  uint32_t seed = 1;
  Put(root + "/readme.txt", "Orvex interop tree\n");
  Put(root + "/Name with spaces.txt", PatternBytes(777, seed++));
  Put(root + "/Caf\xC3\xA9 \xC3\x9C" "berblick.txt", PatternBytes(100, seed++));
  Put(root + "/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", PatternBytes(3000, seed++));
  Put(root + "/Annual Report 2010.doc", PatternBytes(4096, seed++));
  Put(root + "/Annual Report 2011.doc", PatternBytes(4097, seed++));
  Put(root + "/annual~1.doc", PatternBytes(12, seed++));
  Put(root + "/" + std::string(116, 'L') + ".txt", PatternBytes(50, seed++));
  Put(root + "/empty.txt", "");
  std::filesystem::create_directories(root + "/Empty Folder");
  Put(root + "/big five.bin", PatternBytes(5 << 20, seed++));
  std::string deep = root;
  for (int level = 1; level <= 8; ++level) deep += "/level " + std::to_string(level);
  Put(deep + "/deep file.txt", PatternBytes(2049, seed++));
  Put(root + "/level 1/level 2/empty too.dat", "");
  for (int i = 0; i < 300; ++i) {
    Put(root + "/many/file number " + std::to_string(i) + " of many.dat", PatternBytes(i * 37 % 5000, seed++));
  }
}

void MakePosixTree(const std::string& root) {
  uint32_t seed = 100;
  for (const auto& [name, mode] : {std::pair{"f600", 0600}, {"f755", 0755}, {"f444", 0444}}) {
    Put(root + "/" + name, PatternBytes(100, seed++));
    std::filesystem::permissions(root + "/" + name, static_cast<std::filesystem::perms>(mode));
  }
  Put(root + "/sub/inside.txt", PatternBytes(10, seed++));
  std::filesystem::create_symlink("f600", root + "/to_file");
  std::filesystem::create_directory_symlink("sub", root + "/to_dir");
  std::filesystem::create_symlink("/no such/../place/./here", root + "/absolute");
  std::filesystem::create_symlink("nowhere/at all", root + "/dangling");
  Put(root + "/colon:back\\slash and space", PatternBytes(20, seed++));
  Put(root + "/README", PatternBytes(15, seed++));
  Put(root + "/readme", PatternBytes(16, seed++));
  Put(root + "/" + std::string(251, 'n') + ".txt", PatternBytes(30, seed++));
  std::string deep = root;
  for (int level = 1; level <= 100; ++level) deep += "/d" + std::to_string(level);
  Put(deep + "/leaf", PatternBytes(40, seed++));
}

}  // namespace orvex::test
