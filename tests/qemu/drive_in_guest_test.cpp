// SPDX-License-Identifier: Apache-2.0
// The kernel's sr driver end to end, where this machine has no optical
// drive: a QEMU guest (Debian's kernel, an initramfs of our own, no
// network) whose emulated ATAPI CD-ROM drive holds an image that
// `orvex mkiso` made. The guest boots once and runs every command of
// kGuestCommands; each command is a test case of its own here.
//
// What the guest's drive turned out to be (Debian 12's kernel 6.1 on
// QEMU 7.2's default i440FX machine, where -cdrom is the master of the
// second IDE channel and ata_piix is the first driver to load):
// /dev/sr0 at the SCSI address 1:0:0:0 (host 1, channel 0, target 0, lun 0),
// INQUIRY vendor "QEMU", product "QEMU DVD-ROM", revision "2.5+".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <sstream>

#include "interop/peer_tools.h"
#include "interop/source_tree.h"
#include "qemu/guest_boot.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace orvex::test {
namespace {

const std::string kOrvex = ORVEX_CLI_PATH;
const std::string kReadProbe = ORVEX_READ_PROBE_PATH;
const std::string kBurnerTool = ORVEX_VBURNER_TOOL_PATH;

// The sysfs address of /dev/sr0 in the guest (host:channel:target:lun).
constexpr const char* kGuestDriveAddress = "1:0:0:0";
constexpr const char* kVolumeLabel = "ORVEX_GUEST";
constexpr size_t kSectorSize = 2048;
// The media the burner is attached with, by LUN: /tmp/NAME.vmed in the
// guest, drive N+1 of `orvex devices` there.
constexpr const char* kAttachedMedia[] = {"d", "r", "b", "w"};

// Programs the guest commands run; make_initramfs.sh brings their libraries.
const std::vector<std::string> kGuestPrograms = {kOrvex, kReadProbe, kBurnerTool};
// Other burning programs the guest runs on the attached burner, found on
// this machine's PATH (genisoimage makes the images growisofs and wodim write).
const std::vector<std::string> kOtherBurners = {"xorriso", "growisofs", "wodim", "genisoimage"};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Without the spaces, NULs and newline that pad a field.
std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0' || text.back() == '\n')) text.pop_back();
  return text;
}

// Shows the start of `bytes` for a failure message: printable ASCII as it
// is, the rest escaped.
std::string Shown(const std::string& bytes) {
  constexpr size_t kShown = 512;
  std::string shown;
  for (const unsigned char c : bytes.substr(0, kShown)) {
    if (c == '\n' || (c >= ' ' && c <= '~')) {
      shown.push_back(static_cast<char>(c));
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      shown += escape;
    }
  }
  if (bytes.size() > kShown) shown += "... (" + std::to_string(bytes.size()) + " bytes)";
  return shown;
}

// The image the drive holds and what the host knows of it, and the guest's
// one run of every command: made on first use, for all cases.
struct TGuestSuite {
  TempDir dir;
  std::string image_path;
  std::string image;         // its bytes
  std::string host_listing;  // `orvex ls` of it, run here
  std::string setup_error;   // why there is no image
  TGuestRun run;
};

const TGuestSuite& Suite();

using TCheck = void (*)(const TGuestSuite& suite, const TGuestCommandResult& result);

struct TGuestCommand {
  const char* name;     // the case's name and the guest's marker name
  const char* command;  // for the guest's busybox sh
  TCheck check;
};

// How a failing case names its command.
void PrintTo(const TGuestCommand& command, std::ostream* out) { *out << command.name; }

// Sector 16 read through the drive (the block device, or READ(10) over
// SG_IO) is the image's primary volume descriptor.
void CheckVolumeDescriptor(const TGuestSuite& suite, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  ASSERT_EQ(result.out.size(), kSectorSize);
  EXPECT_EQ(result.out.substr(0, 6), "\x01" + std::string("CD001")) << Shown(result.out.substr(0, 6));
  EXPECT_EQ(TrimRight(result.out.substr(40, 32)), kVolumeLabel);
  EXPECT_TRUE(result.out == suite.image.substr(16 * kSectorSize, kSectorSize))
      << "sector 16 from the drive differs from the image's";
}

// What the kernel's INQUIRY at the scan found: vendor, product, revision.
void CheckInquiry(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 3u) << Shown(result.out);
  EXPECT_EQ(TrimRight(lines[0]), "QEMU");
  EXPECT_EQ(TrimRight(lines[1]), "QEMU DVD-ROM");
  EXPECT_FALSE(TrimRight(lines[2]).empty());
}

// The drive's SCSI address, and a capacity that is the image's.
void CheckAddress(const TGuestSuite& suite, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 2u) << Shown(result.out);
  EXPECT_EQ(lines[0], kGuestDriveAddress);
  // sysfs counts 512-byte units.
  EXPECT_EQ(lines[1], std::to_string(suite.image.size() / 512));
}

// Our own program in the guest reads the tree through the drive as it reads the file here.
void CheckListing(const TGuestSuite& suite, const TGuestCommandResult& result) {
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(suite.host_listing.find("data/numbers.txt"), std::string::npos) << suite.host_listing;
  EXPECT_EQ(result.out, suite.host_listing);
}

// The value of `orvex info`'s line "NAME:", without its padding; empty
// when there is no such line.
std::string InfoValue(const std::string& info, const std::string& name) {
  for (const std::string& line : Lines(info)) {
    if (line.rfind(name + ":", 0) != 0) continue;
    const size_t value = line.find_first_not_of(' ', name.size() + 1);
    return value == std::string::npos ? "" : TrimRight(line.substr(value));
  }
  return "";
}

// Where the image holds the POSIX tree (rock/ of its root, Rock Ridge on as
// `orvex mkiso` has it by default), made here.
constexpr const char* kRockDirectory = "disc/rock";

// The kernel's isofs, mounting the image without -o norock, shows every
// entry of the POSIX tree as the source has it: type and permission bits,
// owner, group, modification time and a link's target, under its exact
// name.  Each line is busybox's `stat -c '%f %u %g %Y %N'`: the mode in
// hex, then the path ("./" first), quoted as "'PATH' -> 'TARGET'" for a link.
void CheckRockRidgeMounted(const TGuestSuite& suite, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  TPosixTree seen;
  for (const std::string& line : Lines(result.out)) {
    std::istringstream fields(line);
    TPosixEntry entry;
    entry.owners_and_time = true;
    std::string mode, path;
    fields >> mode >> entry.uid >> entry.gid >> entry.mtime;
    fields.get();
    std::getline(fields, path);
    entry.mode = static_cast<uint32_t>(std::stoul(mode, nullptr, 16));
    const size_t arrow = path.find("' -> '");
    if (path.starts_with('\'') && arrow != std::string::npos && path.ends_with('\'')) {
      entry.target = path.substr(arrow + 6, path.size() - arrow - 7);
      path = path.substr(1, arrow - 1);
    }
    if (path.starts_with("./")) path.erase(0, 2);
    seen[path] = entry;
  }
  TPosixTree expected = DiskPosixTree(suite.dir / kRockDirectory, true);
  // The kernel shows no name of 254 bytes or more whole: it keeps the name's
  // pieces (NM entries) while they add up to less, so such an entry shows
  // under a start of its name.
  for (auto it = expected.begin(); it != expected.end();) {
    const size_t slash = it->first.rfind('/') + 1;  // 0 at the top
    if (it->first.size() - slash < 254) {
      ++it;
      continue;
    }
    const auto cut = std::find_if(seen.begin(), seen.end(), [&](const auto& entry) {
      return entry.first.size() > slash && entry.first.size() < it->first.size() &&
             it->first.starts_with(entry.first) && entry.first.find('/', slash) == std::string::npos;
    });
    EXPECT_NE(cut, seen.end()) << it->first << " does not show";
    if (cut != seen.end()) {
      EXPECT_TRUE(cut->second == it->second) << DescribePosixDifferences({*it}, {{it->first, cut->second}});
      seen.erase(cut);
    }
    it = expected.erase(it);
  }
  EXPECT_TRUE(seen == expected) << DescribePosixDifferences(expected, seen);
}

// Both names that differ only in case are there, each under its exact name,
// beside every other entry of the directory.
void CheckRockRidgeCaseVariants(const TGuestSuite& suite, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> seen = Lines(result.out);
  const auto entries = std::distance(std::filesystem::directory_iterator(suite.dir / kRockDirectory),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(seen.size(), static_cast<size_t>(entries));
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "README"), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "readme"), 1);
}

// Our enumeration over SG_IO finds the one drive at sr0's address, named
// from its INQUIRY (the guest has no driver library).
void CheckDevices(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 1u) << Shown(result.out);
  EXPECT_EQ(lines[0].rfind("0: 1:0:0,", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("QEMU     QEMU DVD-ROM     2.5+"), std::string::npos) << lines[0];
}

// The drive and medium inspection through a real kernel: a read-only drive
// holding a finalized disc of one session.  (QEMU's drive refuses READ
// TRACK INFORMATION, which MMC asks only of writers, and gives no capacity
// in READ FORMAT CAPACITIES, so the disc's size in blocks and its volume
// label, both found through the track information, come out as 0 and
// empty there.)
void CheckInfo(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(InfoValue(result.out, "vendor"), "QEMU") << result.out;
  EXPECT_EQ(InfoValue(result.out, "product"), "QEMU DVD-ROM");
  EXPECT_EQ(InfoValue(result.out, "burner"), "no");
  EXPECT_EQ(InfoValue(result.out, "disc status"), "complete");
  EXPECT_EQ(InfoValue(result.out, "sessions"), "1");
  EXPECT_EQ(InfoValue(result.out, "writable"), "no");
}

// The virtual burner attached as a kernel SCSI device next to QEMU's
// drive, with four blank media (DVD+R, CD-R, BD-R, DVD-RW) on the LUNs of
// one target: they become /dev/sr1 to /dev/sr4, and with the sg driver
// loaded /dev/sg1 to /dev/sg4, found by the sr driver through the
// burner's own INQUIRY.
void CheckAttached(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 6u) << Shown(result.out);
  for (int i = 0; i < 4; ++i) {
    const std::string n = std::to_string(i);
    const std::string sr = std::to_string(i + 1);
    EXPECT_EQ(lines[i], "drive " + n + ": /dev/sr" + sr + " /dev/sg" + sr + "  medium /tmp/" + kAttachedMedia[i] +
                            ".vmed");
  }
  EXPECT_EQ(TrimRight(lines[4]), "ORVEX");
  EXPECT_EQ(TrimRight(lines[5]), "VIRTUAL BD-RW");
}

// Our enumeration over SG_IO finds every drive once, the burner's after
// QEMU's, although each now has a generic device besides its block device.
void CheckAttachedDevices(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 5u) << Shown(result.out);
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind(std::to_string(i) + ": ", 0), 0u) << lines[i];
    EXPECT_NE(lines[i].find("ORVEX    VIRTUAL BD-RW"), std::string::npos) << lines[i];
  }
}

// The attached burner's blank DVD+R, inspected through the kernel.
void CheckAttachedInfo(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(InfoValue(result.out, "vendor"), "ORVEX") << result.out;
  EXPECT_EQ(InfoValue(result.out, "burner"), "yes") << result.out;
  EXPECT_EQ(InfoValue(result.out, "disc status"), "empty") << result.out;
  EXPECT_EQ(InfoValue(result.out, "writable"), "yes") << result.out;
}

// A second attach leaves the running one's devices alone.
void CheckSecondAttachRefused(const TGuestSuite&, const TGuestCommandResult& result) {
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("another attach is running"), std::string::npos) << result.err;
}

void CheckSucceeded(const TGuestSuite&, const TGuestCommandResult& result) {
  EXPECT_EQ(result.status, 0) << result.err << "\n" << Shown(result.out);
}

// The tree every burn in the guest writes (/tmp/tree there), made again
// here as `dir`/`name`.
void WriteBurnedTree(const TempDir& dir, const std::string& name) {
  std::string numbers;
  for (int i = 1; i <= 20000; ++i) numbers += std::to_string(i) + "\n";
  dir.Write(name + "/hello.txt", "hello\n");
  dir.Write(name + "/sub/numbers.txt", numbers);
}

// What a burn over SG_IO recorded, exported in the guest after detach
// and judged here as the burn tests judge a disc: by our own reader and by
// the peer tools, against the tree the guest burned, made again here.  Of
// a disc of several sessions the export holds them all, and the readers
// take the first.
void CheckExportedBurn(const TGuestSuite& suite, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string packed = suite.dir / (result.name + ".iso.gz");
  std::ofstream(packed, std::ios::binary) << result.out;
  const TToolResult unpacked = RunTool({"gzip", "-dkf", packed});
  ASSERT_EQ(unpacked.status, 0) << unpacked.err;
  const std::string image = suite.dir / (result.name + ".iso");
  const TToolResult listed = RunTool({kOrvex, "ls", image});
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("sub/numbers.txt"), std::string::npos) << listed.out;
  WriteBurnedTree(suite.dir, "burned");
  EXPECT_EQ(JudgeImage(image, DiskTreeFacts(suite.dir / "burned"), suite.dir.Mkdir(result.name + "-judged")), "");
}

// A disc's whole recorded area, after a line with the block its second
// session starts at: that session shows the file it added (/tmp/more) and,
// imported, those of the first (/tmp/tree).
void CheckExportedSecondSession(const TGuestSuite& suite, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const size_t line_end = result.out.find('\n');
  ASSERT_NE(line_end, std::string::npos) << Shown(result.out);
  const uint32_t start = static_cast<uint32_t>(std::stoul(result.out.substr(0, line_end)));
  EXPECT_GT(start, 0u);
  const std::string packed = suite.dir / (result.name + ".iso.gz");
  std::ofstream(packed, std::ios::binary) << result.out.substr(line_end + 1);
  const TToolResult unpacked = RunTool({"gzip", "-dkf", packed});
  ASSERT_EQ(unpacked.status, 0) << unpacked.err;
  WriteBurnedTree(suite.dir, "second");
  suite.dir.Write("second/more.txt", "more\n");
  std::string complaint;
  const TTreeFacts seen = XorrisoSessionFacts(suite.dir / (result.name + ".iso"), start,
                                              suite.dir.Mkdir(result.name + "-seen"), &complaint);
  EXPECT_EQ(complaint, "");
  const TTreeFacts expected = DiskTreeFacts(suite.dir / "second");
  EXPECT_TRUE(seen == expected) << DescribeDifferences(expected, seen);
}

// `orvex label` reads the last session's volume label through the kernel.
void CheckSecondSessionLabel(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(TrimRight(result.out), "ORVEX_MORE");
}

// A quick erase leaves the DVD-RW blank and writable.
void CheckErased(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(InfoValue(result.out, "disc status"), "empty") << result.out;
  EXPECT_EQ(InfoValue(result.out, "writable"), "yes") << result.out;
}

// A user outside group root, in group cdrom that owns the block devices,
// meets the kernel's command filter for callers without CAP_SYS_RAWIO.
// The filter lets every command of a burn through on a device opened for
// writing; what it refuses must end in exit status 1 with the cause named.
void CheckUnprivilegedBurn(const TGuestSuite&, const TGuestCommandResult& result) {
  EXPECT_EQ(result.status, 0) << result.err << "\n" << Shown(result.out);
  EXPECT_EQ(Lines(result.out).at(0), "uid=1000(burner) gid=100(users) groups=24(cdrom),100(users)");
}

// Where the user may only read the device, the burn is refused before its
// first command, naming the device: a descriptor opened for reading carries
// no writing command through the filter, and a burn that went on over one
// failed at its first WRITE with "Operation not permitted", as if the drive
// had not answered.
void CheckReadOnlyUserRefused(const TGuestSuite&, const TGuestCommandResult& result) {
  EXPECT_EQ(result.status, 1) << Shown(result.out);
  EXPECT_NE(result.err.find("No permission to write to the drive /dev/sr3"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "") << Shown(result.out);
}

// An attach killed with its devices up is cleaned up by the next.
void CheckAttachAfterKill(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 1u) << Shown(result.out);
  EXPECT_EQ(lines[0].rfind("drive 0: /dev/sr", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("medium /tmp/c.vmed"), std::string::npos) << lines[0];
}

// detach leaves no device and no configfs object of the burner's.
void CheckDetached(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.find("user_2048"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("naa."), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("sr1"), std::string::npos) << result.out;
}

// xorriso finds the four attached drives among the kernel's optical drives.
void CheckOtherProgramsSeeTheDrives(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  size_t burners = 0;
  for (const std::string& line : Lines(result.out)) burners += line.find("'ORVEX   ' 'VIRTUAL BD-RW'") != std::string::npos;
  EXPECT_EQ(burners, 4u) << Shown(result.out);
}

// What another program burned, read back in the guest after the tray went
// out and in (so that the kernel takes the disc's new size): `orvex ls` of
// the session through the block device, then `orvex verify` of it over
// SG_IO against the sources.
void CheckReadBack(const TGuestCommandResult& result, const std::vector<std::string>& files) {
  ASSERT_EQ(result.status, 0) << result.err;
  for (const std::string& file : files)
    EXPECT_NE(result.out.find(" /" + file + "\n"), std::string::npos) << file << " not listed";
  EXPECT_NE(result.out.find("holds the sources and no other file, and every file reads back as its source"),
            std::string::npos);
}
void CheckFirstSessionReadBack(const TGuestSuite&, const TGuestCommandResult& result) {
  CheckReadBack(result, {"hello.txt", "sub/numbers.txt"});
  EXPECT_EQ(result.out.find("more.txt"), std::string::npos);
}
void CheckSecondSessionReadBack(const TGuestSuite&, const TGuestCommandResult& result) {
  CheckReadBack(result, {"hello.txt", "sub/numbers.txt", "more.txt"});
}

// The kernel mounts a disc of two sessions another program burned at its
// last session, found by the READ TOC the sr driver sends when the disc is
// loaded: the files of both sessions show.
void CheckMountedLastSession(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  for (const char* file : {"hello.txt", "more.txt", "numbers.txt"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), file), lines.end()) << file << " not in " << Shown(result.out);
}

// The number of commands the attached drives got while other programs
// burned, then each opcode and sense the drives refused one with.  A
// command the drive does not know (05/20/00) is one a program wanted: only
// those MMC leaves out are expected, MODE SENSE(6) (the kernel's first try
// before the 10-byte one) and READ BUFFER (wodim's optional speed test).
void CheckNoCommandUnknown(const TGuestSuite&, const TGuestCommandResult& result) {
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_GT(std::stoul(lines[0]), 100u);
  for (size_t i = 1; i < lines.size(); ++i) {
    const bool unknown = lines[i].ends_with(" 05/20/00");
    EXPECT_FALSE(unknown && !lines[i].starts_with("1a ") && !lines[i].starts_with("3c ")) << lines[i];
  }
}

// The media other programs burn, with the program and what it does there
// (in /tmp/NAME.vmed, the device's path in /tmp/NAME.dev): xorriso on a
// DVD+R (xd, two sessions) and a DVD-RW (xw, burnt, blanked, burnt again),
// growisofs on a DVD+R (gd, two sessions), wodim on a CD-R (wc, two
// sessions).  /tmp/traced COMMAND... runs a command and, when it fails,
// shows the last commands the drives got and how they answered.  The
// wait reads an output file made before the attach starts.
constexpr const char kAttachForOtherPrograms[] =
    R"sh(for m in xd:dvd+r xw:dvd-rw gd:dvd+r wc:cd-r; do orvex-vburner new ${m#*:} /tmp/${m%%:*}.vmed || exit 1; done && )sh"
    R"sh(: >/tmp/others.out && { orvex-vburner attach --timescale 50 --trace /tmp/others.trace /tmp/xd.vmed /tmp/xw.vmed /tmp/gd.vmed )sh"
    R"sh(/tmp/wc.vmed >/tmp/others.out 2>/tmp/others.err & } && i=0 && )sh"
    R"sh(while [ "$(grep -c drive /tmp/others.out)" -lt 4 ]; do [ $i -lt 450 ] || { cat /tmp/others.err >&2; exit 1; }; )sh"
    R"sh(usleep 100000; i=$((i + 1)); done && )sh"
    R"sh(awk '{ m = $NF; sub(/.*\//, "", m); sub(/\.vmed$/, "", m); )sh"
    R"sh(for (i = 3; i <= NF; i++) if ($i ~ /^\/dev\/sr/) print $i > ("/tmp/" m ".dev") }' /tmp/others.out && )sh"
    R"sh(printf '#!/bin/sh\n"$@" && exit 0\ns=$?; echo "last commands:" >&2; tail -n 25 /tmp/others.trace >&2; )sh"
    R"sh(exit $s\n' >/tmp/traced && chmod +x /tmp/traced && xorriso -devices)sh";
// The tray out and in, then `orvex ls` of the session at the block the
// medium's track TRACK starts at and `orvex verify` of the disc's last
// session against SOURCES.
#define READ_BACK(medium, track, sources)                                                                  \
  "d=$(cat /tmp/" medium ".dev) && orvex eject -d $d >/dev/null && orvex load -d $d >/dev/null && "       \
  "orvex ls --sector $(orvex-vburner show /tmp/" medium ".vmed | awk '$1 == \"track\" && $2 == " track    \
  " { print $6 }') $d && orvex verify -d $d " sources
// Exports of what the programs burned: the first session alone, or the
// whole disc after the block its second session starts at.
#define EXPORT_FIRST(medium) \
  "orvex-vburner export /tmp/" medium ".vmed /tmp/" medium "1.iso --session 1 && gzip -c /tmp/" medium "1.iso"
#define EXPORT_WITH_SECOND(medium)                                                                            \
  "orvex-vburner export /tmp/" medium ".vmed /tmp/" medium ".iso && orvex-vburner show /tmp/" medium ".vmed | " \
  "awk '$1 == \"track\" && $4 == 2 { print $6; exit }' && gzip -c /tmp/" medium ".iso"

const TGuestCommand kGuestCommands[] = {
    {"VolumeDescriptor", "dd if=/dev/sr0 bs=2048 skip=16 count=1", CheckVolumeDescriptor},
    {"Inquiry", "cd /sys/class/block/sr0/device && cat vendor model rev", CheckInquiry},
    {"Address", "basename \"$(readlink -f /sys/class/block/sr0/device)\" && cat /sys/class/block/sr0/size",
     CheckAddress},
    {"ListThroughTheDrive", "orvex ls /dev/sr0", CheckListing},
    {"Devices", "orvex devices", CheckDevices},
    {"Info", "orvex info -d 0", CheckInfo},
    {"ReadSectorsThroughSgIo", "read_sector_probe 16", CheckVolumeDescriptor},
    {"MountRockRidge",
     "mkdir -p /mnt/rock && mount -t iso9660 -o ro /dev/sr0 /mnt/rock && cd /mnt/rock/rock && "
     "find . -mindepth 1 -exec stat -c '%f %u %g %Y %N' {} \\;",
     CheckRockRidgeMounted},
    {"RockRidgeCaseVariants", "ls /mnt/rock/rock && umount /mnt/rock", CheckRockRidgeCaseVariants},
    // The attach's output file is made first: the wait must not read it
    // before the job in the background has opened it.
    {"AttachBurner",
     "mount -t configfs none /sys/kernel/config && orvex-vburner new dvd+r /tmp/d.vmed && "
     "orvex-vburner new cd-r /tmp/r.vmed && orvex-vburner new bd-r /tmp/b.vmed && "
     "orvex-vburner new dvd-rw /tmp/w.vmed && : >/tmp/attach.out && "
     "{ orvex-vburner attach --timescale 50 /tmp/d.vmed /tmp/r.vmed /tmp/b.vmed /tmp/w.vmed "
     ">/tmp/attach.out 2>/tmp/attach.err & } && pid=$! && i=0 && "
     "while [ \"$(grep -c drive /tmp/attach.out)\" -lt 4 ]; do { kill -0 $pid && [ $i -lt 450 ]; } || "
     "{ cat /tmp/attach.err >&2; exit 1; }; usleep 100000; i=$((i + 1)); done && cat /tmp/attach.out && "
     "cat /sys/class/block/sr1/device/vendor /sys/class/block/sr1/device/model",
     CheckAttached},
    {"AttachedDevices", "orvex devices", CheckAttachedDevices},
    {"AttachedInfo", "orvex info -d 1", CheckAttachedInfo},
    {"SecondAttachRefused", "orvex-vburner new cd-r /tmp/e.vmed && orvex-vburner attach /tmp/e.vmed",
     CheckSecondAttachRefused},
    {"BurnThroughTheKernel",
     "mkdir -p /tmp/tree/sub && echo hello >/tmp/tree/hello.txt && seq 1 20000 >/tmp/tree/sub/numbers.txt && "
     "orvex burn -q -d 1 --verify -V ORVEX_SG /tmp/tree",
     CheckSucceeded},
    {"BurnCdR", "orvex burn -q -d 2 --verify -V ORVEX_CD /tmp/tree", CheckSucceeded},
    {"SecondSessionCdR",
     "mkdir -p /tmp/more && echo more >/tmp/more/more.txt && "
     "orvex burn -q -d 2 --verify --import-session 0 -V ORVEX_MORE /tmp/more",
     CheckSucceeded},
    {"LabelCdR", "orvex label -d 2", CheckSecondSessionLabel},
    {"BurnBdR", "orvex burn -q -d 3 --verify -V ORVEX_BD /tmp/tree", CheckSucceeded},
    {"UnprivilegedBurn",
     "mkdir -p /etc && echo 'root:x:0:0::/:/bin/sh' >/etc/passwd && "
     "echo 'burner:x:1000:100::/tmp/home:/bin/sh' >>/etc/passwd && "
     "printf 'root:x:0:\\nusers:x:100:\\ncdrom:x:24:burner\\n' >/etc/group && mkdir -p /tmp/home && "
     "chown 1000:100 /tmp/home && chgrp 24 /dev/sr[0-9]* && chmod 0660 /dev/sr[0-9]* && "
     "su -s /bin/sh burner -c \"id; LD_LIBRARY_PATH=$LD_LIBRARY_PATH /orvex/bin/orvex burn -q -d 4 --verify "
     "-V ORVEX_USER /tmp/tree\"",
     CheckUnprivilegedBurn},
    {"ReadOnlyUserRefused",
     "chmod 0640 /dev/sr3 && su -s /bin/sh burner -c \"LD_LIBRARY_PATH=$LD_LIBRARY_PATH /orvex/bin/orvex burn -q "
     "-d 3 --verify -V ORVEX_NO /tmp/more\"",
     CheckReadOnlyUserRefused},
    {"EraseDvdRw", "orvex erase -q --quick -d 4 && orvex info -d 4", CheckErased},
    {"BurnErasedDvdRw", "orvex burn -q -d 4 --verify -V ORVEX_RW /tmp/tree", CheckSucceeded},
    {"DetachAndExport",
     "orvex-vburner detach && while pidof orvex-vburner >/dev/null; do usleep 100000; done && "
     "orvex-vburner export /tmp/d.vmed /tmp/out.iso && gzip -c /tmp/out.iso",
     CheckExportedBurn},
    {"ExportCdR", "orvex-vburner export /tmp/r.vmed /tmp/r.iso --session 1 && gzip -c /tmp/r.iso", CheckExportedBurn},
    {"ExportCdRSecondSession",
     "orvex-vburner export /tmp/r.vmed /tmp/r2.iso && "
     "orvex-vburner show /tmp/r.vmed | awk '$1 == \"track\" && $4 == 2 { print $6; exit }' && gzip -c /tmp/r2.iso",
     CheckExportedSecondSession},
    {"ExportBdR", "orvex-vburner export /tmp/b.vmed /tmp/b.iso && gzip -c /tmp/b.iso", CheckExportedBurn},
    {"ExportDvdRw", "orvex-vburner export /tmp/w.vmed /tmp/w.iso && gzip -c /tmp/w.iso", CheckExportedBurn},
    {"AttachForOtherPrograms", kAttachForOtherPrograms, CheckOtherProgramsSeeTheDrives},
    {"XorrisoBurnDvdR",
     "/tmp/traced xorriso -outdev $(cat /tmp/xd.dev) -joliet on -volid XORRISO_ONE -map /tmp/tree / -commit",
     CheckSucceeded},
    {"XorrisoDvdRReadBack", READ_BACK("xd", "1", "/tmp/tree"), CheckFirstSessionReadBack},
    {"XorrisoSecondSessionDvdR",
     "/tmp/traced xorriso -dev $(cat /tmp/xd.dev) -joliet on -volid XORRISO_TWO -map /tmp/more/more.txt /more.txt "
     "-commit",
     CheckSucceeded},
    {"XorrisoDvdRSecondReadBack", READ_BACK("xd", "2", "/tmp/tree /tmp/more"), CheckSecondSessionReadBack},
    {"XorrisoBurnDvdRw", "/tmp/traced xorriso -outdev $(cat /tmp/xw.dev) -joliet on -map /tmp/more / -commit",
     CheckSucceeded},
    {"XorrisoBlankAsNeededAndBurnDvdRw",
     "/tmp/traced xorriso -outdev $(cat /tmp/xw.dev) -blank as_needed -joliet on -map /tmp/more / -commit",
     CheckSucceeded},
    {"XorrisoBlankFastDvdRw", "/tmp/traced xorriso -outdev $(cat /tmp/xw.dev) -blank fast", CheckSucceeded},
    {"XorrisoBurnBlankedDvdRw",
     "/tmp/traced xorriso -outdev $(cat /tmp/xw.dev) -joliet on -volid XORRISO_RW -map /tmp/tree / -commit",
     CheckSucceeded},
    {"XorrisoDvdRwReadBack", READ_BACK("xw", "1", "/tmp/tree"), CheckFirstSessionReadBack},
    {"GrowisofsDvdR", "MKISOFS=genisoimage /tmp/traced growisofs -Z $(cat /tmp/gd.dev) -R -J -V GROW_ONE /tmp/tree",
     CheckSucceeded},
    {"GrowisofsDvdRReadBack", READ_BACK("gd", "1", "/tmp/tree"), CheckFirstSessionReadBack},
    {"GrowisofsSecondSessionDvdR",
     "MKISOFS=genisoimage /tmp/traced growisofs -M $(cat /tmp/gd.dev) -R -J -V GROW_TWO /tmp/more",
     CheckSucceeded},
    {"GrowisofsDvdRSecondReadBack", READ_BACK("gd", "2", "/tmp/tree /tmp/more"), CheckSecondSessionReadBack},
    {"WodimCdR",
     "genisoimage -quiet -R -J -V WODIM_ONE -o /tmp/wodim1.iso /tmp/tree && "
     "/tmp/traced wodim dev=$(cat /tmp/wc.dev) gracetime=2 -tao -multi /tmp/wodim1.iso",
     CheckSucceeded},
    {"WodimCdRReadBack", READ_BACK("wc", "1", "/tmp/tree"), CheckFirstSessionReadBack},
    {"WodimSecondSessionCdR",
     "d=$(cat /tmp/wc.dev) && at=$(wodim dev=$d -msinfo) && "
     "genisoimage -quiet -R -J -V WODIM_TWO -C $at -M $d -o /tmp/wodim2.iso /tmp/more && "
     "/tmp/traced wodim dev=$d gracetime=2 -tao /tmp/wodim2.iso",
     CheckSucceeded},
    {"WodimCdRSecondReadBack", READ_BACK("wc", "2", "/tmp/tree /tmp/more"), CheckSecondSessionReadBack},
    {"MountWodimCdR", "mkdir -p /mnt && mount -t iso9660 -o ro $(cat /tmp/wc.dev) /mnt && ls -R /mnt && umount /mnt",
     CheckMountedLastSession},
    {"MountGrowisofsDvdR", "mount -t iso9660 -o ro $(cat /tmp/gd.dev) /mnt && ls -R /mnt && umount /mnt",
     CheckMountedLastSession},
    {"DetachOtherPrograms", "orvex-vburner detach && while pidof orvex-vburner >/dev/null; do usleep 100000; done",
     CheckSucceeded},
    {"OtherProgramsRefusedCommands",
     "wc -l </tmp/others.trace && awk '{ for (i = 1; i <= NF; i++) if ($i == \"->\" && $(i + 3) != \"00/00/00\") "
     "print $3, $(i + 3) }' /tmp/others.trace | sort -u",
     CheckNoCommandUnknown},
    {"ExportXorrisoDvdR", EXPORT_FIRST("xd"), CheckExportedBurn},
    {"ExportXorrisoDvdRSecondSession", EXPORT_WITH_SECOND("xd"), CheckExportedSecondSession},
    {"ExportXorrisoDvdRw", EXPORT_FIRST("xw"), CheckExportedBurn},
    {"ExportGrowisofsDvdR", EXPORT_FIRST("gd"), CheckExportedBurn},
    {"ExportGrowisofsDvdRSecondSession", EXPORT_WITH_SECOND("gd"), CheckExportedSecondSession},
    {"ExportWodimCdR", EXPORT_FIRST("wc"), CheckExportedBurn},
    {"ExportWodimCdRSecondSession", EXPORT_WITH_SECOND("wc"), CheckExportedSecondSession},
    {"AttachAfterKill",
     "orvex-vburner new cd-r /tmp/c.vmed && attached() { i=0; while ! grep -q drive $1; do [ $i -lt 450 ] || exit 1; "
     "usleep 100000; i=$((i + 1)); done; } && { orvex-vburner attach /tmp/c.vmed >/tmp/a1.out 2>&1 & } && "
     "attached /tmp/a1.out && kill -9 $! && { orvex-vburner attach /tmp/c.vmed >/tmp/a2.out 2>/tmp/a2.err & } && "
     "attached /tmp/a2.out && cat /tmp/a2.out && orvex-vburner detach && "
     "while pidof orvex-vburner >/dev/null; do usleep 100000; done",
     CheckAttachAfterKill},
    {"NothingLeftAttached", "ls /sys/kernel/config/target/core /sys/kernel/config/target/loopback /dev", CheckDetached},
};

std::unique_ptr<TGuestSuite> MakeSuite() {
  auto suite = std::make_unique<TGuestSuite>();
  const TempDir& dir = suite->dir;
  dir.Write("disc/readme.txt", "Read through the kernel's sr driver.\n");
  std::string numbers;
  for (int i = 0; i < 20000; ++i) numbers += std::to_string(i) + "\n";
  dir.Write("disc/data/numbers.txt", numbers);
  dir.Write("disc/data/empty", "");
  MakePosixTree(dir / kRockDirectory);
  suite->image_path = dir / "guest.iso";
  const TToolResult made = RunTool({kOrvex, "mkiso", "-q", "-V", kVolumeLabel, "-o", suite->image_path, dir / "disc"});
  if (made.status != 0) {
    suite->setup_error = "orvex mkiso failed: " + made.err;
    return suite;
  }
  suite->image = ReadFile(suite->image_path);
  const TToolResult listed = RunTool({kOrvex, "ls", suite->image_path});
  if (listed.status != 0) {
    suite->setup_error = "orvex ls of the image failed: " + listed.err;
    return suite;
  }
  suite->host_listing = listed.out;

  TGuestSpec spec;
  spec.image = suite->image_path;
  for (const TGuestCommand& command : kGuestCommands) spec.commands.emplace_back(command.name, command.command);
  spec.programs = kGuestPrograms;
  for (const std::string& name : kOtherBurners) {
    const TToolResult found = RunTool({"sh", "-c", "command -v " + name});
    if (found.status != 0) {
      suite->setup_error = name + " is not installed (scripts/common.sh lists the test packages)";
      return suite;
    }
    spec.programs.push_back(TrimRight(found.out));
  }
  suite->run = RunInGuest(spec, dir.path());
  return suite;
}

const TGuestSuite& Suite() {
  static const std::unique_ptr<TGuestSuite> suite = MakeSuite();
  return *suite;
}

// The last lines of the console, for a failure message.
std::string ConsoleTail(const TGuestSuite& suite) {
  const std::vector<std::string> lines = Lines(suite.run.console_text);
  std::string tail;
  for (size_t i = lines.size() > 40 ? lines.size() - 40 : 0; i < lines.size(); ++i) tail += lines[i] + "\n";
  return tail;
}

TEST(Guest, BootsRunsEveryCommandAndPowersOff) {
  const TGuestSuite& suite = Suite();
  ASSERT_EQ(suite.setup_error, "");
  if (suite.run.outcome == TGuestOutcome::CannotRun) GTEST_SKIP() << suite.run.message;
  ASSERT_EQ(suite.run.outcome, TGuestOutcome::Ran) << suite.run.message << "\nconsole:\n" << ConsoleTail(suite);
  const TGuestConsole& console = suite.run.console;
  EXPECT_TRUE(console.ready);
  for (const std::string& failure : console.failures) ADD_FAILURE() << "the guest: " << failure;
  for (const TGuestCommand& command : kGuestCommands) {
    const TGuestCommandResult* result = console.Find(command.name);
    ASSERT_NE(result, nullptr) << command.name << " never ran";
    EXPECT_NE(result->status, -1) << command.name << " never ended";
  }
  EXPECT_GT(console.done_uptime, 0);
  std::printf("%s\nguest: drive ready at %.2f s, powered off at %.2f s of its uptime\n", suite.run.message.c_str(),
              console.ready_uptime, console.done_uptime);
}

class GuestCommand : public ::testing::TestWithParam<TGuestCommand> {
 protected:
  void SetUp() override {
    const TGuestSuite& suite = Suite();
    ASSERT_EQ(suite.setup_error, "");
    if (suite.run.outcome == TGuestOutcome::CannotRun) GTEST_SKIP() << suite.run.message;
    result_ = suite.run.console.Find(GetParam().name);
    ASSERT_NE(result_, nullptr) << GetParam().name << " never ran: " << suite.run.message;
  }
  const TGuestCommandResult* result_ = nullptr;
};

TEST_P(GuestCommand, GivesWhatTheDriveHolds) {
  SCOPED_TRACE(std::string(GetParam().command) + "\nout: " + Shown(result_->out) + "\nerr: " + Shown(result_->err));
  GetParam().check(Suite(), *result_);
}

INSTANTIATE_TEST_SUITE_P(Drive, GuestCommand, ::testing::ValuesIn(kGuestCommands),
                         [](const ::testing::TestParamInfo<TGuestCommand>& param) { return param.param.name; });

}  // namespace
}  // namespace orvex::test
