// SPDX-License-Identifier: Apache-2.0
#include "vburner/config.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vburner/profiles.h"

namespace orvex::vburner {

namespace {

using namespace profile;

const std::vector<uint16_t> kCdReads = {kCdRom, kCdR, kCdRw};
const std::vector<uint16_t> kDvdReads = {kDvdRom, kDvdR, kDvdRam, kDvdRwRestricted, kDvdRwSequential,
                                         kDvdPlusRw, kDvdPlusR, kDvdPlusRDl};
const std::vector<uint16_t> kBdReads = {kBdRom, kBdRSequential, kBdRRandom, kBdRe};
// Profiles the emulator has no recording model for; a drive that reads
// them reports them and refuses writing.
const std::vector<uint16_t> kOtherReads = {kDdcdRom, kDdcdR, kDdcdRw, kHdDvdRom, kHdDvdR, kHdDvdRam};
const std::vector<uint16_t> kCdWrites = {kCdR, kCdRw};
const std::vector<uint16_t> kDvdWrites = {kDvdR, kDvdRam, kDvdRwRestricted, kDvdRwSequential,
                                          kDvdPlusRw, kDvdPlusR, kDvdPlusRDl};
const std::vector<uint16_t> kBdWrites = {kBdRSequential, kBdRe};

std::vector<uint16_t> Join(std::initializer_list<const std::vector<uint16_t>*> lists) {
  std::vector<uint16_t> out;
  for (const auto* l : lists) out.insert(out.end(), l->begin(), l->end());
  return out;
}

bool ApplyClass(DriveConfig& d, std::string_view name) {
  if (name == "bd-writer") {
    d.reads = Join({&kCdReads, &kDvdReads, &kBdReads, &kOtherReads});
    d.writes = Join({&kCdWrites, &kDvdWrites, &kBdWrites});
    d.product = "VIRTUAL BD-RW";
  } else if (name == "dvd-writer") {
    d.reads = Join({&kCdReads, &kDvdReads});
    d.writes = Join({&kCdWrites, &kDvdWrites});
    d.product = "VIRTUAL DVD-RW";
  } else if (name == "cd-writer") {
    d.reads = kCdReads;
    d.writes = kCdWrites;
    d.product = "VIRTUAL CD-RW";
  } else if (name == "bd-rom" || name == "dvd-rom" || name == "cd-rom") {
    d.reads = name == "cd-rom" ? kCdReads : name == "dvd-rom" ? Join({&kCdReads, &kDvdReads})
                                                               : Join({&kCdReads, &kDvdReads, &kBdReads});
    d.writes.clear();
    d.test_write = false;
    d.underrun_protection = false;
    d.product = name == "cd-rom" ? "VIRTUAL CD-ROM" : name == "dvd-rom" ? "VIRTUAL DVD-ROM" : "VIRTUAL BD-ROM";
  } else {
    return false;
  }
  return true;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t begin = 0;
  while (true) {
    const size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
    if (end == std::string_view::npos) return parts;
    begin = end + 1;
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

template <typename T>
bool ParseNumber(std::string_view s, T& out, T min, T max) {
  T v{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < min || v > max) return false;
  out = v;
  return true;
}

bool ParseHexByte(std::string_view s, uint8_t& out) {
  unsigned v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v > 0xFF) return false;
  out = static_cast<uint8_t>(v);
  return true;
}

// "FIRST/KK/AA/QQ": a number read by `first`, then a sense in hexadecimal.
template <typename T, typename ParseFirst>
bool ParseFault(std::string_view s, T& first, Sense& sense, ParseFirst parse_first) {
  const std::vector<std::string_view> parts = Split(s, '/');
  return parts.size() == 4 && parse_first(parts[0], first) && ParseHexByte(parts[1], sense.key) &&
         ParseHexByte(parts[2], sense.asc) && ParseHexByte(parts[3], sense.ascq);
}

bool ParseFlag(std::string_view s, bool& out) {
  if (s != "0" && s != "1") return false;
  out = s == "1";
  return true;
}

bool ParseProfiles(std::string_view s, std::vector<uint16_t>& out) {
  out.clear();
  if (s.empty()) return true;
  for (std::string_view name : Split(s, '/')) {
    const ProfileInfo* p = FindProfile(name);
    if (p == nullptr) return false;
    out.push_back(p->number);
  }
  return true;
}

bool ParseAddress(std::string_view s, DriveConfig& d) {
  const std::vector<std::string_view> parts = Split(s, ':');
  return parts.size() == 3 && ParseNumber<uint8_t>(parts[0], d.ha, 0, 15) &&
         ParseNumber<uint8_t>(parts[1], d.target, 0, 7) && ParseNumber<uint8_t>(parts[2], d.lun, 0, 7);
}

// The keys a drive entry takes (ApplyOption reads each).
bool IsDriveKey(std::string_view key) {
  static constexpr std::string_view kKeys[] = {
      "class",   "medium", "tray", "reads", "writes",  "vendor",  "product", "revision", "letter",     "testwrite", "bufe",
      "page30", "blockdesc", "ua", "sync",  "buffer", "cdspeed", "dvdspeed", "bdspeed", "writeerror", "fail",      "stall"};
  return std::find(std::begin(kKeys), std::end(kKeys), key) != std::end(kKeys);
}

// Why the option `option` of drive `head` was refused: no "=", a key no
// drive takes (a typo, most often), or a value the key does not take.
std::string OptionError(std::string_view head, std::string_view option) {
  const std::string where = "drive " + std::string(head) + ": ";
  const size_t eq = option.find('=');
  if (eq == std::string_view::npos) return where + "option \"" + std::string(option) + "\" is not KEY=VALUE";
  const std::string key(option.substr(0, eq));
  if (!IsDriveKey(key)) return where + "unknown option \"" + key + "\" (see DRIVE DESCRIPTION in man orvex-vburner)";
  return where + "bad value for " + key + ": \"" + std::string(option.substr(eq + 1)) + "\"";
}

// Applies one key=value of a drive entry; false when the value is bad.
bool ApplyOption(DriveConfig& d, std::string_view key, std::string_view value) {
  if (key == "class") return ApplyClass(d, value);
  if (key == "medium") return !(d.medium = std::string(value)).empty();
  if (key == "tray") {
    if (value != "open" && value != "closed") return false;
    d.tray_open = value == "open";
    return true;
  }
  if (key == "reads") return ParseProfiles(value, d.reads);
  if (key == "writes") return ParseProfiles(value, d.writes);
  if (key == "vendor") return (d.vendor = std::string(value)).size() <= 8;
  if (key == "product") return (d.product = std::string(value)).size() <= 16;
  if (key == "revision") return (d.revision = std::string(value)).size() <= 4;
  if (key == "letter") {
    if (value.size() != 1 || value[0] < 'A' || value[0] > 'Z') return false;
    d.letter = value[0];
    return true;
  }
  if (key == "testwrite") return ParseFlag(value, d.test_write);
  if (key == "bufe") return ParseFlag(value, d.underrun_protection);
  if (key == "page30") return ParseFlag(value, d.page30);
  if (key == "blockdesc") return ParseFlag(value, d.block_descriptor);
  if (key == "ua") return ParseFlag(value, d.unit_attention);
  if (key == "sync") return ParseFlag(value, d.synchronous);
  if (key == "writeerror") {
    std::pair<uint32_t, Sense> fault{};
    const auto lba = [](std::string_view v, uint32_t& out) { return ParseNumber<uint32_t>(v, out, 0, UINT32_MAX); };
    if (!ParseFault(value, fault.first, fault.second, lba)) return false;
    d.write_error = fault;
    return true;
  }
  if (key == "fail") {
    std::pair<uint8_t, Sense> fault{};
    if (!ParseFault(value, fault.first, fault.second, ParseHexByte)) return false;
    d.failures.push_back(fault);
    return true;
  }
  if (key == "buffer") return ParseNumber<uint32_t>(value, d.buffer_kib, 64, 1u << 20);
  if (key == "cdspeed") return ParseNumber<uint32_t>(value, d.cd_speed, 1, 200);
  if (key == "dvdspeed") return ParseNumber<uint32_t>(value, d.dvd_speed, 1, 100);
  if (key == "bdspeed") return ParseNumber<uint32_t>(value, d.bd_speed, 1, 100);
  if (key == "stall") {
    if (value == "start") return (d.stall = kStallAtStart).has_value();
    uint8_t opcode = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), opcode, 16);
    if (ec != std::errc() || end != value.data() + value.size()) return false;
    d.stall = opcode;
    return true;
  }
  return false;
}

}  // namespace

bool DriveConfig::Reads(uint16_t p) const {
  return std::find(reads.begin(), reads.end(), p) != reads.end() || Writes(p);
}

bool DriveConfig::Writes(uint16_t p) const { return std::find(writes.begin(), writes.end(), p) != writes.end(); }

std::optional<EmulatorConfig> ParseConfig(const std::string& description, std::string& error) {
  EmulatorConfig config;
  for (std::string_view raw : Split(description, ';')) {
    const std::string_view entry = Trim(raw);
    if (entry.empty()) continue;
    const std::vector<std::string_view> fields = Split(entry, ',');
    const std::string_view head = Trim(fields[0]);
    if (head.find('=') != std::string_view::npos) {
      if (fields.size() != 1) {
        error = "setting with extra fields: " + std::string(entry);
        return std::nullopt;
      }
      const std::string_view key = head.substr(0, head.find('='));
      const std::string_view value = head.substr(head.find('=') + 1);
      if (key == "timescale") {
        const std::string text(value);
        char* end = nullptr;
        const double scale = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(scale) || scale < 0) {
          error = "bad time scale: " + text;
          return std::nullopt;
        }
        config.time_scale = scale;
      } else if (key == "trace" && !value.empty()) {
        config.trace_path = std::string(value);
      } else {
        error = "unknown setting: " + std::string(head);
        return std::nullopt;
      }
      continue;
    }
    DriveConfig d;
    ApplyClass(d, "bd-writer");
    if (!ParseAddress(head, d)) {
      error = "bad drive address (want HA:TARGET:LUN): " + std::string(head);
      return std::nullopt;
    }
    for (size_t i = 1; i < fields.size(); ++i) {
      const std::string_view option = Trim(fields[i]);
      const size_t eq = option.find('=');
      if (eq == std::string_view::npos || !ApplyOption(d, option.substr(0, eq), option.substr(eq + 1))) {
        error = OptionError(head, option);
        return std::nullopt;
      }
    }
    for (const DriveConfig& other : config.drives)
      if (other.ha == d.ha && other.target == d.target && other.lun == d.lun) {
        error = "two drives at " + std::string(head);
        return std::nullopt;
      }
    config.drives.push_back(std::move(d));
  }
  return config;
}

}  // namespace orvex::vburner
