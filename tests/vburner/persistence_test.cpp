// SPDX-License-Identifier: Apache-2.0
// Media as files: burned in this process and read back by another, shown
// and exported by orvex-vburner (and the export opened by isoinfo), images
// loaded as ROMs or finalized discs, and damaged or unusable files.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>

#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

std::string Fnv(const Bytes& data) {
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : data) hash = (hash ^ b) * 1099511628211ull;
  char text[32];
  std::snprintf(text, sizeof text, "ok %016llx\n", static_cast<unsigned long long>(hash));
  return text;
}

std::string Probe(const std::string& description, const std::string& lba, const std::string& count) {
  std::string out;
  const std::string command = "ORVEX_VBURNER='" + description + "' " VBURNER_PROBE " " VBURNER_LIBRARY " 0:0:0 " + lba +
                              " " + count;
  EXPECT_EQ(RunCommand(command, &out), 0) << command;
  return out;
}

// Burns `image` as one track of a finalized DVD+R, as a burn would.
void Burn(Drive& drive, const Bytes& image) {
  for (size_t at = 0; at < image.size(); at += 32 * 2048) {
    const size_t n = std::min<size_t>(32 * 2048, image.size() - at);
    ASSERT_TRUE(drive.Write(static_cast<uint32_t>(at / 2048), Bytes(image.begin() + static_cast<long>(at),
                                                                      image.begin() + static_cast<long>(at + n)))
                    .ok());
  }
  ASSERT_TRUE(drive.SynchronizeCache().ok());
  ASSERT_TRUE(drive.Close(1, 1).ok());
  ASSERT_TRUE(drive.Close(6, 0).ok());  // closing the session alone would leave the disc appendable
}

TEST(VburnerPersistence, ABurnedDiscIsReadBackByAnotherProcessAndExported) {
  Scratch scratch;
  const std::string disc = Create(scratch, "disc.vmed", "dvd+r");
  const Bytes iso = MinimalIso("hello from the virtual burner\n");
  Configure("0:0:0,medium=" + disc);
  Drive drive;
  Burn(drive, iso);
  // While this process holds the medium, another cannot load it.
  EXPECT_EQ(Probe("0:0:0,medium=" + disc, "0", "1"), "sense 02/3A/01\n");
  Configure("");

  EXPECT_EQ(Probe("0:0:0,medium=" + disc, "0", "23"), Fnv(iso));
  EXPECT_EQ(Probe("0:0:0,medium=" + disc, "23", "1"), "sense 05/21/00\n");
  const std::string shown = Tool("show " + disc);
  EXPECT_NE(shown.find("dvd+r (profile 001Bh), 2295104 blocks"), std::string::npos) << shown;
  EXPECT_NE(shown.find("status complete, last session complete, 1 session"), std::string::npos) << shown;
  EXPECT_NE(shown.find("track 1 session 1 start 0 size 23 last recorded 22 closed"), std::string::npos) << shown;

  const std::string exported = scratch.Path("out.iso");
  Tool("export " + disc + " " + exported);
  EXPECT_EQ(ReadFile(exported), std::string(iso.begin(), iso.end()));
  std::string listing;
  ASSERT_EQ(RunCommand("isoinfo -i " + exported + " -x '/HELLO.TXT;1'", &listing), 0);
  EXPECT_EQ(listing, "hello from the virtual burner\n");
  ASSERT_EQ(RunCommand("isoinfo -d -i " + exported, &listing), 0);
  EXPECT_NE(listing.find("Volume id: VBURNERTEST"), std::string::npos) << listing;
}

TEST(VburnerPersistence, SessionsExportSeparatelyAndGapsReadAsZeros) {
  Scratch scratch;
  const std::string disc = Create(scratch, "cd.vmed", "cd-r");
  Configure("0:0:0,medium=" + disc);
  Drive drive;
  ASSERT_TRUE(drive.SetWriteParameters(1, false, 3).ok());
  ASSERT_TRUE(drive.Write(0, 10, 0xA1).ok());
  ASSERT_TRUE(drive.Close(2, 0).ok());
  ASSERT_TRUE(drive.Write(11412, 5, 0xB2).ok());  // 10 + 2 run-out + 11400
  ASSERT_TRUE(drive.Close(2, 0).ok());
  Configure("");
  const std::string two = scratch.Path("two.bin"), all = scratch.Path("all.bin");
  Tool("export " + disc + " " + two + " --session 2");
  EXPECT_EQ(ReadFile(two), std::string(5 * 2048, '\xB2'));
  Tool("export " + disc + " " + all);
  const std::string whole = ReadFile(all);
  ASSERT_EQ(whole.size(), (11412u + 5) * 2048);
  EXPECT_EQ(whole[10 * 2048 - 1], '\xA1');
  EXPECT_EQ(whole[10 * 2048], '\0');
  EXPECT_EQ(whole[11412 * 2048], '\xB2');
  EXPECT_NE(Tool("export " + disc + " " + two + " --session 3", 1).find("no recorded session 3"), std::string::npos);
}

TEST(VburnerPersistence, ImagesLoadAsReadOnlyMediaOrFinalizedDiscs) {
  Scratch scratch;
  const std::string image = scratch.Path("image.iso");
  Bytes data = MinimalIso("loaded\n");
  data.resize(data.size() + 1000, 0x7E);  // a partial last block
  WriteFile(image, data);
  const std::string rom = scratch.Path("rom.vmed"), cd = scratch.Path("cd.vmed"), bd = scratch.Path("bd.vmed");
  Tool("load bd-rom " + rom + " " + image);
  Tool("load cd-r " + cd + " " + image);
  Tool("load bd-r " + bd + " " + image);  // finalized too, though BD-R has no write parameters to ask for it
  struct stat st {};
  EXPECT_NE(stat((rom + ".blocks").c_str(), &st), 0);  // the ROM refers to the image itself
  EXPECT_NE(Tool("show " + cd).find("track 1 session 1 start 0 size 26 last recorded 23 closed"), std::string::npos);
  EXPECT_NE(Tool("load cd-r " + scratch.Path("x.vmed") + " " + scratch.Path("none.iso"), 1).find("cannot use"),
            std::string::npos);
  Tool("load laserdisc " + scratch.Path("x.vmed") + " " + image, 1);
  Tool("frobnicate", 2);

  Configure("0:0:0,medium=" + rom + ";0:1:0,medium=" + cd + ";0:2:0,medium=" + bd);
  for (Drive drive : {Drive({0, 0, 0}), Drive({0, 1, 0}), Drive({0, 2, 0})}) {
    const Result last = drive.Read(23, 1);
    ASSERT_TRUE(last.ok()) << SenseText(last);
    EXPECT_EQ(last.data[999], 0x7E);
    EXPECT_EQ(last.data[1000], 0);  // zero-filled
    EXPECT_EQ(drive.DiscStatus(), 2);
  }
  EXPECT_SENSE(Drive({0, 1, 0}).Write(26, 1, 0), 0x05, 0x21, 0x02);
}

TEST(VburnerPersistence, DamagedMediumFilesAreRefusedWithTheirReason) {
  Scratch scratch;
  Configure("0:0:0");
  const std::string good = Create(scratch, "good.vmed", "dvd-r");
  const std::string text = ReadFile(good);
  const auto refused = [&](const std::string& content, const std::string& reason) {
    const std::string path = scratch.Path("bad.vmed");
    WriteFile(path, Bytes(content.begin(), content.end()));
    EXPECT_EQ(Lib().vb_insert({0, 0, 0}, path.c_str()), -1) << content;
    EXPECT_NE(std::string(Lib().vb_last_error()).find(reason), std::string::npos) << Lib().vb_last_error();
  };
  refused("not a medium\n", "not a medium file");
  refused(text + "track 1 2298000 0 1000 0 1\n", "");  // overruns the disc
  refused(text + "colour blue\n", "unknown key colour");
  refused(text + "track 1 x\n", "bad value for track");
  std::string other = text;
  other.replace(other.find("dvd-r"), 5, "dvd-x");
  refused(other, "unknown profile dvd-x");
  EXPECT_EQ(Lib().vb_insert({0, 0, 0}, scratch.Path("missing.vmed").c_str()), -1);
  Drive drive;
  EXPECT_SENSE(drive.TestUnitReady(), 0x02, 0x3A, 0x01);

  // A medium held by one drive cannot go into a second one.
  Configure("0:0:0,medium=" + good + ";0:1:0");
  EXPECT_EQ(Lib().vb_insert({0, 1, 0}, good.c_str()), -1);
  EXPECT_NE(std::string(Lib().vb_last_error()).find("in use"), std::string::npos);
  EXPECT_EQ(Lib().vb_insert({0, 0, 0}, good.c_str()), 0) << Lib().vb_last_error();  // the same drive may reload it
}

// The file size limit stands in for a full file system: writes past it
// fail as writes to a full disk do, for root too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &old_);
    const rlimit limit{bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, handler_);
  }

 private:
  rlimit old_{};
  void (*handler_)(int);
};

TEST(VburnerPersistence, AFullFileSystemIsAWriteError) {
  Scratch scratch;
  const std::string disc = Create(scratch, "disc.vmed", "dvd+r");
  Configure("0:0:0,medium=" + disc);
  Drive drive;
  {
    const FileSizeLimit limit(512 * 2048);
    for (uint32_t lba = 0; lba < 512; lba += 32) ASSERT_TRUE(drive.Write(lba, 32, 1).ok()) << lba;
    EXPECT_SENSE(drive.Write(512, 32, 1), 0x03, 0x0C, 0x00);
  }
  EXPECT_EQ(drive.NextWritable(1), 512u);  // what failed does not count as recorded
}

// The number after `key` in the text, or -1.
long NumberAfter(const std::string& text, const std::string& key) {
  const size_t at = text.find(key);
  return at == std::string::npos ? -1 : std::stol(text.substr(at + key.size()));
}

// What the medium file says while the drive still holds the medium is what
// a program killed at that moment leaves behind.
TEST(VburnerPersistence, TheMediumFileShowsWhatTheDriveRecordedWhileItRuns) {
  const struct {
    const char* profile;
    uint32_t written;  // blocks, in WRITEs of 32
    uint32_t reserved;
    const char* shown;
    long last_recorded_at_least;  // -1: no track recorded
  } kCases[] = {
      {"dvd+r", 32, 0, "status appendable, last session incomplete", 31},
      {"dvd+r", 6 * 512, 0, "status appendable, last session incomplete", 6 * 512 - 2048 - 1},  // 4 MiB lag at most
      {"cd-r", 0, 300, "status appendable, last session incomplete", -1},
      {"cd-r", 0, 300, " reserved", -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.profile << " " << c.written << " " << c.reserved);
    Scratch scratch;
    const std::string disc = Create(scratch, "disc.vmed", c.profile);
    Configure("0:0:0,medium=" + disc);
    Drive drive;
    if (c.reserved != 0) {
      ASSERT_TRUE(drive.Reserve(c.reserved).ok());
    }
    for (uint32_t lba = 0; lba < c.written; lba += 32) ASSERT_TRUE(drive.Write(lba, 32, 1).ok());
    const std::string shown = Tool("show " + disc);
    EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    const long last = NumberAfter(shown, "last recorded ");
    EXPECT_GE(last, c.last_recorded_at_least) << shown;
    EXPECT_LT(last, static_cast<long>(c.written)) << shown;
    Configure("");
  }
}

// Saving is blocked by a directory, or refused at a symbolic link, where
// the new state is written before it is renamed over the old.
TEST(VburnerPersistence, AStateThatCannotBeSavedFailsTheCommandThatChangedIt) {
  enum class Obstacle { kDirectory, kLink };
  const struct {
    const char* profile;
    Obstacle obstacle;
    uint32_t written_before;  // blocks recorded while saving still worked
    std::function<Result(Drive&)> change;
    bool deferred;  // answered at once (Immed); the next command reports the failure
    bool failed;    // false: no save was due yet, and the change succeeds
  } kCases[] = {
      {"dvd+r", Obstacle::kDirectory, 0, [](Drive& d) { return d.Write(0, 32, 1); }, false, true},
      {"dvd+r", Obstacle::kLink, 0, [](Drive& d) { return d.Write(0, 32, 1); }, false, true},
      {"dvd+r", Obstacle::kDirectory, 32, [](Drive& d) { return d.Write(32, 32, 1); }, false, false},  // no save due
      {"cd-r", Obstacle::kDirectory, 0, [](Drive& d) { return d.Reserve(300); }, false, true},
      {"dvd+r", Obstacle::kDirectory, 32, [](Drive& d) { return d.Close(1, 1); }, false, true},
      {"dvd+r", Obstacle::kDirectory, 32, [](Drive& d) { return d.Close(1, 1, true); }, true, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.profile << " " << static_cast<int>(c.obstacle) << " " << c.written_before);
    Scratch scratch;
    const std::string disc = Create(scratch, "disc.vmed", c.profile);
    const std::string victim = scratch.Path("victim");
    WriteFile(victim, Bytes{'k', 'e', 'p', 't'});
    Configure("0:0:0,medium=" + disc);
    Drive drive;
    for (uint32_t lba = 0; lba < c.written_before; lba += 32) ASSERT_TRUE(drive.Write(lba, 32, 1).ok());
    const std::string temporary = disc + ".tmp";
    ASSERT_EQ(c.obstacle == Obstacle::kDirectory ? mkdir(temporary.c_str(), 0755)
                                                 : symlink(victim.c_str(), temporary.c_str()),
              0);
    const std::string before = ReadFile(disc);
    Result r = c.change(drive);
    if (c.deferred) {
      ASSERT_TRUE(r.ok()) << SenseText(r);
      Lib().vb_advance_time(100 * 1000000);
      r = drive.TestUnitReady();
      EXPECT_EQ(r.sense[0] & 0x7F, 0x71);  // a deferred error
    }
    if (c.failed) {
      EXPECT_SENSE(r, 0x03, 0x0C, 0x00);
      EXPECT_EQ(ReadFile(disc), before);
    } else {
      EXPECT_TRUE(r.ok()) << SenseText(r);
    }
    EXPECT_EQ(ReadFile(victim), "kept");
    // Once the state can be saved again, the next write saves it.
    ASSERT_EQ(c.obstacle == Obstacle::kDirectory ? rmdir(temporary.c_str()) : unlink(temporary.c_str()), 0);
    if (c.failed && c.written_before == 0) {
      ASSERT_TRUE(drive.Write(drive.NextWritable(1), 32, 2).ok());
      EXPECT_NE(Tool("show " + disc).find("status appendable"), std::string::npos);
    }
    Configure("");
  }
}

// A full erase of a DVD+RW writes zeros over it; blanking and formatting
// forget the blocks.  Either way the blocks file keeps no space for them.
TEST(VburnerPersistence, ErasedBlocksTakeNoSpaceInTheBlocksFile) {
  constexpr uint32_t kBlocks = 1024;
  const struct {
    const char* profile;
    bool formatted;
    std::function<void(Drive&)> erase;
  } kCases[] = {
      {"dvd+rw", true,
       [](Drive& d) {
         for (uint32_t lba = 0; lba < kBlocks; lba += 32) ASSERT_TRUE(d.Write(lba, 32, 0).ok());
       }},
      {"bd-re", true,
       [](Drive& d) {
         ASSERT_TRUE(d.Format({0x00, 0x02, 0x00, 0x08, 0, 0, 0, 0, 0x00, 0, 0x08, 0}).ok());  // full, certified
       }},
      {"cd-rw", false, [](Drive& d) { ASSERT_TRUE(d.Blank(0, false).ok()); }},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.profile);
    Scratch scratch;
    const std::string disc = Create(scratch, "disc.vmed", c.profile, 0, c.formatted);
    Configure("0:0:0,medium=" + disc);
    Drive drive;
    if (!c.formatted) {
      ASSERT_TRUE(drive.SetWriteParameters(1, false, 0).ok());
    }
    for (uint32_t lba = 0; lba < kBlocks; lba += 32) ASSERT_TRUE(drive.Write(lba, 32, 0x55).ok());
    struct stat st {};
    ASSERT_EQ(stat((disc + ".blocks").c_str(), &st), 0);
    ASSERT_GE(st.st_blocks * 512, kBlocks * 2048);
    c.erase(drive);
    ASSERT_EQ(stat((disc + ".blocks").c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 64 * 1024);
    Configure("");
  }
}

// One WRITE of data and zero blocks mixed: the zero runs become holes, the
// data lands where it belongs, and every block reads back as written.
TEST(VburnerPersistence, ZeroRunsInsideAWriteReadBackAsWritten) {
  Scratch scratch;
  const std::string disc = Create(scratch, "disc.vmed", "dvd+rw", 0, true);
  Configure("0:0:0,medium=" + disc);
  Drive drive;
  ASSERT_TRUE(drive.Write(0, 8, 0x55).ok());
  const std::vector<uint8_t> fills{0xA1, 0, 0, 0xB2, 0, 0xC3, 0xC3, 0};
  Bytes blocks;
  for (uint8_t fill : fills) blocks.insert(blocks.end(), 2048, fill);
  blocks[2048 + 2047] = 1;  // a block of zeros but its last byte is data
  ASSERT_TRUE(drive.Write(0, blocks).ok());
  const Result back = drive.Read(0, 8);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.data, blocks);
  ASSERT_TRUE(drive.Write(16, 4, 0).ok());  // zeros past the end of the file
  EXPECT_EQ(drive.Read(16, 1).data, Bytes(2048, 0));
}

TEST(VburnerPersistence, ATimeScaleShrinksOperationsToRealMilliseconds) {
  Scratch scratch;
  const std::string disc = Create(scratch, "disc.vmed", "cd-rw");
  ASSERT_EQ(Lib().vb_configure(("0:0:0,medium=" + disc + ";timescale=20000").c_str()), 0);
  Drive drive;
  ASSERT_TRUE(drive.Blank(1).ok());  // one modelled minute: 3 ms here
  int polls = 0;
  while (!drive.TestUnitReady().ok() && polls < 20000) ++polls;
  EXPECT_LT(polls, 20000);
  EXPECT_GE(Lib().vb_now(), 60u * 1000000);
}

}  // namespace
}  // namespace vbtest
