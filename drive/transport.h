// SPDX-License-Identifier: Apache-2.0
// How a request block reaches the selected drive: through the kernel's
// pass-through (pass_through.h) or through a run-time driver library
// (driver_library.h).  Both take the same request blocks (drive/srb.h).
#ifndef ORVEX_DRIVE_TRANSPORT_H_
#define ORVEX_DRIVE_TRANSPORT_H_

#include <cstdint>

#include "drive/srb.h"

namespace orvex {

struct TSCSIDevice;

class TTransport {
 public:
  virtual ~TTransport() = default;

  // Hands one execute request to the drive it addresses; returns its
  // immediate status.  kSrbStatusPending means the completion comes later:
  // WaitFor then returns once the request's status is final.
  virtual uint8_t Send(TSCSIDevice& device, TSRB_ExecSCSICmd& request) = 0;
  virtual void WaitFor(TSRB_ExecSCSICmd& request) = 0;

  // The job using the drive was aborted (from any thread): a command that
  // is pending now or later and still does not answer after
  // kOverdueMilliseconds is given up, and the drive counts as not answering
  // (every later command fails at once) until Resume.  A transport whose
  // commands cannot be given up (the kernel's, bounded by its own time-out)
  // ignores all three: a program told to stop ends without waiting for it.
  virtual void Interrupt() {}
  // The user stops the job at once (a second stop while it closes the
  // disc): as Interrupt, but a pending command is given up after one more
  // look at its answer.
  virtual void Halt() {}
  virtual void Resume() {}

  // The most data bytes one command may move to or from `device`; 0 when
  // the transport cannot tell (the caller keeps to kSafeTransferBytes).
  virtual uint32_t TransferLimit(TSCSIDevice&) { return 0; }
};

// What a command may move on any transport: every host adapter and kernel
// driver for optical drives takes at least this much per command.
constexpr uint32_t kSafeTransferBytes = 65536;

// How long a command may still take after an abort before it is given up:
// more than a cache flush of a full drive buffer at the slowest speed.
constexpr uint32_t kOverdueMilliseconds = 60'000;

}  // namespace orvex

#endif  // ORVEX_DRIVE_TRANSPORT_H_
