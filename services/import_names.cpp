// SPDX-License-Identifier: Apache-2.0
#include "services/import_names.h"

#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/text_conversion.h"

namespace orvex {
namespace {

// The primary tree's files by where their data lies, and its entries by
// their Rock Ridge names.
class TPrimaryFiles {
 public:
  explicit TPrimaryFiles(const TContentTree& primary) {
    for (size_t i = 0; i < primary.Dirs.size(); ++i) {
      const TDirEntry* dir = primary.Dirs[i];
      for (const TFileEntry* e = dir->Files; e != nullptr; e = e->NextFile) {
        if (e->DirRecord == nullptr && e->Imported) by_extent_.emplace(e->Address, std::make_pair(dir, e));
        if (e->DirRecord != nullptr) standing_for_[e->DirRecord] = e;
        if (e->Posix && !e->Posix->Name.empty()) by_name_.emplace(std::make_pair(dir, e->Posix->Name), e);
      }
    }
  }

  // The primary directory holding most of the data of `files`; null when
  // none holds any.
  const TDirEntry* Holder(const std::vector<pFileEntry>& files) const {
    std::map<const TDirEntry*, size_t> votes;
    const TDirEntry* best = nullptr;
    for (const TFileEntry* f : files) {
      if (!f->Imported) continue;
      const auto [first, last] = by_extent_.equal_range(f->Address);
      for (auto it = first; it != last; ++it) {
        const size_t n = ++votes[it->second.first];
        if (best == nullptr || n > votes[best]) best = it->second.first;
      }
    }
    return best;
  }

  // The one file of `dir` whose data is that of `file`; when there is none
  // or more than one (files sharing their data, empty files), the entry of
  // `dir` whose Rock Ridge name is the file's name; null when neither is.
  const TFileEntry* Match(const TDirEntry* dir, const TFileEntry& file) const {
    const TFileEntry* match = nullptr;
    if (file.Imported) {
      const auto [first, last] = by_extent_.equal_range(file.Address);
      for (auto it = first; it != last; ++it) {
        if (it->second.first != dir || it->second.second->FileSize != file.FileSize) continue;
        if (match != nullptr) {
          match = nullptr;
          break;
        }
        match = it->second.second;
      }
    }
    if (match == nullptr) match = Named(dir, file.LongName);
    return match != nullptr && match->DirRecord == nullptr ? match : nullptr;
  }

  // The entry of `dir` whose Rock Ridge name is `name`; null when none is.
  const TFileEntry* Named(const TDirEntry* dir, const std::u16string& name) const {
    const auto it = by_name_.find(std::make_pair(dir, Utf16ToUtf8(name)));
    return it != by_name_.end() ? it->second : nullptr;
  }

  // The entry that stands for a directory of the primary tree in its parent.
  const TFileEntry* StandingFor(const TDirEntry* dir) const {
    const auto it = standing_for_.find(dir);
    return it != standing_for_.end() ? it->second : nullptr;
  }

 private:
  std::unordered_multimap<uint32_t, std::pair<const TDirEntry*, const TFileEntry*>> by_extent_;
  std::map<std::pair<const TDirEntry*, std::string>, const TFileEntry*> by_name_;
  std::unordered_map<const TDirEntry*, const TFileEntry*> standing_for_;
};

// Gives `entry` the Rock Ridge attributes of its match in the primary tree,
// named as the entry is where the primary record had no name of its own.
void TakeAttributes(TFileEntry& entry, const TFileEntry* match) {
  if (match == nullptr || !match->Posix || entry.Posix) return;
  entry.Posix = match->Posix;
  if (entry.Posix->Name.empty()) entry.Posix->Name = Utf16ToUtf8(entry.LongName);
}

// The primary directory each walked one matches (null: none found).
std::vector<const TDirEntry*> MatchDirectories(const std::vector<TImportedDirectory>& walked,
                                               const TContentTree& primary, const TPrimaryFiles& files) {
  std::vector<const TDirEntry*> match(walked.size(), nullptr);
  std::vector<const TDirEntry*> above(walked.size(), nullptr);  // the parent of a subdirectory's match
  // Subdirectories come after their parents: going backwards, a directory's
  // subdirectories are matched before it.
  for (size_t i = walked.size(); i-- > 1;) {
    match[i] = files.Holder(walked[i].files);
    if (match[i] == nullptr) match[i] = above[i];
    const TDirEntry* m = match[i];
    if (m != nullptr && m != primary.RootDir && above[walked[i].parent] == nullptr) {
      above[walked[i].parent] = m->Parent;
    }
  }
  if (!walked.empty()) match[0] = primary.RootDir;
  return match;
}

}  // namespace

void NameImportedEntries(TContentTree& tree, const std::vector<TImportedDirectory>& walked,
                         const TContentTree* primary) {
  std::vector<std::vector<TContentTree::TShortNameWish>> wishes(walked.size());
  std::vector<const TDirEntry*> match(walked.size(), nullptr);
  std::optional<TPrimaryFiles> files;
  if (primary != nullptr && primary->RootDir != nullptr) {
    files.emplace(*primary);
    match = MatchDirectories(walked, *primary, *files);
  }
  for (size_t i = 0; i < walked.size(); ++i) {
    if (i > 0 && walked[i].entry != nullptr) {
      // A subdirectory the walk created is named in its parent.
      const size_t parent = walked[i].parent;
      bool matched = match[i] != nullptr && match[parent] != nullptr && match[i]->Parent == match[parent] &&
                     match[i] != match[parent];
      if (!matched && match[parent] != nullptr) {
        // A directory without files of its own is found by its Rock Ridge name.
        const TFileEntry* named = files->Named(match[parent], walked[i].entry->LongName);
        if (named != nullptr && named->DirRecord != nullptr) {
          match[i] = named->DirRecord;
          matched = true;
        }
      }
      if (matched) TakeAttributes(*walked[i].entry, files->StandingFor(match[i]));
      wishes[parent].push_back({walked[i].entry, matched ? match[i]->LongName : std::u16string()});
    }
    const TDirEntry* in = match[i];
    for (const pFileEntry f : walked[i].files) {
      const TFileEntry* m = in != nullptr ? files->Match(in, *f) : nullptr;
      TakeAttributes(*f, m);
      wishes[i].push_back({f, m != nullptr ? m->LongName : std::u16string()});
    }
  }
  for (size_t i = 0; i < walked.size(); ++i) {
    if (!wishes[i].empty()) tree.RenameShort(walked[i].dir, std::move(wishes[i]));
  }
}

}  // namespace orvex
