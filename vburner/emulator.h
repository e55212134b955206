// SPDX-License-Identifier: Apache-2.0
// The process's emulated host adapters: the drives at their addresses, the
// shared modelled clock and the trace file.  The entry points and the
// control API reach everything through Emulator::Instance().
#ifndef ORVEX_VBURNER_EMULATOR_H_
#define ORVEX_VBURNER_EMULATOR_H_

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vburner/clock.h"
#include "vburner/drive.h"

namespace orvex::vburner {

// The burner's folder in the user's state directory (orvex/vburner in
// XDG_STATE_HOME, or in ~/.local/state); empty with `error` when neither
// is set.  Not made here.
std::filesystem::path StateFolder(std::string& error);

class Emulator {
 public:
  static Emulator& Instance();
  ~Emulator();

  // Reads ORVEX_VBURNER the first time, unless Configure came first;
  // without it the default drive (a DVD writer with a DVD+R kept in the
  // user's state directory) is set up.  Problems are reported on stderr;
  // the library then has no drives, or drives with empty trays.
  void EnsureConfigured();

  // Replaces all drives.  False with `error` when the description is
  // malformed (nothing changes) or a medium cannot be loaded (the drives
  // are set up, that tray stays empty).
  bool Configure(const std::string& description, std::string& error);

  // Null when no drive has that address.
  std::shared_ptr<Drive> Find(uint8_t ha, uint8_t target, uint8_t lun);

  // Runs `task` on the medium at `medium_path` through the drive that
  // holds it (see Drive::WithMedium); false when none does.
  bool WithHeldMedium(const std::string& medium_path, const std::function<bool(const Medium&)>& task);

  // One more than the highest host adapter number in use; 0 without drives.
  uint8_t AdapterCount();

  Clock& clock() { return clock_; }

 private:
  Emulator();
  bool ConfigureLocked(const std::string& description, std::string& error);
  void WakeAll();

  std::mutex mutex_;  // configured_ and drives_
  bool configured_ = false;
  std::vector<std::shared_ptr<Drive>> drives_;

  // The drives the clock wakes.  A drive leaves this list (in the deleter
  // of its shared_ptr) before it is destroyed, so waking never keeps one
  // alive or meets a dead one.
  std::mutex wake_mutex_;
  std::vector<Drive*> wakeable_;

  Clock clock_;
};

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_EMULATOR_H_
