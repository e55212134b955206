// orvex mkiso -o OUT [options] SOURCE...
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/job_wait.h"
#include "cli/progress_bar.h"
#include "component/orvex.h"

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvex mkiso -o OUT [options] SOURCE...\n"
    "\n"
    "Builds the ISO 9660 image OUT from the files and directories SOURCE.\n"
    "A directory is added with everything below it, a file as it is.\n"
    "\n"
    "options:\n"
    "  -o, --output OUT    the image file to write (replaced if it exists)\n"
    "  -V, --volume LABEL  the volume label (at most 31 characters)\n"
    "  --no-joliet         no Joliet tree (long UTF-16 names) beside ISO 9660\n"
    "  --udf               add a UDF 1.50 bridge\n"
    "  --iso1999           ISO 9660:1999 long names in the primary tree\n"
    "  --boot FILE         make the image bootable (El Torito) with FILE: a\n"
    "                      2048-byte boot sector or a 1.2, 1.44 or 2.88 MB diskette\n"
    "  --smart-refs        store identical files once\n"
    "  --save-path         keep each source's own path below the destination\n"
    "  --dest IMAGEDIR     where the sources go in the image (default: the root)\n"
    "  --cache MB          the packet cache in MiB (default 8)\n"
    "  -q, --quiet         no progress bar\n"
    "  -h, --help          this help\n";

const std::vector<TOptionSpec> kOptions = {
    {{"-o", "--output"}, true}, {{"-V", "--volume"}, true}, {{"--no-joliet"}, false},
    {{"--udf"}, false},         {{"--iso1999"}, false},     {{"--boot"}, true},
    {{"--smart-refs"}, false},  {{"--save-path"}, false},   {{"--dest"}, true},
    {{"--cache"}, true},        {{"-q", "--quiet"}, false}, {{"-h", "--help"}, false},
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "orvex mkiso: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

int Failed(const std::string& message) {
  std::fprintf(stderr, "orvex: %s\n", message.c_str());
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

}  // namespace

int RunMkiso(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, kOptions);
  if (!args.Error().empty()) return UsageError(args.Error());
  if (args.Has("--help")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  const std::string output = args.Value("--output");
  if (output.empty()) return UsageError("no output image given (-o OUT)");
  if (args.Operands().empty()) return UsageError("no SOURCE given");
  // An image file has no deadline to meet, so a large cache buys nothing;
  // a small one keeps the packets in the processor's caches between
  // reading and writing, and large files go through much faster.
  uint32_t cache = 8;
  if (args.Has("--cache")) {
    const std::string text = args.Value("--cache");
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 2 || value > 600) {
      return UsageError("--cache takes a whole number of MiB from 2 to 600");
    }
    cache = static_cast<uint32_t>(value);
  }

  TComponent owner(nullptr);
  TOrvex disc(&owner);
  disc.ClearAll();
  disc.SetJolietFileSystem(!args.Has("--no-joliet"));
  disc.SetUDFBridge(args.Has("--udf"));
  disc.SetISO9660v1999FS(args.Has("--iso1999"));
  disc.SetCacheSize(cache);
  disc.SetVolumeID(args.Value("--volume"));
  if (args.Has("--boot")) {
    const std::string boot = args.Value("--boot");
    disc.SetBootImage(boot);
    if (disc.BootImage() != boot) {
      return Failed("cannot use " + boot +
                    " as a boot image: it must be a readable file of 2048, 1228800, 1474560 or 2949120 bytes");
    }
  }
  const bool save_path = args.Has("--save-path");
  const std::string dest = MakeImageDirectory(disc, "\\", PathComponents(args.Value("--dest")));
  if (dest.empty()) return Failed("cannot create " + args.Value("--dest") + " in the image");

  for (const std::string& source : args.Operands()) {
    struct stat st;
    if (stat(source.c_str(), &st) != 0) return Failed("cannot read " + source);
    if (S_ISDIR(st.st_mode)) {
      if (disc.InsertDir(dest, source, "*", true, save_path) == nullptr) return Failed("cannot add " + source);
      continue;
    }
    std::string file_dest = dest;
    if (save_path) {
      std::vector<std::string> parents = PathComponents(source);
      parents.pop_back();
      file_dest = MakeImageDirectory(disc, dest, parents);
      if (file_dest.empty()) return Failed("cannot add " + source);
    }
    const pFileEntry entry = disc.InsertFile(file_dest, source);
    if (entry == nullptr) return Failed("cannot add " + source + " (not a regular file?)");
    if (entry == kEntryRefused) return Failed("cannot add " + source + ": its name is too long");
  }

  const bool show = !args.Has("--quiet") && isatty(STDERR_FILENO);
  const TAbortOnInterrupt abort_on_interrupt(disc);
  int64_t saved = 0;
  if (args.Has("--smart-refs")) {
    bool done = false, failed = false;
    disc.SetOnGenerateSmartReferencesDone([&](TObject*, bool f, int32_t bytes) {
      done = true, failed = f, saved = static_cast<uint32_t>(bytes);
    });
    disc.GenerateSmartReferences();
    TProgressBar bar("Comparing", show);
    WaitForEvents(disc, [&] { return done; }, [&] {
      bar.Update(uint64_t{disc.SmartReferencesProgress()} * 2048, uint64_t{disc.SmartReferencesSize()} * 2048);
    });
    bar.Finish();
    if (failed) return Failed(disc.ErrorString());
  }

  disc.Prepare();
  bool done = false, failed = false;
  disc.SetOnWriteDone([&](TObject*, uint8_t, bool f) { done = true, failed = f; });
  bool started = disc.BuildISOImage(output);
  const uint32_t error = started ? 0 : disc.ErrorNumber();
  if (started || error != kErrorCreating) {  // a run that stopped while filling still reports
    TProgressBar bar("Writing", show);
    WaitForEvents(disc, [&] { return done || (!started && !disc.JobRunning()); }, [&] {
      bar.Update(uint64_t{disc.BlocksWritten()} * 2048, uint64_t{disc.ImageSize()} * 2048);
    });
  }
  if (!started || failed) {
    const std::string message =
        started ? disc.ErrorString() : ErrorText(error, disc.CDFiles.FileName.Get());
    // A partial image is no image; a file that could not be created is left alone.
    if (error != kErrorCreating) std::remove(output.c_str());
    return Failed(message);
  }

  const uint32_t dirs = disc.DirsCount() - 1;
  const uint32_t files = disc.FilesCount() - dirs;
  const uint64_t blocks = disc.ImageSize();
  std::printf("%s: %u files, %u directories, %llu blocks (%.1f MiB)", output.c_str(), files, dirs,
              static_cast<unsigned long long>(blocks), static_cast<double>(blocks) * 2048 / (1024.0 * 1024.0));
  if (args.Has("--smart-refs")) std::printf(", %lld bytes saved by smart references", static_cast<long long>(saved));
  std::printf("\n");
  return kExitOk;
}

}  // namespace orvex::cli
