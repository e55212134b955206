#include "drive/driver_library.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "drive/scsi_device.h"
#include "platform/clock.h"

namespace orvex {

std::unique_ptr<TDriverLibrary> TDriverLibrary::Load(const std::string& path, std::string* why) {
  TSharedLibrary library;
  if (!library.Open(path, why)) return nullptr;
  const auto support = reinterpret_cast<GetASPI32SupportInfoFn>(library.Symbol("GetASPI32SupportInfo"));
  const auto send = reinterpret_cast<SendASPI32CommandFn>(library.Symbol("SendASPI32Command"));
  if (support == nullptr || send == nullptr) {
    if (why != nullptr) *why = path + " exports no GetASPI32SupportInfo and SendASPI32Command";
    return nullptr;
  }
  const uint32_t info = support();
  if (info == 0) {
    if (why != nullptr) *why = path + " reports that it cannot be used";
    return nullptr;
  }
  return std::unique_ptr<TDriverLibrary>(
      new TDriverLibrary(std::move(library), send, static_cast<uint8_t>(info & 0xFF)));
}

uint8_t TDriverLibrary::Send(TSCSIDevice&, TSRB_ExecSCSICmd& request) {
  if (not_answering_) {
    // The drive did not answer an earlier command even when it was given
    // up: nothing is sent, the command fails as if nothing were there.
    request.SRB_HaStat = kHaStatSelectionTimeout;
    return request.SRB_Status = kSrbStatusError;
  }
  event_.Reset();  // a signal left over from a command that completed at once
  request.SRB_PostProc = event_.Fd();
  return static_cast<uint8_t>(send_(&request));
}

void TDriverLibrary::WaitFor(TSRB_ExecSCSICmd& request) {
  // The read of the event orders the library's writes to the block before ours.
  const TWait wait = WaitUnlessInterrupted();
  if (wait == TWait::kPosted) return;
  if (wait == TWait::kTimedOut) {
    if (request.SRB_Status == kSrbStatusPending) request.SRB_Status = kSrbStatusAborted;
    return;
  }
  if (WaitOverdue()) return;
  TSRB_Abort abort{};
  abort.SRB_Cmd = kSrbAbortSRB;
  abort.SRB_HaId = request.SRB_HaId;
  abort.SRB_ToAbort = &request;
  send_(&abort);
  not_answering_ = true;
  // Given up or not, the library holds the block until it posts.
  if (!event_.Wait(kCommandTimeoutSeconds) && request.SRB_Status == kSrbStatusPending) {
    request.SRB_Status = kSrbStatusAborted;
  }
}

TDriverLibrary::TWait TDriverLibrary::WaitUnlessInterrupted() {
  if (interrupted_) return TWait::kInterrupted;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kCommandTimeoutSeconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return TWait::kTimedOut;
    pollfd waits[2] = {{event_.Fd(), POLLIN, 0}, {interrupt_.Fd(), POLLIN, 0}};
    const int ready = poll(waits, 2, static_cast<int>(std::min<int64_t>(left.count(), 60'000)));
    if (ready < 0 && errno != EINTR) return TWait::kTimedOut;
    if (ready <= 0) continue;
    if ((waits[0].revents & POLLIN) != 0) {
      event_.Reset();
      return TWait::kPosted;
    }
    if (interrupted_) return TWait::kInterrupted;
    interrupt_.Reset();  // a signal from before the last Resume
  }
}

bool TDriverLibrary::WaitOverdue() {
  constexpr uint32_t kStepMilliseconds = 100;
  for (uint32_t waited = 0; waited < kOverdueMilliseconds; waited += kStepMilliseconds) {
    // A short look at the event in real time, then the step through the
    // clock, which a test advances without waiting.
    pollfd wait{event_.Fd(), POLLIN, 0};
    if (poll(&wait, 1, 1) > 0) {
      event_.Reset();
      return true;
    }
    Clock().Sleep(kStepMilliseconds);
  }
  return false;
}

void TDriverLibrary::Interrupt() {
  interrupted_ = true;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(interrupt_.Fd(), &one, sizeof one);
}

void TDriverLibrary::Resume() {
  interrupted_ = false;
  not_answering_ = false;
  interrupt_.Reset();
}

}  // namespace orvex
