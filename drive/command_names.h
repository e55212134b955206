// The names the debug log gives the MMC opcodes: 22 characters each, padded
// with blanks; empty for an opcode without one.
#ifndef ORVEX_DRIVE_COMMAND_NAMES_H_
#define ORVEX_DRIVE_COMMAND_NAMES_H_

#include <cstdint>
#include <string_view>

namespace orvex {

std::string_view CommandName(uint8_t opcode);

}  // namespace orvex

#endif  // ORVEX_DRIVE_COMMAND_NAMES_H_
