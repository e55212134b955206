// SPDX-License-Identifier: Apache-2.0
#include "vburner/tcmu_configfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace orvex::vburner {
namespace fs = std::filesystem;
namespace {

// The backstores' host bus adapter in the target core, and the loopback
// target's and initiator's names.
constexpr const char* kHba = "user_2048";
constexpr const char* kHbaNumber = "2048";
constexpr const char* kBackstorePrefix = "orvex_vb";
constexpr const char* kTargetWwn = "naa.50000f0e5e000001";
constexpr const char* kInitiatorWwn = "naa.50000f0e5e000002";
constexpr const char* kTpg = "tpgt_1";

fs::path Core(const KernelPaths& p) { return p.configfs / "target" / "core"; }
fs::path Tpg(const KernelPaths& p) { return p.configfs / "target" / "loopback" / kTargetWwn / kTpg; }

std::string Failed(const fs::path& path, const char* what, int error) {
  return std::string("cannot ") + what + " " + path.string() + ": " + std::strerror(error);
}

// A configfs attribute takes its value in one write, whatever the file
// position; appending keeps each write of a plain file (a scratch folder
// standing in for configfs) too.
bool WriteAttribute(const fs::path& path, const std::string& value, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = Failed(path, "open", errno);
    return false;
  }
  const ssize_t n = ::write(fd, value.data(), value.size());
  const int write_error = errno;
  ::close(fd);
  if (n != static_cast<ssize_t>(value.size())) {
    error = Failed(path, ("write " + value + " to").c_str(), n < 0 ? write_error : EIO);
    return false;
  }
  return true;
}

std::string ReadLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

bool MakeFolder(const fs::path& path, std::string& error) {
  std::error_code failed;
  fs::create_directories(path, failed);
  if (failed) error = "cannot make " + path.string() + ": " + failed.message();
  return !failed;
}

// Gone already counts as removed.
bool RemoveFolder(const fs::path& path, std::string& error) {
  if (::rmdir(path.c_str()) == 0 || errno == ENOENT) return true;
  error = Failed(path, "remove", errno);
  return false;
}

bool Loaded(const KernelPaths& p, const char* module) { return fs::exists(p.sys / "module" / module); }

}  // namespace

std::vector<std::string> MissingForAttach(const KernelPaths& paths, bool root) {
  std::vector<std::string> missing;
  if (!root) missing.push_back("root privileges (the kernel's SCSI target is set up by root only)");
  std::error_code ignored;
  if (!fs::is_directory(paths.configfs, ignored) || fs::is_empty(paths.configfs, ignored))
    missing.push_back("configfs mounted at " + paths.configfs.string() + " (mount -t configfs none " +
                      paths.configfs.string() + ")");
  else if (!fs::is_directory(Core(paths), ignored))
    missing.push_back("the kernel module target_core_mod (modprobe target_core_mod)");
  for (const char* module : {"target_core_user", "tcm_loop"})
    if (!Loaded(paths, module)) missing.push_back(std::string("the kernel module ") + module + " (modprobe " + module + ")");
  return missing;
}

std::string BackstoreName(size_t index) { return kBackstorePrefix + std::to_string(index); }

bool CreateBackstore(const KernelPaths& paths, size_t index, std::string& error) {
  const fs::path dir = Core(paths) / kHba / BackstoreName(index);
  if (!MakeFolder(dir, error)) return false;
  // The block size is given before enabling: the attribute is read-only.
  // dev_size is what the target core would report itself; every command
  // is answered by the drive, whose medium sets the real capacity.
  for (const char* setting : {"dev_config=orvex/vburner", "dev_size=268435456000", "hw_block_size=2048",
                              "nl_reply_supported=-1"})
    if (!WriteAttribute(dir / "control", setting, error)) return false;
  // A drive holds a command as long as it takes (a full blank, a format
  // without the immediate bit): the initiator's own timeout governs, not
  // the target's, which would fail it after 30 s.
  return WriteAttribute(dir / "enable", "1", error) && WriteAttribute(dir / "attrib" / "cmd_time_out", "0", error);
}

bool FindUio(const KernelPaths& paths, const std::string& backstore, UioDevice& out, std::string& error) {
  const std::string prefix = std::string("tcm-user/") + kHbaNumber + "/" + backstore + "/";
  std::error_code failed;
  for (const auto& entry : fs::directory_iterator(paths.sys / "class" / "uio", failed)) {
    if (ReadLine(entry.path() / "name").rfind(prefix, 0) != 0) continue;
    const std::string size = ReadLine(entry.path() / "maps" / "map0" / "size");
    char* end = nullptr;
    out.map_size = std::strtoull(size.c_str(), &end, 0);
    if (size.empty() || *end != '\0' || out.map_size == 0) {
      error = "no mapping size in " + (entry.path() / "maps" / "map0" / "size").string();
      return false;
    }
    out.file = paths.dev / entry.path().filename();
    return true;
  }
  error = "no UIO device for the backstore " + backstore + " in " + (paths.sys / "class" / "uio").string();
  return false;
}

std::vector<std::string> ListBackstores(const KernelPaths& paths) {
  std::vector<std::string> names;
  std::error_code failed;
  for (const auto& entry : fs::directory_iterator(Core(paths) / kHba, failed)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory(failed) && name.rfind(kBackstorePrefix, 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool CreateLoopback(const KernelPaths& paths, size_t drives, std::string& error) {
  const fs::path tpg = Tpg(paths);
  if (!MakeFolder(tpg, error) || !WriteAttribute(tpg / "nexus", kInitiatorWwn, error)) return false;
  for (size_t i = 0; i < drives; ++i) {
    const fs::path lun = tpg / "lun" / ("lun_" + std::to_string(i));
    if (!MakeFolder(lun, error)) return false;
    const fs::path target = Core(paths) / kHba / BackstoreName(i);
    if (::symlink(target.c_str(), (lun / BackstoreName(i)).c_str()) != 0 && errno != EEXIST) {
      error = Failed(lun / BackstoreName(i), "link", errno);
      return false;
    }
  }
  return true;
}

bool RemoveLoopback(const KernelPaths& paths, std::string& error) {
  const fs::path tpg = Tpg(paths);
  std::error_code failed;
  for (const auto& lun : fs::directory_iterator(tpg / "lun", failed)) {
    // Unlinking takes the SCSI device away; its commands meanwhile still
    // need an answer from the backstore.
    std::error_code ignored;
    for (const auto& link : fs::directory_iterator(lun.path(), ignored))
      if (link.is_symlink(ignored) && ::unlink(link.path().c_str()) != 0) {
        error = Failed(link.path(), "unlink", errno);
        return false;
      }
    if (!RemoveFolder(lun.path(), error)) return false;
  }
  // Removing the portal group ends the nexus with it.
  return RemoveFolder(tpg, error) && RemoveFolder(tpg.parent_path(), error);
}

bool RemoveBackstore(const KernelPaths& paths, const std::string& backstore, std::string& error) {
  if (!RemoveFolder(Core(paths) / kHba / backstore, error)) return false;
  // The adapter goes with its last backstore; one still holding others stays.
  std::string ignored;
  if (ListBackstores(paths).empty()) RemoveFolder(Core(paths) / kHba, ignored);
  return true;
}

std::vector<std::string> DeviceFiles(const KernelPaths& paths, size_t index) {
  // The portal group's address is "HOST:0:TPGT"; the LUN's SCSI device
  // adds the LUN number, and its block and generic devices sit below it.
  const std::string address = ReadLine(Tpg(paths) / "address");
  std::vector<std::string> files;
  if (address.empty()) return files;
  const fs::path device = paths.sys / "bus" / "scsi" / "devices" / (address + ":" + std::to_string(index));
  for (const char* kind : {"block", "scsi_generic"}) {
    std::error_code failed;
    for (const auto& entry : fs::directory_iterator(device / kind, failed))
      files.push_back((paths.dev / entry.path().filename()).string());
  }
  return files;
}

}  // namespace orvex::vburner
