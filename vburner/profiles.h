// SPDX-License-Identifier: Apache-2.0
// The MMC profiles a medium can have, what family and recording model each
// belongs to, and the facts the drive derives from that: names for the
// command line, default capacities, the speed of 1x.
#ifndef ORVEX_VBURNER_PROFILES_H_
#define ORVEX_VBURNER_PROFILES_H_

#include <cstdint>
#include <span>
#include <string_view>

namespace orvex::vburner {

namespace profile {
inline constexpr uint16_t kNone = 0x0000;
inline constexpr uint16_t kCdRom = 0x0008;
inline constexpr uint16_t kCdR = 0x0009;
inline constexpr uint16_t kCdRw = 0x000A;
inline constexpr uint16_t kDvdRom = 0x0010;
inline constexpr uint16_t kDvdR = 0x0011;
inline constexpr uint16_t kDvdRam = 0x0012;
inline constexpr uint16_t kDvdRwRestricted = 0x0013;
inline constexpr uint16_t kDvdRwSequential = 0x0014;
inline constexpr uint16_t kDvdPlusRw = 0x001A;
inline constexpr uint16_t kDvdPlusR = 0x001B;
inline constexpr uint16_t kDdcdRom = 0x0020;
inline constexpr uint16_t kDdcdR = 0x0021;
inline constexpr uint16_t kDdcdRw = 0x0022;
inline constexpr uint16_t kDvdPlusRDl = 0x002B;
inline constexpr uint16_t kBdRom = 0x0040;
inline constexpr uint16_t kBdRSequential = 0x0041;
inline constexpr uint16_t kBdRRandom = 0x0042;
inline constexpr uint16_t kBdRe = 0x0043;
inline constexpr uint16_t kHdDvdRom = 0x0050;
inline constexpr uint16_t kHdDvdR = 0x0051;
inline constexpr uint16_t kHdDvdRam = 0x0052;
}  // namespace profile

enum class Family { kCd, kDvd, kBd, kHdDvd };

// How blocks get onto the medium.
enum class Model {
  kSequential,   // tracks and sessions written at next writable addresses
  kOverwrite,    // formatted, written anywhere (restricted overwrite: up to the recorded end)
  kReadOnly,     // holds what was imported; the drive refuses writing
};

struct ProfileInfo {
  uint16_t number;
  const char* name;        // as the tool and the configuration spell it
  Family family;
  Model model;
  uint32_t default_blocks; // user capacity of a blank medium, 2048-byte blocks
  bool erasable;           // the erasable bit of the disc information
};

// The profiles the emulator knows, in ascending profile number.  A
// constant table: usable until the very end of the process.
std::span<const ProfileInfo> AllProfiles();

// Null when the number or name is unknown.  "dvd-rw" names the sequential
// DVD-RW, "dvd-rw-ro" the restricted-overwrite one.
const ProfileInfo* FindProfile(uint16_t number);
const ProfileInfo* FindProfile(std::string_view name);

// kB/s (1000 bytes a second) of 1x in a family.
uint32_t OneX(Family family);

// Blocks per ECC block or cluster: tracks on these media start on multiples of it.
uint32_t BlockingFactor(Family family);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_PROFILES_H_
