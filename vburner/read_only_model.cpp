// SPDX-License-Identifier: Apache-2.0
// Read-only media: CD-ROM, DVD-ROM and BD-ROM made from an image file, and
// the profiles without a recording model here (BD-R in random recording
// mode, HD DVD, DDCD), which hold what was imported and refuse writing.
#include <algorithm>

#include "vburner/model.h"

namespace orvex::vburner {

namespace {

class ReadOnlyModel final : public MediumModel {
 public:
  DiscSummary Summarize(const MediumState& s) const override {
    DiscSummary d;
    d.status = s.readable != 0 ? 2 : 0;
    d.last_session_state = s.readable != 0 ? 3 : 0;
    return d;
  }

  std::vector<TrackView> Tracks(const MediumState& s) const override {
    TrackView v;
    v.size = s.readable;
    v.blank = s.readable == 0;
    v.last_recorded_valid = s.readable != 0;
    v.last_recorded = s.readable != 0 ? s.readable - 1 : 0;
    v.in_toc = s.readable != 0;
    return {v};
  }

  uint32_t RecordedEnd(const MediumState& s) const override { return s.readable; }

  void CheckRead(const MediumState& s, uint32_t lba, uint32_t count) const override {
    if (uint64_t{lba} + count > s.readable) FailAt(kLbaOutOfRange, std::max(lba, s.readable));
  }

  WriteKind CheckWrite(const MediumState&, uint32_t, uint32_t, const WriteMode&) const override {
    Fail(kCannotWriteMedium);
  }

  void Commit(MediumState&, uint32_t, uint32_t, WriteKind) const override {}
};

// At namespace scope: it outlives the drives, which may still use it at exit.
const ReadOnlyModel kModel;

}  // namespace

const MediumModel& ReadOnlyModelInstance() { return kModel; }

}  // namespace orvex::vburner
