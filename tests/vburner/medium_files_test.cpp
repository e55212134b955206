// SPDX-License-Identifier: Apache-2.0
// Medium files as data from anywhere: a medium file cannot make a drive
// write outside its folder, making a medium never writes through a link
// nor replaces one unasked, and a medium in a drive is not replaced or
// exported behind the drive's back.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "vburner/vburner_support.h"

namespace vbtest {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(VburnerMediumFiles, ARecordableMediumNamingBlocksOutsideItsFolderIsRefused) {
  Scratch scratch;
  ASSERT_EQ(mkdir(scratch.Path("sub").c_str(), 0755), 0);
  const std::string disc = Create(scratch, "sub/disc.vmed", "dvd+r");
  const std::string outside = scratch.Path("outside.bin");
  const struct {
    std::string backing;
    bool accepted;
  } kCases[] = {
      {"../outside.bin", false}, {outside, false}, {"inner/disc.blocks", false}, {"..", false},
      {"disc.vmed.blocks", true},
  };
  const std::string text = ReadFile(disc);
  Configure("0:0:0");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.backing);
    std::string changed = text;
    changed.replace(changed.find("backing disc.vmed.blocks"), 24, "backing " + c.backing);
    WriteFile(disc, Bytes(changed.begin(), changed.end()));
    const int inserted = Lib().vb_insert({0, 0, 0}, disc.c_str());
    EXPECT_EQ(inserted, c.accepted ? 0 : -1);
    if (!c.accepted) {
      EXPECT_TRUE(Contains(Lib().vb_last_error(), "outside the medium file's folder")) << Lib().vb_last_error();
    }
    struct stat st {};
    EXPECT_NE(stat(outside.c_str(), &st), 0);  // never made, let alone written
    if (!c.accepted) {
      EXPECT_TRUE(Contains(Tool("show " + disc, 1), "outside the medium file's folder"));
    }
  }
  // A read-only medium refers to an image wherever it is: it is never written.
  const std::string image = scratch.Path("image.iso");
  WriteFile(image, MinimalIso("rom"));
  const std::string rom = scratch.Path("sub/rom.vmed");
  Tool("load dvd-rom " + rom + " " + image);
  EXPECT_EQ(Lib().vb_insert({0, 0, 0}, rom.c_str()), 0) << Lib().vb_last_error();
}

TEST(VburnerMediumFiles, NewLeavesExistingFilesAndLinkTargetsAloneUnlessForced) {
  const struct {
    const char* name;
    bool medium_there;   // a burned medium at FILE
    bool blocks_linked;  // FILE.blocks is a symbolic link to another file
    bool force;
    const char* refusal;  // empty: made
  } kCases[] = {
      {"a burned medium", true, false, false, "exists already (--force replaces it"},
      {"a burned medium, forced", true, false, true, ""},
      {"a blocks file linked elsewhere", false, true, false, "exists already"},
      {"a blocks file linked elsewhere, forced", false, true, true, "is a symbolic link"},
      {"nothing", false, false, false, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    const std::string disc = scratch.Path("disc.vmed");
    const std::string victim = scratch.Path("victim");
    WriteFile(victim, Bytes(4096, 0x77));
    if (c.medium_there) {
      Create(scratch, "disc.vmed", "dvd+r");
      Configure("0:0:0,medium=" + disc);
      ASSERT_TRUE(Drive().Write(0, 32, 1).ok());
      Configure("0:0:0");
    }
    if (c.blocks_linked) {
      ASSERT_EQ(symlink(victim.c_str(), (disc + ".blocks").c_str()), 0);
    }
    const std::string before = c.medium_there ? ReadFile(disc) : "";
    const std::string out = Tool("new dvd+r " + disc + (c.force ? " --force" : ""), *c.refusal != '\0' ? 1 : 0);
    EXPECT_TRUE(Contains(out, c.refusal)) << out;
    EXPECT_EQ(ReadFile(victim), std::string(4096, 0x77));
    const std::string shown = Tool("show " + disc, c.medium_there || *c.refusal == '\0' ? 0 : 1);
    if (c.medium_there) {
      EXPECT_EQ(Contains(shown, "status blank"), c.force) << shown;
    }
    if (*c.refusal != '\0' && c.medium_there) {
      EXPECT_EQ(ReadFile(disc), before);
    }
  }
}

// Another process is refused; this library's own export asks the drive.
TEST(VburnerMediumFiles, AMediumInARunningDriveIsNotReplacedOrExportedBehindItsBack) {
  Scratch scratch;
  const std::string disc = Create(scratch, "disc.vmed", "dvd+r");
  const std::string image = scratch.Path("image.iso"), out = scratch.Path("out.iso");
  WriteFile(image, MinimalIso("loaded"));
  Configure("0:0:0,medium=" + disc);
  ASSERT_TRUE(Drive().Write(0, 32, 5).ok());
  ASSERT_TRUE(Drive().Write(32, 32, 5).ok());  // not on file yet
  const std::string live = scratch.Path("live.iso");
  ASSERT_EQ(Lib().vb_medium_export(disc.c_str(), 0, live.c_str()), 0) << Lib().vb_last_error();
  EXPECT_EQ(ReadFile(live), std::string(64 * 2048, 5));
  const std::string kInUse = "is in use by a drive";
  for (const std::string& arguments :
       {"export " + disc + " " + out, "load dvd+r " + disc + " " + image, "load dvd-rom " + disc + " " + image,
        "new dvd+r " + disc + " --force"}) {
    SCOPED_TRACE(arguments);
    EXPECT_TRUE(Contains(Tool(arguments, 1), kInUse));
  }
  EXPECT_EQ(Lib().vb_medium_create(disc.c_str(), "dvd+r", 0, 0), -1);
  EXPECT_TRUE(Contains(Lib().vb_last_error(), kInUse));
  struct stat st {};
  EXPECT_NE(stat(out.c_str(), &st), 0);
  EXPECT_TRUE(Contains(Tool("show " + disc), "status appendable"));  // looking is allowed
  Configure("0:0:0");
  Tool("export " + disc + " " + out);
  EXPECT_EQ(ReadFile(out), std::string(64 * 2048, 5));
  Tool("load dvd+r " + disc + " " + image);
}

}  // namespace
}  // namespace vbtest
