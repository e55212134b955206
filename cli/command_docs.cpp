// SPDX-License-Identifier: Apache-2.0
#include "cli/command_docs.h"

#include <cstdlib>

namespace orvex::cli {
namespace {

using manual::TCompletion;
using manual::TOption;
using manual::TOptionGroup;

const TOption kJson = {{"--json"}, "", "print the result as one JSON object"};
const TOption kQuiet = {{"-q", "--quiet"}, "", "no progress bar"};
const TOption kProgress = {{"--progress"}, "",
                           "with --json: the progress as JSON objects on standard error, one a line"};

// What every command takes.
const TOptionGroup kGeneralOptions = {
    {{"-h", "--help"}, "", "this help"},
    {{"--version"}, "", "print the program's name and version"},
};

// What goes into the image and how it is laid out: mkiso, burn and verify.
const TOptionGroup kContentOptions = {
    {{"-V", "--volume"}, "LABEL", "the volume label (at most 31 characters)"},
    {{"--no-joliet"}, "", "no Joliet tree (long UTF-16 names) beside ISO 9660"},
    {{"--udf"}, "", "add a UDF 1.50 bridge"},
    {{"--iso1999"}, "", "ISO 9660:1999 long names in the primary tree"},
    {{"--no-rock"}, "", "no Rock Ridge records (exact names, modes, owners, times and symbolic links for POSIX "
                        "systems) in the primary tree"},
    {{"-r", "--rock-rational"}, "", "Rock Ridge with every entry owned by root and readable by all (executable by all "
                                    "where anyone may execute it, writable by none)"},
    {{"--follow-links"}, "", "store what symbolic links lead to, not the links (always so with --no-rock)"},
    {{"--boot"}, "FILE", "make the image bootable (El Torito) with FILE: a 2048-byte boot sector or a 1.2, 1.44 or "
                         "2.88 MB diskette", TCompletion::kPath},
    {{"--smart-refs"}, "", "store identical files once"},
    {{"--save-path"}, "", "keep each source's own path below the destination"},
    {{"--dest"}, "IMAGEDIR", "where the sources go in the image (default: the root)"},
    {{"--ignore-unreadable"}, "", "go on without the entries that cannot be taken"},
    {{"--cache"}, "MB", "the packet cache in MiB (2 to 600)"},
    kQuiet,
    kProgress,
};

// How the drives are found: every command on drives.
const TOptionGroup kDriveOptions = {
    {{"--driver"}, "PATH", "the driver library to ask when the kernel shows no optical drive (default: the virtual "
                           "burner's, on the library search path or beside this program)", TCompletion::kPath},
    {{"--no-pass-through"}, "", "ask the driver library only, not the kernel's drives"},
    {{"--log"}, "FILE", "write every command sent to FILE", TCompletion::kPath},
};

// Which drive: every command on one drive, before the drive options.
const TOptionGroup kDriveChoice = {
    {{"-d", "--device"}, "N", "the drive: its number in orvex devices (default 0), its address H:T:L or its device "
                             "path (/dev/sr0, or its /dev/sg name)", TCompletion::kDrive},
};

// How a burn writes: burn and burn-image.
const TOptionGroup kWriteOptions = {
    {{"--speed"}, "X", "the write speed in multiples of the medium's 1x (16, 2.4) or max (the default)"},
    {{"--test-write"}, "",
     "simulate the burn: the drive records nothing (CD-R, CD-RW, DVD-R and sequential DVD-RW in a drive that can "
     "simulate; refused elsewhere)"},
    {{"--finalize"}, "", "close the disc: no session can be added later"},
    {{"--eject"}, "", "eject the disc afterwards, unless a stop signal ended the burn (a disc that failed to eject "
                      "is said on standard error and leaves the exit status as the burn's)"},
};

manual::TCommand Mkiso() {
  return {"mkiso", "-o OUT [options] SOURCE...", "build an ISO 9660 image from files and directories",
          "Builds the ISO 9660 image OUT from the files and directories SOURCE. A directory is added with everything "
          "below it, a file as it is. Every entry that cannot be taken is named on standard error; then nothing is "
          "written unless --ignore-unreadable is given. OUT appears only when the image is complete: an image it "
          "replaces stays intact until then.",
          {{{{"-o", "--output"}, "OUT", "the image file to write (replaced if it exists)", TCompletion::kPath}, kJson},
           kContentOptions, kGeneralOptions},
          TCompletion::kPath};
}

manual::TCommand Ls() {
  return {"ls", "[--sector N] IMAGE", "list the tree of an image",
          "Lists the tree of the ISO 9660 image IMAGE, one line per entry: d or f, the size in bytes, the block "
          "address and the path in the image. It shows the tree with the longest names the image has (Joliet where "
          "there is one) and says on standard error which one that is. Control characters in names are shown as "
          "escapes (\\n, \\x1b, \\\\). Exit status 1 when the image could not be listed whole.",
          {{{{"--sector"}, "N", "list the session whose volume starts at block N (an image of a whole "
                                "multi-session disc holds every session at its address)"},
            kJson},
           kGeneralOptions},
          TCompletion::kPath};
}

manual::TCommand Devices() {
  return {"devices", "[options]", "list the optical drives",
          "Lists the optical drives, one row per drive: its index, its address H:T:L, its device path when the kernel "
          "has one, and its vendor, product and revision.",
          {{kJson}, kDriveOptions, kGeneralOptions}};
}

manual::TCommand Info() {
  return {"info", "[-d N] [options]", "show what a drive and its medium can do",
          "Shows what drive N (default 0, as orvex devices numbers them) and its medium can do: the medium, its state "
          "and room, the drive's buffer and speeds, and its capabilities.",
          {{kJson}, kDriveChoice, kDriveOptions, kGeneralOptions}};
}

manual::TCommand Toc() {
  return {"toc", "[-d N] [options]", "list the sessions and tracks of a disc",
          "Lists the sessions and tracks of the disc in drive N, one row per track: its number, its session, its "
          "start block, its size in blocks and MiB, the block writing goes on at (its next writable address) where "
          "there is one, and its state: complete, incomplete (partly written and open), invisible (the empty track "
          "a new session goes into), blank, reserved, damaged or overwritable (on a DVD+RW, DVD-RAM, BD-RE or "
          "restricted-overwrite DVD-RW), with whether its session is closed. Above them it says the medium, the "
          "disc's state and whether it takes more sessions; below them, on a disc that has a closed session and "
          "an empty one open after it, the multi-session numbers LAST,NEXT: the start of the last closed session's first "
          "track, which orvex ls --sector takes, and the block the next session starts at.",
          {{kJson}, kDriveChoice, kDriveOptions, kGeneralOptions}};
}

manual::TCommand Burn() {
  TOptionGroup own = kWriteOptions;
  own.insert(own.end(), {{{"--no-underrun-protection"}, "", "write without the drive's buffer-underrun protection"},
                         {{"--import-session"}, "N", "carry the files of session N (0: the last) into the new one"},
                         {{"--verify"}, "", "read every file back afterwards and compare it, and check that the "
                                            "disc's file system shows the new session"},
                         kJson});
  return {"burn", "[options] SOURCE...", "burn files and directories to a disc",
          "Burns the files and directories SOURCE to the disc in drive N as a new session, then closes it; with "
          "--import-session the new session also shows the files of an earlier one; when that session's tree "
          "cannot be read whole, nothing is written and the exit status is 1.",
          {own, kContentOptions, kDriveChoice, kDriveOptions, kGeneralOptions},
          TCompletion::kPath};
}

manual::TCommand BurnImage() {
  TOptionGroup own = kWriteOptions;
  own.insert(own.end(), {kQuiet, kProgress, kJson});
  return {"burn-image", "[options] IMAGE", "burn an image file to a disc",
          "Burns the ISO 9660 or UDF image file IMAGE from the start of the blank or rewritable disc in drive N.",
          {own, kDriveChoice, kDriveOptions, kGeneralOptions},
          TCompletion::kPath};
}

manual::TCommand Erase() {
  return {"erase", "--quick|--full [options]", "erase a rewritable disc",
          "Erases the rewritable disc in drive N: --quick blanks its start or formats it quickly, --full blanks or "
          "formats all of it (this can take an hour).",
          {{{{"--quick"}, "", "blank the start of the disc or format it quickly"},
            {{"--full"}, "", "blank or format the whole disc"},
            kQuiet,
            kProgress,
            kJson},
           kDriveChoice, kDriveOptions, kGeneralOptions}};
}

manual::TCommand Verify() {
  return {"verify", "[options] SOURCE...", "compare a session of a burned disc with its sources",
          "Reads the file tree of a session of the disc in drive N (the last complete one unless --session says "
          "otherwise) and compares it with the files and directories SOURCE, which stand at the paths orvex burn "
          "gives them (--dest and --save-path apply as there): every file must be in the session and read back as "
          "its source, and the session must hold no other file. Names are compared as the session records them: its "
          "Joliet names where it has a Joliet tree, else its ISO 9660 names. How the disc was laid out (--udf, "
          "--smart-refs, --boot and the like) does not matter: each file is read where the session records it. Every "
          "file that differs, is missing, is extra or could not be read is named on standard error; a read error is "
          "told as such, not as a difference.",
          {{{{"--session"}, "N", "the session to compare (default 0: the last complete one)"},
            {{"--stop-on-mismatch"}, "", "stop at the first file that differs"},
            {{"--import-session"}, "N", "the session the burn carried (as given to burn): its files must be in the "
                                        "session compared, where they were"},
            kJson},
           kContentOptions, kDriveChoice, kDriveOptions, kGeneralOptions},
          TCompletion::kPath};
}

manual::TCommand Label() {
  return {"label", "[--session N] [options]", "show the volume label of a disc's session",
          "Shows the volume label of session N (default 0: the last) of the disc in drive N.",
          {{{{"--session"}, "N", "the session (default 0: the last)"}, kJson},
           kDriveChoice, kDriveOptions, kGeneralOptions}};
}

manual::TCommand Tray(bool eject) {
  const std::string word = eject ? "eject" : "load";
  return {word, "[-d N] [options]", eject ? "open the tray of a drive" : "close the tray of a drive",
          eject ? "Ejects the disc of drive N (opens its tray). A drive whose disc is locked in refuses, and orvex "
                  "says so with exit status 1."
                : "Loads the disc of drive N (closes its tray) and waits until the drive has it.",
          {{kJson}, kDriveChoice, kDriveOptions, kGeneralOptions}};
}

manual::TProgram MakeProgram() {
  manual::TProgram program;
  program.name = "orvex";
  program.version = ORVEX_VERSION;
  program.summary = "build ISO 9660 images and burn them to CD, DVD and BD";
  program.synopsis = "COMMAND [options] [arguments]";
  program.description =
      "orvex lays files and directories out as an ISO 9660 image (with a Joliet tree, a UDF bridge and an El Torito "
      "boot image when asked) and writes it to an image file or to the disc in an optical drive. It lists images, "
      "drives and what a drive and its medium can do, burns, verifies and erases discs, and reads a session's "
      "volume label.\n\n"
      "The drives are the kernel's (/dev/sr0 to /dev/sr23) and, when there are none, those of a driver library: by "
      "default the virtual burner's, whose drives ORVEX_VBURNER describes. On a terminal a progress bar shows how "
      "a job goes; Ctrl-C, SIGTERM and SIGHUP end it cleanly, within two seconds also when the drive does not "
      "answer. A burn that has begun closing the disc goes on closing after the first of them, so that the disc "
      "stays readable; a second one ends it at once, leaving the disc as the drive has it.";
  program.commands = {Mkiso(), Ls(), Devices(), Info(), Toc(), Burn(), BurnImage(), Erase(), Verify(), Label(),
                      Tray(true), Tray(false)};
  program.options = kGeneralOptions;
  program.help_footer = "orvex COMMAND --help shows a command's options.";
  program.sections = {
      {"EXIT STATUS",
       {{"0", "the command did what it was asked"},
        {"1", "it failed (the reason is on standard error)"},
        {"2", "the command line was wrong (the usage is on standard error)"}}},
      {"ENVIRONMENT",
       {{"ORVEX_VBURNER", "the drives and media of the virtual burner, when its library is the driver; see "
                          "orvex-vburner(1)"},
        {"XDG_STATE_HOME", "where the virtual burner keeps its default medium (default: ~/.local/state)"}}},
      {"FILES",
       {{"liborvex-vburner.so", "the virtual burner's driver library, on the library search path or beside orvex"},
        {"$XDG_STATE_HOME/orvex/vburner/dvd+r.vmed", "the medium of the virtual burner's default drive, made blank "
                                                    "on first use"}}},
  };
  program.examples = {
      {"orvex mkiso -o photos.iso -V PHOTOS --udf --smart-refs ~/photos ~/notes.txt",
       "Build an image with a UDF bridge, storing identical files once:"},
      {"orvex ls photos.iso", "List what it holds:"},
      {"orvex-vburner new dvd+r ~/disc.vmed\nexport ORVEX_VBURNER=\"0:1:0,class=dvd-writer,medium=$HOME/disc.vmed\"\n"
       "orvex devices\norvex info -d 0",
       "Try the drive commands with no real drive, on a virtual DVD writer holding a blank DVD+R:"},
      {"orvex burn -V PHOTOS --verify ~/photos", "Burn a new session of the same content and read it back:"},
      {"orvex burn --import-session 0 ~/more", "Add a session that also shows the last one's files:"},
      {"orvex burn-image --speed 16 photos.iso", "Burn an image from the disc's start at 16x:"},
      {"orvex verify ~/photos", "Compare the disc's last session with the sources:"},
      {"orvex erase --quick", "Blank or format a rewritable disc quickly:"},
      {"orvex label --session 1", "Show a session's volume label:"},
      {"orvex toc", "List the disc's sessions and tracks, and the multi-session numbers:"},
      {"orvex burn --eject ~/photos", "Burn and hand the disc out:"},
  };
  program.see_also = {"orvex-vburner(1)"};
  return program;
}

}  // namespace

const manual::TProgram& OrvexProgram() {
  static const manual::TProgram program = MakeProgram();
  return program;
}

const manual::TCommand& CommandDoc(const std::string& name) {
  const manual::TCommand* command = manual::FindCommand(OrvexProgram(), name);
  if (command == nullptr) std::abort();  // a command without a description is a build fault
  return *command;
}

}  // namespace orvex::cli
