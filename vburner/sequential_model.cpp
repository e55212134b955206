// SPDX-License-Identifier: Apache-2.0
// Sequential recording: CD-R and CD-RW written track at once, DVD-R and
// sequential DVD-RW written incrementally, DVD+R, DVD+R DL and BD-R in
// sequential recording mode.  Every write lands on the next writable
// address of an open track; closing a track fixes its size, closing a
// session leaves room for the lead-out and lead-in (or border) before the
// next one, or finalizes the disc.
#include <algorithm>

#include "vburner/model.h"

namespace orvex::vburner {

namespace {

// Addresses the families lay out differently.  The gaps of CD are those of
// real discs (a 150-block pre-gap and two run-out blocks per track; 11400
// blocks of lead-out, lead-in and pre-gap after the first session, 6900
// after later ones).  The DVD and BD gaps are fixed sizes of this model.
struct Geometry {
  uint32_t align;              // tracks start on multiples of this
  uint32_t track_gap;          // before a track that follows a closed one
  uint32_t track_tail;         // unreadable run-out that ends a closed track
  uint32_t first_session_gap;  // from the end of session 1 to the next track
  uint32_t session_gap;        // the same after later sessions
  bool simulation;             // honours the test write bit
  enum class WriteTypes { kTrackAtOnce, kIncremental, kAny } write_types;
  uint8_t close_functions;     // bit n set: close function n exists
  // How closing a session (function 010b) knows whether to finalize: on CD
  // and DVD-R/-RW the multi-session field of page 05h decides; DVD+R,
  // DVD+R DL and BD-R have no write parameters page and finalize only with
  // the close functions of their own that say so (bit n: function n).
  bool multi_session_field;
  uint8_t finalizing_functions;
  uint64_t close_track_us, close_session_us, finalize_us;
};

constexpr uint64_t kSecond = 1000000;

const Geometry& GeometryOf(const MediumState& s) {
  using enum Geometry::WriteTypes;
  static const Geometry cd{1, 150, 2, 11400, 6900, true, kTrackAtOnce, 0b110, true, 0,
                           2 * kSecond, 30 * kSecond, 40 * kSecond};
  static const Geometry dvd_minus{16, 0, 0, 16384, 16384, true, kIncremental, 0b110, true, 0,
                                  kSecond, 30 * kSecond, 60 * kSecond};
  // DVD+R: 101b finalizes with the minimal radius, 110b fully; BD-R: 110b.
  static const Geometry dvd_plus{16, 0, 0, 8192, 8192, false, kAny, 0b1100110, false, 0b1100000,
                                 kSecond, 20 * kSecond, 60 * kSecond};
  static const Geometry bd{32, 0, 0, 4096, 4096, false, kAny, 0b1000110, false, 0b1000000,
                           kSecond, 5 * kSecond, 10 * kSecond};
  switch (s.profile) {
    case profile::kCdR:
    case profile::kCdRw: return cd;
    case profile::kDvdR:
    case profile::kDvdRwSequential: return dvd_minus;
    case profile::kBdRSequential: return bd;
    default: return dvd_plus;
  }
}

uint32_t AlignUp(uint64_t lba, uint32_t align, uint32_t capacity) {
  const uint64_t aligned = (lba + align - 1) / align * align;
  return static_cast<uint32_t>(std::min<uint64_t>(aligned, capacity));
}

uint16_t OpenSession(const MediumState& s) { return static_cast<uint16_t>(s.closed_sessions + 1); }

bool Simulating(const MediumState& s, const WriteMode& mode) { return mode.test_write && GeometryOf(s).simulation; }

// The next writable address of an open track, the test-write blocks included.
uint32_t NextWritable(const MediumState& s, size_t index) {
  const Track& t = s.tracks[index];
  return t.NextWritable() + (s.simulated_track == static_cast<int>(index) ? s.simulated : 0);
}

bool IsBlank(const MediumState& s) {
  return s.closed_sessions == 0 && s.tracks.size() == 1 && s.tracks[0].Invisible() && s.tracks[0].recorded == 0;
}

void AppendInvisible(MediumState& s, uint16_t session, uint32_t start) {
  Track invisible;
  invisible.session = session;
  invisible.start = start;
  s.tracks.push_back(invisible);
}

// Fixes a track at what it holds (an incremental track) or at its
// reserved size, padding the unwritten rest with zeros (a reserved one).
void CloseTrack(MediumState& s, size_t index) {
  const Geometry& g = GeometryOf(s);
  Track& t = s.tracks[index];
  if (t.closed) return;
  if (t.reserved != 0) {
    t.recorded = t.reserved;
    t.closed = true;
    return;
  }
  t.closed = true;
  t.tail = g.track_tail;
  AppendInvisible(s, t.session, AlignUp(uint64_t{t.End()} + g.track_gap, g.align, s.capacity));
}

// Where the first track of the session after the last closed one begins.
uint32_t NextSessionStart(const MediumState& s) {
  if (s.tracks.empty()) return 0;
  const Geometry& g = GeometryOf(s);
  const uint32_t gap = s.closed_sessions == 1 ? g.first_session_gap : g.session_gap;
  return AlignUp(uint64_t{s.tracks.back().End()} + gap, g.align, s.capacity);
}

void CloseSession(MediumState& s, bool finalize) {
  const uint16_t session = OpenSession(s);
  const auto drop_empty_invisible = [&s] {
    if (!s.tracks.empty() && s.tracks.back().Invisible() && s.tracks.back().recorded == 0) s.tracks.pop_back();
  };
  // The empty invisible track is not part of the session being closed.
  drop_empty_invisible();
  for (size_t i = 0; i < s.tracks.size(); ++i)
    if (s.tracks[i].session == session && !s.tracks[i].closed) {
      CloseTrack(s, i);
      drop_empty_invisible();
    }
  s.simulated_track = -1;
  s.simulated = 0;
  if (!s.tracks.empty() && s.tracks.back().session == session) {
    s.closed_sessions = session;
  } else if (!finalize || s.closed_sessions == 0) {
    // An empty session stays open (or the disc blank): nothing to close.
    AppendInvisible(s, session, NextSessionStart(s));
    return;
  }
  const uint32_t next_start = NextSessionStart(s);
  if (finalize || next_start >= s.capacity) {
    s.finalized = true;
    return;
  }
  AppendInvisible(s, OpenSession(s), next_start);
}

class SequentialModel final : public MediumModel {
 public:
  DiscSummary Summarize(const MediumState& s) const override {
    DiscSummary d;
    if (s.finalized) {
      d.status = 2;
      d.last_session_state = 3;
      d.sessions = s.closed_sessions;
    } else {
      d.status = IsBlank(s) ? 0 : 1;
      const uint16_t open = OpenSession(s);
      const bool used = std::any_of(s.tracks.begin(), s.tracks.end(), [&](const Track& t) {
        return t.session == open && (t.recorded != 0 || t.reserved != 0 || t.closed);
      });
      d.last_session_state = used ? 1 : 0;
      d.sessions = open;
    }
    d.first_track_last_session = 0;
    for (size_t i = 0; i < s.tracks.size(); ++i)
      if (s.tracks[i].session == d.sessions) {
        if (d.first_track_last_session == 0) d.first_track_last_session = static_cast<uint16_t>(i + 1);
        d.last_track_last_session = static_cast<uint16_t>(i + 1);
      }
    if (d.first_track_last_session == 0) d.first_track_last_session = d.last_track_last_session = 1;
    return d;
  }

  std::vector<TrackView> Tracks(const MediumState& s) const override {
    const Geometry& g = GeometryOf(s);
    std::vector<TrackView> views;
    for (size_t i = 0; i < s.tracks.size(); ++i) {
      const Track& t = s.tracks[i];
      TrackView v;
      v.number = static_cast<uint16_t>(i + 1);
      v.session = t.session;
      v.start = t.start;
      v.reserved = t.reserved != 0;
      v.closed = t.closed;
      v.incremental = g.write_types != Geometry::WriteTypes::kTrackAtOnce;
      v.packet_size = g.align == 1 ? 0 : g.align;
      v.blank = t.recorded == 0 && !t.closed;
      v.in_toc = t.session <= s.closed_sessions;
      if (t.recorded != 0) {
        v.last_recorded_valid = true;
        v.last_recorded = t.start + t.recorded - 1;
      }
      if (t.closed) {
        v.size = t.Size();
      } else {
        const uint32_t nwa = NextWritable(s, i);
        const uint32_t end = t.reserved != 0 ? t.start + t.reserved : s.capacity;
        v.size = end - t.start;
        v.next_writable_valid = nwa < end;
        v.next_writable = nwa;
        v.free = end - std::min(nwa, end);
      }
      views.push_back(v);
    }
    return views;
  }

  uint32_t RecordedEnd(const MediumState& s) const override {
    uint32_t end = 0;
    for (const Track& t : s.tracks)
      if (t.recorded != 0) end = t.start + t.recorded;
    return end;
  }

  void CheckRead(const MediumState& s, uint32_t lba, uint32_t count) const override {
    const uint64_t end = uint64_t{lba} + count;
    if (end > RecordedEnd(s)) FailAt(kLbaOutOfRange, std::max(lba, RecordedEnd(s)));
    uint64_t at = lba;
    for (const Track& t : s.tracks) {
      if (at >= end) return;
      const uint64_t recorded_end = uint64_t{t.start} + t.recorded;
      if (at < t.start) FailAt(kUnrecoveredReadError, static_cast<uint32_t>(at));  // a gap between tracks
      if (at < recorded_end) at = std::min(end, recorded_end);
    }
    if (at < end) FailAt(kUnrecoveredReadError, static_cast<uint32_t>(at));
  }

  WriteKind CheckWrite(const MediumState& s, uint32_t lba, uint32_t count, const WriteMode& mode) const override {
    const Geometry& g = GeometryOf(s);
    if (g.write_types == Geometry::WriteTypes::kTrackAtOnce && mode.write_type > 1) Fail(kCommandSequenceError);
    if (g.write_types == Geometry::WriteTypes::kIncremental && mode.write_type != 0 && mode.write_type != 2)
      Fail(kCommandSequenceError);
    if (s.finalized) FailAt(kInvalidWriteAddress, lba);
    for (size_t i = 0; i < s.tracks.size(); ++i) {
      const Track& t = s.tracks[i];
      if (t.closed || NextWritable(s, i) != lba) continue;
      const uint64_t end = uint64_t{lba} + count;
      if (t.reserved != 0 && end > uint64_t{t.start} + t.reserved) FailAt(kInvalidWriteAddress, t.start + t.reserved);
      if (end > s.capacity) FailAt(kLbaOutOfRange, s.capacity);
      // Fixed packets are written whole.
      if (mode.fixed_packet != 0 && count % mode.fixed_packet != 0) Fail(kInvalidFieldInCdb);
      return Simulating(s, mode) ? WriteKind::kSimulate : WriteKind::kRecord;
    }
    FailAt(kInvalidWriteAddress, lba);
  }

  void Commit(MediumState& s, uint32_t lba, uint32_t count, WriteKind kind) const override {
    for (size_t i = 0; i < s.tracks.size(); ++i) {
      if (s.tracks[i].closed || NextWritable(s, i) != lba) continue;
      if (kind == WriteKind::kSimulate) {
        if (s.simulated_track != static_cast<int>(i)) s.simulated = 0;
        s.simulated_track = static_cast<int>(i);
        s.simulated += count;
      } else {
        s.tracks[i].recorded += count;
      }
      return;
    }
  }

  void Reserve(MediumState& s, uint32_t blocks) const override {
    const Geometry& g = GeometryOf(s);
    if (s.finalized || !s.tracks.back().Invisible() || s.tracks.back().recorded != 0 || s.simulated != 0)
      Fail(kCommandSequenceError);
    Track& t = s.tracks.back();
    const uint64_t size = (uint64_t{blocks} + g.align - 1) / g.align * g.align;
    if (blocks == 0 || t.start + size > s.capacity) Fail(kInvalidFieldInCdb);
    t.reserved = static_cast<uint32_t>(size);
    AppendInvisible(s, t.session, AlignUp(uint64_t{t.End()} + g.track_gap, g.align, s.capacity));
  }

  Operation Close(const MediumState& s, uint8_t function, uint16_t track, const WriteMode& mode) const override {
    const Geometry& g = GeometryOf(s);
    if (function > 7 || (g.close_functions & (1u << function)) == 0) Fail(kInvalidFieldInCdb);
    if (s.finalized) Fail(kCommandSequenceError);
    Operation op;
    if (function == 1) {
      size_t index = track == 0xFF ? s.tracks.size() - 1 : size_t{track} - 1;
      if (track == 0 || index >= s.tracks.size()) Fail(kInvalidFieldInCdb);
      if (track == 0xFF)  // the incomplete track: the first one still open
        while (index > 0 && !s.tracks[index - 1].closed) --index;
      const Track& t = s.tracks[index];
      if (t.closed || (t.Invisible() && t.recorded == 0)) return op;  // nothing to close
      op.duration_us = g.close_track_us;
      if (!Simulating(s, mode)) op.finish = [index](MediumState& m) { CloseTrack(m, index); };
      return op;
    }
    const bool finalize =
        (g.finalizing_functions & (1u << function)) != 0 || (g.multi_session_field && mode.multi_session != 3);
    op.duration_us = finalize ? g.finalize_us : g.close_session_us;
    if (Simulating(s, mode)) {
      op.finish = [](MediumState& m) {
        m.simulated_track = -1;
        m.simulated = 0;
      };
    } else {
      op.finish = [finalize](MediumState& m) { CloseSession(m, finalize); };
    }
    return op;
  }

  void Finalize(MediumState& s) const override { CloseSession(s, true); }

  Operation Blank(const MediumState& s, uint8_t type) const override {
    if (!InfoOf(s).erasable) Fail(kIncompatibleMedium);
    return BlankOperation(s, type, s.profile);
  }
};

// At namespace scope: it outlives the drives, which may still use it at exit.
const SequentialModel kModel;

}  // namespace

const MediumModel& SequentialModelInstance() { return kModel; }

}  // namespace orvex::vburner
