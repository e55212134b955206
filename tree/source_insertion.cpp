// SPDX-License-Identifier: Apache-2.0
// The insertion routines: files and directories of the file system, memory
// files, and what they tell the caller about entries they leave out.
#include <cerrno>

#include "platform/file.h"
#include "platform/find_file.h"
#include "platform/text_conversion.h"
#include "platform/wildcard.h"
#include "tree/content_tree.h"
#include "tree/source_attributes.h"

namespace orvex {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDirectory(const WIN32_FIND_DATAW& fd) {
  return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Drops one trailing separator of a destination path longer than one character.
std::u16string_view DropTrailingSeparator(std::u16string_view path) {
  if (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
  return path;
}

TInsertIssueKind IssueOf(TFindSkip why) {
  switch (why) {
    case TFindSkip::kUnreadable:
      return TInsertIssueKind::kUnreadableEntry;
    case TFindSkip::kDangling:
      return TInsertIssueKind::kDanglingLink;
    case TFindSkip::kSpecial:
      return TInsertIssueKind::kSpecialFile;
    case TFindSkip::kLoop:
      break;
  }
  return TInsertIssueKind::kLoop;
}

}  // namespace

void TContentTree::Report(TInsertIssueKind kind, const std::u16string& path, int error) {
  if (cbInsertIssue) cbInsertIssue(TInsertIssue{kind, path, error, {}});
}

bool TContentTree::Report(TAddOutcome outcome, const std::u16string& path) {
  switch (outcome) {
    case TAddOutcome::kExisting:
      Report(TInsertIssueKind::kNameClash, path);
      return true;
    case TAddOutcome::kTooLong:
      Report(TInsertIssueKind::kNameTooLong, path);
      return true;
    case TAddOutcome::kClash:
      Report(TInsertIssueKind::kKindClash, path);
      return true;
    case TAddOutcome::kFull:
      Report(Files.full() ? TInsertIssueKind::kFilesFull : TInsertIssueKind::kDirectoriesFull, path);
      return false;
    default:
      // Added or replaced; skipped at the caller's own wish; or invalid find
      // data, which the caller's result already tells.
      return true;
  }
}

TContentTree::TAddResult TContentTree::InsertEntry(pDirEntry dir, WIN32_FIND_DATAW& fd,
                                                   bool Unicode, const std::u16string* path,
                                                   const std::u16string& name,
                                                   const struct stat* found) {
  const bool link = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const TAddResult result = AddFileEntry(dir, fd, Unicode, 0, path);
  Report(result.outcome, name);
  if (path != nullptr && (result.outcome == TAddOutcome::kAdded || result.outcome == TAddOutcome::kReplaced)) {
    // A link's target is read from the link itself.
    const std::string long_name = Utf16ToUtf8(result.entry->LongName);
    if (found != nullptr && !link) {
      result.entry->Posix = SourceAttributes(*found, long_name);
    } else {
      result.entry->Posix = SourceAttributes(*path, long_name, link);
    }
    // A link's content is its target: there is no data to read.
    if (link) result.entry->Path.clear();
  }
  return result;
}

bool TContentTree::Readable(const std::u16string& path) {
  if (!ReadableSourcesOnly) return true;
  const std::optional<TFileState> state = PathState(Utf16ToUtf8(path));
  if (state && TCredentials::Current().MayRead(state->owner, state->group, state->mode)) return true;
  Report(TInsertIssueKind::kUnreadableEntry, path, EACCES);
  return false;
}

pFileEntry TContentTree::InsertFileW(std::u16string_view DestPath, std::u16string_view FileName,
                                     bool Unicode) {
  WIN32_FIND_DATAW fd;
  if (!orvex::FindFile(FileName, fd) || IsDirectory(fd)) return nullptr;
  const pDirEntry dir = FindDir(DropTrailingSeparator(DestPath));
  if (dir == nullptr) return nullptr;
  const std::u16string path(FileName);
  if (!Readable(path)) return kEntryRefused;
  return EntryResult(InsertEntry(dir, fd, Unicode, &path, path));
}

pFileEntry TContentTree::InsertFileWithNameW(std::u16string_view DestPath,
                                             std::u16string_view FileName,
                                             std::u16string_view LongNameOnDisc,
                                             std::u16string_view ShortNameOnDisc, bool Unicode) {
  WIN32_FIND_DATAW fd;
  if (!orvex::FindFile(FileName, fd) || IsDirectory(fd)) return nullptr;
  const pDirEntry dir = FindDir(DropTrailingSeparator(DestPath));
  if (dir == nullptr) return nullptr;
  const std::u16string path(FileName);
  // A long name too long for the find data is refused like any name from
  // kLongNameLimit units on; a short name that does not fit is the caller's
  // error.
  if (!SetFindName(fd, LongNameOnDisc)) {
    Report(TInsertIssueKind::kNameTooLong, path);
    return kEntryRefused;
  }
  if (!SetFindAlternateName(fd, ShortNameOnDisc)) return nullptr;
  if (!Readable(path)) return kEntryRefused;
  return EntryResult(InsertEntry(dir, fd, Unicode, &path, path));
}

pFileEntry TContentTree::InsertMemoryFileW(std::u16string_view DestPath,
                                           const WIN32_FIND_DATAW& FindFileData,
                                           TGetDataEvent OnGetData) {
  const pDirEntry dir = FindDir(DropTrailingSeparator(DestPath));
  if (dir == nullptr) return nullptr;
  WIN32_FIND_DATAW fd = FindFileData;
  const TAddResult result = InsertEntry(dir, fd, true, nullptr, DirPath(dir) + std::u16string(FindName(fd)));
  if (result.outcome == TAddOutcome::kAdded || result.outcome == TAddOutcome::kReplaced) {
    result.entry->mfcbFunction = std::move(OnGetData);
  }
  return EntryResult(result);
}

// The chain of directories that stands for the source's own path: everything
// after the leading "/" of an absolute path, a relative path whole, and for
// "\\server\share\dir" what follows the share.  "." and ".." name no
// directory of their own and are passed over.
pDirEntry TContentTree::SavedPathDestination(pDirEntry dest, std::u16string_view source) {
  std::u16string_view rest = source;
  char16_t separator = u'/';
  if (rest.substr(0, 2) == u"\\\\") {
    separator = u'\\';
    rest.remove_prefix(2);
    const size_t server_end = rest.find(u'\\');
    rest = server_end == std::u16string_view::npos ? std::u16string_view() : rest.substr(server_end + 1);
    const size_t share_end = rest.find(u'\\');
    if (share_end != std::u16string_view::npos) rest.remove_prefix(share_end + 1);
  }
  while (!rest.empty()) {
    const size_t end = rest.find(separator);
    const std::u16string_view component = rest.substr(0, end);
    rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
    if (component.empty() || component == u"." || component == u"..") continue;
    const std::u16string name = DirPath(dest) + std::u16string(component);
    const TMakeDirResult made = CreateDirIn(dest, component);
    if (made.dir == nullptr) {
      Report(made.outcome, name);
      return nullptr;
    }
    dest = made.dir;
  }
  return dest;
}

pDirEntry TContentTree::InsertDirW(std::u16string_view DestPath, std::u16string_view SourceDirPath,
                                   std::u16string_view FileSpecs, bool Recursive, bool SavePath,
                                   bool Unicode) {
  pDirEntry dest = FindDir(DestPath);
  if (dest == nullptr) return nullptr;
  std::u16string source(SourceDirPath);
  if (!source.empty() && source.back() == u'/') source.pop_back();
  if (SavePath && source.size() > 2) {
    dest = SavedPathDestination(dest, source);
    if (dest == nullptr) return nullptr;
  }
  if (dest == RootDir) {
    if (auto root = SourceAttributes(source.empty() ? u"/" : source, "", false)) RootPosix = *root;
  }
  return InsertDirInto(dest, source, FileSpecs, Recursive, Unicode) ? dest : nullptr;
}

bool TContentTree::InsertDirInto(pDirEntry dest, const std::u16string& source,
                                 std::u16string_view specs, bool recursive, bool Unicode) {
  // Both listings are read before anything is added, so one directory is
  // read once however deep the recursion below it goes.  The listing of
  // every name tells of links that loop, the listing by pattern of the
  // other entries left out; a pattern that takes every name makes them one
  // listing, which examines each entry once.  Each entry keeps what the
  // listing learnt of it, so that nothing is examined twice.
  struct TListed {
    // Built in place in the listing (emplace_back), never copied there.
    TListed(const WIN32_FIND_DATAW& listed, const struct stat& examined) : fd(listed), found(examined) {}
    WIN32_FIND_DATAW fd;
    struct stat found;
  };
  std::vector<TListed> subdirectories, files;
  TFindSearch search;
  search.SetReadableFilesOnly(ReadableSourcesOnly);
  search.SetKeepLinks(KeepLinks);
  // Loops are told at once, the other entries left out after the listing,
  // in the order two separate listings would tell them.
  std::vector<std::pair<std::u16string, std::pair<TFindSkip, int>>> left_out;
  const auto skipped = [&](bool loops, bool others) {
    return [this, &source, &left_out, loops, others](std::u16string_view name, TFindSkip why, int error) {
      const bool loop = why == TFindSkip::kLoop;
      if (loop && loops) Report(IssueOf(why), source + u"/" + std::u16string(name), error);
      if (!loop && others) left_out.push_back({source + u"/" + std::u16string(name), {why, error}});
    };
  };
  const bool every_name = MatchesEveryName(specs);
  WIN32_FIND_DATAW fd;
  const auto list = [&](const std::u16string& pattern, bool directories, bool others) {
    bool first = true;
    for (bool found = search.First(source + u"/" + pattern, fd); found; found = search.Next(fd)) {
      if (first && others) files.reserve(search.Count());
      first = false;
      const std::u16string_view name = FindName(fd);
      if (!IsDirectory(fd)) {
        if (others) files.emplace_back(fd, search.Found());
      } else if (directories && name != u"." && name != u"..") {
        subdirectories.emplace_back(fd, search.Found());
      }
    }
  };
  if (recursive) {
    search.SetSkipHandler(skipped(true, every_name));
    list(u"*.*", true, every_name);
  }
  if (!recursive || !every_name) {
    search.SetSkipHandler(skipped(false, true));
    list(std::u16string(specs), false, true);
  }
  for (const auto& [path, why] : left_out) Report(IssueOf(why.first), path, why.second);
  if (search.Error() != 0) {
    Report(TInsertIssueKind::kUnreadableDirectory, source, search.Error());
    return true;
  }

  for (const TListed& sub : subdirectories) {
    const std::u16string sub_source = source + u"/" + std::u16string(FindName(sub.fd));
    const TMakeDirResult made = MakeDirEntry(dest, sub.fd);
    if (made.dir == nullptr) {
      if (!Report(made.outcome, sub_source)) return false;
      continue;
    }
    if (made.entry != nullptr) {
      made.entry->Posix = SourceAttributes(sub.found, Utf16ToUtf8(made.entry->LongName));
    }
    if (!InsertDirInto(made.dir, sub_source, specs, true, Unicode)) return false;
  }
  for (TListed& file : files) {
    const std::u16string path = source + u"/" + std::u16string(FindName(file.fd));
    if (InsertEntry(dest, file.fd, Unicode, &path, path, &file.found).outcome == TAddOutcome::kFull) {
      return false;
    }
  }
  return true;
}

}  // namespace orvex
