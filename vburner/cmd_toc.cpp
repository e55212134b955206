// SPDX-License-Identifier: Apache-2.0
// READ TOC/PMA/ATIP: the formatted TOC (0000b) and the session information
// (0001b) of every medium; on CD also the full TOC (0010b), the PMA
// (0011b), the ATIP (0100b) and the CD-TEXT (0101b, which these discs do
// not carry).  Everything is rendered from the recording model's views.
#include <algorithm>

#include "vburner/cd_addresses.h"
#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

constexpr uint8_t kAdrPosition = 0x10;  // ADR 1: track starts and the lead-out
constexpr uint8_t kAdrPointers = 0x50;  // ADR 5: the pointers of recordable discs
constexpr uint8_t kDataTrack = 0x04;    // CONTROL: data, recorded uninterrupted

struct TocRequest {
  const MediumState& s;
  std::vector<TrackView> tracks;  // every track, in complete sessions or not
  bool msf;
  uint8_t number;  // the starting track (formatted TOC) or session (full TOC)
};

// The tracks of the complete sessions; the TOC of a disc without one is refused.
std::vector<TrackView> CompleteTracks(const TocRequest& r) {
  std::vector<TrackView> toc;
  std::copy_if(r.tracks.begin(), r.tracks.end(), std::back_inserter(toc), [](const TrackView& v) { return v.in_toc; });
  if (toc.empty()) Fail(kInvalidFieldInCdb);
  return toc;
}

void PutTrackDescriptor(Bytes& out, uint8_t track, uint32_t lba, bool msf) {
  uint8_t* d = Grow(out, 8);
  d[1] = kAdrPosition | kDataTrack;
  d[2] = track;
  if (msf)
    PutMsf(&d[4], lba);
  else
    Put32(&d[4], lba);
}

void FormattedToc(const TocRequest& r, Bytes& out) {
  const std::vector<TrackView> toc = CompleteTracks(r);
  out[2] = static_cast<uint8_t>(toc.front().number);
  out[3] = static_cast<uint8_t>(toc.back().number);
  const bool lead_out_only = r.number == 0xAA;
  if (r.number > toc.back().number && !lead_out_only) Fail(kInvalidFieldInCdb);
  for (const TrackView& v : toc)
    if (v.number >= r.number && !lead_out_only) PutTrackDescriptor(out, static_cast<uint8_t>(v.number), v.start, r.msf);
  PutTrackDescriptor(out, 0xAA, toc.back().start + toc.back().size, r.msf);
}

void SessionInformation(const TocRequest& r, Bytes& out) {
  const std::vector<TrackView> toc = CompleteTracks(r);
  const uint16_t last_session = toc.back().session;
  out[2] = 1;
  out[3] = static_cast<uint8_t>(last_session);
  const auto first = std::find_if(toc.begin(), toc.end(), [&](const TrackView& v) { return v.session == last_session; });
  PutTrackDescriptor(out, static_cast<uint8_t>(first->number), first->start, r.msf);
}

// An 11-byte descriptor of the full TOC and the PMA: session, ADR and
// CONTROL, POINT, then MIN SEC FRAME at 4-6 and PMIN PSEC PFRAME at 8-10,
// filled by the caller; TNO is zero, as the lead-in holds it.
uint8_t* PointDescriptor(Bytes& out, uint16_t session, uint8_t adr, uint8_t point) {
  uint8_t* d = Grow(out, 11);
  d[0] = static_cast<uint8_t>(session);
  d[1] = adr | kDataTrack;
  d[3] = point;
  return d;
}

// What the lead-in of each complete session holds, from the starting
// session on: A0h, A1h and A2h (first track, last track, lead-out), the
// tracks, and on a recordable disc B0h where another session may follow
// (where it begins, and the last possible lead-out) and C0h in the first
// session (the writing power and the start of the disc's lead-in).
void FullToc(const TocRequest& r, Bytes& out) {
  const std::vector<TrackView> toc = CompleteTracks(r);
  const uint16_t last_session = toc.back().session;
  const uint16_t first_session = std::max<uint16_t>(r.number, 1);
  if (first_session > last_session) Fail(kInvalidFieldInCdb);
  out[2] = 1;
  out[3] = static_cast<uint8_t>(last_session);
  const bool recordable = IsRecordableCd(r.s);
  for (uint16_t session = first_session; session <= last_session; ++session) {
    std::vector<TrackView> own;
    std::copy_if(toc.begin(), toc.end(), std::back_inserter(own), [&](const TrackView& v) { return v.session == session; });
    PointDescriptor(out, session, kAdrPosition, 0xA0)[8] = static_cast<uint8_t>(own.front().number);  // PSEC 0: CD-ROM
    PointDescriptor(out, session, kAdrPosition, 0xA1)[8] = static_cast<uint8_t>(own.back().number);
    PutMsf3(&PointDescriptor(out, session, kAdrPosition, 0xA2)[8], own.back().start + own.back().size);
    for (const TrackView& v : own) PutMsf3(&PointDescriptor(out, session, kAdrPosition, static_cast<uint8_t>(v.number))[8], v.start);
    if (!recordable) continue;
    const auto next = std::find_if(r.tracks.begin(), r.tracks.end(), [&](const TrackView& v) { return v.session > session; });
    if (next != r.tracks.end()) {
      uint8_t* b0 = PointDescriptor(out, session, kAdrPointers, 0xB0);
      PutMsf3(&b0[4], next->start);
      b0[7] = session == 1 ? 2 : 1;  // the ADR 5 pointers in this lead-in
      PutMsf3(&b0[8], r.s.capacity);
    }
    if (session == 1) {
      uint8_t* c0 = PointDescriptor(out, session, kAdrPointers, 0xC0);
      c0[4] = kAtipWritingPower;
      PutMsf3(&c0[8], kAtipLeadInStart);
    }
  }
}

// The PMA names every track whose extent is fixed (closed or reserved):
// its last block in MIN SEC FRAME, its first in PMIN PSEC PFRAME.
void Pma(const TocRequest& r, Bytes& out) {
  if (!IsRecordableCd(r.s)) Fail(kInvalidFieldInCdb);
  for (const TrackView& v : r.tracks) {
    if (!v.closed && !v.reserved) continue;
    uint8_t* d = PointDescriptor(out, 0, kAdrPosition, static_cast<uint8_t>(v.number));
    PutMsf3(&d[4], v.start + v.size - 1);
    PutMsf3(&d[8], v.start);
  }
}

void Atip(const TocRequest& r, Bytes& out) {
  if (!IsRecordableCd(r.s)) Fail(kInvalidFieldInCdb);
  uint8_t* a = Grow(out, 24);
  a[0] = kAtipWritingPower;
  a[1] = 0x40;  // unrestricted use, as the disc information says too
  a[2] = static_cast<uint8_t>(0x80 | (r.s.profile == profile::kCdRw ? 0x40 : 0x00));  // disc type: CD-RW
  PutMsf(&a[3], kAtipLeadInStart);  // M, S, F at bytes 8-10
  PutMsf(&a[7], r.s.capacity);      // the last possible start of the lead-out, bytes 12-14
}

void NoCdText(const TocRequest&, Bytes&) {}

}  // namespace

void Drive::ReadTocPmaAtip(Command& c) {
  static constexpr struct {
    uint8_t format;
    bool cd_only;
    void (*build)(const TocRequest&, Bytes&);
  } kFormats[] = {{0x0, false, FormattedToc}, {0x1, false, SessionInformation}, {0x2, true, FullToc},
                  {0x3, true, Pma},           {0x4, true, Atip},                {0x5, true, NoCdText}};
  const MediumState& s = RequireMedium();
  // Hosts written for the first ATAPI drives (the Linux sr driver asks for
  // the session information so) give the format in the top two bits of the
  // control byte, where those drives took it; it counts where byte 2 asks
  // for the formatted TOC, as in drives since.
  uint8_t format = c.cdb[2] & 0x0F;
  if (format == 0) format = c.cdb[9] >> 6;
  const auto* f = std::find_if(std::begin(kFormats), std::end(kFormats), [&](const auto& row) { return row.format == format; });
  if (f == std::end(kFormats) || (f->cd_only && InfoOf(s).family != Family::kCd)) Fail(kInvalidFieldInCdb);
  Bytes out(4, 0);
  f->build(TocRequest{s, ModelFor(s).Tracks(s), (c.cdb[1] & 0x02) != 0, c.cdb[6]}, out);
  Put16(&out[0], static_cast<uint32_t>(out.size() - 2));
  c.Respond(std::move(out), Get16(&c.cdb[7]));
}

}  // namespace orvex::vburner
