// SPDX-License-Identifier: Apache-2.0
// Block addresses of CD media as the TOC, the PMA, the ATIP and the disc
// information give them: minutes, seconds and frames, the lead-in of a
// recordable disc, and what the ATIP itself says.
#ifndef ORVEX_VBURNER_CD_ADDRESSES_H_
#define ORVEX_VBURNER_CD_ADDRESSES_H_

#include <cstdint>

#include "vburner/medium.h"

namespace orvex::vburner {

constexpr int64_t kAtipLeadInStart = -11634;  // 97:26:66, the start of a common CD-R lead-in
constexpr int64_t kLeadInAndPregap = 4500 + 150;
constexpr uint8_t kAtipWritingPower = 0xD0;   // indicative target writing power and reference speed

// MM SS FF of a block address; block 0 lies 150 frames (two seconds) in,
// and the lead-in has the addresses below -150, counted down from 99:59:74.
inline void PutMsf3(uint8_t* p, int64_t lba) {
  const int64_t frames = lba >= -150 ? lba + 150 : lba + 450150;
  p[0] = static_cast<uint8_t>(frames / 4500);
  p[1] = static_cast<uint8_t>(frames / 75 % 60);
  p[2] = static_cast<uint8_t>(frames % 75);
}

// The same as 00 MM SS FF, the four-byte form of TOC and disc information fields.
inline void PutMsf(uint8_t* p, int64_t lba) {
  p[0] = 0;
  PutMsf3(p + 1, lba);
}

inline bool IsRecordableCd(const MediumState& s) {
  return InfoOf(s).family == Family::kCd && InfoOf(s).model == Model::kSequential;
}

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_CD_ADDRESSES_H_
