// SPDX-License-Identifier: Apache-2.0
// orvex burn, burn-image, erase, verify and label: the jobs on the disc in
// a drive, each with -d N and the drive options, a progress line on a
// terminal, and Ctrl-C ending the job cleanly.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_docs.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/content_options.h"
#include "cli/drive_access.h"
#include "cli/job_wait.h"
#include "cli/json_report.h"
#include "cli/messages.h"
#include "cli/progress_bar.h"
#include "component/orvex.h"

namespace orvex::cli {
namespace {

constexpr uint32_t kBurnCache = 32;  // MiB: enough to ride out a slow source

// What a drive command runs on: the signals watched before the component
// starts threads (they inherit the blocked signals), the component with
// its event queue, the drive chosen.
struct TSession {
  TSignalWatch signals;
  TComponent owner{nullptr};
  TOrvex disc{&owner};

  // SelectDrive, which a stop signal interrupts.
  int Select(const TCommandLine& args) {
    int stop = -1;
    RunOrExit(disc, signals, "looking for the drive", [&] { stop = SelectDrive(disc, args); });
    return stop;
  }

  // The command's end with `status`: with --eject the disc comes out,
  // unless a stop signal ended the job (a burn halted while the disc closes
  // leaves the drive busy with it).  The status stays the job's.
  int Finish(const TCommandLine& args, int status) {
    if (!args.Has("--eject") || signals.Count() != 0) return status;
    RunOrExit(disc, signals, "ejecting the disc", [&] { MoveTray(disc, true); });
    return status;
  }
};


TJson& Fields() { return TReport::Current().Fields(); }

// --speed as a multiple of the medium's 1x into `times` (0 for max); false
// when it is neither.  Read before the drive is opened, so that a wrong
// command line is told as such with no drive.
bool ParseSpeed(const TCommandLine& args, double& times) {
  const std::string speed = args.Value("--speed", "max");
  times = 0;
  if (speed == "max") return true;
  char* end = nullptr;
  times = std::strtod(speed.c_str(), &end);
  return !speed.empty() && *end == '\0' && times > 0 && times <= 100;
}
constexpr const char* kSpeedError = "--speed takes a multiple of 1x (such as 16 or 2.4) or max";

// --import-session N into `session` (-1 without the option); false for a
// value that is no session number.
bool ParseImportSession(const TCommandLine& args, int& session) {
  session = -1;
  uint32_t number = 0;
  if (!args.Has("--import-session")) return true;
  if (!ParseNumber(args.Value("--import-session"), 255, number)) return false;
  session = static_cast<int>(number);
  return true;
}
constexpr const char* kImportSessionError = "--import-session takes a session number (0: the last)";

// The speed (`times` 1x, 0: max), --test-write, --finalize and underrun
// protection.
void SetWriting(TOrvex& disc, const TCommandLine& args, double times, bool protect) {
  disc.SetTestWrite(args.Has("--test-write"));
  disc.SetFinalizeDisc(args.Has("--finalize"));
  disc.SetBurnProof(protect);
  const double kilobytes = std::round(times * SpeedUnit(disc.DiscIs()));
  disc.SetDeviceSpeed(0, static_cast<uint16_t>(std::min(kilobytes, 65534.0)));
}

// "DVD+R in drive 0 (ORVEX VIRTUAL DVD-RW)"; the report's "medium" tells it.
std::string MediumLine(TOrvex& disc) {
  Fields().Nested("medium", TJson::Object().Text("type", MediumName(disc.DiscIs())));
  return std::string(MediumName(disc.DiscIs())) + " in " + DriveLabel(disc);
}

// "1 file differs", "2 files differ": `count` and the noun and verb that agree with it.
std::string Counted(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// What a failed verification found, in one line: the error text of the
// JSON report.
std::string VerifySummary(const TVerifyReport& found, bool burned) {
  if (!found.tree_found && !burned) {
    return "the disc holds no session " + (found.session == 0 ? std::string() : std::to_string(found.session) + " ") +
           "with a readable volume";
  }
  std::vector<std::string> parts;
  const std::string session = "session " + std::to_string(found.session);
  if (!found.differing.empty()) parts.push_back(Counted(found.differing.size(), "file differs", "files differ"));
  if (!found.unreadable.empty()) {
    parts.push_back(Counted(found.unreadable.size(), "file", "files") + " could not be read from the disc");
  }
  if (!found.unreadable_sources.empty()) {
    parts.push_back(Counted(found.unreadable_sources.size(), "source", "sources") + " could not be read");
  }
  if (burned && (!found.missing.empty() || !found.extra.empty() || !found.tree_found)) {
    parts.push_back("the disc's last session is not the one just written: a reader does not find the files burned");
  } else {
    if (!found.missing.empty()) {
      parts.push_back(Counted(found.missing.size(), "file", "files") + " missing from " + session);
    }
    if (!found.extra.empty()) {
      parts.push_back(Counted(found.extra.size(), "file", "files") + " of " + session + " not among the sources");
    }
  }
  if (parts.empty()) return "the verification did not end";
  std::string line = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) line += ", " + parts[i];
  return line;
}

// Verifies the disc: the job just burned (`session` empty) or a session of
// it (0: the last) against the tree by path.  True when every file agrees.
// Every file that differs, could not be read from the disc or from its
// source, and every path the session lacks or holds beyond the tree, is
// named on standard error and listed in the report's "verify".
bool RunVerify(TOrvex& disc, TSignalWatch& signals, std::optional<uint8_t> session, bool stop_on_mismatch,
               bool show) {
  bool done = false, failed = false;
  disc.SetOnVerifyDone([&](TObject*, uint8_t, int32_t file, bool file_failed) {
    if (file < 0) done = true, failed = file_failed;
  });
  if (session) {
    disc.VerifyDiscSession(*session, stop_on_mismatch, false);
  } else {
    disc.VerifyDisc(stop_on_mismatch, false);
  }
  {
    TProgressBar bar("Verifying", show);
    WaitForEvents(disc, signals, "verifying the disc", [&] { return done; }, [&] {
      bar.Update(uint64_t{disc.VerifyProgress()} * 2048, uint64_t{disc.VerifySize()} * 2048);
    });
  }
  disc.SetOnVerifyDone(nullptr);
  const TVerifyReport found = disc.LastVerify();
  const std::string where = " session " + std::to_string(found.session) + " of the disc";
  const auto name = [&](int32_t id) {
    const std::u16string source = disc.SourcePath(id);
    return source.empty() ? disc.FileName(id) : source;
  };
  const auto files = [&](const std::vector<int32_t>& ids, const std::string& told) {
    TJson list = TJson::Array();
    for (int32_t id : ids) {
      Say(Printable(name(id)) + told);
      list.AppendText(name(id));
    }
    return list;
  };
  const auto paths = [&](const std::vector<std::u16string>& list, const std::string& told) {
    TJson json = TJson::Array();
    for (const std::u16string& path : list) {
      Say(Printable(path) + told);
      json.AppendText(path);
    }
    return json;
  };
  TJson fields = TJson::Object();
  fields.Number("session", found.session)
      .Number("differing", found.differing.size())
      .Nested("differing_files", files(found.differing, " does not read back as its source"))
      .Nested("unreadable", files(found.unreadable, " could not be read from the disc"))
      .Nested("unreadable_sources", files(found.unreadable_sources, ": its source could not be read"))
      .Nested("missing", paths(found.missing, " is not in" + where + (session ? "" : " where it was written")))
      .Nested("extra", paths(found.extra, " in" + where + (session ? " is not among the sources" : " was not burned")));
  Fields().Nested("verify", fields);
  if (!failed) return true;
  const TOrvex::TErrorInfo error = disc.TakeError();
  TReport::Current().Failed(error);
  if (error.Number == kErrorAborted) {
    Say(error.Text);
  } else {
    // The read the drive gave up on, and what it said about it.
    Say(VerifySummary(found, !session) + (error.Drive.Failed ? " (" + error.Drive.Text + ")" : std::string()));
  }
  return false;
}

// Session `session` of the disc (0: the last) imported into the root, which
// a stop signal interrupts; -1 to go on, else the exit status (the message
// is out).
int ImportFromDisc(TSession& s, int session) {
  TOrvex& disc = s.disc;
  int32_t used = 0;
  RunOrExit(disc, s.signals, "reading the disc",
            [&] { used = disc.ImportSession(static_cast<uint8_t>(session), "\\"); });
  if (!disc.LastImport().found) {
    Say("the disc holds no session " + (session == 0 ? std::string("to import") : std::to_string(session)) +
        " with a readable volume");
    return kExitFailed;
  }
  const std::string source = "session " + std::to_string(used);
  if (!WarnOfImportGaps(source, disc.LastImport())) {
    // A session burned without what could not be read would hide those
    // files from every reader.
    TReport::Current().Failed(disc.TakeError());
    Say(source + " could not be read whole: stopping before anything is written");
    return kExitFailed;
  }
  Say("importing " + source);
  return -1;
}

// The burn of the sources after the drive is chosen: the exit status.
int Burn(TSession& s, const TCommandLine& args, uint32_t cache, double times, int import) {
  SetWriting(s.disc, args, times, !args.Has("--no-underrun-protection"));
  s.disc.ClearAll();
  if (import >= 0) {
    if (const int stop = ImportFromDisc(s, import); stop >= 0) return stop;
  }
  const bool show = ShowProgress(args);
  TContentSummary summary;
  if (const int stop = FillTree(s.disc, s.signals, args, "", cache, show, summary); stop >= 0) return stop;
  s.disc.Prepare();
  const std::string medium = MediumLine(s.disc);
  if (!RunWriteJob(s.disc, s.signals, [&] { return s.disc.Burn(); }, "Burning", show, true)) return kExitFailed;
  WarnOfChangedSources(s.disc);
  Fields().Nested("tree", TreeFields(s.disc, args, summary)).Flag("test_write", s.disc.TestWrite());
  if (!JsonOutput()) {
    std::printf("%s: burned %s%s\n", medium.c_str(), TreeSummary(s.disc, args, summary).c_str(),
                s.disc.TestWrite() ? " (test write: nothing recorded)" : "");
  }
  if (args.Has("--verify") && !s.disc.TestWrite()) {
    if (!RunVerify(s.disc, s.signals, std::nullopt, false, show)) return kExitFailed;
    if (!JsonOutput()) std::printf("%s: every file reads back as its source\n", medium.c_str());
  }
  return kExitOk;
}

// The image's burn after the drive is chosen: the exit status.
int BurnImage(TSession& s, const TCommandLine& args, double times) {
  SetWriting(s.disc, args, times, true);
  const std::string image = args.Operands()[0];
  Fields().Text("image", image);
  const std::string medium = MediumLine(s.disc);
  const bool show = ShowProgress(args);
  // The blocks the image needs, for a refusal for room.
  struct stat st;
  const uint64_t bytes = stat(image.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  const auto blocks = static_cast<uint32_t>(std::min<uint64_t>((bytes + 2047) / 2048, UINT32_MAX));
  if (!RunWriteJob(s.disc, s.signals, [&] { return s.disc.BurnISOImage(image); }, "Burning", show, true, blocks)) {
    return kExitFailed;
  }
  Fields().Number("blocks", s.disc.ImageSize()).Flag("test_write", s.disc.TestWrite());
  if (!JsonOutput()) {
    std::printf("%s: burned %s, %u blocks%s\n", medium.c_str(), Printable(image).c_str(), s.disc.ImageSize(),
                s.disc.TestWrite() ? " (test write: nothing recorded)" : "");
  }
  return kExitOk;
}

}  // namespace

int RunBurn(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("burn"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (args.Operands().empty()) return Usage(args, "no SOURCE given");
  uint32_t cache = kBurnCache;
  if (!ParseCache(args, cache)) return Usage(args, kCacheError);
  double times = 0;
  if (!ParseSpeed(args, times)) return Usage(args, kSpeedError);
  int import = -1;
  if (!ParseImportSession(args, import)) return Usage(args, kImportSessionError);
  TSession s;
  if (const int stop = s.Select(args); stop >= 0) return stop;
  return s.Finish(args, Burn(s, args, cache, times, import));
}

int RunBurnImage(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("burn-image"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (args.Operands().size() != 1) return Usage(args, "give one IMAGE");
  double times = 0;
  if (!ParseSpeed(args, times)) return Usage(args, kSpeedError);
  TSession s;
  if (const int stop = s.Select(args); stop >= 0) return stop;
  return s.Finish(args, BurnImage(s, args, times));
}

int RunErase(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("erase"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (args.Has("--quick") == args.Has("--full")) return Usage(args, "give --quick or --full");
  if (!args.Operands().empty()) return Usage(args, "erase takes no operand");
  TSession s;
  if (const int stop = s.Select(args); stop >= 0) return stop;
  Fields().Text("mode", args.Has("--quick") ? "quick" : "full");
  bool erasable = false;
  RunOrExit(s.disc, s.signals, "asking the drive about the disc", [&] { erasable = s.disc.Erasable(); });
  if (!erasable) {
    Say("the disc in the drive cannot be erased (" + std::string(MediumName(s.disc.DiscIs())) + ")");
    return kExitFailed;
  }
  const std::string medium = MediumLine(s.disc);
  bool done = false, failed = false;
  s.disc.SetOnEraseDone([&](TObject*, uint8_t, bool f) { done = true, failed = f; });
  s.disc.EraseDisc(args.Has("--quick"));
  {
    TProgressBar bar("Erasing", ShowProgress(args));
    WaitForEvents(s.disc, s.signals, "erasing the disc", [&] { return done; }, [&] { bar.UpdateBusy(); });
  }
  if (failed) {
    const TOrvex::TErrorInfo error = s.disc.TakeError();
    TReport::Current().Failed(error);
    Say("erasing failed" + (error.Number != 0 ? ": " + FailureMessage(error) : std::string()));
    return kExitFailed;
  }
  if (!JsonOutput()) std::printf("%s: erased\n", medium.c_str());
  return kExitOk;
}

int RunVerifyCommand(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("verify"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (args.Operands().empty()) return Usage(args, "no SOURCE given");
  uint32_t cache = kBurnCache;
  if (!ParseCache(args, cache)) return Usage(args, kCacheError);
  int import = -1;
  if (!ParseImportSession(args, import)) return Usage(args, kImportSessionError);
  uint32_t session = 0;
  if (!ParseNumber(args.Value("--session", "0"), 255, session)) {
    return Usage(args, "--session takes a session number (0: the last)");
  }
  TSession s;
  if (const int stop = s.Select(args); stop >= 0) return stop;
  s.disc.ClearAll();
  if (import >= 0) {
    if (const int stop = ImportFromDisc(s, import); stop >= 0) return stop;
  }
  const bool show = ShowProgress(args);
  TContentSummary summary;
  if (const int stop = FillTree(s.disc, s.signals, args, "", cache, show, summary); stop >= 0) return stop;
  // The names the tree's entries get on a disc, to match the session's by.
  s.disc.Prepare();
  const std::string medium = MediumLine(s.disc);
  Fields().Nested("tree", TreeFields(s.disc, args, summary));
  if (!RunVerify(s.disc, s.signals, static_cast<uint8_t>(session), args.Has("--stop-on-mismatch"), show)) {
    return kExitFailed;
  }
  if (!JsonOutput()) {
    std::printf("%s: session %d holds the sources and no other file, and every file reads back as its source\n",
                medium.c_str(), s.disc.LastVerify().session);
  }
  return kExitOk;
}

int RunLabel(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("label"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (!args.Operands().empty()) return Usage(args, "label takes no operand");
  uint32_t session = 0;
  if (!ParseNumber(args.Value("--session", "0"), 255, session)) return Usage(args, "--session takes a number");
  TSession s;
  if (const int stop = s.Select(args); stop >= 0) return stop;
  std::string unanswered;
  std::u16string label;
  int32_t sessions = 0;
  RunOrExit(s.disc, s.signals, "reading the disc", [&] {
    label = s.disc.ReadVolumeLabelOfDisc(static_cast<uint8_t>(session), &unanswered);
    if (label.empty() && unanswered.empty()) sessions = s.disc.SessionsOnDisc();
  });
  Fields().Number("session", session);
  if (!unanswered.empty()) {
    Say("the disc's label could not be read: " + unanswered);
    return kExitFailed;
  }
  if (label.empty() && session > 0 && static_cast<int64_t>(session) > sessions) {
    Fields().Number("sessions", std::max(sessions, 0));
    Say("the disc holds no session " + std::to_string(session) + ": it holds " +
        Counted(static_cast<size_t>(std::max(sessions, 0)), "session", "sessions"));
    return kExitFailed;
  }
  if (label.empty()) {
    Say("the disc holds no volume label" + (session == 0 ? std::string() : " in session " + std::to_string(session)));
    return kExitFailed;
  }
  Fields().Text("label", label);
  if (!JsonOutput()) std::printf("%s\n", Printable(label).c_str());
  return kExitOk;
}

}  // namespace orvex::cli
