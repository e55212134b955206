#include "vburner/tool_docs.h"

namespace orvex::vburner {
namespace {

using manual::TCompletion;

std::vector<manual::TCommand> Commands() {
  return {
      {"new", "PROFILE FILE [--blocks N] [--formatted]", "make a blank medium",
       "Makes FILE a blank medium of PROFILE (see profiles), with its blocks in FILE.blocks beside it: one empty "
       "session on a recordable medium, unformatted on a rewritable one unless --formatted.",
       {{{{"--blocks"}, "N", "the medium's size in blocks of 2048 bytes (default: the profile's usual capacity)"},
         {{"--formatted"}, "", "a rewritable medium formatted already"}}},
       TCompletion::kPath},
      {"show", "FILE", "profile, status, sessions and tracks",
       "Prints the profile of the medium FILE, its status, and where each of its sessions and tracks starts and "
       "ends.",
       {},
       TCompletion::kPath},
      {"export", "FILE IMAGE [--session N]", "copy a session (default: all that is recorded)",
       "Copies what the medium FILE has recorded into the image file IMAGE: everything from block 0 on, or session N "
       "only.",
       {{{{"--session"}, "N", "the session to copy, from 1"}}},
       TCompletion::kPath},
      {"load", "PROFILE FILE IMAGE", "a medium holding IMAGE: a ROM that refers to it, or a finalized disc with a copy of it",
       "Makes FILE a medium of PROFILE holding the image file IMAGE: a read-only profile (cd-rom, dvd-rom, bd-rom) "
       "refers to IMAGE in place; a recordable one gets a copy of it as the one track of one closed session, "
       "finalized.",
       {},
       TCompletion::kPath},
      {"profiles", "", "the profile names", "Lists the profile names with their MMC profile numbers.", {}},
  };
}

// The grammar of ORVEX_VBURNER and what each key means.
manual::TSection DriveDescription() {
  return {"DRIVE DESCRIPTION",
          {{"", "The driver library liborvex-vburner.so emulates the drives that ORVEX_VBURNER describes: entries "
                "parted by \";\", each either a drive, HA:TARGET:LUN followed by \",KEY=VALUE\" options, or a "
                "setting. Values cannot contain \",\" or \";\". For example: "
                "0:1:0,class=dvd-writer,medium=/tmp/a.vmed;timescale=100. With ORVEX_VBURNER unset it offers one DVD "
                "writer at 0:0:0 holding $XDG_STATE_HOME/orvex/vburner/dvd+r.vmed, made blank on first use, running "
                "20 times faster than a real drive."},
           {"class=NAME", "bd-writer (the default), dvd-writer, cd-writer, bd-rom, dvd-rom or cd-rom: a preset for "
                          "what the drive reads and writes and for its product name"},
           {"medium=FILE", "the medium file in the drive at start (made by orvex-vburner new or load)"},
           {"tray=open|closed", "the tray at start"},
           {"reads=P/P...", "the profiles the drive reads, joined by \"/\" (those it writes included)"},
           {"writes=P/P...", "the profiles the drive writes"},
           {"vendor=TEXT, product=TEXT, revision=TEXT", "the INQUIRY fields (at most 8, 16 and 4 characters)"},
           {"letter=L", "the drive letter, C to Z, that get-disk-info reports"},
           {"testwrite=0|1, bufe=0|1", "whether the drive can test-write, and has buffer-underrun protection "
                                       "(default 1)"},
           {"page30=0|1, blockdesc=0|1", "mode page 30h, and a block descriptor in mode data (default 0)"},
           {"ua=0|1", "report unit attentions (default 0)"},
           {"sync=0|1", "complete every command before SendASPI32Command returns (default 0)"},
           {"buffer=KIB", "the drive's buffer in KiB, 64 to 1048576 (default 4096)"},
           {"cdspeed=X, dvdspeed=X, bdspeed=X", "the highest multiple of 1x per family (default 48, 16 and 12)"},
           {"stall=start|OP", "the drive stops answering: from the start, or once it has answered the first "
                              "command with the opcode OP (hexadecimal); its commands then stay pending"},
           {"timescale=NUMBER", "a setting: how many times faster than a real drive time runs (0: time moves only when a test moves it through the vb_* functions)"},
           {"trace=FILE", "a setting: append one line per command to FILE"}}};
}

manual::TProgram MakeProgram() {
  manual::TProgram program;
  program.name = "orvex-vburner";
  program.version = ORVEX_VERSION;
  program.summary = "make, show and export the media of the virtual burner";
  program.synopsis = "COMMAND ...";
  program.description =
      "The virtual burner emulates MMC CD, DVD and BD writers, so that burns, multi-session, erasing and drive "
      "faults can be tried without hardware; orvex and orvex-demo load its driver library when the kernel shows "
      "no optical drive. Its media are files: orvex-vburner makes them blank or from an image, shows what they "
      "hold and copies what was burned out of them, outside any drive.";
  program.commands = Commands();
  program.options = {{{"-h", "--help"}, "", "this help"},
                     {{"--version"}, "", "print the program's name and version"}};
  program.command_help = false;
  program.help_footer = "ORVEX_VBURNER describes the emulated drives; see man orvex-vburner.";
  program.sections = {
      DriveDescription(),
      {"EXIT STATUS",
       {{"0", "done"}, {"1", "failed (the reason is on standard error)"}, {"2", "the command line was wrong"}}},
      {"ENVIRONMENT",
       {{"ORVEX_VBURNER", "the drives the driver library emulates; see DRIVE DESCRIPTION"},
        {"XDG_STATE_HOME", "where the default drive's medium is kept (default: ~/.local/state)"}}},
      {"FILES",
       {{"FILE, FILE.blocks", "a medium: its state as text, and its blocks"},
        {"$XDG_STATE_HOME/orvex/vburner/dvd+r.vmed", "the medium of the default drive"}}},
  };
  program.examples = {
      {"orvex-vburner new dvd+r ~/disc.vmed\nexport ORVEX_VBURNER=\"0:1:0,class=dvd-writer,medium=$HOME/disc.vmed\"\n"
       "orvex burn ~/photos",
       "Burn to a blank DVD+R in a virtual DVD writer:"},
      {"orvex-vburner show ~/disc.vmed\norvex-vburner export ~/disc.vmed out.iso --session 1",
       "See its sessions and copy the first one out:"},
      {"orvex-vburner load dvd-rom rom.vmed image.iso", "Turn an image into a DVD-ROM:"},
      {"ORVEX_VBURNER=\"0:1:0,class=bd-writer,medium=$HOME/disc.vmed;timescale=50\"",
       "A BD writer running 50 times faster than a real one:"},
  };
  program.see_also = {"orvex(1)"};
  return program;
}

}  // namespace

const manual::TProgram& ToolProgram() {
  static const manual::TProgram program = MakeProgram();
  return program;
}

}  // namespace orvex::vburner
