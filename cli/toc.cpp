// SPDX-License-Identifier: Apache-2.0
// orvex toc: the sessions and tracks of the disc in a drive, and the two
// numbers a later session's image is made with: where the last closed
// session's first track starts, and where the next session will start.
#include <cstdio>
#include <optional>
#include <string>

#include "cli/command_docs.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/drive_access.h"
#include "cli/job_wait.h"
#include "cli/json_report.h"
#include "cli/messages.h"
#include "cli/write_refusal.h"
#include "component/orvex.h"

namespace orvex::cli {
namespace {

const char* StateName(TTrackState state) {
  switch (state) {
    case TTrackState::kComplete: return "complete";
    case TTrackState::kIncomplete: return "incomplete";
    case TTrackState::kInvisible: return "invisible";
    case TTrackState::kBlank: return "blank";
    case TTrackState::kReserved: return "reserved";
    case TTrackState::kDamaged: return "damaged";
    case TTrackState::kOverwritable: break;
  }
  return "overwritable";
}

const char* DiscStatusName(uint8_t status) {
  static const char* const kNames[] = {"blank", "appendable", "finalized", "other"};
  return status <= 3 ? kNames[status] : "unknown";
}

double MiB(uint32_t blocks) { return blocks * 2048.0 / (1024 * 1024); }

// The sessions as a person counts them: the drive counts an empty last
// session, which is only where the next one will go.
std::string SessionsText(const TDiscLayout& layout, uint16_t closed) {
  const std::string open = layout.LastSessionState == 0 ? "empty" : "incomplete";
  if (closed == 0) return closed == layout.Sessions ? "no session" : "no closed session, an open " + open + " one";
  const std::string text = std::to_string(closed) + (closed == 1 ? " session" : " sessions");
  return closed == layout.Sessions ? text : text + ", then an open " + open + " one";
}

// The multi-session numbers: the start of the last closed session's first
// track and the next writable address of the open session after it.  Only
// on a disc written in sessions that has a closed one and an empty one
// after it: a session left incomplete is closed before the next is burned,
// which then starts elsewhere.
struct TMultiSession {
  uint32_t last_start;
  uint32_t next;
};
std::optional<TMultiSession> MultiSession(const TDiscLayout& layout) {
  if (layout.LastSessionState != 0) return std::nullopt;  // 0: empty
  std::optional<uint32_t> last_start, next;
  uint16_t last_session = 0;
  for (const TTrackEntry& t : layout.Tracks) {
    if (t.State == TTrackState::kOverwritable) return std::nullopt;
    if (t.SessionClosed && t.Session > last_session) {
      last_session = t.Session;
      last_start = t.Start;
    }
    if (!t.SessionClosed && t.NextWritable && !next) next = t.NextWritable;
  }
  if (!last_start || !next) return std::nullopt;
  return TMultiSession{*last_start, *next};
}

TJson TrackFields(const TTrackEntry& t) {
  TJson track = TJson::Object();
  track.Number("number", t.Number)
      .Number("session", t.Session)
      .Number("start", t.Start)
      .Number("blocks", t.Size)
      .Number("bytes", uint64_t{t.Size} * 2048);
  if (t.NextWritable) track.Number("next_writable", *t.NextWritable);
  track.Text("state", StateName(t.State)).Flag("session_closed", t.SessionClosed);
  return track;
}

// Shows the layout on standard output and puts it in the report.
void ShowLayout(const TDiscLayout& layout, TMedium medium, bool appendable) {
  uint16_t closed = layout.Sessions;
  if (closed > 0 && layout.LastSessionState != 3) --closed;  // 3: complete
  TJson disc = TJson::Object();
  disc.Text("status", DiscStatusName(layout.Status)).Flag("appendable", appendable).Number("sessions", closed)
      .Flag("open_session", closed != layout.Sessions);
  TJson tracks = TJson::Array();
  for (const TTrackEntry& t : layout.Tracks) tracks.Append(TrackFields(t));
  TJson& fields = TReport::Current().Fields();
  fields.Text("medium", MediumName(medium)).Nested("disc", disc).Nested("tracks", tracks);
  const std::optional<TMultiSession> multi = MultiSession(layout);
  if (multi) {
    fields.Nested("multi_session", TJson::Object().Number("last_session_start", multi->last_start)
                                       .Number("next_writable", multi->next));
  }
  if (JsonOutput()) return;
  std::printf("medium: %s\n", MediumName(medium));
  std::printf("disc: %s%s, %s\n", DiscStatusName(layout.Status), appendable ? "" : ", takes no more sessions",
              SessionsText(layout, closed).c_str());
  std::printf("track session      start     blocks        MiB  next writable  state\n");
  for (const TTrackEntry& t : layout.Tracks) {
    const std::string next = t.NextWritable ? std::to_string(*t.NextWritable) : "-";
    std::printf("%5u %7u %10u %10u %10.1f %14s  %s, session %s\n", t.Number, t.Session, t.Start, t.Size, MiB(t.Size),
                next.c_str(), StateName(t.State), t.SessionClosed ? "closed" : "open");
  }
  if (multi) std::printf("multi-session: %u,%u\n", multi->last_start, multi->next);
}

}  // namespace

int RunToc(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("toc"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (!args.Operands().empty()) return Usage(args, "toc takes no operand");
  TSignalWatch signals;  // as for devices
  TOrvex disc(nullptr);
  int failed = -1;
  RunOrExit(disc, signals, "looking for the drive", [&] { failed = SelectDrive(disc, args); });
  if (failed >= 0) return failed;
  std::optional<TDiscLayout> layout;
  TMedium medium = TMedium::mtUNKNOWN;
  bool appendable = false;
  std::string why;
  RunOrExit(disc, signals, "reading the disc's table of contents", [&] {
    layout = disc.DiscLayout();
    if (layout) {
      medium = disc.DiscIs();
      appendable = disc.Writable();
      return;
    }
    const TOrvex::TErrorInfo error = disc.TakeError();
    const TWriteObstacle obstacle = FindWriteObstacle(disc);
    why = obstacle == TWriteObstacle::kTrayOpen || obstacle == TWriteObstacle::kNoDisc
              ? ObstacleText(obstacle, "", DriveLabel(disc))
              : DriveLabel(disc) + " gives no disc information" +
                    (error.Drive.Failed ? ": " + error.Drive.Text : std::string());
  });
  if (!layout) {
    Say(why);
    return kExitFailed;
  }
  ShowLayout(*layout, medium, appendable);
  return kExitOk;
}

}  // namespace orvex::cli
