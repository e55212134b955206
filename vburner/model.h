// SPDX-License-Identifier: Apache-2.0
// The recording models: how each family of media answers reads, writes,
// reservations, closing and blanking, and what its disc and track
// information say.  Models are stateless; they work on a MediumState, so
// that a DVD-RW can move between the sequential and the restricted
// overwrite model by changing its profile.
//
// Checks throw CheckCondition (sense.h).  Operations that take time return
// an Operation that the drive runs in the foreground or, with the
// immediate bit, in the background; the state changes when it ends.
#ifndef ORVEX_VBURNER_MODEL_H_
#define ORVEX_VBURNER_MODEL_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "vburner/medium.h"
#include "vburner/sense.h"

namespace orvex::vburner {

// What the write parameters page (05h) asks for.
struct WriteMode {
  uint8_t write_type = 1;     // 0 packet/incremental, 1 track at once, 2 session/disc at once, 3 raw
  bool test_write = false;
  uint8_t multi_session = 0;  // 11b: the disc stays open for another session after a session is closed
  uint32_t fixed_packet = 0;  // blocks of a fixed packet (FP set, packet writing); 0: variable
};

// The disc information a model reports.
struct DiscSummary {
  uint8_t status = 0;              // 0 empty, 1 incomplete, 2 complete, 3 random-writable
  uint8_t last_session_state = 0;  // 0 empty, 1 incomplete, 3 complete
  uint16_t sessions = 1;           // the empty or incomplete last session counts
  uint16_t first_track_last_session = 1;
  uint16_t last_track_last_session = 1;
  uint8_t background_format = 0;   // 0 none, 1 suspended, 3 complete (the drive reports 2 while it runs)
};

// One track as READ TRACK INFORMATION shows it.
struct TrackView {
  uint16_t number = 1;
  uint16_t session = 1;
  uint32_t start = 0;
  uint32_t size = 0;
  uint32_t next_writable = 0;
  uint32_t free = 0;
  uint32_t last_recorded = 0;
  uint32_t packet_size = 0;  // fixed packet size, or the blocking factor of incremental DVD tracks
  bool next_writable_valid = false;
  bool last_recorded_valid = false;
  bool blank = false;
  bool reserved = false;
  bool closed = false;       // its size is fixed by closing it
  bool incremental = false;
  bool fixed_packet = false;
  bool in_toc = false;       // part of a complete session (or of a medium without sessions)
};

struct Operation {
  uint64_t duration_us = 0;           // how long the drive is not ready
  Sense busy = kOperationInProgress;  // what it answers meanwhile
  bool erase = false;                 // the blocks are forgotten when it ends
  std::function<void(MediumState&)> finish;  // may be empty
  uint64_t background_us = 0;         // a background format running on once the drive is ready
  bool stops_background = false;      // ends a running background format (DVD+RW, BD-RE close)
};

enum class WriteKind { kRecord, kSimulate };

class MediumModel {
 public:
  virtual ~MediumModel() = default;

  virtual DiscSummary Summarize(const MediumState& s) const = 0;
  virtual std::vector<TrackView> Tracks(const MediumState& s) const = 0;

  // The block after the last one that holds data: what export copies.
  virtual uint32_t RecordedEnd(const MediumState& s) const = 0;
  // The block after the last one READ can reach: what READ CAPACITY reports.
  virtual uint32_t ReadableEnd(const MediumState& s) const { return RecordedEnd(s); }

  // Throws what a READ of these blocks fails with.
  virtual void CheckRead(const MediumState& s, uint32_t lba, uint32_t count) const = 0;

  // Throws unless a WRITE of these blocks is accepted; says whether the
  // blocks are recorded or only simulated (test write).
  virtual WriteKind CheckWrite(const MediumState& s, uint32_t lba, uint32_t count, const WriteMode& mode) const = 0;
  // Records what CheckWrite accepted.
  virtual void Commit(MediumState& s, uint32_t lba, uint32_t count, WriteKind kind) const = 0;

  virtual void Reserve(MediumState& s, uint32_t blocks) const;
  virtual Operation Close(const MediumState& s, uint8_t function, uint16_t track, const WriteMode& mode) const;
  // Closes whatever is open and finalizes the disc at once, as an imported
  // image is recorded, by whichever close function the medium would use;
  // media without sessions have nothing to close.
  virtual void Finalize(MediumState&) const {}
  virtual Operation Blank(const MediumState& s, uint8_t type) const;
};

const MediumModel& ModelFor(const MediumState& s);

// Time to pass over the whole disc at n times 1x, for formats and full blanks.
uint64_t WholeDiscMicroseconds(const MediumState& s, uint32_t times);

// BLANK of a CD-RW or DVD-RW: type 0 erases the whole disc, type 1 (minimal)
// only what makes it look blank; either way it ends as a blank sequential
// medium of profile `result`.
Operation BlankOperation(const MediumState& s, uint8_t type, uint16_t result);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_MODEL_H_
