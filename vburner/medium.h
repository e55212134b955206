// SPDX-License-Identifier: Apache-2.0
// A medium: its recording state and its blocks, persisted as a small text
// metadata file plus a sparse backing file (see block_store.h), so that one
// process can burn it and another read it.
#ifndef ORVEX_VBURNER_MEDIUM_H_
#define ORVEX_VBURNER_MEDIUM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vburner/block_store.h"
#include "vburner/profiles.h"

namespace orvex::vburner {

// One track of a sequentially recorded medium.  A track that is not closed
// and not reserved is the invisible track: it grows with every write and
// runs to the end of the disc.
struct Track {
  uint16_t session = 1;
  uint32_t start = 0;     // first block
  uint32_t reserved = 0;  // size fixed by RESERVE TRACK; 0 for a track written incrementally
  uint32_t recorded = 0;  // blocks written from start on
  uint32_t tail = 0;      // unreadable blocks that end the closed track (the run-out of a CD track)
  bool closed = false;

  bool Invisible() const { return !closed && reserved == 0; }
  // Blocks the track occupies; for the invisible track, what it holds so far.
  uint32_t Size() const { return reserved != 0 ? reserved : recorded + tail; }
  uint32_t End() const { return start + Size(); }
  uint32_t NextWritable() const { return start + recorded; }
};

enum class FormatState : uint8_t {
  kUnformatted,
  kFormatted,
  kSuspended,  // a background format stopped before it covered the disc
};

struct MediumState {
  uint16_t profile = profile::kNone;
  uint32_t capacity = 0;  // user blocks

  // Sequential recording.  While the disc is not finalized the last track
  // is open (the invisible track, or a reserved one followed by it).
  std::vector<Track> tracks;
  uint16_t closed_sessions = 0;
  bool finalized = false;

  // Overwritable media.
  FormatState format = FormatState::kUnformatted;
  uint32_t formatted = 0;     // blocks from 0 that are formatted (restricted overwrite grows it)
  uint32_t recorded_end = 0;  // the block after the highest one written

  // Read-only media: blocks that hold data.
  uint32_t readable = 0;

  std::string dvd_timestamp;  // DVD-R time stamp, 14 digits; empty until one is sent

  // A test write in progress: blocks the drive pretends to have written at
  // the next writable address of track `simulated_track`.  Never persisted.
  int simulated_track = -1;
  uint32_t simulated = 0;
};

const ProfileInfo& InfoOf(const MediumState& state);

// A blank state of a profile: one empty session with the invisible track
// for sequential media, unformatted (or formatted) for overwritable ones.
MediumState BlankState(const ProfileInfo& profile, uint32_t capacity, bool formatted);

// What creating a medium does with a file already at its path (or at its
// blocks file's): kRefuse fails; kReplace empties it, unless a drive holds
// the medium there, which is refused either way.
enum class Existing { kRefuse, kReplace };

class Medium {
 public:
  // Creates the metadata file `path` and an empty backing file next to it
  // (`path`.blocks).  `blocks` 0 means the profile's usual capacity.
  static std::unique_ptr<Medium> Create(const std::string& path, const ProfileInfo& profile, uint32_t blocks,
                                        bool formatted, Existing existing, std::string& error);

  // A read-only medium whose blocks are the image file itself; nothing is copied.
  static std::unique_ptr<Medium> CreateOverImage(const std::string& path, const ProfileInfo& profile,
                                                 const std::string& image, Existing existing, std::string& error);

  // Opens an existing medium.  kDrive locks the backing file for the
  // lifetime of the object (opening it read-only for a read-only profile,
  // whose backing file may be someone's image); kInspect reads a snapshot
  // without locking.  A recordable medium's backing file must lie in the
  // metadata file's own folder, named without a path: a medium file from
  // elsewhere cannot make a drive write to any other file.
  static std::unique_ptr<Medium> Open(const std::string& path, BlockStore::Access access, std::string& error);

  // Opens the medium for reading with a shared lock held for the life of
  // the object, so that no drive loads it meanwhile; refused while a drive
  // holds it, whose state on file may lag behind what it has recorded.
  static std::unique_ptr<Medium> OpenIdle(const std::string& path, std::string& error);

  MediumState& state() { return state_; }
  const MediumState& state() const { return state_; }
  const ProfileInfo& info() const { return InfoOf(state_); }
  BlockStore& store() { return *store_; }
  const BlockStore& store() const { return *store_; }
  const std::string& path() const { return path_; }

  // Replaces the metadata file in one rename, so a reader never sees half of it.
  bool Save(std::string& error) const;

 private:
  Medium(std::string path, std::string backing, MediumState state, std::unique_ptr<BlockStore> store)
      : path_(std::move(path)), backing_(std::move(backing)), state_(std::move(state)), store_(std::move(store)) {}

  std::string path_;
  std::string backing_;  // as written in the metadata: relative to the metadata file's folder, or absolute
  MediumState state_;
  std::unique_ptr<BlockStore> store_;
};

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_MEDIUM_H_
