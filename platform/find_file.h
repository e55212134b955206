// SPDX-License-Identifier: Apache-2.0
// Find-first / find-next over one directory with one pattern, and the
// lookup of a single path, filling WIN32_FIND_DATAW records.
//
// What a search returns:
// - "." and ".." first when the pattern matches them, then the other names
//   in byte order (so the same directory always lists the same way);
// - symbolic links followed; links that lead nowhere, and entries that are
//   neither regular files nor directories (devices, pipes, sockets, which
//   cannot be put on a disc and could block a reader), are left out; with
//   SetKeepLinks every symbolic link is listed as itself instead, dangling
//   or not: FILE_ATTRIBUTE_REPARSE_POINT, size 0, the link's own times;
// - a subdirectory that is the listed directory itself or one of the
//   directories on its path (a loop through a link) is left out, so a
//   recursive walk never enters a directory twice along one path;
// - attributes: 0x10 for directories, hidden for names beginning with ".",
//   read-only when no write permission bit is set, otherwise normal (0x80)
//   for files; directories report size 0;
// - the 8.3 alias of each name as MakeDirectoryAliases gives it.
// Entries that match the pattern but are left out are told to the skip
// handler, when one is set, with the reason.  A directory that can be listed
// but not entered (no search permission) cannot be read: nothing of it is
// returned.
// Paths are POSIX paths; their 8-bit form is UTF-8 (see text_conversion.h).
#ifndef ORVEX_PLATFORM_FIND_FILE_H_
#define ORVEX_PLATFORM_FIND_FILE_H_

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/find_data.h"

namespace orvex {

struct TDirectoryNames;

// Why a matching entry of a listed directory is left out.
enum class TFindSkip {
  kUnreadable,  // it cannot be examined; the errno says why
  kDangling,    // a symbolic link that leads nowhere
  kSpecial,     // a device, pipe or socket
  kLoop,        // a directory on the path being listed, reached again through a link
};
using TFindSkipHandler = std::function<void(std::u16string_view name, TFindSkip why, int error)>;

// Who the process is, for judging permission bits.
struct TCredentials {
  unsigned user = 0;
  std::vector<unsigned> groups;  // the effective group first

  static TCredentials Current();
  bool MayRead(unsigned owner, unsigned group, unsigned mode) const;
};

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

  // What the file system says of the entry First or Next returned last: its
  // link's own record for a link kept as a link, its target's otherwise.
  // Saves the caller examining the entry again.
  const struct stat& Found() const { return found_; }

  // How many names the directory searched holds besides "." and ".." (the
  // most a search can return of them); 0 before First.
  size_t Count() const;

  // The errno of a directory First could not read; 0 when it was read.
  int Error() const { return error_; }

  // Called for every entry that matches but is left out (the handler stays
  // set for later searches).
  void SetSkipHandler(TFindSkipHandler handler) { on_skip_ = std::move(handler); }

  // With `on`, a file whose permission bits do not let this process read it
  // is left out as well (kUnreadable, EACCES), judged from what the listing
  // already knows, without opening it.
  void SetReadableFilesOnly(bool on) { readable_only_ = on; }

  // With `on`, symbolic links are listed as links, never followed.
  void SetKeepLinks(bool on) { keep_links_ = on; }

 private:
  bool Fill(const std::string& name, WIN32_FIND_DATAW& fd);
  void CloseDirectory();
  // Tells the skip handler; returns false (nothing filled).
  bool Skip(std::u16string_view name, TFindSkip why, int error);

  std::string directory_;
  int directory_fd_ = -1;  // the directory searched, open while the search lasts
  std::u16string pattern_;
  std::shared_ptr<const TDirectoryNames> names_;
  std::set<std::pair<unsigned long, unsigned long>> ancestors_;  // (device, inode)
  struct stat found_ {};
  size_t position_ = 0;  // 0 and 1 are "." and ".."; 2 + i is names_->sorted[i]
  int error_ = 0;
  TFindSkipHandler on_skip_;
  bool readable_only_ = false;
  bool keep_links_ = false;
  TCredentials credentials_;  // this process's, read when a search starts
};

// Looks up one path literally (wildcards are ordinary characters here) and
// fills `fd` as a search of its directory would; false when it does not
// exist, cannot be examined or is neither a file nor a directory.
bool FindFile(std::u16string_view path, WIN32_FIND_DATAW& fd);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_FIND_FILE_H_
