// SPDX-License-Identifier: Apache-2.0
// md5_bench FILE: the MD5 digest of FILE through TMD5Stream, fed in 64 KiB
// pieces as verification and smart references feed it, and the seconds the
// digest took (reading included), on one line: "DIGEST SECONDS".
#include <chrono>
#include <cstdio>
#include <vector>

#include "services/md5_stream.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: md5_bench FILE\n");
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<char> piece(64 * 1024);
  orvex::TMD5Stream md5;
  const auto start = std::chrono::steady_clock::now();
  size_t got;
  while ((got = std::fread(piece.data(), 1, piece.size(), file)) > 0) {
    md5.Write(piece.data(), static_cast<int32_t>(got));
  }
  const std::string digest = md5.DigestString();
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    std::fprintf(stderr, "md5_bench: reading %s failed\n", argv[1]);
    return 1;
  }
  std::printf("%s %.3f\n", digest.c_str(), seconds.count());
  return 0;
}
