// SPDX-License-Identifier: Apache-2.0
// The names the debug log gives the MMC opcodes: 22 characters each, padded
// with blanks; empty for an opcode without one.
#ifndef ORVEX_DRIVE_COMMAND_NAMES_H_
#define ORVEX_DRIVE_COMMAND_NAMES_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "drive/mmc_records.h"

namespace orvex {

std::string_view CommandName(uint8_t opcode);

// The name without the padding, or "command 5Eh" for an opcode without one.
std::string CommandTitle(uint8_t opcode);

// What a user is told of a command the drive refused: its name without the
// padding (the opcode when it has none) and the sense it ended with, as
// "READ DISC INFORMATION failed (sense 2/04h/01h)".
std::string RefusalText(uint8_t opcode, const TSENSE& sense);

}  // namespace orvex

#endif  // ORVEX_DRIVE_COMMAND_NAMES_H_
