// SPDX-License-Identifier: Apache-2.0
// What every import must leave behind, whatever the image held: names the
// image paths can reach (never ".", ".." or empty, never holding a
// separator or NUL), Rock Ridge names a POSIX file system can hold (never
// holding "/" or NUL), and files whose data lies within the image.
#ifndef ORVEX_TESTS_SERVICES_IMPORT_CHECKS_H_
#define ORVEX_TESTS_SERVICES_IMPORT_CHECKS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text_conversion.h"
#include "tree/content_tree.h"

namespace orvex::test {

// The first entry that breaks those rules, described; empty when none does.
inline std::string FirstFault(const TContentTree& tree, uint32_t sector_count) {
  for (int32_t i = 0; i < tree.FileCounter(); ++i) {
    const TFileEntry* e = tree.Files[i];
    const std::string name = Utf16ToUtf8(e->LongName);
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("\\/\0", 3)) != std::string::npos) {
      return "unreachable name '" + name + "'";
    }
    if (e->Posix && e->Posix->Name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
      return "POSIX name '" + e->Posix->Name + "' of '" + name + "' holds a separator or NUL";
    }
    if (e->DirRecord != nullptr || e->FileSize == 0) continue;
    const uint64_t end = e->Address + (static_cast<uint64_t>(e->FileSize) + 2047) / 2048;
    if (e->Address == 0 || end > sector_count) {
      return "file '" + name + "' at " + std::to_string(e->Address) + " outside the image";
    }
  }
  return "";
}

}  // namespace orvex::test

#endif  // ORVEX_TESTS_SERVICES_IMPORT_CHECKS_H_
