// SPDX-License-Identifier: Apache-2.0
#include "cli/content_options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "cli/commands.h"
#include "cli/json_report.h"
#include "cli/messages.h"
#include "cli/progress_bar.h"
#include "cli/job_wait.h"
#include "cli/source_check.h"

namespace orvex::cli {
namespace {

int Failed(const std::string& message) {
  Say(message);
  return kExitFailed;
}

// The components of an image path written with "/" or "\".
std::vector<std::string> PathComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path + "/") {
    if (c == '/' || c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  return parts;
}

// The image directory `components` below `base`, created as needed.
std::string MakeImageDirectory(TOrvex& disc, std::string base, const std::vector<std::string>& components) {
  for (const std::string& part : components) {
    if (part == "." || part == "..") continue;
    if (disc.CreateDir(base, part) == nullptr) return "";
    base += (base == "\\" ? "" : "\\") + part;
  }
  return base;
}

// Adds one SOURCE operand below `dest`; what cannot be taken is told to `check`.
void AddSource(TOrvex& disc, TSourceCheck& check, const std::string& source, const std::string& dest,
               bool save_path) {
  struct stat st;
  if (stat(source.c_str(), &st) != 0) {
    check.Report({TInsertIssueKind::kUnreadableEntry, Utf8ToUtf16(source), errno, {}});
    return;
  }
  if (S_ISDIR(st.st_mode)) {
    disc.InsertDir(dest, source, "*", true, save_path);  // full tables are told as issues
    return;
  }
  if (!S_ISREG(st.st_mode)) {
    check.Report({TInsertIssueKind::kSpecialFile, Utf8ToUtf16(source), 0, {}});
    return;
  }
  std::string file_dest = dest;
  if (save_path) {
    std::vector<std::string> parents = PathComponents(source);
    parents.pop_back();
    file_dest = MakeImageDirectory(disc, dest, parents);
    if (file_dest.empty()) {
      check.Report({TInsertIssueKind::kNameTooLong, Utf8ToUtf16(source), 0, {}});
      return;
    }
  }
  disc.InsertFile(file_dest, source);  // a refusal is told as an issue
}

// Runs the smart-reference search; false when it failed (the message is out).
bool FindSmartReferences(TOrvex& disc, TSignalWatch& signals, bool show, int64_t& saved) {
  bool done = false, failed = false;
  disc.SetOnGenerateSmartReferencesDone([&](TObject*, bool f, int32_t bytes) {
    done = true, failed = f, saved = static_cast<uint32_t>(bytes);
  });
  disc.GenerateSmartReferences();
  TProgressBar bar("Comparing", show);
  WaitForEvents(disc, signals, "", [&] { return done; }, [&] {
    bar.Update(uint64_t{disc.SmartReferencesProgress()} * 2048, uint64_t{disc.SmartReferencesSize()} * 2048);
  });
  bar.Finish();
  if (failed) SayFailure(disc.TakeError());
  return !failed;
}

// What the summaries tell of the tree (the root is no directory of its own).
struct TTreeCounts {
  uint32_t files, directories;
  uint64_t blocks;
  int left_out;
};

TTreeCounts Count(TOrvex& disc, const TContentSummary& summary) {
  const uint32_t dirs = disc.DirsCount() - 1;
  return {disc.FilesCount() - dirs, dirs, disc.ImageSize(), summary.errors + summary.warnings};
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return text;
}

}  // namespace

std::string LabelCutWarning(const TOrvex& disc, const std::string& asked) {
  // What each descriptor carries: the primary one the component's 8-bit
  // label upper-cased, Joliet its first 16 UTF-16 units, UDF 15.
  const std::u16string wide = Utf8ToUtf16(asked);
  std::vector<std::string> parts;
  if (disc.VolumeID().size() < asked.size()) {
    parts.push_back("\"" + Printable(AsciiUpper(disc.VolumeID())) + "\" in ISO 9660 (which keeps 31 bytes)");
  }
  const auto cut = [&](const char* tree, size_t units) {
    if (wide.size() <= units) return;
    const std::u16string kept = disc.VolumeIDW().substr(0, units);
    parts.push_back("\"" + Printable(kept) + "\" in " + tree + " (which keeps " + std::to_string(units) +
                    " UTF-16 units)");
  };
  if (disc.JolietFileSystem()) cut("Joliet", 16);
  if (disc.UDFBridge()) cut("UDF", 15);
  if (parts.empty()) return "";
  std::string line = "the label \"" + Printable(asked) + "\" is longer than a volume identifier holds: it becomes " + parts[0];
  for (size_t i = 1; i < parts.size(); ++i) line += (i + 1 == parts.size() ? " and " : ", ") + parts[i];
  return line;
}

bool ParseCache(const TCommandLine& args, uint32_t& cache) {
  return !args.Has("--cache") || (ParseNumber(args.Value("--cache"), 600, cache) && cache >= 2);
}

int FillTree(TOrvex& disc, TSignalWatch& signals, const TCommandLine& args, const std::string& output,
             uint32_t cache, bool show, TContentSummary& summary) {
  disc.SetJolietFileSystem(!args.Has("--no-joliet"));
  disc.SetUDFBridge(args.Has("--udf"));
  disc.SetISO9660v1999FS(args.Has("--iso1999"));
  const bool rock = !args.Has("--no-rock");
  if (!rock && args.Has("--rock-rational")) return Failed("--no-rock and --rock-rational contradict each other");
  disc.SetRockRidge(rock);
  disc.SetRockRidgeRational(args.Has("--rock-rational"));
  // Only Rock Ridge can show a link as a link.
  disc.SetKeepLinks(rock && !args.Has("--follow-links"));
  disc.SetCacheSize(cache);
  disc.SetVolumeID(args.Value("--volume"));
  if (const std::string cut = LabelCutWarning(disc, args.Value("--volume")); !cut.empty()) Warn(cut);
  if (args.Has("--boot")) {
    const std::string boot = args.Value("--boot");
    disc.SetBootImage(boot);
    if (disc.BootImage() != boot) {
      return Failed("cannot use " + Printable(boot) +
                    " as a boot image: it must be a readable file of 2048, 1228800, 1474560 or 2949120 bytes");
    }
  }
  struct stat out;
  if (stat(output.c_str(), &out) == 0 && S_ISDIR(out.st_mode)) {
    return Failed("cannot write " + Printable(output) + ": it is a directory");
  }

  TSourceCheck check(disc, signals, output);
  const std::string dest = MakeImageDirectory(disc, "\\", PathComponents(args.Value("--dest")));
  if (dest.empty()) return Failed("cannot create " + Printable(args.Value("--dest")) + " in the image");
  for (const std::string& source : args.Operands()) {
    if (check.IsOutput(source)) {
      return Failed(Printable(source) + " is the image being written; give another output");
    }
    AddSource(disc, check, source, dest, args.Has("--save-path"));
  }
  if (check.Interrupted() || signals.Poll()) return Failed("Aborted by user");
  if (check.OutputIsSource()) return kExitFailed;
  const bool ignore = args.Has("--ignore-unreadable");
  if (check.Errors() > 0 && !ignore) {
    return Failed(std::to_string(check.Errors()) + (check.Errors() == 1 ? " entry" : " entries") +
                  " could not be taken; nothing was written (--ignore-unreadable writes the image without them)");
  }

  summary.errors = check.Errors();
  summary.warnings = check.Warnings();
  if (args.Has("--smart-refs") && !FindSmartReferences(disc, signals, show, summary.saved)) return kExitFailed;
  return -1;
}

// Sources that changed while they were read are in the image as they were read.
void WarnOfChangedSources(TOrvex& disc) {
  TJson changed = TJson::Array();
  for (int32_t id : disc.ChangedFiles()) {
    Warn(Printable(disc.SourcePath(id)) + " changed while it was read; the image holds what was read");
    changed.AppendText(disc.SourcePath(id));
  }
  TReport::Current().Fields().Nested("changed_sources", changed);
}

std::string TreeSummary(TOrvex& disc, const TCommandLine& args, const TContentSummary& summary) {
  const TTreeCounts counts = Count(disc, summary);
  char text[160];
  std::snprintf(text, sizeof text, "%u files, %u directories, %llu blocks (%.1f MiB)", counts.files,
                counts.directories, static_cast<unsigned long long>(counts.blocks),
                static_cast<double>(counts.blocks) * 2048 / (1024.0 * 1024.0));
  std::string line = text;
  if (args.Has("--smart-refs")) line += ", " + std::to_string(summary.saved) + " bytes saved by smart references";
  if (counts.left_out > 0) {
    line += ", " + std::to_string(counts.left_out) + (counts.left_out == 1 ? " entry" : " entries") + " left out";
  }
  return line;
}

TJson TreeFields(TOrvex& disc, const TCommandLine& args, const TContentSummary& summary) {
  const TTreeCounts counts = Count(disc, summary);
  TJson tree = TJson::Object();
  tree.Number("files", counts.files)
      .Number("directories", counts.directories)
      .Number("blocks", counts.blocks)
      .Number("bytes", counts.blocks * 2048)
      .Number("left_out", counts.left_out);
  if (args.Has("--smart-refs")) tree.Number("smart_references_saved", summary.saved);
  return tree;
}

}  // namespace orvex::cli
