// SPDX-License-Identifier: Apache-2.0
// The kernel objects that put the burner's drives on a SCSI bus of the
// running system: one user backstore per drive in the target core (each
// served through its own UIO device), and a loopback target whose LUNs
// link to them, all made and removed through configfs.
//
// Every object carries names of the burner's own, so that what a killed
// attach left behind is recognised and removed before the next.
#ifndef ORVEX_VBURNER_TCMU_CONFIGFS_H_
#define ORVEX_VBURNER_TCMU_CONFIGFS_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvex::vburner {

// Where the kernel's file systems are mounted; tests use scratch folders.
struct KernelPaths {
  std::filesystem::path configfs = "/sys/kernel/config";
  std::filesystem::path sys = "/sys";
  std::filesystem::path dev = "/dev";
};

// What attaching needs and this system lacks, each item a line naming it
// and how to provide it; empty when nothing is missing.
std::vector<std::string> MissingForAttach(const KernelPaths& paths, bool root);

// The backstore of drive `index` (the name its folder and UIO device carry).
std::string BackstoreName(size_t index);

// Makes the backstore of drive `index` with a block size of 2048 bytes and
// no netlink replies awaited, and enables it, which makes its UIO device;
// its commands never time out in the target.
bool CreateBackstore(const KernelPaths& paths, size_t index, std::string& error);

// The UIO device of a backstore (the device file) and the size of its
// mapping; false with `error` when there is none.
struct UioDevice {
  std::filesystem::path file;
  size_t map_size = 0;
};
bool FindUio(const KernelPaths& paths, const std::string& backstore, UioDevice& out, std::string& error);

// The burner's backstores present now, of any attach, sorted by name.
std::vector<std::string> ListBackstores(const KernelPaths& paths);

// Makes the loopback target with one LUN per backstore, linked to it.
// Each link makes the kernel scan its LUN, which sends commands: the
// backstores must be served before this is called.
bool CreateLoopback(const KernelPaths& paths, size_t drives, std::string& error);

// Removes the loopback target (its LUNs first) or one backstore; what is
// not there counts as removed.  False with `error` naming what stayed.
bool RemoveLoopback(const KernelPaths& paths, std::string& error);
bool RemoveBackstore(const KernelPaths& paths, const std::string& backstore, std::string& error);

// The device files the kernel made for the LUN of drive `index`
// ("/dev/sr0", "/dev/sg1"), as far as they exist.
std::vector<std::string> DeviceFiles(const KernelPaths& paths, size_t index);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_TCMU_CONFIGFS_H_
