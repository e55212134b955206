// Find-first / find-next over one directory with one pattern, and the
// lookup of a single path, filling WIN32_FIND_DATAW records.
//
// What a search returns:
// - "." and ".." first when the pattern matches them, then the other names
//   in byte order (so the same directory always lists the same way);
// - symbolic links followed; links that lead nowhere, and entries that are
//   neither regular files nor directories (devices, pipes, sockets, which
//   cannot be put on a disc and could block a reader), are left out;
// - a subdirectory that is the listed directory itself or one of the
//   directories on its path (a loop through a link) is left out, so a
//   recursive walk never enters a directory twice along one path;
// - attributes: 0x10 for directories, hidden for names beginning with ".",
//   read-only when no write permission bit is set, otherwise normal (0x80)
//   for files; directories report size 0;
// - the 8.3 alias of each name as MakeDirectoryAliases gives it.
// Paths are POSIX paths; their 8-bit form is UTF-8 (see text_conversion.h).
#ifndef ORVEX_PLATFORM_FIND_FILE_H_
#define ORVEX_PLATFORM_FIND_FILE_H_

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/find_data.h"

namespace orvex {

struct TDirectoryNames;

class TFindSearch {
 public:
  TFindSearch();
  ~TFindSearch();
  TFindSearch(const TFindSearch&) = delete;
  TFindSearch& operator=(const TFindSearch&) = delete;

  // Starts a search for `pattern_path`, a directory and a pattern joined by
  // "/" (a path without "/" searches the current directory).  Fills `fd`
  // with the first match; false when the directory cannot be read or
  // nothing matches.
  bool First(std::u16string_view pattern_path, WIN32_FIND_DATAW& fd);

  // The next match; false at the end.
  bool Next(WIN32_FIND_DATAW& fd);

 private:
  bool Fill(const std::string& name, WIN32_FIND_DATAW& fd);

  std::string directory_;
  std::u16string pattern_;
  std::shared_ptr<const TDirectoryNames> names_;
  std::set<std::pair<unsigned long, unsigned long>> ancestors_;  // (device, inode)
  size_t position_ = 0;  // 0 and 1 are "." and ".."; 2 + i is names_->sorted[i]
};

// Looks up one path literally (wildcards are ordinary characters here) and
// fills `fd` as a search of its directory would; false when it does not
// exist, cannot be examined or is neither a file nor a directory.
bool FindFile(std::u16string_view path, WIN32_FIND_DATAW& fd);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_FIND_FILE_H_
