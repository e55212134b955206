#include "drive/command_timeouts.h"

#include <array>

namespace orvex {
namespace {

struct TBound {
  uint8_t opcode;
  uint32_t seconds;
};

// Every opcode not listed is bounded as a recording command.
constexpr TBound kBounds[] = {
    {0x00, kQuestionTimeoutSeconds},   // TEST UNIT READY
    {0x01, kQuestionTimeoutSeconds},   // REZERO UNIT
    {0x03, kQuestionTimeoutSeconds},   // REQUEST SENSE
    {0x12, kQuestionTimeoutSeconds},   // INQUIRY
    {0x15, kQuestionTimeoutSeconds},   // MODE SELECT (6)
    {0x1A, kQuestionTimeoutSeconds},   // MODE SENSE (6)
    {0x1E, kQuestionTimeoutSeconds},   // PREVENT/ALLOW MEDIUM REMOVAL
    {0x23, kQuestionTimeoutSeconds},   // READ FORMAT CAPACITIES
    {0x25, kQuestionTimeoutSeconds},   // READ CAPACITY
    {0x42, kQuestionTimeoutSeconds},   // READ SUB-CHANNEL
    {0x43, kQuestionTimeoutSeconds},   // READ TOC/PMA/ATIP
    {0x46, kQuestionTimeoutSeconds},   // GET CONFIGURATION
    {0x4A, kQuestionTimeoutSeconds},   // GET EVENT STATUS NOTIFICATION
    {0x51, kQuestionTimeoutSeconds},   // READ DISC INFORMATION
    {0x52, kQuestionTimeoutSeconds},   // READ TRACK INFORMATION
    {0x55, kQuestionTimeoutSeconds},   // MODE SELECT (10)
    {0x5A, kQuestionTimeoutSeconds},   // MODE SENSE (10)
    {0x5C, kQuestionTimeoutSeconds},   // READ BUFFER CAPACITY
    {0xA4, kQuestionTimeoutSeconds},   // REPORT KEY
    {0xAC, kQuestionTimeoutSeconds},   // GET PERFORMANCE
    {0xAD, kQuestionTimeoutSeconds},   // READ DISC STRUCTURE
    {0xB6, kQuestionTimeoutSeconds},   // SET STREAMING
    {0xBB, kQuestionTimeoutSeconds},   // SET CD SPEED
    {0xBD, kQuestionTimeoutSeconds},   // MECHANISM STATUS
    {0x1B, kReadTimeoutSeconds},       // START STOP UNIT (load, eject, spin up)
    {0x28, kReadTimeoutSeconds},       // READ (10)
    {0x2B, kReadTimeoutSeconds},       // SEEK (10)
    {0x2F, kReadTimeoutSeconds},       // VERIFY (10)
    {0x54, kReadTimeoutSeconds},       // SEND OPC INFORMATION
    {0xA6, kReadTimeoutSeconds},       // LOAD/UNLOAD MEDIUM
    {0xA8, kReadTimeoutSeconds},       // READ (12)
    {0xBE, kReadTimeoutSeconds},       // READ CD
    {0xBF, kReadTimeoutSeconds},       // SEND DISC STRUCTURE
};

constexpr std::array<uint32_t, 256> Table() {
  std::array<uint32_t, 256> table{};
  table.fill(kRecordingTimeoutSeconds);
  for (const TBound& b : kBounds) table[b.opcode] = b.seconds;
  return table;
}

constexpr std::array<uint32_t, 256> kTable = Table();

}  // namespace

uint32_t CommandTimeoutSeconds(uint8_t opcode) { return kTable[opcode]; }

}  // namespace orvex
