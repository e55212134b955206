// SPDX-License-Identifier: Apache-2.0
#include "vburner/emulator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "vburner/medium.h"
#include "vburner/profiles.h"

namespace orvex::vburner {
namespace {

// Without ORVEX_VBURNER: one DVD writer at 0:0:0 holding the medium
// orvex/vburner/dvd+r.vmed of the user's state directory, a blank DVD+R
// made there when there is none, and time running 20 times as fast.
std::string DefaultDescription(std::string& error) {
  const std::filesystem::path dir = StateFolder(error);
  if (dir.empty()) return "";
  std::error_code failed;
  std::filesystem::create_directories(dir, failed);
  const std::string medium = (dir / "dvd+r.vmed").string();
  if (!std::filesystem::exists(medium) &&
      !Medium::Create(medium, *FindProfile("dvd+r"), 0, false, Existing::kReplace, error))
    return "";
  return "0:0:0,class=dvd-writer,medium=" + medium + ";timescale=20";
}

}  // namespace

std::filesystem::path StateFolder(std::string& error) {
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  if (state != nullptr && *state == '/') return std::filesystem::path(state) / "orvex/vburner";
  if (home != nullptr && *home != '\0') return std::filesystem::path(home) / ".local/state/orvex/vburner";
  error = "neither XDG_STATE_HOME nor HOME is set";
  return {};
}

Emulator& Emulator::Instance() {
  static Emulator emulator;
  return emulator;
}

Emulator::Emulator() {
  clock_.SetListener([this] { WakeAll(); });
}

Emulator::~Emulator() {
  std::vector<std::shared_ptr<Drive>> drives;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    drives.swap(drives_);
  }
  drives.clear();  // saves every medium
}

void Emulator::EnsureConfigured() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (configured_) return;
  configured_ = true;
  const char* given = std::getenv("ORVEX_VBURNER");
  std::string error;
  const std::string description = given != nullptr ? given : DefaultDescription(error);
  if (description.empty()) {
    if (given == nullptr) std::fprintf(stderr, "orvex-vburner: no default drive: %s\n", error.c_str());
    return;
  }
  if (!ConfigureLocked(description, error)) {
    std::fprintf(stderr, "orvex-vburner: %s: %s\n", given != nullptr ? "ORVEX_VBURNER" : "default drive", error.c_str());
  }
}

bool Emulator::Configure(const std::string& description, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  configured_ = true;
  return ConfigureLocked(description, error);
}

bool Emulator::ConfigureLocked(const std::string& description, std::string& error) {
  const std::optional<EmulatorConfig> config = ParseConfig(description, error);
  if (!config) return false;
  std::shared_ptr<TraceFile> trace;
  if (!config->trace_path.empty() && !(trace = TraceFile::Open(config->trace_path, error))) return false;

  // The old drives go first: they release the media the new ones may load.
  std::vector<std::shared_ptr<Drive>> old;
  old.swap(drives_);
  old.clear();
  clock_.SetScale(config->time_scale);

  bool ok = true;
  for (const DriveConfig& d : config->drives) {
    Drive* raw = new Drive(d, clock_, trace);
    {
      std::lock_guard<std::mutex> lock(wake_mutex_);
      wakeable_.push_back(raw);
    }
    std::shared_ptr<Drive> drive(raw, [this](Drive* gone) {
      {
        std::lock_guard<std::mutex> lock(wake_mutex_);
        wakeable_.erase(std::remove(wakeable_.begin(), wakeable_.end(), gone), wakeable_.end());
      }
      delete gone;
    });
    drives_.push_back(drive);
    if (d.medium.empty()) continue;
    std::string why;
    std::unique_ptr<Medium> medium = Medium::Open(d.medium, BlockStore::Access::kDrive, why);
    if (!medium || !drive->Insert(std::move(medium), why) || (d.tray_open && !drive->SetTray(true, why))) {
      if (ok) error = why;
      ok = false;
    }
  }
  return ok;
}

std::shared_ptr<Drive> Emulator::Find(uint8_t ha, uint8_t target, uint8_t lun) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::shared_ptr<Drive>& d : drives_)
    if (d->config().ha == ha && d->config().target == target && d->config().lun == lun) return d;
  return nullptr;
}

bool Emulator::WithHeldMedium(const std::string& medium_path, const std::function<bool(const Medium&)>& task) {
  std::vector<std::shared_ptr<Drive>> drives;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    drives = drives_;
  }
  for (const std::shared_ptr<Drive>& d : drives)
    if (d->WithMedium(medium_path, task)) return true;
  return false;
}

uint8_t Emulator::AdapterCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  uint8_t count = 0;
  for (const std::shared_ptr<Drive>& d : drives_) count = std::max<uint8_t>(count, d->config().ha + 1);
  return count;
}

void Emulator::WakeAll() {
  std::lock_guard<std::mutex> lock(wake_mutex_);
  for (Drive* d : wakeable_) d->Wake();
}

}  // namespace orvex::vburner
