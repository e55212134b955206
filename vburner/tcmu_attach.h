// SPDX-License-Identifier: Apache-2.0
// `orvex-vburner attach` and `detach`: the burner's drives behind real
// SCSI devices of the running kernel (/dev/srN, /dev/sgN), through its
// SCSI target's user backstores and loopback fabric.
#ifndef ORVEX_VBURNER_TCMU_ATTACH_H_
#define ORVEX_VBURNER_TCMU_ATTACH_H_

#include <string>
#include <vector>

#include "vburner/tcmu_configfs.h"

namespace orvex::vburner {

struct AttachOptions {
  std::vector<std::string> media;  // each a medium file, or a profile name for a new blank medium
  double time_scale = 20;
  std::string trace_path;  // where each command sent is logged, one line each; empty: nowhere
};

// Where a drive's medium comes from: an existing medium file as it is, or
// a blank medium of a profile made in `folder` as "INDEX-PROFILE.vmed"
// (replacing the one an earlier attach made there; attach itself uses
// the folder "attached" in the burner's state folder).
// Empty with `error` when the item is neither, or names a path the drive
// description cannot carry.
std::string MediumForItem(const std::string& item, size_t index, const std::string& folder, std::string& error);

// Attaches one drive per medium, prints each drive's device files and
// serves them until SIGINT, SIGTERM or SIGHUP, or until `detach` removes
// them; then takes them down.  Left-overs of an earlier attach that was
// killed are removed first; it fails while another attach runs.  Returns the process's exit code; messages go to stderr.
int RunAttach(const AttachOptions& options, const KernelPaths& paths);

// Removes every device of the burner's naming, answering the commands a
// killed attach left unanswered so that the kernel can let them go.
int RunDetach(const KernelPaths& paths);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_TCMU_ATTACH_H_
