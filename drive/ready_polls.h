// Waiting for a drive that is busy with a long operation (a format, a
// blank, a session being closed): it answers with the sense code 04h
// (logical unit not ready) until the operation ends.  The waits poll every
// five seconds through the platform clock, and give up after an hour, so
// that a drive that never becomes ready cannot hold a job forever.
#ifndef ORVEX_DRIVE_READY_POLLS_H_
#define ORVEX_DRIVE_READY_POLLS_H_

#include <cstdint>

#include "drive/scsi_device.h"

namespace orvex {

constexpr uint32_t kReadyPollMilliseconds = 5000;
constexpr uint32_t kMaxReadyPolls = 720;

// Whether the last command's sense says the drive is not ready yet.
inline bool BecomingReady(const TSCSIDevice& device) { return device.LastSenseInfo.AddSenseCode == 0x04; }

// How a wait orders its sleep and its poll in each round.
enum class TPollOrder : uint8_t {
  kSleepFirst,    // sleep, then poll
  kPollFirst,     // poll, then sleep (also after the last poll)
  kSleepIfBusy,   // poll, and sleep only when the drive is still busy
};

enum class TPollCommand : uint8_t {
  kDiscInformation,  // READ DISC INFORMATION of 42 bytes into BGFDI
  kTestUnitReady,
};

// Repeats the round while the poll leaves the sense code 04h, at most
// kMaxReadyPolls times.  Returns whether the drive stopped saying so.
bool PollWhileBecomingReady(TSCSIDevice& device, TPollOrder order, TPollCommand command);

}  // namespace orvex

#endif  // ORVEX_DRIVE_READY_POLLS_H_
