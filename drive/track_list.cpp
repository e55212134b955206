// SPDX-License-Identifier: Apache-2.0
#include "drive/track_list.h"

#include <algorithm>

#include "drive/medium_inspection.h"
#include "drive/mmc_commands.h"
#include "drive/ready_polls.h"

namespace orvex {
namespace {

constexpr uint8_t kSessionComplete = 3;

uint16_t Wide(uint8_t high, uint8_t low) { return static_cast<uint16_t>(high << 8 | low); }

}  // namespace

TTrackState TrackStateOf(const TTrackInformation& t, bool in_place) {
  if (TrackDamaged(t)) return TTrackState::kDamaged;
  if (TrackReserved(t) && TrackBlank(t)) return TTrackState::kReserved;
  if (in_place) return TTrackState::kOverwritable;  // blank or not, it is written anywhere
  if (TrackBlank(t)) return NextWritableAddressValid(t) ? TTrackState::kInvisible : TTrackState::kBlank;
  return NextWritableAddressValid(t) ? TTrackState::kIncomplete : TTrackState::kComplete;
}

std::optional<TDiscLayout> ReadDiscLayout(TSCSIDevice& device) {
  TDiscInformation info{};
  const bool read = AskedAgainOnce(device, [&] {
    return ReadAnswer(device, cdb::ReadDiscInformation(sizeof info), reinterpret_cast<uint8_t*>(&info), sizeof info)
        .has_value();
  });
  if (!read) return std::nullopt;
  TDiscLayout layout;
  layout.Status = DiscStatusOf(info);
  layout.LastSessionState = LastSessionState(info);
  layout.Sessions = Wide(info.Resvd1, info.Sessions);
  const bool in_place = WrittenInPlace(DiscIs(device));
  const int first = std::max<int>(info.FirstTrack, 1);
  const int last = std::min<int>(Wide(info.Resvd3, info.LastTrackOfLastSession), 255);
  for (int number = first; number <= last; ++number) {
    const auto track = static_cast<uint8_t>(number);
    if (!AskedAgainOnce(device, [&] { return ReadTrackInformation(device, track); })) break;
    const TTrackInformation& t = device.TrackInformation;
    TTrackEntry entry;
    entry.Number = Wide(t.TrackNumber2, t.TrackNumber);
    entry.Session = Wide(t.SessionNumber2, t.SessionNumber);
    entry.Start = t.TrackStartAddress;
    entry.Size = t.TrackSize;
    if (NextWritableAddressValid(t)) entry.NextWritable = t.NextWritableAddress;
    entry.FreeBlocks = t.FreeBlocks;
    entry.State = TrackStateOf(t, in_place);
    // Sessions before the last are closed; the last is once the drive says
    // it is complete.
    entry.SessionClosed = entry.Session < layout.Sessions || layout.LastSessionState == kSessionComplete;
    layout.Tracks.push_back(entry);
  }
  return layout;
}

}  // namespace orvex
