// SPDX-License-Identifier: Apache-2.0
// The sessions and tracks of the disc in the selected drive, as READ DISC
// INFORMATION counts them and READ TRACK INFORMATION describes each: where
// a track starts, how long it is, where writing goes on in it and what
// state it is in, and whether its session is closed.
#ifndef ORVEX_DRIVE_TRACK_LIST_H_
#define ORVEX_DRIVE_TRACK_LIST_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "drive/mmc_records.h"
#include "drive/scsi_device.h"

namespace orvex {

// What a track holds and whether it can still be written.
enum class TTrackState : uint8_t {
  kComplete,      // recorded and closed
  kIncomplete,    // partly recorded, writing goes on at its next writable address
  kInvisible,     // the empty track after the last session: a new session is written into it
  kBlank,         // empty, and the drive gives no address to write it at
  kReserved,      // reserved for a later write, nothing in it yet
  kDamaged,       // an interrupted write left it unusable
  kOverwritable,  // on a medium written in place (DVD+RW, DVD-RAM, BD-RE, restricted-overwrite DVD-RW)
};

struct TTrackEntry {
  uint16_t Number = 0;
  uint16_t Session = 0;
  uint32_t Start = 0;                        // block
  uint32_t Size = 0;                         // blocks
  std::optional<uint32_t> NextWritable;      // where the drive says writing goes on
  uint32_t FreeBlocks = 0;
  TTrackState State = TTrackState::kComplete;
  bool SessionClosed = false;
};

struct TDiscLayout {
  uint8_t Status = 0;            // the disc status: 0 empty, 1 incomplete, 2 complete, 3 other
  uint8_t LastSessionState = 0;  // 0 empty, 1 incomplete, 3 complete
  uint16_t Sessions = 0;         // as the drive counts them, an empty last session included
  std::vector<TTrackEntry> Tracks;
};

// The state of the track `t` describes; `in_place`: the medium is written in
// place, where every recorded track is overwritable.
TTrackState TrackStateOf(const TTrackInformation& t, bool in_place);

// The disc's layout: its disc information, then every track from the
// disc's first to the last of its last session (the empty one a new
// session goes into included).  Empty when the drive refused READ DISC
// INFORMATION twice; a track it refuses twice ends the list there.  Tracks
// past 255 cannot be asked for by number and are left out.  LastSenseInfo
// tells why in both cases.
std::optional<TDiscLayout> ReadDiscLayout(TSCSIDevice& device);

}  // namespace orvex

#endif  // ORVEX_DRIVE_TRACK_LIST_H_
