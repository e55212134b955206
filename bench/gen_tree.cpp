// SPDX-License-Identifier: Apache-2.0
// Writes a benchmark source tree: FILES files of pseudo-random bytes spread
// round-robin over DIRS directories (0 puts them all in DIR itself), each of
// a size drawn evenly from [MIN, MAX] bytes.  The content is reproducible
// from the seed, so every tool in a benchmark run reads the same bytes.
//
//   gen_tree DIR FILES DIRS MIN MAX
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// xorshift64*: fast and good enough that the data does not compress away.
struct Random {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
  }
};

bool WriteFile(const std::string& path, uint64_t size, Random& random, std::vector<uint64_t>& block) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = true;
  while (size > 0 && ok) {
    for (uint64_t& word : block) word = random.Next();
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, block.size() * sizeof(uint64_t)));
    ok = std::fwrite(block.data(), 1, chunk, f) == chunk;
    size -= chunk;
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: gen_tree DIR FILES DIRS MIN MAX\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  const uint64_t files = std::strtoull(argv[2], nullptr, 10);
  const uint64_t dirs = std::strtoull(argv[3], nullptr, 10);
  const uint64_t min = std::strtoull(argv[4], nullptr, 10);
  const uint64_t max = std::strtoull(argv[5], nullptr, 10);
  if (max < min) {
    std::fprintf(stderr, "gen_tree: MAX is below MIN\n");
    return 2;
  }
  std::error_code error;
  std::vector<std::filesystem::path> targets;
  for (uint64_t d = 0; d < dirs; ++d) targets.push_back(root / ("dir" + std::to_string(d)));
  if (targets.empty()) targets.push_back(root);
  for (const auto& target : targets) {
    if (!std::filesystem::create_directories(target, error) && error) {
      std::fprintf(stderr, "gen_tree: %s: %s\n", target.c_str(), error.message().c_str());
      return 1;
    }
  }
  Random random;
  std::vector<uint64_t> block(1 << 17);  // 1 MiB
  for (uint64_t i = 0; i < files; ++i) {
    const uint64_t size = min + random.Next() % (max - min + 1);
    const std::string path = (targets[i % targets.size()] / ("file " + std::to_string(i) + ".dat")).string();
    if (!WriteFile(path, size, random, block)) {
      std::fprintf(stderr, "gen_tree: %s: %s\n", path.c_str(), std::strerror(errno));
      return 1;
    }
  }
  return 0;
}
