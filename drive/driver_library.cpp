// SPDX-License-Identifier: Apache-2.0
#include "drive/driver_library.h"

#include <chrono>
#include <cstring>

#include "drive/command_timeouts.h"
#include "drive/scsi_device.h"
#include "platform/clock.h"

namespace orvex {
namespace {

// The longest the library may hold a request block it was asked to give up.
constexpr std::chrono::seconds kHeldBlockLimit{kRecordingTimeoutSeconds};
// Most commands end within this, waited for in real time; a slower one is
// then waited for in steps of the platform clock, which counts its bound.
constexpr std::chrono::milliseconds kPromptAnswer{250};
constexpr uint32_t kStepMilliseconds = 100;

}  // namespace

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

uint32_t TDriverLibrary::TransferLimit(TSCSIDevice& device) {
  TSRB_HAInquiry inquiry{};
  inquiry.SRB_Cmd = kSrbHostAdapterInquiry;
  inquiry.SRB_HaId = device.HaID;
  if (SendRequest(&inquiry) != kSrbStatusDone) return 0;
  uint32_t limit = 0;
  std::memcpy(&limit, &inquiry.HA_Unique[4], sizeof limit);  // little-endian, as on every host we build for
  return limit;
}

void TDriverLibrary::WaitFor(TSRB_ExecSCSICmd& request) {
  // The read of the event orders the library's writes to the block before ours.
  const TPostEvent::TWait wait = WaitUnlessInterrupted(CommandTimeoutSeconds(request.CDBByte[0]));
  if (wait == TPostEvent::TWait::kSignalled) return;
  // Past its bound, or overdue after the abort: the command is given up.
  if (wait == TPostEvent::TWait::kOther && WaitOverdue()) return;
  TSRB_Abort abort{};
  abort.SRB_Cmd = kSrbAbortSRB;
  abort.SRB_HaId = request.SRB_HaId;
  abort.SRB_ToAbort = &request;
  send_(&abort);
  not_answering_ = true;
  // Given up or not, the library holds the block until it posts.
  if (event_.Wait(kHeldBlockLimit) == TPostEvent::TWait::kSignalled) return;
  if (request.SRB_Status == kSrbStatusPending) request.SRB_Status = kSrbStatusAborted;
}

TPostEvent::TWait TDriverLibrary::WaitUnlessInterrupted(uint32_t seconds) {
  const uint64_t limit = uint64_t{seconds} * 1000;
  const uint64_t start = Clock().TickCount();
  for (bool first = true;; first = false) {
    if (interrupted_) return TPostEvent::TWait::kOther;
    const TPostEvent::TWait wait = event_.Wait(first ? kPromptAnswer : std::chrono::milliseconds(0), &interrupt_);
    if (wait == TPostEvent::TWait::kSignalled || (wait == TPostEvent::TWait::kOther && interrupted_)) return wait;
    if (wait == TPostEvent::TWait::kOther) {
      interrupt_.Reset();  // a signal from before the last Resume
      continue;
    }
    if (Clock().TickCount() - start >= limit) return TPostEvent::TWait::kTimedOut;
    Clock().Sleep(kStepMilliseconds);
  }
}

bool TDriverLibrary::WaitOverdue() {
  for (uint32_t waited = 0;; waited += kStepMilliseconds) {
    // A short look at the event in real time, then the step through the
    // clock, which a test advances without waiting.
    if (event_.Wait(std::chrono::milliseconds(1)) == TPostEvent::TWait::kSignalled) return true;
    if (halted_ || waited >= kOverdueMilliseconds) return false;
    Clock().Sleep(kStepMilliseconds);
  }
}

void TDriverLibrary::Interrupt() {
  interrupted_ = true;
  interrupt_.Signal();
}

void TDriverLibrary::Halt() {
  halted_ = true;
  Interrupt();
}

void TDriverLibrary::Resume() {
  halted_ = false;
  interrupted_ = false;
  not_answering_ = false;
  interrupt_.Reset();
}

}  // namespace orvex
