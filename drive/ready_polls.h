// SPDX-License-Identifier: Apache-2.0
// Waiting for a drive that is busy with a long operation (a format, a
// blank, a session being closed, its buffer being written out): it answers
// with the sense code 04h (logical unit not ready; 04/07 operation or 04/08
// long write in progress, with the progress in the sense-key specific
// bytes) until the operation ends.  The waits sleep through the platform
// clock between polls: briefly at first, as most operations end soon (a
// cache flush, a close of a session whose data is written), then longer,
// up to five seconds, so that a long one (a format, a blank) is not asked
// about more often than that.  They give up after an hour of sleeping, so
// that a drive that never becomes ready cannot hold a job forever; a job
// that is told to stop ends its wait within kStopLookMilliseconds.
//
// A unit attention (sense key 6: the medium may have changed, the drive
// was reset) is reported once, to whichever command comes next, and that
// command is not run: it is sent again at once, and a wait goes on.
#ifndef ORVEX_DRIVE_READY_POLLS_H_
#define ORVEX_DRIVE_READY_POLLS_H_

#include <atomic>
#include <cstdint>
#include <optional>

#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "drive/mmc_records.h"
#include "drive/scsi_device.h"

namespace orvex {

// The first pause between polls, doubled after each busy answer up to
// kReadyPollMilliseconds; a wait gives up once its pauses add up to
// kReadyWaitMilliseconds.
constexpr uint32_t kFirstReadyPauseMilliseconds = 20;
constexpr uint32_t kReadyPollMilliseconds = 5000;
constexpr uint32_t kReadyWaitMilliseconds = 3'600'000;
// How often a wait between polls looks whether it was told to stop.
constexpr uint32_t kStopLookMilliseconds = 100;

// Whether the last command's answer says the drive is still busy: the
// sense code 04h, or BUSY status (asked again later, as for "not ready").
inline bool BecomingReady(const TSCSIDevice& device) {
  return device.LastSenseInfo.AddSenseCode == mmc::kAscNotReady || device.TargetBusy;
}

// Whether the last command was refused with a unit attention.
inline bool UnitAttention(const TSCSIDevice& device) {
  return SenseKeyOf(device.LastSenseInfo) == mmc::kSenseUnitAttention;
}

// A drive has few attentions to report: more in a row than this are no
// longer taken for ones.
constexpr uint32_t kMaxAttentions = 8;

// Calls `send` (a command routine; true when the command succeeded), and
// again at once while the drive answers with a unit attention, at most
// kMaxAttentions times more.  Returns what the last call returned.
template <class Send>
bool PastAttentions(TSCSIDevice& device, Send send) {
  for (uint32_t repeats = 0;; ++repeats) {
    const bool done = send();
    if (done || !UnitAttention(device) || repeats == kMaxAttentions) return done;
  }
}

// ReadAnswer of `command` past attentions (PastAttentions): the bytes of
// the last answer that arrived, or empty when the drive refused.
std::optional<uint32_t> AnswerPastAttentions(TSCSIDevice& device, const TCdb& command, uint8_t* buffer,
                                             uint32_t length, bool pending_counts = false);

// Calls `send` past attentions (PastAttentions), and once more when it
// still failed: a drive that was becoming ready, or answered short, often
// answers the second time.  Only for commands that change nothing on the
// drive (questions), as MMC lets those be sent again.  Returns what the
// last call returned; LastSenseInfo then holds its sense.
template <class Send>
bool AskedAgainOnce(TSCSIDevice& device, Send send) {
  return PastAttentions(device, send) || PastAttentions(device, send);
}

// How a wait orders its sleep and its poll in each round.
enum class TPollOrder : uint8_t {
  kSleepFirst,    // sleep, then poll (for an operation just started, which no drive ends at once)
  kSleepIfBusy,   // poll, and sleep only when the drive is still busy
};

// The command a wait polls with.
enum class TPollCommand : uint8_t {
  kDiscInformation,  // READ DISC INFORMATION of 42 bytes into BGFDI
};

// Repeats the round while the poll finds the drive busy, the pause
// growing from kFirstReadyPauseMilliseconds to kReadyPollMilliseconds
// (ReadyPollPause), until the pauses reach kReadyWaitMilliseconds; a poll
// met by a unit attention is sent again (PastAttentions).  True when the
// last poll succeeded: the drive is ready.  False when it ended in another
// refusal, or the drive was still not ready after the last round;
// LastSenseInfo then says why.  False too,
// sending nothing more, once `stop` (when given) is true: the job using the
// drive was told to stop.
bool PollWhileBecomingReady(TSCSIDevice& device, TPollOrder order, TPollCommand command,
                            const std::atomic<bool>* stop = nullptr);

// The pause of a wait's round `round` (from 0): kFirstReadyPauseMilliseconds
// doubled `round` times, at most kReadyPollMilliseconds.
uint32_t ReadyPollPause(uint32_t round);

// Sleeps `milliseconds` through the platform clock in steps of
// kStopLookMilliseconds, ending early once `stop` (when given) is true.
// False when it ended so.
bool SleepUnlessStopped(uint32_t milliseconds, const std::atomic<bool>* stop);

}  // namespace orvex

#endif  // ORVEX_DRIVE_READY_POLLS_H_
