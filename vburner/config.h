// SPDX-License-Identifier: Apache-2.0
// The description of the emulated drives, as the ORVEX_VBURNER variable
// and vb_configure spell it:
//
//   description = entry { ";" entry }
//   entry       = drive | setting
//   drive       = HA ":" TARGET ":" LUN { "," key "=" value }
//   setting     = "timescale=" NUMBER | "trace=" PATH
//
// Drive keys: class (bd-writer, dvd-writer, cd-writer, bd-rom, dvd-rom,
// cd-rom: a preset for the rest), medium (a medium file loaded at start),
// tray (open/closed), reads and writes (profile names joined by "/"),
// vendor, product, revision, letter (the drive letter get-disk-info
// reports), testwrite, bufe (buffer-underrun protection), page30,
// blockdesc (mode data carries a block descriptor), ua (report unit
// attentions), sync (complete every command before SendASPI32Command
// returns) as 0 or 1, buffer (KiB), cdspeed, dvdspeed, bdspeed (highest
// multiple of 1x).  Two faults can be set from the start, for a program
// that cannot call vb_fault_*: writeerror=LBA/KK/AA/QQ (as
// vb_fault_write_error, the LBA in decimal) and fail=OP/KK/AA/QQ (the next
// command with opcode OP ends in CHECK CONDITION, as vb_fault_fail with
// count 1; may be given for several opcodes, and n times for one, as
// count n), opcode and sense in
// hexadecimal.  Values cannot contain "," or ";".
//
// Example: "0:1:0,class=dvd-writer,medium=/tmp/a.vmed;timescale=100"
#ifndef ORVEX_VBURNER_CONFIG_H_
#define ORVEX_VBURNER_CONFIG_H_

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "vburner/sense.h"

namespace orvex::vburner {

// DriveConfig::stall for a drive that answers nothing at all.
constexpr uint16_t kStallAtStart = 0x100;

struct DriveConfig {
  uint8_t ha = 0, target = 0, lun = 0;
  std::string vendor = "ORVEX";
  std::string product;  // from the class unless given
  std::string revision = "1.00";
  std::vector<uint16_t> reads;   // profiles it reads (the ones it writes included)
  std::vector<uint16_t> writes;  // profiles it writes
  bool test_write = true;
  bool underrun_protection = true;
  bool page30 = false;
  bool block_descriptor = false;
  bool unit_attention = false;
  bool synchronous = false;
  uint32_t buffer_kib = 4096;
  uint32_t cd_speed = 48, dvd_speed = 16, bd_speed = 12;
  std::string medium;  // empty: no medium
  bool tray_open = false;
  char letter = 0;     // 0: get-disk-info knows no letter
  std::optional<std::pair<uint32_t, Sense>> write_error;  // writeerror=
  std::vector<std::pair<uint8_t, Sense>> failures;        // fail=
  // The drive stops answering (as vb_fault_stall does): from the start
  // (kStallAtStart), or once it has answered the first command with this
  // opcode; nullopt: never.
  std::optional<uint16_t> stall;

  bool Reads(uint16_t profile) const;
  bool Writes(uint16_t profile) const;
  bool WritesAny() const { return !writes.empty(); }
};

struct EmulatorConfig {
  std::vector<DriveConfig> drives;
  double time_scale = 1.0;
  std::string trace_path;  // empty: no trace file
};

// Nullopt with `error` set (naming the entry) when the description is malformed.
std::optional<EmulatorConfig> ParseConfig(const std::string& description, std::string& error);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_CONFIG_H_
