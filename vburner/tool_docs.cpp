// SPDX-License-Identifier: Apache-2.0
#include "vburner/tool_docs.h"

namespace orvex::vburner {
namespace {

using manual::TCompletion;

std::vector<manual::TCommand> Commands() {
  return {
      {"new", "PROFILE FILE [--blocks N] [--formatted] [--force]", "make a blank medium",
       "Makes FILE a blank medium of PROFILE (see profiles), with its blocks in FILE.blocks beside it: one empty "
       "session on a recordable medium, unformatted on a rewritable one unless --formatted. An existing FILE or "
       "FILE.blocks is left alone unless --force; a medium in a running drive is never replaced, and FILE.blocks "
       "is never a symbolic link.",
       {{{{"--blocks"}, "N", "the medium's size in blocks of 2048 bytes (default: the profile's usual capacity)"},
         {{"--formatted"}, "", "a rewritable medium formatted already"},
         {{"--force"}, "", "replace the medium (or file) at FILE and empty FILE.blocks; what they held is lost"}}},
       TCompletion::kPath},
      {"show", "FILE", "profile, status, sessions and tracks",
       "Prints the profile of the medium FILE, its status, and where each of its sessions and tracks starts and "
       "ends.",
       {},
       TCompletion::kPath},
      {"export", "FILE IMAGE [--session N]", "copy a session (default: all that is recorded)",
       "Copies what the medium FILE has recorded into the image file IMAGE: everything from block 0 on, or session N "
       "only. A medium in a running drive is refused: take it out first.",
       {{{{"--session"}, "N", "the session to copy, from 1"}}},
       TCompletion::kPath},
      {"load", "PROFILE FILE IMAGE", "a medium holding IMAGE: a ROM that refers to it, or a finalized disc with a copy of it",
       "Makes FILE a medium of PROFILE holding the image file IMAGE: a read-only profile (cd-rom, dvd-rom, bd-rom) "
       "refers to IMAGE in place; a recordable one gets a copy of it as the one track of one closed session, "
       "finalized. A medium at FILE is replaced, unless it is in a running drive.",
       {},
       TCompletion::kPath},
      {"profiles", "", "the profile names", "Lists the profile names with their MMC profile numbers.", {}},
      {"attach", "[--timescale X] [--trace FILE] MEDIUM|PROFILE...", "the drives behind real SCSI devices (/dev/srN, /dev/sgN)",
       "Puts one drive per argument on a SCSI bus of the running kernel, so that any burning program finds it as a "
       "real optical drive: /dev/srN and /dev/sgN appear, and every command sent to them is answered by the "
       "emulated drive, INQUIRY included. An argument is a medium file, used as it is, or a profile name, for which "
       "a blank medium is made in $XDG_STATE_HOME/orvex/vburner/attached as INDEX-PROFILE.vmed (replacing the one "
       "an earlier attach made there). attach prints each drive's device files and medium, then serves the drives "
       "until it gets SIGINT, SIGTERM or SIGHUP, or until detach, and then takes the devices down.\n\n"
       "It uses the kernel's SCSI target: a user backstore (target_core_user, served through its UIO device by this "
       "process, no other daemon) per drive, with 2048-byte blocks, behind a loopback target (tcm_loop), set up in "
       "configfs. It needs root, configfs mounted at /sys/kernel/config and the kernel modules target_core_mod, "
       "target_core_user and tcm_loop; without them it names what is missing. Devices an earlier attach left "
       "(when it was killed) are removed first; while another attach runs, it fails. A command takes as long as "
       "the drive needs: only the initiator's timeout ends it. The media are saved as each command changes them, so that export "
       "can copy what a program burned while the drive is still attached.",
       {{{{"--timescale"}, "X", "how many times faster than a real drive time runs (default 20)"},
         {{"--trace"}, "FILE", "append one line per command sent (its CDB, data lengths, status and sense) to FILE"}}},
       TCompletion::kPath},
      {"detach", "", "take the attached drives' devices down",
       "Removes every device attach made, also one left by an attach that was killed (its unanswered commands are "
       "refused so that the kernel lets them go). A running attach then ends.",
       {}},
  };
}

// The grammar of ORVEX_VBURNER and what each key means.
manual::TSection DriveDescription() {
  return {"DRIVE DESCRIPTION",
          {{"", "The driver library liborvex-vburner.so emulates the drives that ORVEX_VBURNER describes: entries "
                "parted by \";\", each either a drive, HA:TARGET:LUN followed by \",KEY=VALUE\" options, or a "
                "setting:\n\n"
                "description = entry { \";\" entry }; entry = drive | setting; drive = HA \":\" TARGET \":\" LUN "
                "{ \",\" KEY \"=\" VALUE }; setting = \"timescale=\" NUMBER | \"trace=\" PATH\n\n"
                "Values cannot contain \",\" or \";\". For example: "
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
           {"writeerror=LBA/KK/AA/QQ", "the first write that reaches block LBA fails there with sense KK/AA/QQ "
                                       "(hexadecimal)"},
           {"fail=OP/KK/AA/QQ", "the next command with opcode OP fails with sense KK/AA/QQ (all hexadecimal); "
                                "may be given for several opcodes, and n times for one to fail its next n "
                                "commands"},
           {"stall=start|OP", "the drive stops answering: from the start, or once it has answered the first "
                              "command with the opcode OP (hexadecimal); its commands then stay pending"},
           {"timescale=NUMBER", "a setting: how many times faster than a real drive time runs (0: time moves only when a test moves it through the vb_* functions)"},
           {"trace=FILE", "a setting: append one line per command to FILE"}}};
}

// The vb_* functions of vburner.h, by which a project's own tests drive the
// emulated drives.
manual::TSection ControlInterface() {
  return {"CONTROL INTERFACE",
          {{"", "A program, such as a project's own tests, drives the emulated drives through the C functions that "
                "the driver library exports, declared in vburner/vburner.h (installed with the development package "
                "below the include folder orvex). Build it with the include folder and the driver library, for "
                "example: cc test.c -I/usr/include/orvex -L/usr/lib/TRIPLET/orvex -lorvex-vburner "
                "-Wl,-rpath,/usr/lib/TRIPLET/orvex. Drives are named by their address (vb_address: ha, target, lun). "
                "A function returning int gives 0 on success and -1 on failure, and vb_last_error then names the "
                "cause; the header states each function's contract."},
           {"vb_configure(description)", "replaces every drive by the ones a drive description names (as "
                                         "ORVEX_VBURNER spells it); without a call the library reads ORVEX_VBURNER"},
           {"vb_medium_create, vb_medium_from_image, vb_medium_export, vb_medium_describe",
            "make a blank medium or one holding an image, copy a session out, describe a medium, as the tool's new, "
            "load, export and show do"},
           {"vb_insert, vb_remove, vb_tray", "put a medium into a drive, take it out, open or close the tray"},
           {"vb_set_time_scale, vb_advance_time, vb_now",
            "modelled time: scale 0 stops it, so that only vb_advance_time and the commands that take time move it"},
           {"vb_fault_fail, vb_fault_busy, vb_fault_write_error, vb_fault_remove_medium, vb_fault_stall, "
            "vb_fault_clear",
            "faults: commands that end in CHECK CONDITION with a given sense or in BUSY, a write that fails or "
            "loses its medium at a block, a drive that stops answering; vb_fault_clear removes them all"},
           {"vb_fault_short_transfer, vb_fault_length, vb_fault_profile, vb_fault_wrong_profile, "
            "vb_fault_empty_sense, vb_fault_delay",
            "bad answers: data cut short, a length field that claims more than is there, a wrong current profile, "
            "an empty sense area, a command held back in modelled time"},
           {"vb_trace, vb_trace_count, vb_trace_get",
            "the command trace: every command a drive answered, with its CDB, status, sense and data"}}};
}

manual::TProgram MakeProgram() {
  manual::TProgram program;
  program.name = "orvex-vburner";
  program.version = ORVEX_VERSION;
  program.summary = "make, show and export the media of the virtual burner, and attach it as a real drive";
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
      ControlInterface(),
      {"EXIT STATUS",
       {{"0", "done"}, {"1", "failed (the reason is on standard error)"}, {"2", "the command line was wrong"}}},
      {"ENVIRONMENT",
       {{"ORVEX_VBURNER", "the drives the driver library emulates; see DRIVE DESCRIPTION"},
        {"XDG_STATE_HOME", "where the default drive's medium is kept (default: ~/.local/state)"}}},
      {"FILES",
       {{"FILE, FILE.blocks", "a medium: its state as text, and its blocks, which a recordable medium keeps in its "
                              "own folder (a medium file naming blocks elsewhere is refused). The state is saved as "
                              "it changes, so a medium whose program died mid-burn shows what it recorded; a drive "
                              "holds a lock on FILE.blocks while the medium is in it"},
        {"$XDG_STATE_HOME/orvex/vburner/dvd+r.vmed", "the medium of the default drive"},
        {"$XDG_STATE_HOME/orvex/vburner/attached/", "the media attach makes for profile names"},
        {"/sys/kernel/config/target", "where attach sets up the kernel's SCSI target; its objects are named "
                                      "orvex_vbN (the backstores) and naa.50000f0e5e000001 (the loopback target)"}}},
  };
  program.examples = {
      {"orvex-vburner new dvd+r ~/disc.vmed\nexport ORVEX_VBURNER=\"0:1:0,class=dvd-writer,medium=$HOME/disc.vmed\"\n"
       "orvex burn ~/photos",
       "Burn to a blank DVD+R in a virtual DVD writer:"},
      {"orvex-vburner show ~/disc.vmed\norvex-vburner export ~/disc.vmed out.iso --session 1",
       "See its sessions and copy the first one out:"},
      {"orvex-vburner load dvd-rom rom.vmed image.iso", "Turn an image into a DVD-ROM:"},
      {"orvex-vburner attach dvd+r &\n(burn to the /dev/srN it prints with any burning program)\n"
       "orvex-vburner detach\norvex-vburner export ~/.local/state/orvex/vburner/attached/0-dvd+r.vmed out.iso",
       "Attach a blank DVD+R as a real drive, burn it with another program, and check what it wrote:"},
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
