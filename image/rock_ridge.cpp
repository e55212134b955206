// SPDX-License-Identifier: Apache-2.0
#include "image/rock_ridge.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "image/iso_records.h"
#include "platform/byte_order.h"
#include "platform/file_time.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

constexpr size_t kFieldHeader = 4;       // signature, length, version
constexpr size_t kMaxFieldData = 251;    // a field is at most 255 bytes
constexpr size_t kContinuationEntry = 28;

constexpr char kExtensionId[] = "IEEE_1282";
constexpr char kExtensionDescriptor[] =
    "THE IEEE 1282 PROTOCOL PROVIDES SUPPORT FOR POSIX FILE SYSTEM SEMANTICS.";
constexpr char kExtensionSource[] =
    "PLEASE CONTACT THE IEEE STANDARDS DEPARTMENT, PISCATAWAY, NJ, USA FOR THE 1282 SPECIFICATION.";

// NM and SL flags.
constexpr uint8_t kContinue = 0x01;
constexpr uint8_t kCurrent = 0x02;
constexpr uint8_t kParent = 0x04;
constexpr uint8_t kRoot = 0x08;

// A field whose data is `flags` (when not negative) followed by `data`.
std::string Field(const char* signature, std::string_view data, int flags = -1) {
  const size_t header = kFieldHeader + (flags < 0 ? 0 : 1);
  std::string f(header + data.size(), '\0');
  f[0] = signature[0];
  f[1] = signature[1];
  f[2] = static_cast<char>(f.size());
  f[3] = '\1';
  if (flags >= 0) f[4] = static_cast<char>(flags);
  data.copy(f.data() + header, data.size());
  return f;
}

// The 7-byte recording form of a UTC time at `p`.  The civil date is worked
// out here rather than by gmtime_r, which takes a lock and consults the time
// zone for every call: three dates per record of every entry.
void PutUtcDate(uint8_t* p, const timespec& t) {
  constexpr int64_t kDay = 86'400;
  const int64_t seconds = t.tv_sec;
  const int64_t days = seconds / kDay - (seconds % kDay < 0 ? 1 : 0);
  const int64_t in_day = seconds - days * kDay;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, year, month, day);
  SYSTEMTIME st{};
  st.wYear = static_cast<uint16_t>(std::clamp<int64_t>(year, 1900, 2155));
  st.wMonth = static_cast<uint16_t>(month);
  st.wDay = static_cast<uint16_t>(day);
  st.wHour = static_cast<uint16_t>(in_day / 3600);
  st.wMinute = static_cast<uint16_t>(in_day / 60 % 60);
  st.wSecond = static_cast<uint16_t>(in_day % 60);
  PutRecordingDate(p, st, 0);
}

// NM fields for `name`, each holding as much as a field takes.
void AppendName(std::vector<std::string>& fields, std::string_view name) {
  do {
    const std::string_view part = name.substr(0, kMaxFieldData - 1);
    name.remove_prefix(part.size());
    fields.push_back(Field("NM", part, name.empty() ? 0 : kContinue));
  } while (!name.empty());
}

// SL fields for a link target: its components ("/" leading: the root;
// "." and "..": current and parent), a component longer than a record
// holds split with CONTINUE, and the records packed into fields, every
// field but the last flagged to continue in the next.
void AppendLink(std::vector<std::string>& fields, std::string_view target) {
  constexpr size_t kMaxComponent = kMaxFieldData - 1 - 2;  // the field's flags, the record's header
  std::vector<std::string> records;
  const auto record = [&](uint8_t flags, std::string_view content) {
    std::string r(1, static_cast<char>(flags));
    r += static_cast<char>(content.size());
    r += content;
    records.push_back(std::move(r));
  };
  if (!target.empty() && target[0] == '/') record(kRoot, "");
  while (!target.empty()) {
    const size_t end = target.find('/');
    std::string_view component = target.substr(0, end);
    target = end == std::string_view::npos ? std::string_view() : target.substr(end + 1);
    if (component.empty()) continue;  // "//" and a trailing "/"
    if (component == ".") {
      record(kCurrent, "");
    } else if (component == "..") {
      record(kParent, "");
    } else {
      while (component.size() > kMaxComponent) {
        record(kContinue, component.substr(0, kMaxComponent));
        component.remove_prefix(kMaxComponent);
      }
      record(0, component);
    }
  }
  std::vector<std::string> data(1, std::string(1, '\0'));
  for (const std::string& r : records) {
    if (data.back().size() + r.size() > kMaxFieldData) {
      data.back()[0] = static_cast<char>(kContinue);
      data.emplace_back(1, '\0');
    }
    data.back() += r;
  }
  for (const std::string& d : data) fields.push_back(Field("SL", d));
}

uint32_t RationalMode(uint32_t mode) {
  uint32_t permissions = (mode & 0777) | 0444;
  if ((permissions & 0111) != 0) permissions |= 0111;
  permissions &= ~uint32_t{0222};
  return (mode & S_IFMT) | permissions;
}

}  // namespace

TSystemUse SplitSystemUse(const std::vector<std::string>& fields, uint32_t room) {
  TSystemUse su;
  su.parts.emplace_back();
  size_t rest = 0;
  for (const std::string& f : fields) rest += f.size();
  // The record's own part is padded to an even length, so it may fill only
  // an even count of bytes.
  size_t limit = room & ~1u;
  su.parts.back().reserve(std::min(rest, limit));
  for (size_t i = 0; i < fields.size();) {
    std::string& part = su.parts.back();
    if (part.size() + rest <= limit) {
      for (; i < fields.size(); ++i) part += fields[i];
      break;
    }
    if (part.size() + fields[i].size() + kContinuationEntry <= limit) {
      part += fields[i];
      rest -= fields[i].size();
      ++i;
      continue;
    }
    part += Field("CE", std::string(kContinuationEntry - kFieldHeader, '\0'));
    su.parts.emplace_back();
    limit = kSectorSize;
  }
  return su;
}

struct TRockRidgeFields::TFacts {
  const TPosixAttributes* posix;  // null: the defaults
  bool directory;
  const SYSTEMTIME* time;         // for the defaults
  uint32_t links;
  uint32_t serial;
};

TRockRidgeFields::TRockRidgeFields(const TContentTree& tree, bool rational) : tree_(tree), rational_(rational) {
  for (size_t i = 0; i < tree.Files.size(); ++i) {
    const TFileEntry& e = *tree.Files[i];
    if (e.DirRecord != nullptr) entries_[e.DirRecord] = &e;
  }
  for (size_t d = 1; d < tree.Dirs.size(); ++d) ++subdirectories_[tree.Dirs[d]->Parent];
}

TRockRidgeFields::TFacts TRockRidgeFields::DirectoryFacts(const TDirEntry& dir) const {
  const auto subdirectories = subdirectories_.find(&dir);
  const uint32_t links = 2 + (subdirectories == subdirectories_.end() ? 0 : subdirectories->second);
  if (&dir == tree_.RootDir) return {&tree_.RootPosix, true, nullptr, links, 1};
  const TFileEntry* entry = entries_.at(&dir);
  return {entry->Posix ? &*entry->Posix : nullptr, true, &entry->Time, links, dir.number};
}

std::vector<std::string> TRockRidgeFields::Common(const TFacts& facts) const {
  const TPosixAttributes* posix = facts.posix;
  uint32_t mode = facts.directory ? S_IFDIR | 0555 : S_IFREG | 0444;
  if (posix != nullptr) {
    const bool link = !facts.directory && S_ISLNK(posix->Mode);
    mode = (facts.directory ? S_IFDIR : link ? S_IFLNK : S_IFREG) | (posix->Mode & 07777);
    if (rational_ && !link) mode = RationalMode(mode);
  }
  const bool owned = posix != nullptr && !rational_;
  uint8_t px[5 * 8];
  PutBoth32(px, mode);
  PutBoth32(px + 8, facts.links);
  PutBoth32(px + 16, owned ? posix->Uid : 0);
  PutBoth32(px + 24, owned ? posix->Gid : 0);
  PutBoth32(px + 32, facts.serial);

  uint8_t tf[1 + 3 * 7];
  tf[0] = 0x0E;  // modification, access and attribute change, 7-byte form
  if (posix != nullptr) {
    PutUtcDate(tf + 1, posix->Modified);
    PutUtcDate(tf + 8, posix->Accessed);
    PutUtcDate(tf + 15, posix->Changed);
  } else {
    for (uint8_t* date = tf + 1; date < tf + sizeof tf; date += 7) {
      PutRecordingDate(date, *facts.time, tree_.TimeZoneDifference);
    }
  }
  std::vector<std::string> fields;
  fields.reserve(4);  // room for the name and a link's target after these
  fields.push_back(Field("PX", std::string_view(reinterpret_cast<const char*>(px), sizeof px)));
  fields.push_back(Field("TF", std::string_view(reinterpret_cast<const char*>(tf), sizeof tf)));
  return fields;
}

TSystemUse TRockRidgeFields::Dot(const TDirEntry& dir, bool parent) const {
  std::vector<std::string> fields;
  const bool root = &dir == tree_.RootDir;
  if (root && !parent) fields.push_back(Field("SP", std::string("\xBE\xEF\0", 3)));
  std::vector<std::string> common = Common(DirectoryFacts(parent ? *dir.Parent : dir));
  fields.insert(fields.end(), common.begin(), common.end());
  if (root && !parent) {
    std::string er;
    er += static_cast<char>(sizeof kExtensionId - 1);
    er += static_cast<char>(sizeof kExtensionDescriptor - 1);
    er += static_cast<char>(sizeof kExtensionSource - 1);
    er += '\1';  // the extension's version
    er += kExtensionId;
    er += kExtensionDescriptor;
    er += kExtensionSource;
    fields.push_back(Field("ER", er));
  }
  return SplitSystemUse(fields, 255 - DirectoryRecordLength(1));
}

TSystemUse TRockRidgeFields::Entry(const TFileEntry& entry, size_t identifier_bytes) const {
  std::vector<std::string> fields;
  if (entry.DirRecord != nullptr) {
    fields = Common(DirectoryFacts(*entry.DirRecord));
  } else {
    fields = Common({entry.Posix ? &*entry.Posix : nullptr, false, &entry.Time, 1,
                     0x10000u + static_cast<uint32_t>(entry.Index)});
  }
  const bool named = entry.Posix && !entry.Posix->Name.empty();
  AppendName(fields, named ? std::string_view(entry.Posix->Name) : std::string_view(Utf16ToUtf8(entry.LongName)));
  if (entry.DirRecord == nullptr && entry.Posix && S_ISLNK(entry.Posix->Mode)) AppendLink(fields, entry.Posix->LinkTarget);
  return SplitSystemUse(fields, 255 - DirectoryRecordLength(identifier_bytes));
}

void TContinuationArea::Place(TSystemUse& system_use) {
  for (size_t k = 1; k < system_use.parts.size(); ++k) {
    const std::string& piece = system_use.parts[k];
    if (sectors_ == 0 || offset_ + piece.size() > kSectorSize) {
      ++sectors_;
      offset_ = 0;
    }
    uint8_t* entry = reinterpret_cast<uint8_t*>(system_use.parts[k - 1].data()) +
                     system_use.parts[k - 1].size() - kContinuationEntry;
    PutBoth32(entry + 4, first_block_ + sectors_ - 1);
    PutBoth32(entry + 12, offset_);
    PutBoth32(entry + 20, static_cast<uint32_t>(piece.size()));
    offset_ += static_cast<uint32_t>(piece.size());
  }
  if (buffer_ == nullptr) return;
  // Copied once every entry pointing at a piece is filled in.
  for (size_t k = 1; k < system_use.parts.size(); ++k) {
    const uint8_t* entry = reinterpret_cast<const uint8_t*>(system_use.parts[k - 1].data()) +
                           system_use.parts[k - 1].size() - kContinuationEntry;
    const size_t at = size_t{GetLE32(entry + 4) - first_block_} * kSectorSize + GetLE32(entry + 12);
    const std::string& piece = system_use.parts[k];
    if (buffer_->size() < at + piece.size()) buffer_->resize(size_t{sectors_} * kSectorSize, 0);
    std::memcpy(buffer_->data() + at, piece.data(), piece.size());
  }
}

}  // namespace orvex
