// SPDX-License-Identifier: Apache-2.0
// Closing a track or a session, and writing out the drive's buffer before
// it, with the result of every command judged as MMC has it.
//
// A command the drive refuses because it is still busy (02/04/xx: an
// earlier immediate command running, a long write in progress) is sent
// again once the drive is ready; one met by a unit attention is sent again
// at once; one refused with BUSY status a second later.  An immediate
// command the drive took is waited for (READ DISC INFORMATION every five
// seconds while it says "not ready"), and a poll that then fails for any
// other reason (a deferred fixation error, the medium gone) is the
// command's failure.
//
// A refusal as an illegal request (sense key 5) says only that the drive
// has no such close for this medium or track, and drives differ in which
// of them they need: the caller's fallback, or the next close, may do it,
// and the disc's state afterwards decides (CheckSessionClosed).  Any other
// refusal, and one without sense data, fails the closing; nothing more is
// sent through it then.
//
// A closing that is halted (the user stopped the job a second time while
// it closes) ends at once, failed with kErrorClosingHalted, however far
// it came: no command is sent again, no wait goes on.
#ifndef ORVEX_PIPELINE_SESSION_CLOSING_H_
#define ORVEX_PIPELINE_SESSION_CLOSING_H_

#include <atomic>
#include <cstdint>
#include <functional>

#include "drive/mmc_codes.h"
#include "drive/scsi_device.h"

namespace orvex {

class TSessionClosing {
 public:
  // `halt`, when given, halts the closing once it is true.
  explicit TSessionClosing(TSCSIDevice& device, const std::atomic<bool>* halt = nullptr)
      : device_(device), halt_(halt) {}

  // SYNCHRONIZE CACHE.  True when the drive did it.
  bool Flush(bool immediate);
  // CLOSE TRACK/SESSION: close function `what` of track or session
  // `number`.  True when the drive did it.
  bool Close(mmc::TCloseFunction what, uint16_t number, bool immediate = false);

  // Waits until the drive is ready (READ DISC INFORMATION into BGFDI while
  // it says "not ready"): true when the closing has not failed and the
  // disc's last session is not left incomplete.  A session left so, or a
  // drive that does not answer, fails the closing; the former with the
  // last refusal's sense when there was one.  For media that have
  // sessions.
  bool CheckSessionClosed();

  bool Failed() const { return error_ != 0; }
  // Why the closing failed: additional sense code x 256 + qualifier, or
  // kErrorClosingFailed when the drive gave no reason; 0 while it has not.
  uint32_t Error() const { return error_; }
  // The command whose refusal failed the closing, as the drive answered it
  // (for a session left incomplete, the last illegal request refused);
  // `failed` false when none did (a halt, or no refusal to name).
  const TCommandFailure& Failure() const { return failure_; }

 private:
  bool Send(bool immediate, const std::function<bool()>& send);
  // The last command failed: a refusal that fails the closing (`fatal`,
  // or any but an illegal request), or one to remember.  False.
  bool Refused(bool fatal);
  // Fails the closing with `sense`, `command` being its failed command.
  void FailWith(uint16_t sense, const TCommandFailure& command);
  // Fails the closing as halted when it is: true then.
  bool Halted();

  TSCSIDevice& device_;
  const std::atomic<bool>* halt_;
  uint32_t error_ = 0;
  uint16_t refusal_ = 0;  // the sense of the last illegal request refused
  TCommandFailure refused_command_;  // and that request
  TCommandFailure failure_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_SESSION_CLOSING_H_
