// SPDX-License-Identifier: Apache-2.0
#include "platform/find_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/short_alias.h"
#include "platform/text_conversion.h"
#include "platform/wildcard.h"

namespace orvex {

// The names of one directory with their aliases.  Aliases depend only on the
// names, so the last directory read is kept and reused while its identity
// and modification time stay the same: looking up many files of one large
// directory one at a time does not read the directory again each time.
struct TDirectoryNames {
  dev_t device = 0;
  ino_t inode = 0;
  timespec modified{};
  std::vector<std::string> sorted;
  std::unordered_map<std::string, std::u16string> aliases;
};

namespace {

std::mutex g_cache_mutex;
std::shared_ptr<const TDirectoryNames> g_cached;

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Opens a directory that can be listed and entered and gives its names;
// null with `error` set otherwise.  With `keep_fd` the directory stays open
// and its descriptor is stored there (the caller closes it), so that its
// entries can be examined relative to it: the kernel then looks up one name
// per entry instead of the whole path.
std::shared_ptr<const TDirectoryNames> ReadDirectoryNames(const std::string& directory, int& error,
                                                          int* keep_fd = nullptr) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  const auto fail = [&](int why) {
    close(fd);
    error = why;
    return nullptr;
  };
  struct stat st;
  if (fstat(fd, &st) != 0) return fail(errno);
  // Without search permission the names could be listed but none of them
  // examined or opened.
  if (access(directory.c_str(), X_OK) != 0) return fail(errno);
  error = 0;
  std::shared_ptr<const TDirectoryNames> result;
  {
    std::lock_guard<std::mutex> lock(g_cache_mutex);
    if (g_cached && g_cached->device == st.st_dev && g_cached->inode == st.st_ino &&
        SameTime(g_cached->modified, st.st_mtim)) {
      result = g_cached;
    }
  }
  if (!result) {
    auto names = std::make_shared<TDirectoryNames>();
    names->device = st.st_dev;
    names->inode = st.st_ino;
    names->modified = st.st_mtim;
    // Read straight from `fd`, which stays open for the search: a directory
    // stream would want a descriptor of its own.
    alignas(dirent64) char buffer[32 * 1024];
    for (;;) {
      const ssize_t got = getdents64(fd, buffer, sizeof buffer);
      if (got < 0) return fail(errno);
      if (got == 0) break;
      for (ssize_t at = 0; at < got;) {
        const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names->sorted.emplace_back(name);
        at += entry->d_reclen;
      }
    }
    std::sort(names->sorted.begin(), names->sorted.end());
    names->aliases = MakeDirectoryAliases(names->sorted);
    std::lock_guard<std::mutex> lock(g_cache_mutex);
    g_cached = names;
    result = std::move(names);
  }
  if (keep_fd != nullptr) {
    *keep_fd = fd;
  } else {
    close(fd);
  }
  return result;
}

// The length of `directory` and `name` joined by one "/".
size_t JoinedLength(const std::string& directory, std::string_view name) {
  const bool separator = !directory.empty() && directory.back() != '/';
  return directory.size() + (separator ? 1 : 0) + name.size();
}

// Splits "dir/pattern" into its directory ("." without a "/", "/" for the
// root) and its last component.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

void FillFromStat(const struct stat& st, std::u16string_view name, std::u16string_view alias,
                  WIN32_FIND_DATAW& fd) {
  fd = WIN32_FIND_DATAW{};
  const bool directory = S_ISDIR(st.st_mode);
  uint32_t attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : 0;
  if (name.size() > 0 && name[0] == u'.' && name != u"." && name != u"..") {
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  }
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  fd.dwFileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  fd.ftCreationTime = UnixTimeToFileTime(st.st_ctim);
  fd.ftLastAccessTime = UnixTimeToFileTime(st.st_atim);
  fd.ftLastWriteTime = UnixTimeToFileTime(st.st_mtim);
  SetFindFileSize(fd, directory ? 0 : static_cast<uint64_t>(st.st_size));
  SetFindName(fd, name);
  SetFindAlternateName(fd, alias);
}

std::u16string_view AliasOf(const TDirectoryNames& names, const std::string& name) {
  const auto alias = names.aliases.find(name);
  return alias == names.aliases.end() ? std::u16string_view() : std::u16string_view(alias->second);
}

bool Listable(const struct stat& st) { return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode); }

// The directory itself and every directory on its path, by identity.
std::set<std::pair<unsigned long, unsigned long>> PathIdentities(const std::string& directory) {
  std::set<std::pair<unsigned long, unsigned long>> ids;
  auto add = [&](const std::string& prefix) {
    struct stat st;
    if (stat(prefix.c_str(), &st) == 0) ids.emplace(st.st_dev, st.st_ino);
  };
  if (!directory.empty() && directory[0] == '/') add("/");
  for (size_t pos = directory.find('/', 1); pos != std::string::npos;
       pos = directory.find('/', pos + 1)) {
    add(directory.substr(0, pos));
  }
  add(directory);
  return ids;
}

}  // namespace

TCredentials TCredentials::Current() {
  TCredentials who;
  who.user = geteuid();
  who.groups.push_back(getegid());
  const int count = getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) who.groups.push_back(groups[static_cast<size_t>(i)]);
  }
  return who;
}

bool TCredentials::MayRead(unsigned owner, unsigned group, unsigned mode) const {
  if (user == 0) return true;  // root reads every file
  if (owner == user) return (mode & S_IRUSR) != 0;
  if (std::find(groups.begin(), groups.end(), group) != groups.end()) return (mode & S_IRGRP) != 0;
  return (mode & S_IROTH) != 0;
}

TFindSearch::TFindSearch() = default;
TFindSearch::~TFindSearch() { CloseDirectory(); }

void TFindSearch::CloseDirectory() {
  if (directory_fd_ >= 0) close(directory_fd_);
  directory_fd_ = -1;
}

bool TFindSearch::First(std::u16string_view pattern_path, WIN32_FIND_DATAW& fd) {
  auto [directory, pattern] = SplitPath(Utf16ToUtf8(pattern_path));
  CloseDirectory();
  names_ = ReadDirectoryNames(directory, error_, &directory_fd_);
  if (!names_) return false;
  directory_ = std::move(directory);
  pattern_ = Utf8ToUtf16(pattern);
  if (readable_only_) credentials_ = TCredentials::Current();
  ancestors_ = PathIdentities(directory_);
  position_ = 0;
  return Next(fd);
}

size_t TFindSearch::Count() const { return names_ ? names_->sorted.size() : 0; }

bool TFindSearch::Next(WIN32_FIND_DATAW& fd) {
  if (!names_) return false;
  while (position_ < names_->sorted.size() + 2) {
    const size_t at = position_++;
    if (at < 2) {
      const std::u16string_view dots = at == 0 ? u"." : u"..";
      if (MatchesPattern(pattern_, dots) &&
          fstatat(directory_fd_, at == 0 ? "." : "..", &found_, 0) == 0) {
        FillFromStat(found_, dots, u"", fd);
        return true;
      }
      continue;
    }
    if (Fill(names_->sorted[at - 2], fd)) return true;
  }
  return false;
}

bool TFindSearch::Fill(const std::string& name, WIN32_FIND_DATAW& fd) {
  const std::u16string wide = Utf8ToUtf16(name);
  if (!MatchesPattern(pattern_, wide)) return false;
  // The entry is examined relative to the open directory; its whole path
  // must still be one that a later open by path accepts.
  if (JoinedLength(directory_, name) >= PATH_MAX) return Skip(wide, TFindSkip::kUnreadable, ENAMETOOLONG);
  struct stat& st = found_;
  // What lstat says of anything but a link is what stat would say.
  const bool examined = keep_links_ && fstatat(directory_fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (examined && S_ISLNK(st.st_mode)) {
    FillFromStat(st, wide, AliasOf(*names_, name), fd);
    fd.dwFileAttributes = (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) | FILE_ATTRIBUTE_REPARSE_POINT;
    SetFindFileSize(fd, 0);
    return true;
  }
  if (!examined && fstatat(directory_fd_, name.c_str(), &st, 0) != 0) {
    const int error = errno;
    struct stat link;
    const bool dangling = error == ENOENT &&
                          fstatat(directory_fd_, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(link.st_mode);
    return Skip(wide, dangling ? TFindSkip::kDangling : TFindSkip::kUnreadable, error);
  }
  if (!Listable(st)) return Skip(wide, TFindSkip::kSpecial, 0);
  if (readable_only_ && S_ISREG(st.st_mode) && !credentials_.MayRead(st.st_uid, st.st_gid, st.st_mode)) {
    return Skip(wide, TFindSkip::kUnreadable, EACCES);
  }
  if (S_ISDIR(st.st_mode) && ancestors_.count({st.st_dev, st.st_ino}) != 0) {
    return Skip(wide, TFindSkip::kLoop, 0);
  }
  FillFromStat(st, wide, AliasOf(*names_, name), fd);
  return true;
}

bool TFindSearch::Skip(std::u16string_view name, TFindSkip why, int error) {
  if (on_skip_) on_skip_(name, why, error);
  return false;
}

bool FindFile(std::u16string_view path, WIN32_FIND_DATAW& fd) {
  const std::string native = Utf16ToUtf8(path);
  auto [directory, name] = SplitPath(native);
  struct stat st;
  if (name.empty() || stat(native.c_str(), &st) != 0 || !Listable(st)) return false;
  const std::u16string wide = Utf8ToUtf16(name);
  std::u16string alias;
  if (!IsValid83Name(wide)) {
    int error = 0;
    if (const auto names = ReadDirectoryNames(directory, error)) {
      const auto found = names->aliases.find(name);
      if (found != names->aliases.end()) alias = found->second;
    }
  }
  FillFromStat(st, wide, alias, fd);
  return true;
}

}  // namespace orvex
