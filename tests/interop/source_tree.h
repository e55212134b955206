// SPDX-License-Identifier: Apache-2.0
// The source trees the interop tests put on images.
#ifndef ORVEX_TESTS_INTEROP_SOURCE_TREE_H_
#define ORVEX_TESTS_INTEROP_SOURCE_TREE_H_

#include <string>

namespace orvex::test {

// Fills `root` with the awkward cases readers must survive: 8 nested
// levels, 300 files in one directory, names with spaces, non-ASCII names,
// names that collide in 8.3 form, a 120-character name, empty files and an
// empty directory, and a 5 MiB file.  Contents are deterministic.
void MakeAwkwardTree(const std::string& root);

// Fills `root` with what only POSIX names and attributes can say: files of
// modes 0600, 0755 and 0444, symbolic links to a file, to a directory, to
// an absolute path and to nothing, names with ":", "\\" and spaces,
// "README" beside "readme", a 255-byte name, and a file 100 directories
// deep ("d1/.../d100/leaf").
void MakePosixTree(const std::string& root);

// A deterministic byte pattern of `size` bytes, different for each seed.
std::string PatternBytes(size_t size, uint32_t seed);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_INTEROP_SOURCE_TREE_H_
