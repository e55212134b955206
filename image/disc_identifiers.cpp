// SPDX-License-Identifier: Apache-2.0
#include "image/disc_identifiers.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "platform/name_compare.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

size_t Utf8Bytes(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// One tree's rule: what a name's length is measured in, and its limit.
struct TRule {
  size_t limit;
  bool in_bytes;    // measured in bytes of the 8-bit form, not in UTF-16 units
  bool exact_names; // readers tell names differing only in case apart
  bool no_backslash; // readers take "\" for a path separator

  size_t Length(std::u16string_view name) const {
    if (!in_bytes) return name.size();
    size_t bytes = 0;
    for (size_t i = 0; i < name.size();) bytes += Utf8Bytes(NextCodePoint(name, i));
    return bytes;
  }

  // The longest prefix within `room`, never splitting a character.
  std::u16string_view Cut(std::u16string_view name, size_t room) const {
    if (!in_bytes) return CutUtf16(name, room);
    size_t bytes = 0, i = 0;
    while (i < name.size()) {
      size_t next = i;
      bytes += Utf8Bytes(NextCodePoint(name, next));
      if (bytes > room) break;
      i = next;
    }
    return name.substr(0, i);
  }
};

constexpr TRule kJoliet{kMaxJolietUnits, false, false, true};
constexpr TRule kUdf{kMaxUdfUnits, false, true, false};
constexpr TRule Iso1999Rule(size_t limit) { return {limit, true, false, true}; }

bool HasLoneSurrogate(std::u16string_view name) {
  for (size_t i = 0; i < name.size();) {
    const char32_t c = NextCodePoint(name, i);
    if (c >= 0xD800 && c <= 0xDFFF) return true;
  }
  return false;
}

// `name` as a tree can hold it: characters with no form on disc, and in a
// tree whose readers split paths at "\" that character too, become "_".
std::u16string Writable(const TRule& rule, const std::u16string& name) {
  std::u16string writable = ReplaceLoneSurrogates(name, u'_');
  if (rule.no_backslash) std::replace(writable.begin(), writable.end(), u'\\', u'_');
  return writable;
}

// The names a tree takes from an entry.
const std::u16string& LongNameOf(const TFileEntry& e) { return e.LongName; }
const std::u16string& UdfNameOf(const TFileEntry& e) {
  return e.DirRecord != nullptr ? e.DirRecord->LongName : e.FirstLongName();
}

struct TFoldedHash {
  size_t operator()(const std::u16string& s) const { return NameHash(s); }
};
struct TFoldedEqual {
  bool operator()(const std::u16string& a, const std::u16string& b) const {
    return NamesEqualIgnoreCase(a, b);
  }
};
using TNameSet = std::unordered_set<std::u16string, TFoldedHash, TFoldedEqual>;

// `name` ("stem.ext") with the end of its stem replaced by "~N" so that the
// whole fits the rule's limit.
std::u16string Numbered(const TRule& rule, const std::u16string& name, unsigned n) {
  size_t dot = name.rfind(u'.');
  const std::u16string suffix = u"~" + Utf8ToUtf16(std::to_string(n));
  // An extension that would leave little room for the stem is not kept.
  if (dot == std::u16string::npos || dot == 0 || rule.Length(std::u16string_view(name).substr(dot)) > rule.limit / 2) {
    dot = name.size();
  }
  const std::u16string_view ext = std::u16string_view(name).substr(dot);
  const size_t room = rule.limit - rule.Length(suffix) - rule.Length(ext);
  return std::u16string(rule.Cut(std::u16string_view(name).substr(0, dot), room)) + suffix + std::u16string(ext);
}

// The identifiers of one directory's entries in one tree, in list order.
// Names that need no change keep them (in a tree that compares names
// without case, only the first of names differing only in case does); the
// others take theirs in list order, numbered where taken, never as another
// entry's plain cut.
std::vector<std::u16string> DirectoryIdentifiers(const TRule& rule, const TDirEntry& dir,
                                                 const std::u16string& (*source)(const TFileEntry&)) {
  std::vector<std::u16string> whole, cut;
  std::vector<bool> unchanged;
  TNameSet plain, taken;
  for (const TFileEntry* e = dir.Files; e != nullptr; e = e->NextFile) {
    whole.push_back(Writable(rule, source(*e)));
    cut.emplace_back(rule.Cut(whole.back(), rule.limit));
    const bool whole_name = cut.back() == source(*e);
    unchanged.push_back(whole_name && (taken.insert(cut.back()).second || rule.exact_names));
    plain.insert(cut.back());
  }
  for (size_t i = 0; i < cut.size(); ++i) {
    if (unchanged[i] || taken.insert(cut[i]).second) continue;
    for (unsigned n = 1;; ++n) {
      std::u16string candidate = Numbered(rule, whole[i], n);
      if (plain.count(candidate) == 0 && taken.count(candidate) == 0) {
        cut[i] = std::move(candidate);
        break;
      }
    }
    taken.insert(cut[i]);
  }
  return cut;
}

// Whether any entry of the directory needs more than its plain cut in a tree:
// only a cut name can come to equal another, or in a tree that compares
// names without case one differing from another only in case; and only a
// name with a character that has no form on disc (or a "\" where readers
// split paths at it) needs a "_".
bool NeedsIdentifiers(const TDirEntry& dir, const TLongNameTrees& trees) {
  if ((trees.joliet || trees.iso1999) && dir.Names.HasCaseVariants()) return true;
  const TRule rule1999 = Iso1999Rule(trees.iso1999_bytes);
  for (const TFileEntry* e = dir.Files; e != nullptr; e = e->NextFile) {
    if (HasLoneSurrogate(e->LongName) || HasLoneSurrogate(UdfNameOf(*e))) return true;
    if ((trees.joliet || trees.iso1999) && e->LongName.find(u'\\') != std::u16string::npos) return true;
    if (trees.joliet && kJoliet.Length(e->LongName) > kJoliet.limit) return true;
    if (trees.iso1999 && rule1999.Length(e->LongName) > rule1999.limit) return true;
    if (trees.udf && kUdf.Length(UdfNameOf(*e)) > kUdf.limit) return true;
  }
  return false;
}

void AssignDirectory(TDirEntry& dir, const TLongNameTrees& trees, std::deque<TDiscIdentifiers>& store) {
  const TRule rule1999 = Iso1999Rule(trees.iso1999_bytes);
  const std::vector<std::u16string> joliet = DirectoryIdentifiers(kJoliet, dir, LongNameOf);
  const std::vector<std::u16string> iso1999 = DirectoryIdentifiers(rule1999, dir, LongNameOf);
  const std::vector<std::u16string> udf = DirectoryIdentifiers(kUdf, dir, UdfNameOf);
  size_t i = 0;
  for (TFileEntry* e = dir.Files; e != nullptr; e = e->NextFile, ++i) {
    const bool plain = joliet[i] == CutUtf16(e->LongName, kJoliet.limit) &&
                       iso1999[i] == rule1999.Cut(e->LongName, kMaxIso1999Bytes) &&
                       udf[i] == CutUtf16(UdfNameOf(*e), kUdf.limit);
    if (!plain) e->Identifiers = &store.emplace_back(TDiscIdentifiers{joliet[i], Utf16ToUtf8(iso1999[i]), udf[i]});
    if (e->DirRecord != nullptr) e->DirRecord->Identifiers = e->Identifiers;
  }
}

}  // namespace

void AssignDiscIdentifiers(TContentTree& tree, const TLongNameTrees& trees, std::deque<TDiscIdentifiers>& store) {
  store.clear();
  for (size_t d = 0; d < tree.Dirs.size(); ++d) {
    TDirEntry& dir = *tree.Dirs[d];
    for (TFileEntry* e = dir.Files; e != nullptr; e = e->NextFile) {
      e->Identifiers = nullptr;
      if (e->DirRecord != nullptr) e->DirRecord->Identifiers = nullptr;
    }
    if (NeedsIdentifiers(dir, trees)) AssignDirectory(dir, trees, store);
  }
}

std::u16string_view JolietIdentifier(const TFileEntry& entry) {
  if (entry.Identifiers) return entry.Identifiers->Joliet;
  return CutUtf16(entry.LongName, kMaxJolietUnits);
}

std::u16string_view JolietIdentifier(const TDirEntry& dir) {
  if (dir.Identifiers) return dir.Identifiers->Joliet;
  return CutUtf16(dir.LongName, kMaxJolietUnits);
}

std::string Iso1999Identifier(const TFileEntry& entry) {
  if (entry.Identifiers) return entry.Identifiers->Iso1999;
  return std::string(CutUtf8(Utf16ToUtf8(entry.LongName), kMaxIso1999Bytes));
}

std::string Iso1999Identifier(const TDirEntry& dir) {
  if (dir.Identifiers) return dir.Identifiers->Iso1999;
  return std::string(CutUtf8(Utf16ToUtf8(dir.LongName), kMaxIso1999Bytes));
}

std::u16string_view UdfIdentifier(const TFileEntry& entry) {
  if (entry.Identifiers) return entry.Identifiers->Udf;
  return CutUtf16(UdfNameOf(entry), kMaxUdfUnits);
}

}  // namespace orvex
