// orvex burn, burn-image, erase, verify and label: the jobs on the disc in
// a drive, each with -d N and the drive options, a progress line on a
// terminal, and Ctrl-C ending the job cleanly.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

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

constexpr const char* kWriteOptionsHelp =
    "  --speed X             the write speed in multiples of the medium's 1x (16, 2.4)\n"
    "                        or max (the default)\n"
    "  --test-write          simulate the burn: the drive records nothing\n"
    "  --finalize            close the disc: no session can be added later\n";

const std::vector<TOptionSpec> kWriteOptions = {
    {{"--speed"}, true}, {{"--test-write"}, false}, {{"--finalize"}, false}, {{"-q", "--quiet"}, false}};

// What a drive command runs on: the signals watched before the component
// starts threads (they inherit the blocked signals), the component with
// its event queue, the drive chosen.
struct TSession {
  TSignalWatch signals;
  TComponent owner{nullptr};
  TOrvex disc{&owner};
};

bool ShowProgress(const TCommandLine& args) { return !args.Has("--quiet") && !JsonOutput() && isatty(STDERR_FILENO); }

TJson& Fields() { return TReport::Current().Fields(); }

// Parses the command line and opens the drive; -1 to go on, else the exit status.
int Open(TSession& session, const TCommandLine& args, const char* usage, const std::string& help_tail) {
  if (!args.Error().empty()) return Usage(usage, args.Error());
  if (args.Has("--help")) {
    std::printf("%s%s", usage, help_tail.c_str());
    return Help("");
  }
  TReport::Current().Enable(args);
  return SelectDrive(session.disc, args, usage);
}

// --speed, --test-write, --finalize and underrun protection.
int SetWriting(TOrvex& disc, const TCommandLine& args, const char* usage, bool protect) {
  disc.SetTestWrite(args.Has("--test-write"));
  disc.SetFinalizeDisc(args.Has("--finalize"));
  disc.SetBurnProof(protect);
  const std::string speed = args.Value("--speed", "max");
  if (speed == "max") {
    disc.SetDeviceSpeed(0, 0);
    return -1;
  }
  char* end = nullptr;
  const double times = std::strtod(speed.c_str(), &end);
  if (speed.empty() || *end != '\0' || !(times > 0) || times > 100) {
    return Usage(usage, "--speed takes a multiple of 1x (such as 16 or 2.4) or max");
  }
  const double kilobytes = std::round(times * SpeedUnit(disc.DiscIs()));
  disc.SetDeviceSpeed(0, static_cast<uint16_t>(std::min(kilobytes, 65534.0)));
  return -1;
}

// "DVD+R in drive 0 (ORVEX VIRTUAL DVD-RW)"; the report's "medium" tells it.
std::string MediumLine(TOrvex& disc) {
  Fields().Nested("medium", TJson::Object().Text("type", MediumName(disc.DiscIs())));
  return std::string(MediumName(disc.DiscIs())) + " in drive " + std::to_string(disc.SelectedDevice()) + " (" +
         Printable(InquiryWords(disc.DeviceVendor() + " " + disc.DeviceProduct())) + ")";
}

// Verifies the disc against the prepared tree; true when every file agrees.
// The report's "verify" tells the files that differ.
bool RunVerify(TOrvex& disc, TSignalWatch& signals, bool stop_on_mismatch, bool show) {
  bool done = false, failed = false;
  int bad = 0;
  disc.SetOnVerifyDone([&](TObject*, uint8_t, int32_t file, bool file_failed) {
    if (file < 0) {
      done = true, failed = file_failed;
    } else if (file_failed) {
      ++bad;
      Say(Printable(disc.SourcePath(file)) + " does not read back as its source");
    }
  });
  disc.VerifyDisc(stop_on_mismatch, false);
  {
    TProgressBar bar("Verifying", show);
    WaitForEvents(disc, signals, [&] { return done; }, [&] {
      bar.Update(uint64_t{disc.VerifyProgress()} * 2048, uint64_t{disc.VerifySize()} * 2048);
    });
  }
  disc.SetOnVerifyDone(nullptr);
  Fields().Nested("verify", TJson::Object().Number("differing", bad));
  if (!failed) return true;
  const TOrvex::TErrorInfo error = disc.TakeError();
  TReport::Current().Failed(error);
  if (error.Number == kErrorAborted) Say(error.Text);
  Say(bad == 0 ? "the verification did not end" : std::to_string(bad) + (bad == 1 ? " file differs" : " files differ"));
  return false;
}

// The session --import-session N names (0: the last), imported into the root.
int ImportFromDisc(TOrvex& disc, const TCommandLine& args, const char* usage) {
  uint32_t session = 0;
  if (!ParseNumber(args.Value("--import-session"), 255, session)) {
    return Usage(usage, "--import-session takes a session number (0: the last)");
  }
  const int32_t used = disc.ImportSession(static_cast<uint8_t>(session), "\\");
  if (!disc.LastImport().found) {
    Say("the disc holds no session " + (session == 0 ? std::string("to import") : std::to_string(session)) +
        " with a readable volume");
    return kExitFailed;
  }
  if (!disc.LastImport().Complete()) Warn("session " + std::to_string(used) + " could not be read whole");
  Say("importing session " + std::to_string(used));
  return -1;
}

}  // namespace

int RunBurn(int argc, char** argv) {
  static const char* kUsage =
      "usage: orvex burn [options] SOURCE...\n\nBurns the files and directories SOURCE to the disc in drive N as a new\n"
      "session, then closes it; with --import-session the new session also shows\nthe files of an earlier one.\n\n"
      "options:\n";
  const std::string help = std::string(kWriteOptionsHelp) +
                           "  --no-underrun-protection\n                        write without the drive's buffer-underrun protection\n"
                           "  --import-session N    carry the files of session N (0: the last) into the new one\n"
                           "  --verify              read every file back afterwards and compare it\n" +
                           kContentOptionsHelp;
  std::vector<TOptionSpec> own = kWriteOptions;
  own.push_back({{"--no-underrun-protection"}, false});
  own.push_back({{"--import-session"}, true});
  own.push_back({{"--verify"}, false});
  const TCommandLine args(argc, argv, 2, WithDriveOptions(WithContentOptions(own)));
  TSession s;
  if (const int stop = Open(s, args, kUsage, help); stop >= 0) return stop;
  if (args.Operands().empty()) return Usage(kUsage, "no SOURCE given");
  uint32_t cache = kBurnCache;
  if (!ParseCache(args, cache)) return Usage(kUsage, kCacheError);
  if (const int stop = SetWriting(s.disc, args, kUsage, !args.Has("--no-underrun-protection")); stop >= 0) return stop;
  s.disc.ClearAll();
  if (args.Has("--import-session")) {
    if (const int stop = ImportFromDisc(s.disc, args, kUsage); stop >= 0) return stop;
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
    if (!RunVerify(s.disc, s.signals, false, show)) return kExitFailed;
    if (!JsonOutput()) std::printf("%s: every file reads back as its source\n", medium.c_str());
  }
  return kExitOk;
}

int RunBurnImage(int argc, char** argv) {
  static const char* kUsage =
      "usage: orvex burn-image [options] IMAGE\n\nBurns the ISO 9660 or UDF image file IMAGE from the start of the blank or\n"
      "rewritable disc in drive N.\n\noptions:\n";
  const TCommandLine args(argc, argv, 2, WithDriveOptions(kWriteOptions));
  TSession s;
  if (const int stop = Open(s, args, kUsage, kWriteOptionsHelp); stop >= 0) return stop;
  if (args.Operands().size() != 1) return Usage(kUsage, "give one IMAGE");
  if (const int stop = SetWriting(s.disc, args, kUsage, true); stop >= 0) return stop;
  const std::string image = args.Operands()[0];
  Fields().Text("image", image);
  const std::string medium = MediumLine(s.disc);
  const bool show = ShowProgress(args);
  if (!RunWriteJob(s.disc, s.signals, [&] { return s.disc.BurnISOImage(image); }, "Burning", show, true)) {
    return kExitFailed;
  }
  Fields().Number("blocks", s.disc.ImageSize()).Flag("test_write", s.disc.TestWrite());
  if (!JsonOutput()) {
    std::printf("%s: burned %s, %u blocks%s\n", medium.c_str(), Printable(image).c_str(), s.disc.ImageSize(),
                s.disc.TestWrite() ? " (test write: nothing recorded)" : "");
  }
  return kExitOk;
}

int RunErase(int argc, char** argv) {
  static const char* kUsage =
      "usage: orvex erase --quick|--full [options]\n\nErases the rewritable disc in drive N: --quick blanks its start or formats\n"
      "it quickly, --full blanks or formats all of it (this can take an hour).\n\noptions:\n";
  const TCommandLine args(argc, argv, 2, WithDriveOptions({{{"--quick"}, false}, {{"--full"}, false}, {{"-q", "--quiet"}, false}}));
  TSession s;
  if (const int stop = Open(s, args, kUsage, "  --quick, --full       how much to erase\n"); stop >= 0) return stop;
  if (args.Has("--quick") == args.Has("--full")) return Usage(kUsage, "give --quick or --full");
  if (!args.Operands().empty()) return Usage(kUsage, "erase takes no operand");
  Fields().Text("mode", args.Has("--quick") ? "quick" : "full");
  if (!s.disc.Erasable()) {
    Say("the disc in the drive cannot be erased (" + std::string(MediumName(s.disc.DiscIs())) + ")");
    return kExitFailed;
  }
  const std::string medium = MediumLine(s.disc);
  bool done = false, failed = false;
  s.disc.SetOnEraseDone([&](TObject*, uint8_t, bool f) { done = true, failed = f; });
  s.disc.EraseDisc(args.Has("--quick"));
  {
    TProgressBar bar("Erasing", ShowProgress(args));
    WaitForEvents(s.disc, s.signals, [&] { return done; }, [&] { bar.UpdateBusy(); });
  }
  if (failed) {
    const TOrvex::TErrorInfo error = s.disc.TakeError();
    TReport::Current().Failed(error);
    Say("erasing failed" + (error.Number != 0 ? ": " + error.Text : std::string()));
    return kExitFailed;
  }
  if (!JsonOutput()) std::printf("%s: erased\n", medium.c_str());
  return kExitOk;
}

int RunVerifyCommand(int argc, char** argv) {
  static const char* kUsage =
      "usage: orvex verify [options] SOURCE...\n\nLays out SOURCE as orvex burn would, with the same content options, and\n"
      "reads every file of the disc's last session back, comparing it with its source.\n\noptions:\n";
  const std::string help = std::string("  --stop-on-mismatch    stop at the first file that differs\n"
                                       "  --import-session N    the session the burn carried (as given to burn)\n") +
                           kContentOptionsHelp;
  const TCommandLine args(argc, argv, 2,
                          WithDriveOptions(WithContentOptions({{{"--stop-on-mismatch"}, false}, {{"--import-session"}, true}})));
  TSession s;
  if (const int stop = Open(s, args, kUsage, help); stop >= 0) return stop;
  if (args.Operands().empty()) return Usage(kUsage, "no SOURCE given");
  uint32_t cache = kBurnCache;
  if (!ParseCache(args, cache)) return Usage(kUsage, kCacheError);
  s.disc.ClearAll();
  if (args.Has("--import-session")) {
    if (const int stop = ImportFromDisc(s.disc, args, kUsage); stop >= 0) return stop;
  }
  const bool show = ShowProgress(args);
  TContentSummary summary;
  if (const int stop = FillTree(s.disc, s.signals, args, "", cache, show, summary); stop >= 0) return stop;
  s.disc.Prepare();
  if (!s.disc.LocateLastImage()) {
    Say("the disc holds no session of the size these sources make");
    return kExitFailed;
  }
  const std::string medium = MediumLine(s.disc);
  Fields().Nested("tree", TreeFields(s.disc, args, summary));
  if (!RunVerify(s.disc, s.signals, args.Has("--stop-on-mismatch"), show)) return kExitFailed;
  if (!JsonOutput()) std::printf("%s: every file reads back as its source\n", medium.c_str());
  return kExitOk;
}

int RunLabel(int argc, char** argv) {
  static const char* kUsage =
      "usage: orvex label [--session N] [options]\n\nShows the volume label of session N (default 0: the last) of the disc in\n"
      "drive N.\n\noptions:\n";
  const TCommandLine args(argc, argv, 2, WithDriveOptions({{{"--session"}, true}}));
  TSession s;
  if (const int stop = Open(s, args, kUsage, "  --session N           the session\n"); stop >= 0) return stop;
  if (!args.Operands().empty()) return Usage(kUsage, "label takes no operand");
  uint32_t session = 0;
  if (!ParseNumber(args.Value("--session", "0"), 255, session)) return Usage(kUsage, "--session takes a number");
  const std::u16string label = s.disc.ReadVolumeLabelOfDisc(static_cast<uint8_t>(session));
  Fields().Number("session", session);
  if (label.empty()) {
    Say("the disc holds no volume label" + (session == 0 ? std::string() : " in session " + std::to_string(session)));
    return kExitFailed;
  }
  Fields().Text("label", label);
  if (!JsonOutput()) std::printf("%s\n", Printable(label).c_str());
  return kExitOk;
}

}  // namespace orvex::cli
