// SPDX-License-Identifier: Apache-2.0
// The kernel objects attach makes, in scratch folders standing in for
// configfs, sysfs and /dev; and the media it makes for profile names.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "vburner/tcmu_attach.h"
#include "vburner/tcmu_configfs.h"

namespace orvex::vburner {
namespace {
namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Roots {
  test::TempDir dir;
  KernelPaths paths{dir / "config", dir / "sys", dir / "dev"};
};

TEST(TcmuConfigfs, WhatAttachLacksIsNamed) {
  struct Row {
    const char* name;
    bool root, configfs, core;
    std::vector<const char*> modules;
    std::vector<std::string> missing;  // the start of each line
  } rows[] = {
      {"all there", true, true, true, {"target_core_user", "tcm_loop"}, {}},
      {"not root", false, true, true, {"target_core_user", "tcm_loop"}, {"root privileges"}},
      {"no configfs", true, false, false, {"target_core_user", "tcm_loop"}, {"configfs mounted at"}},
      {"no target core", true, true, false, {"target_core_user", "tcm_loop"}, {"the kernel module target_core_mod"}},
      {"no modules", false, true, true, {}, {"root privileges", "the kernel module target_core_user",
                                             "the kernel module tcm_loop"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Roots roots;
    if (r.configfs) roots.dir.Mkdir(r.core ? "config/target/core" : "config/other");
    for (const char* m : r.modules) roots.dir.Mkdir(std::string("sys/module/") + m);
    const std::vector<std::string> missing = MissingForAttach(roots.paths, r.root);
    ASSERT_EQ(missing.size(), r.missing.size());
    for (size_t i = 0; i < missing.size(); ++i) EXPECT_EQ(missing[i].rfind(r.missing[i], 0), 0u) << missing[i];
  }
}

TEST(TcmuConfigfs, BackstoresAndTheLoopbackTargetAreMadeAsTheKernelWantsThem) {
  Roots roots;
  std::string error;
  for (size_t i = 0; i < 2; ++i) {
    roots.dir.Mkdir("config/target/core/user_2048/" + BackstoreName(i) + "/attrib");  // configfs makes it
    ASSERT_TRUE(CreateBackstore(roots.paths, i, error)) << error;
  }
  const fs::path store = roots.paths.configfs / "target/core/user_2048/orvex_vb1";
  // The block size goes in before enabling: the attribute itself is read-only.
  EXPECT_EQ(Slurp(store / "control"),
            "dev_config=orvex/vburner" "dev_size=268435456000" "hw_block_size=2048" "nl_reply_supported=-1");
  EXPECT_EQ(Slurp(store / "enable"), "1");
  EXPECT_EQ(Slurp(store / "attrib/cmd_time_out"), "0");
  roots.dir.Mkdir("config/target/core/user_2048/someone_elses");
  EXPECT_EQ(ListBackstores(roots.paths), (std::vector<std::string>{"orvex_vb0", "orvex_vb1"}));

  ASSERT_TRUE(CreateLoopback(roots.paths, 2, error)) << error;
  const fs::path tpg = roots.paths.configfs / "target/loopback/naa.50000f0e5e000001/tpgt_1";
  EXPECT_EQ(Slurp(tpg / "nexus"), "naa.50000f0e5e000002");
  for (size_t i = 0; i < 2; ++i) {
    const fs::path link = tpg / "lun" / ("lun_" + std::to_string(i)) / BackstoreName(i);
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), roots.paths.configfs / "target/core/user_2048" / BackstoreName(i));
  }
}

TEST(TcmuConfigfs, TheUioDeviceIsFoundByItsBackstoresFullName) {
  struct Row {
    const char* name;
    std::vector<std::pair<std::string, std::string>> devices;  // uio name, map size
    bool found;
    std::string file;
    size_t size;
  } rows[] = {
      {"its own", {{"tcm-user/2048/orvex_vb1/orvex/vburner", "0x40800000"}}, true, "uio0", 0x40800000},
      {"among others",
       {{"tcm-user/2048/orvex_vb10/orvex/vburner", "0x1000"},
        {"tcm-user/7/orvex_vb1/orvex/vburner", "0x2000"},
        {"tcm-user/2048/orvex_vb1/x", "4096"}},
       true, "uio2", 4096},
      {"none", {{"tcm-user/2048/orvex_vb10/orvex/vburner", "0x1000"}}, false, "", 0},
      {"no size", {{"tcm-user/2048/orvex_vb1/orvex/vburner", ""}}, false, "", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Roots roots;
    for (size_t i = 0; i < r.devices.size(); ++i) {
      const std::string uio = "sys/class/uio/uio" + std::to_string(i);
      roots.dir.Write(uio + "/name", r.devices[i].first + "\n");
      roots.dir.Write(uio + "/maps/map0/size", r.devices[i].second + "\n");
    }
    UioDevice device;
    std::string error;
    EXPECT_EQ(FindUio(roots.paths, "orvex_vb1", device, error), r.found) << error;
    if (r.found) {
      EXPECT_EQ(device.file, roots.paths.dev / r.file);
      EXPECT_EQ(device.map_size, r.size);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(TcmuConfigfs, DeviceFilesAreFoundBelowTheLunsScsiDevice) {
  Roots roots;
  roots.dir.Write("config/target/loopback/naa.50000f0e5e000001/tpgt_1/address", "3:0:1\n");
  roots.dir.Mkdir("sys/bus/scsi/devices/3:0:1:1/block/sr1");
  roots.dir.Mkdir("sys/bus/scsi/devices/3:0:1:1/scsi_generic/sg4");
  EXPECT_EQ(DeviceFiles(roots.paths, 1), (std::vector<std::string>{roots.paths.dev / "sr1", roots.paths.dev / "sg4"}));
  EXPECT_TRUE(DeviceFiles(roots.paths, 0).empty());
}

TEST(TcmuAttachMedia, EachItemNamesAMediumOrMakesOne) {
  test::TempDir dir;
  const std::string existing = dir.Write("mine.vmed", "not read here");
  struct Row {
    const char* name;
    std::string item;
    std::string folder;
    std::string path;  // empty: refused
  } rows[] = {
      {"a medium file", existing, dir / "made", existing},
      {"a profile", "dvd+r", dir / "made", dir / "made/3-dvd+r.vmed"},
      {"neither", "no-such-profile", dir / "made", ""},
      {"a path the drive description cannot carry", dir.Write("a,b.vmed"), dir / "made", ""},
      {"a profile without a folder", "cd-r", "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::string error;
    EXPECT_EQ(MediumForItem(r.item, 3, r.folder, error), r.path);
    EXPECT_EQ(error.empty(), !r.path.empty()) << error;
  }
  // A second attach starts with a blank medium again.
  std::ofstream(dir / "made/3-dvd+r.vmed.blocks", std::ios::app) << std::string(4096, 'x');
  std::string error;
  ASSERT_FALSE(MediumForItem("dvd+r", 3, dir / "made", error).empty()) << error;
  EXPECT_EQ(fs::file_size(dir / "made/3-dvd+r.vmed.blocks"), 0u);
}

}  // namespace
}  // namespace orvex::vburner
