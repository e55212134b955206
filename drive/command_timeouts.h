// SPDX-License-Identifier: Apache-2.0
// How long each kind of command may take before it is given up.  Both
// transports take their bound from here: the kernel's in the pass-through
// header, the driver library's in its wait for the post event.
//
// Questions (inquiries, the medium's and the buffer's state, mode pages,
// speed settings) answer within seconds on any drive, so a drive that holds
// one longer has hung, and must not hold the caller (a window's thread
// selecting a drive) for hours.  Reads of recorded blocks may take a drive
// a minute of retries on a damaged disc, and loading a tray or spinning up
// a disc takes seconds more.  Recording commands (WRITE, SYNCHRONIZE
// CACHE, CLOSE TRACK/SESSION, BLANK, FORMAT UNIT, RESERVE TRACK, SEND CUE
// SHEET) may take as long as a full format or blank of the slowest medium;
// so does any command not named here, since nothing says it is quick.
#ifndef ORVEX_DRIVE_COMMAND_TIMEOUTS_H_
#define ORVEX_DRIVE_COMMAND_TIMEOUTS_H_

#include <cstdint>

namespace orvex {

constexpr uint32_t kQuestionTimeoutSeconds = 30;
constexpr uint32_t kReadTimeoutSeconds = 120;
constexpr uint32_t kRecordingTimeoutSeconds = 12000;

// The bound of the command whose operation code is `opcode`.
uint32_t CommandTimeoutSeconds(uint8_t opcode);

}  // namespace orvex

#endif  // ORVEX_DRIVE_COMMAND_TIMEOUTS_H_
