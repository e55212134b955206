// SPDX-License-Identifier: Apache-2.0
#include "services/rock_ridge.h"

#include <array>
#include <ctime>
#include <functional>
#include <set>
#include <utility>

#include "platform/byte_order.h"
#include "services/volume_records.h"

namespace orvex {
namespace {

constexpr size_t kEntryHeader = 4;  // signature, length, version

// NM and SL flags.
constexpr uint8_t kContinue = 0x01;
constexpr uint8_t kCurrent = 0x02;
constexpr uint8_t kParent = 0x04;
constexpr uint8_t kRoot = 0x08;  // SL components only

// TF flags: which times follow, in this order, and their form.
constexpr uint8_t kTimeModify = 0x02;
constexpr uint8_t kTimeAccess = 0x04;
constexpr uint8_t kTimeAttributes = 0x08;
constexpr uint8_t kTimeLongForm = 0x80;

bool Is(std::span<const uint8_t> entry, const char* signature) {
  return entry[0] == static_cast<uint8_t>(signature[0]) && entry[1] == static_cast<uint8_t>(signature[1]);
}

// Calls `visit` with each entry (header included) of `area` from byte
// `start`, then of the continuation areas the CE entries lead to; false
// from `visit` stops the walk.  Sets `damaged` for what could not be read.
void WalkEntries(TSectorReader& source, std::span<const uint8_t> area, size_t start,
                 const std::function<bool(std::span<const uint8_t>)>& visit, bool& damaged) {
  std::array<uint8_t, kSectorSize> sector{};
  std::set<std::pair<uint32_t, uint32_t>> seen;  // continuation areas read: sector, offset
  for (int continuations = 0;; ++continuations) {
    std::optional<std::array<uint32_t, 3>> next;  // sector, offset, length
    size_t i = start;
    while (i + kEntryHeader <= area.size()) {
      const uint8_t length = area[i + 2];
      if (length < kEntryHeader || i + length > area.size()) {
        damaged = true;
        break;
      }
      const std::span<const uint8_t> entry = area.subspan(i, length);
      i += length;
      if (Is(entry, "ST")) break;
      if (Is(entry, "CE")) {
        if (length < 28) {
          damaged = true;
          break;
        }
        next = std::array<uint32_t, 3>{GetLE32(&entry[4]), GetLE32(&entry[12]), GetLE32(&entry[20])};
        continue;
      }
      if (!visit(entry)) return;
    }
    if (!next) return;
    const auto [block, offset, length] = *next;
    if (continuations == kMaxContinuations || !seen.emplace(block, offset).second || block >= source.SectorCount() ||
        offset >= kSectorSize || length > kSectorSize - offset || !source.ReadSector(block, sector.data())) {
      damaged = true;  // a loop, too many, or an area that is not within the source
      return;
    }
    area = std::span<const uint8_t>(sector).subspan(offset, length);
    start = 0;
  }
}

// A time of TF in its short form (years since 1900, month, day, hour,
// minute, second, offset from UTC in 15-minute units) or its long form
// (digits "YYYYMMDDHHMMSSHH" and the offset).
timespec TimeOf(std::span<const uint8_t> field, bool long_form) {
  std::tm tm{};
  long nanoseconds = 0;
  if (long_form) {
    const auto number = [&](size_t at, size_t digits) {
      int value = 0;
      for (size_t k = at; k < at + digits; ++k) value = value * 10 + (field[k] >= '0' && field[k] <= '9' ? field[k] - '0' : 0);
      return value;
    };
    tm.tm_year = number(0, 4) - 1900;
    tm.tm_mon = number(4, 2) - 1;
    tm.tm_mday = number(6, 2);
    tm.tm_hour = number(8, 2);
    tm.tm_min = number(10, 2);
    tm.tm_sec = number(12, 2);
    nanoseconds = number(14, 2) * 10'000'000L;
  } else {
    tm.tm_year = field[0];
    tm.tm_mon = field[1] - 1;
    tm.tm_mday = field[2];
    tm.tm_hour = field[3];
    tm.tm_min = field[4];
    tm.tm_sec = field[5];
  }
  const int offset = static_cast<int8_t>(field[long_form ? 16 : 6]);
  const time_t local = timegm(&tm);
  return timespec{local - offset * 15 * 60, nanoseconds};
}

bool ReadTimes(std::span<const uint8_t> data, TPosixAttributes& posix) {
  if (data.empty()) return false;
  const uint8_t flags = data[0];
  const size_t size = (flags & kTimeLongForm) != 0 ? 17 : 7;
  size_t at = 1;
  for (uint8_t bit = 1; bit < kTimeLongForm; bit <<= 1) {
    if ((flags & bit) == 0) continue;
    if (at + size > data.size()) return false;
    const timespec time = TimeOf(data.subspan(at, size), size == 17);
    if (bit == kTimeModify) posix.Modified = time;
    if (bit == kTimeAccess) posix.Accessed = time;
    if (bit == kTimeAttributes) posix.Changed = time;
    at += size;
  }
  return true;
}

// A link target being joined from the components of SL entries.
struct TLinkTarget {
  std::string text;
  bool separate = false;  // the next component starts a new path component
  bool whole = true;      // every component lay within its entry

  void Add(std::span<const uint8_t> data) {
    if (data.empty()) {
      whole = false;
      return;
    }
    for (size_t j = 1; j < data.size();) {
      if (j + 2 > data.size() || j + 2 + data[j + 1] > data.size()) {
        whole = false;  // a component past the end of its entry
        return;
      }
      const uint8_t flags = data[j];
      const std::span<const uint8_t> content = data.subspan(j + 2, data[j + 1]);
      j += 2 + content.size();
      if ((flags & kRoot) != 0) {
        text = "/";
        separate = false;
        continue;
      }
      if (separate) text += '/';
      if ((flags & kCurrent) != 0) {
        text += '.';
      } else if ((flags & kParent) != 0) {
        text += "..";
      } else {
        text.append(content.begin(), content.end());
      }
      separate = (flags & kContinue) == 0;
    }
  }
};

bool SoundName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace

std::optional<TRockRidgeVolume> DetectRockRidge(TSectorReader& source, uint32_t root_extent) {
  std::array<uint8_t, kSectorSize> sector{};
  if (root_extent >= source.SectorCount() || !source.ReadSector(root_extent, sector.data())) return std::nullopt;
  const std::optional<TDirectoryRecord> self = ReadDirectoryRecord(sector);
  if (!self) return std::nullopt;
  const std::span<const uint8_t> area = self->system_use;
  if (area.size() < 7 || !Is(area, "SP") || area[2] != 7 || area[4] != 0xBE || area[5] != 0xEF) return std::nullopt;
  TRockRidgeVolume volume{area[6]};
  bool found = false, damaged = false;
  WalkEntries(
      source, area, 0,
      [&](std::span<const uint8_t> entry) {
        if (Is(entry, "RR") || Is(entry, "PX")) found = true;
        if (Is(entry, "ER") && entry.size() >= 8 && size_t{8} + entry[4] <= entry.size()) {
          const std::string id(entry.begin() + 8, entry.begin() + 8 + entry[4]);
          if (id == "RRIP_1991A" || id == "IEEE_P1282" || id == "IEEE_1282") found = true;
        }
        return !found;
      },
      damaged);
  if (!found) return std::nullopt;
  return volume;
}

TRockRidgeEntry DecodeRockRidge(TSectorReader& source, std::span<const uint8_t> system_use,
                                const TRockRidgeVolume& volume) {
  TRockRidgeEntry result;
  TPosixAttributes posix;
  bool px = false, named = false, name_continues = false, link = false;
  std::string name;
  TLinkTarget target;
  WalkEntries(
      source, system_use, volume.skip,
      [&](std::span<const uint8_t> entry) {
        const std::span<const uint8_t> data = entry.subspan(kEntryHeader);
        if (Is(entry, "PX")) {
          if (data.size() < 32) {
            result.damaged = true;
            return true;
          }
          posix.Mode = GetLE32(&data[0]);
          posix.Links = GetLE32(&data[8]);
          posix.Uid = GetLE32(&data[16]);
          posix.Gid = GetLE32(&data[24]);
          if (data.size() >= 40) posix.Serial = GetLE32(&data[32]);
          px = true;
        } else if (Is(entry, "NM")) {
          if (data.empty()) {
            result.damaged = true;
            return true;
          }
          if ((data[0] & (kCurrent | kParent)) == 0) {
            name.append(data.begin() + 1, data.end());
            named = true;
            name_continues = (data[0] & kContinue) != 0;
          }
        } else if (Is(entry, "TF")) {
          if (!ReadTimes(data, posix)) result.damaged = true;
        } else if (Is(entry, "SL")) {
          target.Add(data);
          link = true;
        } else if (Is(entry, "CL")) {
          if (data.size() < 8) {
            result.damaged = true;
            return true;
          }
          result.child_link = GetLE32(&data[0]);
        } else if (Is(entry, "RE")) {
          result.relocated = true;
        }
        return true;
      },
      result.damaged);
  if (named) {
    if (!name_continues && SoundName(name)) {
      result.name = name;
    } else {
      result.damaged = true;
    }
  }
  if (link && !target.whole) result.damaged = true;
  if (px) {
    if (result.name) posix.Name = *result.name;
    if (link && target.whole) posix.LinkTarget = target.text;
    result.posix = posix;
  }
  return result;
}

}  // namespace orvex
