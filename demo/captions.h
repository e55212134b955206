// SPDX-License-Identifier: Apache-2.0
// The desktop program's fixed texts: the status captions, the Boolean
// words of the log, the log's time stamp, and the capabilities Quick Info
// asks about.
#ifndef ORVEX_DEMO_CAPTIONS_H_
#define ORVEX_DEMO_CAPTIONS_H_

#include <cstdint>
#include <span>
#include <string>

namespace orvex::demo {

// The caption of a ComponentStatus value, blanks included (" IDLE ");
// empty for a value beyond the table.
const char* StatusCaption(uint16_t status);

// "True" or "False".
const char* BoolWord(bool value);

// Minute, second and millisecond of the current UTC time, "mm:ss:mmm",
// which the log puts directly before a message.
std::string LogTimeStamp();

// A capability Quick Info reports: its name and its DeviceCan identifier.
struct TCapability {
  const char* name;
  uint8_t id;
};
// In the order Quick Info lists them.
std::span<const TCapability> QuickInfoCapabilities();

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_CAPTIONS_H_
