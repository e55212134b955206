// SPDX-License-Identifier: Apache-2.0
// The sessions of the disc in the selected drive, as an import or the
// label reader finds them, and the sectors of the disc as a source for the
// untrusted-image reader.
//
// Sessions are found by the convention the burn job keeps: one track per
// session, so session N starts where track N does.
#ifndef ORVEX_SERVICES_DISC_SESSION_H_
#define ORVEX_SERVICES_DISC_SESSION_H_

#include <atomic>
#include <cstdint>
#include <optional>

#include "drive/scsi_device.h"
#include "services/sector_reader.h"

namespace orvex {

struct TDiscSession {
  uint32_t start = 0;  // the first block of its track
  uint32_t end = 0;    // the block after its track: nothing it describes lies beyond
};

// The session an operation on `SessionNo` means: SessionNo itself, or for 0
// the last complete session, the last one a reader finds (0 on a disc
// without one).  A last session that a burn which did not end left
// incomplete is not it: what it describes may never have been written.
// Empty when that needs the disc information and the drive refused it
// twice (AnsweredSessions); SessionNumberOf then gives 0.
std::optional<int32_t> AnsweredSessionNumber(TSCSIDevice& Device, uint8_t SessionNo);
int32_t SessionNumberOf(TSCSIDevice& Device, uint8_t SessionNo);

// Where session `session` lies: the write parameters set for the medium
// (test write and underrun protection as set, multi-session off), then the
// track information of track `session`.  Empty, asking nothing, for a
// session number outside 1 to 255; empty when the drive has no such track.
std::optional<TDiscSession> LocateSession(TSCSIDevice& Device, int32_t session);

// The disc's blocks below `sector_count`, one READ(10) of one block each,
// each tried again while the drive is momentarily unable to answer
// (ReadSectorsRetrying) unless `stop` is set.
class TDiscSectorReader final : public TSectorReader {
 public:
  TDiscSectorReader(TSCSIDevice& device, uint32_t sector_count, const std::atomic<bool>& stop = kNeverStop)
      : device_(device), count_(sector_count), stop_(stop) {}

  uint32_t SectorCount() const override { return count_; }
  // False for a sector at or past SectorCount (nothing is sent) and for a
  // read that failed for good.
  bool ReadSector(uint32_t sector, uint8_t* out) override;
  // The first read the drive was sent that failed for good (not for a
  // stop); `failed` false while none has.
  const TCommandFailure& Failure() const { return failure_; }

 private:
  static const std::atomic<bool> kNeverStop;

  TSCSIDevice& device_;
  uint32_t count_;
  const std::atomic<bool>& stop_;
  TCommandFailure failure_;
};

}  // namespace orvex

#endif  // ORVEX_SERVICES_DISC_SESSION_H_
