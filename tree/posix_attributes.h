// SPDX-License-Identifier: Apache-2.0
// What a POSIX file system (or a Rock Ridge session) says of an entry beyond
// its Windows-style record: the exact name, type and permission bits,
// ownership, link count, serial number, the three times and a symbolic
// link's target.  Entries carry it when it is known; the Rock Ridge records
// of the primary tree are written from it.
#ifndef ORVEX_TREE_POSIX_ATTRIBUTES_H_
#define ORVEX_TREE_POSIX_ATTRIBUTES_H_

#include <cstdint>
#include <ctime>
#include <string>

namespace orvex {

struct TPosixAttributes {
  std::string Name;         // the exact name, any bytes but '/' and NUL
  uint32_t Mode = 0;        // st_mode: file type and permission bits
  uint32_t Uid = 0;
  uint32_t Gid = 0;
  uint32_t Links = 1;
  uint64_t Serial = 0;      // the file serial number
  timespec Modified{};      // UTC
  timespec Accessed{};
  timespec Changed{};       // attribute change
  std::string LinkTarget;   // a symbolic link's target as stored; set only for links
};

}  // namespace orvex

#endif  // ORVEX_TREE_POSIX_ATTRIBUTES_H_
