// SPDX-License-Identifier: Apache-2.0
// Why the disc in a drive was refused for writing, told in words: the
// component's one error for an unwritable disc covers an open tray, no
// disc, a finalized disc and a medium the drive cannot write, and its error
// for too little room says neither what is needed nor what is free.  The
// drive is asked afresh once the burn has been refused.
#ifndef ORVEX_CLI_WRITE_REFUSAL_H_
#define ORVEX_CLI_WRITE_REFUSAL_H_

#include <cstdint>
#include <string>

#include "cli/json.h"
#include "component/orvex.h"

namespace orvex::cli {

// What keeps a disc from being written, as the report's "error.cause" names it.
enum class TWriteObstacle { kTrayOpen, kNoDisc, kFinalized, kMediumNotWritable };
const char* ObstacleKey(TWriteObstacle obstacle);

// Asks the selected drive why its disc cannot be written (no job may run).
TWriteObstacle FindWriteObstacle(TOrvex& disc);

// "the DVD+R in drive 0 (ORVEX VIRTUAL DVD-RW) is finalized: it takes no
// more sessions", "drive 0 (ORVEX VIRTUAL DVD-RW) cannot write BD-R
// media"; `medium` is the medium's name (empty when the drive does
// not recognise it), `drive` the drive's.
std::string ObstacleText(TWriteObstacle obstacle, const std::string& medium, const std::string& drive);

// "B blocks (X MiB) are needed, F blocks (Y MiB) are free".
std::string SpaceText(uint32_t needed, uint32_t free);

// The report's "error.space": the blocks and MiB needed and free.
TJson SpaceFields(uint32_t needed, uint32_t free);

// The message for a refused burn of `needed` blocks whose error is
// `error`, with the cause added to the component's text for the two errors
// above, and their fields added to the report's error; else
// FailureMessage(error).
std::string WriteRefusalMessage(TOrvex& disc, const TOrvex::TErrorInfo& error, uint32_t needed);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_WRITE_REFUSAL_H_
