// SPDX-License-Identifier: Apache-2.0
#include "services/disc_session.h"

#include <algorithm>
#include <limits>

#include "drive/medium_inspection.h"
#include "drive/mmc_commands.h"
#include "drive/mmc_records.h"
#include "drive/read_retry.h"
#include "drive/write_parameters.h"

namespace orvex {
namespace {

std::optional<int32_t> LastCompleteSession(TSCSIDevice& Device) {
  std::optional<int32_t> sessions = AnsweredSessions(Device);
  if (sessions > 0 && LastSessionState(Device.DiscInformation) == kSessionIncomplete) --*sessions;
  return sessions;
}

}  // namespace

std::optional<int32_t> AnsweredSessionNumber(TSCSIDevice& Device, uint8_t SessionNo) {
  if (SessionNo != 0) return SessionNo;
  return LastCompleteSession(Device);
}

int32_t SessionNumberOf(TSCSIDevice& Device, uint8_t SessionNo) {
  return AnsweredSessionNumber(Device, SessionNo).value_or(0);
}

std::optional<TDiscSession> LocateSession(TSCSIDevice& Device, int32_t session) {
  // Track 0 would be the lead-in, not a session: a blank disc has none.
  if (session < 1 || session > std::numeric_limits<uint8_t>::max()) return std::nullopt;
  SetWriteParameters(Device, DiscIs(Device), TNextSession::kNone);
  if (!ReadTrackInformation(Device, static_cast<uint8_t>(session))) return std::nullopt;
  const TTrackInformation& track = Device.TrackInformation;
  // The drive's figures are untrusted: a size that runs past the last
  // address ends there.
  const uint32_t room = std::numeric_limits<uint32_t>::max() - track.TrackStartAddress;
  return TDiscSession{track.TrackStartAddress,
                      track.TrackStartAddress + std::min(track.TrackSize, room)};
}

const std::atomic<bool> TDiscSectorReader::kNeverStop{false};

bool TDiscSectorReader::ReadSector(uint32_t sector, uint8_t* out) {
  if (sector >= count_) return false;
  if (ReadSectorsRetrying(device_, sector, 1, out, stop_)) return true;
  if (!failure_.failed && !stop_) failure_ = device_.LastFailure;
  return false;
}

}  // namespace orvex
