// SPDX-License-Identifier: Apache-2.0
// Overwritable media: DVD+RW, restricted-overwrite DVD-RW, DVD-RAM and
// BD-RE.  Once formatted they are one track that can be written anywhere;
// a restricted-overwrite DVD-RW only up to the end of its formatted area,
// which a write there extends (a quick-formatted disc grows as it is
// written).  There are no sessions to close; on DVD+RW and BD-RE the close
// functions stop a background format.
#include <algorithm>

#include "vburner/model.h"

namespace orvex::vburner {

namespace {

bool Restricted(const MediumState& s) { return s.profile == profile::kDvdRwRestricted; }

// The blocking factor of a restricted-overwrite disc: its ECC block.
constexpr uint32_t kRestrictedBlocking = 16;

bool FormatsInBackground(const MediumState& s) {
  return s.profile == profile::kDvdPlusRw || s.profile == profile::kBdRe;
}

class OverwriteModel final : public MediumModel {
 public:
  DiscSummary Summarize(const MediumState& s) const override {
    DiscSummary d;
    const bool formatted = s.format != FormatState::kUnformatted;
    d.status = formatted ? 3 : 0;
    d.last_session_state = formatted ? 3 : 0;
    if (FormatsInBackground(s))
      d.background_format = s.format == FormatState::kFormatted ? 3 : s.format == FormatState::kSuspended ? 1 : 0;
    return d;
  }

  std::vector<TrackView> Tracks(const MediumState& s) const override {
    TrackView v;
    const bool formatted = s.format != FormatState::kUnformatted;
    // A restricted-overwrite track is as long as what it holds; its free
    // blocks are the rest of the disc.
    v.size = Restricted(s) ? s.recorded_end : s.capacity;
    v.fixed_packet = Restricted(s);
    v.packet_size = Restricted(s) ? kRestrictedBlocking : 0;
    v.next_writable_valid = formatted && s.recorded_end < s.capacity;
    v.next_writable = s.recorded_end;
    v.free = formatted ? s.capacity - s.recorded_end : 0;
    v.blank = s.recorded_end == 0;
    v.last_recorded_valid = s.recorded_end != 0;
    v.last_recorded = s.recorded_end != 0 ? s.recorded_end - 1 : 0;
    v.in_toc = formatted;
    return {v};
  }

  uint32_t RecordedEnd(const MediumState& s) const override { return s.recorded_end; }

  uint32_t ReadableEnd(const MediumState& s) const override {
    if (s.format == FormatState::kUnformatted) return 0;
    return Restricted(s) ? s.formatted : s.capacity;
  }

  void CheckRead(const MediumState& s, uint32_t lba, uint32_t count) const override {
    const uint32_t end = ReadableEnd(s);
    if (uint64_t{lba} + count > end) FailAt(kLbaOutOfRange, std::max(lba, end));
  }

  WriteKind CheckWrite(const MediumState& s, uint32_t lba, uint32_t count, const WriteMode&) const override {
    if (s.format == FormatState::kUnformatted) Fail(kCannotWriteMedium);
    if (uint64_t{lba} + count > s.capacity) FailAt(kLbaOutOfRange, std::max(lba, s.capacity));
    if (Restricted(s) && lba > s.formatted) FailAt(kInvalidWriteAddress, lba);
    // Restricted overwrite records whole ECC blocks only.
    if (Restricted(s) && count % kRestrictedBlocking != 0) Fail(kInvalidFieldInCdb);
    // The test write bit does not apply to overwritable media: the blocks are written.
    return WriteKind::kRecord;
  }

  void Commit(MediumState& s, uint32_t lba, uint32_t count, WriteKind) const override {
    s.recorded_end = std::max(s.recorded_end, lba + count);
    if (Restricted(s)) s.formatted = std::max(s.formatted, lba + count);
  }

  Operation Close(const MediumState& s, uint8_t function, uint16_t, const WriteMode&) const override {
    Operation op;
    if (FormatsInBackground(s)) {
      if (function != 0 && function != 2 && function != 3) Fail(kInvalidFieldInCdb);
      if (s.format == FormatState::kUnformatted) return op;
      // 0 stops at once; 2 and 3 first write what makes the disc readable elsewhere.
      op.stops_background = true;
      op.duration_us = function == 0 ? 0 : 2000000;
      return op;
    }
    if (Restricted(s) && (function == 1 || function == 2)) {
      if (function == 2) op.duration_us = 30000000;  // the lead-out that makes the disc compatible
      return op;
    }
    Fail(kInvalidFieldInCdb);
  }

  Operation Blank(const MediumState& s, uint8_t type) const override {
    if (!Restricted(s)) Fail(kIncompatibleMedium);
    return BlankOperation(s, type, profile::kDvdRwSequential);
  }
};

// At namespace scope: it outlives the drives, which may still use it at exit.
const OverwriteModel kModel;

}  // namespace

const MediumModel& OverwriteModelInstance() { return kModel; }

}  // namespace orvex::vburner
