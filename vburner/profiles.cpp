// SPDX-License-Identifier: Apache-2.0
#include "vburner/profiles.h"

namespace orvex::vburner {

namespace {

using enum Family;
using enum Model;

// Capacities of the common single-layer discs: 80-minute CD-R, 74-minute
// CD-RW, 4.7 GB DVDs, 25 GB BDs (BD-RE with its default spare area).
constexpr ProfileInfo kProfiles[] = {
      {profile::kCdRom, "cd-rom", kCd, kReadOnly, 0, false},
      {profile::kCdR, "cd-r", kCd, kSequential, 359849, false},
      {profile::kCdRw, "cd-rw", kCd, kSequential, 332850, true},
      {profile::kDvdRom, "dvd-rom", kDvd, kReadOnly, 0, false},
      {profile::kDvdR, "dvd-r", kDvd, kSequential, 2298496, false},
      {profile::kDvdRam, "dvd-ram", kDvd, kOverwrite, 2236704, true},
      {profile::kDvdRwRestricted, "dvd-rw-ro", kDvd, kOverwrite, 2297888, true},
      {profile::kDvdRwSequential, "dvd-rw", kDvd, kSequential, 2297888, true},
      {profile::kDvdPlusRw, "dvd+rw", kDvd, kOverwrite, 2295104, true},
      {profile::kDvdPlusR, "dvd+r", kDvd, kSequential, 2295104, false},
      {profile::kDdcdRom, "ddcd-rom", kCd, kReadOnly, 0, false},
      {profile::kDdcdR, "ddcd-r", kCd, kReadOnly, 0, false},
      {profile::kDdcdRw, "ddcd-rw", kCd, kReadOnly, 0, true},
      {profile::kDvdPlusRDl, "dvd+r-dl", kDvd, kSequential, 4173824, false},
      {profile::kBdRom, "bd-rom", kBd, kReadOnly, 0, false},
      {profile::kBdRSequential, "bd-r", kBd, kSequential, 12219392, false},
      {profile::kBdRRandom, "bd-r-rrm", kBd, kReadOnly, 0, false},
      {profile::kBdRe, "bd-re", kBd, kOverwrite, 11826176, true},
      {profile::kHdDvdRom, "hd-dvd-rom", kHdDvd, kReadOnly, 0, false},
      {profile::kHdDvdR, "hd-dvd-r", kHdDvd, kReadOnly, 0, false},
      {profile::kHdDvdRam, "hd-dvd-ram", kHdDvd, kReadOnly, 0, true},
};

}  // namespace

std::span<const ProfileInfo> AllProfiles() { return kProfiles; }

const ProfileInfo* FindProfile(uint16_t number) {
  for (const ProfileInfo& p : AllProfiles())
    if (p.number == number) return &p;
  return nullptr;
}

const ProfileInfo* FindProfile(std::string_view name) {
  for (const ProfileInfo& p : AllProfiles())
    if (name == p.name) return &p;
  return nullptr;
}

uint32_t OneX(Family family) {
  switch (family) {
    case Family::kCd: return 176;
    case Family::kDvd: return 1385;
    case Family::kBd: return 4495;
    case Family::kHdDvd: return 4500;
  }
  return 176;
}

uint32_t BlockingFactor(Family family) {
  switch (family) {
    case Family::kCd: return 1;
    case Family::kDvd:
    case Family::kHdDvd: return 16;
    case Family::kBd: return 32;
  }
  return 1;
}

}  // namespace orvex::vburner
