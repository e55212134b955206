#include "services/import_names.h"

#include <map>
#include <optional>
#include <string>
#include <unordered_map>

namespace orvex {
namespace {

// The primary tree's files by where their data lies.
class TPrimaryFiles {
 public:
  explicit TPrimaryFiles(const TContentTree& primary) {
    for (size_t i = 0; i < primary.Dirs.size(); ++i) {
      const TDirEntry* dir = primary.Dirs[i];
      for (const TFileEntry* e = dir->Files; e != nullptr; e = e->NextFile) {
        if (e->DirRecord == nullptr && e->Imported) by_extent_.emplace(e->Address, std::make_pair(dir, e));
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

  // The name of the one file of `dir` whose data is that of `file`; empty
  // when there is none or more than one (files sharing their data).
  std::u16string NameIn(const TDirEntry* dir, const TFileEntry& file) const {
    const TFileEntry* match = nullptr;
    if (!file.Imported) return {};
    const auto [first, last] = by_extent_.equal_range(file.Address);
    for (auto it = first; it != last; ++it) {
      if (it->second.first != dir || it->second.second->FileSize != file.FileSize) continue;
      if (match != nullptr) return {};
      match = it->second.second;
    }
    return match != nullptr ? match->LongName : std::u16string();
  }

 private:
  std::unordered_multimap<uint32_t, std::pair<const TDirEntry*, const TFileEntry*>> by_extent_;
};

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
    const TDirEntry* in = match[i];
    for (const pFileEntry f : walked[i].files) {
      wishes[i].push_back({f, in != nullptr ? files->NameIn(in, *f) : std::u16string()});
    }
    if (i == 0 || walked[i].entry == nullptr) continue;
    // A subdirectory the walk created is named in its parent.
    const size_t parent = walked[i].parent;
    const bool matched = match[i] != nullptr && match[parent] != nullptr && match[i]->Parent == match[parent] &&
                         match[i] != match[parent];
    wishes[parent].push_back({walked[i].entry, matched ? match[i]->LongName : std::u16string()});
  }
  for (size_t i = 0; i < walked.size(); ++i) {
    if (!wishes[i].empty()) tree.RenameShort(walked[i].dir, std::move(wishes[i]));
  }
}

}  // namespace orvex
