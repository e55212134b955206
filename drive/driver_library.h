// SPDX-License-Identifier: Apache-2.0
// The run-time driver library transport: a shared object opened with
// dlopen that exports GetASPI32SupportInfo and SendASPI32Command
// (drive/srb.h).  A command the library accepts as pending completes
// through the post event, an eventfd it signals.
//
// The library is outside the system and may misbehave: whatever it answers
// is read only within the buffer handed to it, and a command it does not
// complete within the bound of its kind (command_timeouts.h, counted by the
// platform clock) is given up with the library's abort request (status
// aborted); the drive then counts as not answering until Resume.  After
// Interrupt, a command that stays overdue is given up sooner, in the same
// way.
#ifndef ORVEX_DRIVE_DRIVER_LIBRARY_H_
#define ORVEX_DRIVE_DRIVER_LIBRARY_H_

#include <atomic>
#include <memory>
#include <string>

#include "drive/transport.h"
#include "platform/post_event.h"
#include "platform/shared_library.h"

namespace orvex {

// The name looked for when no library is named: the virtual burner's.
constexpr const char* kDefaultDriverLibrary = "liborvex-vburner.so";

class TDriverLibrary final : public TTransport {
 public:
  // Opens `path` (a file name alone is looked for on the library search
  // path) and looks up both entry points; null when either is missing or
  // the support call returns 0.  `why` then says what failed.
  static std::unique_ptr<TDriverLibrary> Load(const std::string& path, std::string* why = nullptr);

  uint8_t Send(TSCSIDevice& device, TSRB_ExecSCSICmd& request) override;
  void WaitFor(TSRB_ExecSCSICmd& request) override;
  void Interrupt() override;
  void Halt() override;
  void Resume() override;
  // The adapter's maximum transfer length, from its host adapter inquiry.
  uint32_t TransferLimit(TSCSIDevice& device) override;

  // Any other request block (host adapter inquiry, get disk info), sent as it is.
  uint8_t SendRequest(void* block) { return static_cast<uint8_t>(send_(block)); }

  // The adapter count the support call reported.
  uint8_t Adapters() const { return adapters_; }

 private:
  TDriverLibrary(TSharedLibrary library, SendASPI32CommandFn send, uint8_t adapters)
      : library_(std::move(library)), send_(send), adapters_(adapters) {}

  TSharedLibrary library_;
  SendASPI32CommandFn send_;
  // Waits for the post event, at most `seconds` by the platform clock,
  // unless the abort arrives first (kOther).
  TPostEvent::TWait WaitUnlessInterrupted(uint32_t seconds);
  // After the abort: waits for the post event in steps through the
  // platform clock, at most kOverdueMilliseconds (none after Halt); false
  // when it ran out.
  bool WaitOverdue();

  uint8_t adapters_;
  TPostEvent event_;
  TPostEvent interrupt_;                  // signalled by Interrupt, for a wait in progress
  std::atomic<bool> interrupted_{false};
  std::atomic<bool> halted_{false};
  std::atomic<bool> not_answering_{false};  // a command was given up since the last Resume
};

}  // namespace orvex

#endif  // ORVEX_DRIVE_DRIVER_LIBRARY_H_
