// SPDX-License-Identifier: Apache-2.0
#include "platform/sg_io.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <scsi/sg.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace orvex {
namespace {

// The block major number of SCSI CD-ROM drives.
constexpr unsigned kScsiCdromMajor = 11;

int DriveNumber(char letter) { return letter - kFirstDriveLetter; }

int SystemOpen(const char* path, int flags) { return open(path, flags); }

TOpenCall open_call = SystemOpen;

}  // namespace

std::string OpticalDrivePath(char letter) { return "/dev/sr" + std::to_string(DriveNumber(letter)); }

bool IsOpticalDrive(char letter) {
  if (letter < kFirstDriveLetter || letter > kLastDriveLetter) return false;
  struct stat st;
  return stat(OpticalDrivePath(letter).c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
         major(st.st_rdev) == kScsiCdromMajor;
}

int OpenOpticalDrive(char letter, TDriveOpen how, int* error) {
  const int access = how == TDriveOpen::kRead ? O_RDONLY : how == TDriveOpen::kReadWrite ? O_RDWR : O_RDWR | O_EXCL;
  // O_NONBLOCK: an empty tray or a closing door must not hold the open.
  const int fd = open_call(OpticalDrivePath(letter).c_str(), access | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && error != nullptr) *error = errno;
  return fd;
}

TOpenCall SetOpenCall(TOpenCall call) {
  const TOpenCall previous = open_call;
  open_call = call != nullptr ? call : SystemOpen;
  return previous == SystemOpen ? nullptr : previous;
}

void CloseOpticalDrive(int fd) {
  if (fd >= 0) close(fd);
}

std::optional<TDeviceAccessProblem> AccessProblem(const std::string& path, int error) {
  if (error != EACCES && error != EPERM) return std::nullopt;
  TDeviceAccessProblem problem{path, error, ""};
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    const struct group* owner = getgrgid(st.st_gid);
    problem.group = owner != nullptr ? owner->gr_name : std::to_string(st.st_gid);
  }
  return problem;
}

std::optional<TScsiAddress> ParseScsiAddress(const std::string& text) {
  TScsiAddress a;
  char end = 0;
  if (std::sscanf(text.c_str(), "%u:%u:%u:%u%c", &a.host, &a.channel, &a.target, &a.lun, &end) != 4) {
    return std::nullopt;
  }
  return a;
}

std::optional<TScsiAddress> ReadScsiAddress(char letter, const std::string& sysfs) {
  const std::string link = sysfs + "/class/block/sr" + std::to_string(DriveNumber(letter)) + "/device";
  char target[PATH_MAX];
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return std::nullopt;
  std::string path(target, static_cast<size_t>(n));
  return ParseScsiAddress(path.substr(path.rfind('/') + 1));
}

std::optional<char> DriveLetterOfNode(const std::string& path, const std::string& sysfs) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !(S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) return std::nullopt;
  const std::string kind = S_ISCHR(st.st_mode) ? "char" : "block";
  const std::string node = sysfs + "/dev/" + kind + "/" + std::to_string(major(st.st_rdev)) + ":" +
                           std::to_string(minor(st.st_rdev)) + "/device";
  char device[PATH_MAX];
  if (realpath(node.c_str(), device) == nullptr) return std::nullopt;
  for (char letter = kFirstDriveLetter; letter <= kLastDriveLetter; ++letter) {
    const std::string link = sysfs + "/class/block/sr" + std::to_string(DriveNumber(letter)) + "/device";
    char drive[PATH_MAX];
    if (realpath(link.c_str(), drive) != nullptr && std::string(drive) == device) return letter;
  }
  return std::nullopt;
}

TSgRequestFields DescribeRequest(const TPassThroughRequest& request) {
  TSgRequestFields fields{};
  fields.interface_id = 'S';
  fields.dxfer_direction = request.direction == TDataDirection::kIn    ? SG_DXFER_FROM_DEV
                           : request.direction == TDataDirection::kOut ? SG_DXFER_TO_DEV
                                                                       : SG_DXFER_NONE;
  fields.cmd_len = request.cdb_length;
  fields.mx_sb_len = request.sense_length;
  fields.dxfer_len = request.direction == TDataDirection::kNone ? 0 : request.length;
  // The kernel counts in milliseconds; beyond its range the longest wait it takes.
  const uint64_t ms = uint64_t{request.timeout_seconds} * 1000;
  fields.timeout_ms = ms > UINT_MAX ? UINT_MAX : static_cast<uint32_t>(ms);
  return fields;
}

std::optional<uint32_t> QueueTransferLimit(int fd) {
  // A block device answers in 512-byte sectors, as an unsigned short.
  unsigned short sectors = 0;
  if (ioctl(fd, BLKSECTGET, &sectors) != 0 || sectors == 0) return std::nullopt;
  return uint32_t{sectors} * 512;
}

TPassThroughResult PassThrough(int fd, const TPassThroughRequest& request) {
  const TSgRequestFields fields = DescribeRequest(request);
  sg_io_hdr_t header{};
  header.interface_id = fields.interface_id;
  header.dxfer_direction = fields.dxfer_direction;
  header.cmd_len = fields.cmd_len;
  header.mx_sb_len = fields.mx_sb_len;
  header.dxfer_len = fields.dxfer_len;
  header.dxferp = fields.dxfer_len == 0 ? nullptr : request.data;
  header.cmdp = const_cast<unsigned char*>(request.cdb);
  header.sbp = request.sense;
  header.timeout = fields.timeout_ms;
  TPassThroughResult result;
  errno = 0;
  result.sent = ioctl(fd, SG_IO, &header) == 0;
  result.error = errno;
  if (!result.sent) return result;
  result.scsi_status = header.status;
  result.host_status = header.host_status;
  result.driver_status = header.driver_status;
  result.residue = header.resid;
  result.sense_written = header.sb_len_wr;
  return result;
}

}  // namespace orvex
