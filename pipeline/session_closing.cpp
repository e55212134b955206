// SPDX-License-Identifier: Apache-2.0
#include "pipeline/session_closing.h"

#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "drive/mmc_records.h"
#include "drive/ready_polls.h"
#include "pipeline/job_errors.h"

namespace orvex {
namespace {

// Refusals a command is sent again after: a drive busy with what came
// before answers a few times, never for good.
constexpr uint32_t kCloseAttempts = 50;
constexpr uint32_t kBusyPauseMs = 1000;

}  // namespace

bool TSessionClosing::Flush(bool immediate) {
  return Send(immediate, [this, immediate] { return SynchronizeCache(device_, immediate); });
}

bool TSessionClosing::Close(mmc::TCloseFunction what, uint16_t number, bool immediate) {
  return Send(immediate,
              [this, what, number, immediate] { return CloseTrackSession(device_, what, number, immediate); });
}

bool TSessionClosing::Send(bool immediate, const std::function<bool()>& send) {
  if (Failed()) return false;
  for (uint32_t attempt = 0; attempt < kCloseAttempts; ++attempt) {
    if (Halted()) return false;
    if (PastAttentions(device_, send)) {
      // What an immediate command ran into shows in the polls after it.
      if (!immediate ||
          PollWhileBecomingReady(device_, TPollOrder::kSleepIfBusy, TPollCommand::kDiscInformation, halt_)) {
        return true;
      }
      return !Halted() && Refused(true);
    }
    if (Halted()) return false;
    if (device_.TargetBusy) {
      SleepUnlessStopped(kBusyPauseMs, halt_);
    } else if (BecomingReady(device_)) {
      // The drive was busy when asked a moment ago, and may be ready now.
      PollWhileBecomingReady(device_, TPollOrder::kSleepIfBusy, TPollCommand::kDiscInformation, halt_);
    } else {
      return Refused(false);
    }
  }
  return Refused(true);
}

bool TSessionClosing::Refused(bool fatal) {
  const TSENSE& sense = device_.LastSenseInfo;
  if (!fatal && SenseKeyOf(sense) == mmc::kSenseIllegalRequest) {
    refusal_ = SenseCodeOf(sense);
    refused_command_ = device_.LastFailure;
  } else {
    FailWith(SenseCodeOf(sense), device_.LastFailure);
  }
  return false;
}

void TSessionClosing::FailWith(uint16_t sense, const TCommandFailure& command) {
  error_ = sense != 0 ? uint32_t{sense} : uint32_t{kErrorClosingFailed};
  failure_ = command;
}

bool TSessionClosing::Halted() {
  if (halt_ == nullptr || !*halt_) return false;
  error_ = kErrorClosingHalted;
  return true;
}

bool TSessionClosing::CheckSessionClosed() {
  const bool ready = PollWhileBecomingReady(device_, TPollOrder::kSleepIfBusy, TPollCommand::kDiscInformation, halt_);
  if (Failed() || Halted()) return false;
  if (!ready) {
    FailWith(SenseCodeOf(device_.LastSenseInfo), device_.LastFailure);
  } else if (LastSessionState(device_.BGFDI) == kSessionIncomplete) {
    FailWith(refusal_, refused_command_);
  }
  return !Failed();
}

}  // namespace orvex
