// SPDX-License-Identifier: Apache-2.0
#include "vburner/tcmu_attach.h"

#include <pthread.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

#include "vburner/emulator.h"
#include "vburner/medium.h"
#include "vburner/profiles.h"
#include "vburner/tcmu_answer.h"
#include "vburner/tcmu_uio.h"

namespace orvex::vburner {
namespace fs = std::filesystem;
namespace {

int Failure(const std::string& why) {
  std::fprintf(stderr, "orvex-vburner: %s\n", why.c_str());
  return 1;
}

// The loopback target first: a backstore still linked to a LUN cannot go.
bool TakeDown(const KernelPaths& paths, std::string& error) {
  if (!RemoveLoopback(paths, error)) return false;
  bool ok = true;
  for (const std::string& name : ListBackstores(paths)) ok = RemoveBackstore(paths, name, error) && ok;
  return ok;
}

// Backstores nobody serves (their attach was killed) hold commands the
// kernel waits for, and taking the devices down sends more: they are all
// refused meanwhile.  A backstore that cannot be opened is served by a
// running attach: `detach` takes it down all the same (that attach then
// ends), `attach` (keep_served) leaves it and fails.
bool RemoveLeftOvers(const KernelPaths& paths, bool keep_served, std::string& error) {
  std::vector<std::unique_ptr<UioServer>> refusers;
  for (const std::string& name : ListBackstores(paths)) {
    UioDevice device;
    std::string ignored;
    if (!FindUio(paths, name, device, ignored)) continue;
    std::string busy;
    if (auto server = UioServer::Start(device, RefuseCommand, nullptr, busy)) {
      refusers.push_back(std::move(server));
    } else if (keep_served) {
      error = "another attach is running: " + busy + " (orvex-vburner detach ends it)";
      return false;
    }
  }
  return TakeDown(paths, error);
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

}  // namespace

std::string MediumForItem(const std::string& item, size_t index, const std::string& folder, std::string& error) {
  if (item.find_first_of(",;") != std::string::npos) {
    error = "a medium's path cannot contain ',' or ';': " + item;
    return "";
  }
  std::error_code failed;
  if (fs::is_regular_file(item, failed)) return fs::absolute(item, failed).string();
  const ProfileInfo* profile = FindProfile(item);
  if (profile == nullptr) {
    error = item + " is neither a medium file nor a profile (see: orvex-vburner profiles)";
    return "";
  }
  if (folder.empty() || folder.find_first_of(",;") != std::string::npos) {
    error = "no folder for a new " + item + " medium" + (folder.empty() ? "" : ": " + folder + " contains ',' or ';'");
    return "";
  }
  fs::create_directories(folder, failed);
  const std::string path = (fs::path(folder) / (std::to_string(index) + "-" + profile->name + ".vmed")).string();
  return Medium::Create(path, *profile, 0, false, Existing::kReplace, error) ? path : "";
}

int RunAttach(const AttachOptions& options, const KernelPaths& paths) {
  const std::vector<std::string> missing = MissingForAttach(paths, ::geteuid() == 0);
  if (!missing.empty()) {
    std::fputs("orvex-vburner: attach needs what this system lacks:\n", stderr);
    for (const std::string& m : missing) std::fprintf(stderr, "  %s\n", m.c_str());
    return 1;
  }
  std::string error;
  std::string folder;
  if (const fs::path state = StateFolder(error); !state.empty()) folder = (state / "attached").string();
  std::ostringstream description;
  std::vector<std::string> media;
  for (size_t i = 0; i < options.media.size(); ++i) {
    media.push_back(MediumForItem(options.media[i], i, folder, error));
    if (media.back().empty()) return Failure(error);
    description << "0:0:" << i << ",medium=" << media.back() << ";";
  }
  description << "timescale=" << options.time_scale;
  if (!options.trace_path.empty()) {
    if (options.trace_path.find_first_of(",;") != std::string::npos)
      return Failure("a trace file's path cannot contain ',' or ';': " + options.trace_path);
    description << ";trace=" << options.trace_path;
  }

  // Signals are taken through a descriptor: blocked before any thread
  // (the drives' workers included) starts, so that all inherit the mask.
  sigset_t signals;
  sigemptyset(&signals);
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  const int signal_fd = ::signalfd(-1, &signals, SFD_CLOEXEC);
  const int ended_fd = ::eventfd(0, EFD_CLOEXEC);
  if (signal_fd < 0 || ended_fd < 0) return Failure("cannot make the descriptors to wait on");

  Emulator& emulator = Emulator::Instance();
  if (!emulator.Configure(description.str(), error)) return Failure(error);
  if (!RemoveLeftOvers(paths, true, error)) return Failure("cannot remove what an earlier attach left: " + error);

  std::vector<std::unique_ptr<UioServer>> servers;
  const auto give_up = [&](const std::string& why) {
    std::string ignored;
    TakeDown(paths, ignored);
    servers.clear();
    return Failure(why);
  };
  const auto ended = [ended_fd] {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(ended_fd, &one, sizeof one);
  };
  for (size_t i = 0; i < media.size(); ++i) {
    UioDevice device;
    if (!CreateBackstore(paths, i, error) || !FindUio(paths, BackstoreName(i), device, error)) return give_up(error);
    const std::shared_ptr<Drive> drive = emulator.Find(0, 0, static_cast<uint8_t>(i));
    if (!drive) return give_up("no drive " + std::to_string(i));
    auto answer = [drive](std::span<const uint8_t> cdb, std::span<uint8_t> data) {
      return AnswerByDrive(*drive, cdb, data);
    };
    servers.push_back(UioServer::Start(device, answer, ended, error));
    if (!servers.back()) return give_up(error);
  }
  if (!CreateLoopback(paths, media.size(), error)) return give_up(error);
  for (size_t i = 0; i < media.size(); ++i)
    std::printf("drive %zu: %s  medium %s\n", i, Joined(DeviceFiles(paths, i)).c_str(), media[i].c_str());
  std::fflush(stdout);

  pollfd waits[2] = {{signal_fd, POLLIN, 0}, {ended_fd, POLLIN, 0}};
  while (::poll(waits, 2, -1) < 0 && errno == EINTR) {
  }
  if (waits[1].revents != 0) std::fputs("orvex-vburner: the drives were detached\n", stderr);
  const bool removed = TakeDown(paths, error);
  servers.clear();
  ::close(signal_fd);
  ::close(ended_fd);
  if (!removed) return Failure("devices left behind (orvex-vburner detach removes them): " + error);
  return 0;
}

int RunDetach(const KernelPaths& paths) {
  if (::geteuid() != 0) return Failure("detach needs root privileges (the kernel's SCSI target is set up by root only)");
  std::string error;
  if (!RemoveLeftOvers(paths, false, error)) return Failure(error);
  return 0;
}

}  // namespace orvex::vburner
