// SPDX-License-Identifier: Apache-2.0
// Running the peer tools that judge our images, and reading their answers.
#ifndef ORVEX_TESTS_INTEROP_PEER_TOOLS_H_
#define ORVEX_TESTS_INTEROP_PEER_TOOLS_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/run_tool.h"

namespace orvex::test {

// What a view of an image holds: path (with "/" separators, no leading
// "/") -> size and a fingerprint of the content ("" for directories).
struct TEntryFacts {
  bool directory = false;
  uint64_t size = 0;
  uint64_t fingerprint = 0;
  bool operator==(const TEntryFacts&) const = default;
};
using TTreeFacts = std::multimap<std::string, TEntryFacts>;

// A fingerprint of bytes (FNV-1a, 64 bits).
uint64_t Fingerprint(const std::string& bytes);

// The facts of a directory tree on disk.
TTreeFacts DiskTreeFacts(const std::string& root);

// Lists an image's primary or Joliet tree with `isoinfo -l` and reads each
// file's content at the extent isoinfo reports.  Records of a multi-extent
// file are joined.  Joliet names are shown as isoinfo prints them: ISO
// 8859-1, other characters as "_".  With `session_start`, the tree of the
// session of a whole-disc image whose volume starts at that block.
TTreeFacts IsoinfoFacts(const std::string& image, bool joliet, std::string* complaint, uint32_t session_start = 0);

// What a tool's run says is wrong with an image: "" when it ended with
// status 0 and printed no warning or error (the warnings that a primary
// tree of 8-bit names and a hidden boot image earn are not counted).
std::string ToolComplaints(const TToolResult& r, const std::string& tool, bool eight_bit_primary = false);

// Judges an image of ASCII names against the tree it must hold: isoinfo's
// Joliet listing and the trees that bsdtar, 7z and xorriso extract (into
// folders under `work`).  Returns every complaint and difference, "" when
// all four agree with `expected`.
std::string JudgeImage(const std::string& image, const TTreeFacts& expected, const std::string& work);

// The tree xorriso extracts (into `out`) from the session of a whole-disc
// image whose volume starts at block `sector`; its complaints go to
// `complaint`.
TTreeFacts XorrisoSessionFacts(const std::string& image, uint32_t sector, const std::string& out,
                               std::string* complaint);

// A printable account of the differences between two views.
std::string DescribeDifferences(const TTreeFacts& expected, const TTreeFacts& actual);

// What a POSIX reader shows of an entry: its type and permission bits (as
// st_mode), a symbolic link's target ("" for anything else) and, where the
// reader tells them, its owner, group and modification time in seconds.
struct TPosixEntry {
  uint32_t mode = 0;
  std::string target;
  bool owners_and_time = false;
  uint32_t uid = 0;
  uint32_t gid = 0;
  int64_t mtime = 0;
  bool operator==(const TPosixEntry&) const = default;
};
// Path below the root (with "/" separators, no leading "/") -> entry.
using TPosixTree = std::map<std::string, TPosixEntry>;

// Every entry below `root` as lstat shows it (links are not followed);
// owners and times only with `owners_and_time`.
TPosixTree DiskPosixTree(const std::string& root, bool owners_and_time);

// A printable account of the differences between two POSIX views.
std::string DescribePosixDifferences(const TPosixTree& expected, const TPosixTree& actual);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_INTEROP_PEER_TOOLS_H_
