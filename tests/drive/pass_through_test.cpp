// SPDX-License-Identifier: Apache-2.0
// The kernel pass-through without a drive: how a request is put to the
// kernel, and where sysfs says a drive sits.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <grp.h>
#include <scsi/sg.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "drive/exclusive_use.h"
#include "drive/mmc_commands.h"
#include "drive/pass_through.h"
#include "platform/sg_io.h"
#include "support/temp_dir.h"

namespace orvex {
namespace {

TEST(PassThrough, RequestsAsTheKernelTakesThem) {
  uint8_t cdb[10] = {0x28};
  uint8_t data[4096], sense[24];
  TPassThroughRequest request{cdb, 10, TDataDirection::kIn, data, 4096, sense, 24, 12000};
  TSgRequestFields fields = DescribeRequest(request);
  EXPECT_EQ(fields.interface_id, 'S');
  EXPECT_EQ(fields.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(fields.cmd_len, 10);
  EXPECT_EQ(fields.mx_sb_len, 24);
  EXPECT_EQ(fields.dxfer_len, 4096u);
  EXPECT_EQ(fields.timeout_ms, 12'000'000u);
  request.direction = TDataDirection::kOut;
  EXPECT_EQ(DescribeRequest(request).dxfer_direction, SG_DXFER_TO_DEV);
  request.direction = TDataDirection::kNone;
  EXPECT_EQ(DescribeRequest(request).dxfer_direction, SG_DXFER_NONE);
  EXPECT_EQ(DescribeRequest(request).dxfer_len, 0u);  // no data, whatever length was given
  request.timeout_seconds = 5'000'000;
  EXPECT_EQ(DescribeRequest(request).timeout_ms, 0xFFFFFFFFu);  // the longest wait the kernel takes
}

TEST(PassThrough, AddressesFromSysfs) {
  EXPECT_EQ(ParseScsiAddress("1:0:0:0"), (TScsiAddress{1, 0, 0, 0}));
  EXPECT_EQ(ParseScsiAddress("12:3:45:6"), (TScsiAddress{12, 3, 45, 6}));
  for (const char* bad : {"", "1:0:0", "a:b:c:d", "1:0:0:0x", "target3:0:0"}) {
    EXPECT_FALSE(ParseScsiAddress(bad)) << bad;
  }
  test::TempDir sysfs;
  sysfs.Mkdir("class/block/sr0");
  sysfs.Mkdir("class/block/sr2");
  sysfs.Mkdir("devices/pci0000:00/host3/target3:0:1/3:0:1:0");
  ASSERT_EQ(symlink("../../../devices/pci0000:00/host3/target3:0:1/3:0:1:0", (sysfs / "class/block/sr0/device").c_str()), 0);
  EXPECT_EQ(ReadScsiAddress('C', sysfs.path()), (TScsiAddress{3, 0, 1, 0}));
  EXPECT_FALSE(ReadScsiAddress('D', sysfs.path()));  // no sr1
  EXPECT_FALSE(ReadScsiAddress('E', sysfs.path()));  // sr2 without a device link
  EXPECT_EQ(OpticalDrivePath('C'), "/dev/sr0");
  EXPECT_EQ(OpticalDrivePath('Z'), "/dev/sr23");
  EXPECT_FALSE(IsOpticalDrive('B'));
}

// Any node of a drive's SCSI device leads to its letter: the device its
// numbers name in sysfs is the one of srN.  /dev/null stands in for a node.
TEST(PassThrough, NodeOfADriveLeadsToItsLetter) {
  struct stat st;
  ASSERT_EQ(stat("/dev/null", &st), 0);
  const std::string numbers = std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
  struct TRow {
    const char* sr;          // the drive's block device in sysfs
    const char* leads_to;    // the device the node's numbers lead to ("" none)
    std::optional<char> letter;
  };
  const TRow rows[] = {
      {"sr2", "3:0:1:0", 'E'},   // the same device: sr2's node, or its sg one
      {"sr2", "4:0:0:0", std::nullopt},  // another device (a disk's)
      {"sr2", "", std::nullopt},         // numbers sysfs does not know
  };
  for (const TRow& row : rows) {
    test::TempDir sysfs;
    sysfs.Mkdir("devices/3:0:1:0");
    sysfs.Mkdir("devices/4:0:0:0");
    sysfs.Mkdir(std::string("class/block/") + row.sr);
    sysfs.Mkdir("dev/char/" + numbers);
    ASSERT_EQ(symlink("../../../devices/3:0:1:0", (sysfs / ("class/block/" + std::string(row.sr) + "/device")).c_str()), 0);
    if (*row.leads_to != '\0') {
      ASSERT_EQ(symlink(("../../../devices/" + std::string(row.leads_to)).c_str(),
                        (sysfs / ("dev/char/" + numbers + "/device")).c_str()), 0);
    }
    EXPECT_EQ(DriveLetterOfNode("/dev/null", sysfs.path()), row.letter) << row.leads_to;
  }
  test::TempDir plain;
  EXPECT_EQ(DriveLetterOfNode(plain.Write("file"), plain.path()), std::nullopt);  // no device node
}

// A node the user may not open names the group that may; other failures
// of an open are no matter of permission.
TEST(PassThrough, AccessProblemNamesTheOwningGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the node away";
  test::TempDir dir;
  const std::string node = dir.Write("sr0");
  const struct group* cdrom = getgrnam("cdrom");
  const gid_t gid = cdrom != nullptr ? cdrom->gr_gid : 0;
  const std::string name = getgrgid(gid)->gr_name;
  ASSERT_EQ(chown(node.c_str(), 0, gid), 0);
  ASSERT_EQ(chmod(node.c_str(), 0660), 0);
  EXPECT_TRUE(test::RunUnprivileged([&] {
    if (open(node.c_str(), O_RDONLY | O_NONBLOCK) >= 0) return false;
    const std::optional<TDeviceAccessProblem> problem = AccessProblem(node, errno);
    return problem && problem->path == node && problem->error == EACCES && problem->group == name;
  }));
  constexpr gid_t kNamelessGroup = 54321;
  ASSERT_EQ(getgrgid(kNamelessGroup), nullptr);
  ASSERT_EQ(chown(node.c_str(), 0, kNamelessGroup), 0);
  EXPECT_EQ(AccessProblem(node, EPERM)->group, "54321");
  EXPECT_EQ(AccessProblem(dir / "gone", EACCES)->group, "");
  for (int error : {ENOENT, EBUSY, ENOMEDIUM, ENXIO}) EXPECT_FALSE(AccessProblem(node, error)) << error;
}

// Stands in for the system's open: notes every open of a drive and gives a
// descriptor of /dev/null, on which SG_IO fails as it does on a device
// that is gone (no sense, the system's reason), or fails as `refusal` says.
struct TOpenLog {
  static inline std::vector<std::string> paths;
  static inline std::vector<int> flags;
  static inline int refusal = 0;
  static int Open(const char* path, int how) {
    paths.push_back(path);
    flags.push_back(how);
    if (refusal != 0) {
      errno = refusal;
      return -1;
    }
    return open("/dev/null", O_RDWR | O_CLOEXEC);
  }
};

class PassThroughDevice : public ::testing::Test {
 protected:
  PassThroughDevice() {
    TOpenLog::paths.clear();
    TOpenLog::flags.clear();
    TOpenLog::refusal = 0;
    previous_ = SetOpenCall(&TOpenLog::Open);
    device.UsingSPTI = device.ASPIInitialized = true;
    device.Transport = std::make_unique<TPassThroughTransport>();
    device.DriveLetter = 'C';
    device.HaID = device.Target = device.Lun = 0;
    device.CloseFH = true;  // as the component leaves it between jobs
  }
  ~PassThroughDevice() override {
    if (device.Handle >= 0) CloseOpticalDrive(device.Handle);
    SetOpenCall(previous_);
  }

  TSCSIDevice device;

 private:
  TOpenCall previous_ = nullptr;
};

// A recording job opens the drive once, exclusively, and every command of
// the job goes through that one descriptor; afterwards each command opens
// the drive shared again.  A command that fails without sense carries the
// system's reason.
TEST_F(PassThroughDevice, ARecordingJobHoldsTheDriveAlone) {
  {
    TExclusiveUse hold(device);
    ASSERT_EQ(hold.Error(), 0);
    ASSERT_EQ(TOpenLog::flags.size(), 1u);
    EXPECT_EQ(TOpenLog::paths[0], "/dev/sr0");
    EXPECT_EQ(TOpenLog::flags[0] & (O_ACCMODE | O_EXCL), O_RDWR | O_EXCL);
    for (int i = 0; i < 3; ++i) {
      EXPECT_FALSE(TestUnitReady(device));
      EXPECT_EQ(device.LastFailure.system_error, ENOTTY) << "SG_IO on a node that is no drive";
      EXPECT_EQ(device.LastFailure.opcode, 0x00);
    }
    EXPECT_EQ(TOpenLog::flags.size(), 1u) << "no command reopened the drive";
    EXPECT_GE(device.Handle, 0);
  }
  EXPECT_EQ(device.Handle, -1) << "the hold ends with the job";
  EXPECT_FALSE(TestUnitReady(device));
  ASSERT_EQ(TOpenLog::flags.size(), 2u);
  EXPECT_EQ(TOpenLog::flags[1] & O_EXCL, 0) << "outside a job the drive is shared";
  EXPECT_EQ(device.Handle, -1);
}

// Another program holding the drive and a user who may not write to it are
// told apart from each other and from other failures to open it; none
// leaves anything held.
TEST_F(PassThroughDevice, ADriveHeldElsewhereIsBusy) {
  struct TRow {
    int refusal;
    bool busy;
    bool no_write_access;
  };
  for (const TRow r : {TRow{EBUSY, true, false}, TRow{EACCES, false, true}, TRow{EPERM, false, true},
                       TRow{ENOENT, false, false}}) {
    TOpenLog::refusal = r.refusal;
    TExclusiveUse hold(device);
    EXPECT_EQ(hold.Error(), r.refusal);
    EXPECT_EQ(hold.Busy(), r.busy);
    EXPECT_EQ(hold.NoWriteAccess(), r.no_write_access);
    EXPECT_EQ(hold.Path(), "/dev/sr0");
    EXPECT_EQ(device.Handle, -1);
    EXPECT_FALSE(device.HeldForJob);
  }
}

}  // namespace
}  // namespace orvex
