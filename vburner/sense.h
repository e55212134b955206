// SPDX-License-Identifier: Apache-2.0
// Fixed-format sense data and the conditions a drive reports with it.
//
// Command handlers end a command in CHECK CONDITION by throwing
// CheckCondition; the dispatcher turns it into the request's sense area.
#ifndef ORVEX_VBURNER_SENSE_H_
#define ORVEX_VBURNER_SENSE_H_

#include <array>
#include <cstdint>
#include <optional>

namespace orvex::vburner {

struct Sense {
  uint8_t key;
  uint8_t asc;
  uint8_t ascq;
  bool operator==(const Sense&) const = default;
};

// Every condition the model produces.
inline constexpr Sense kNoSense{0x00, 0x00, 0x00};
inline constexpr Sense kBecomingReady{0x02, 0x04, 0x01};
inline constexpr Sense kFormatInProgress{0x02, 0x04, 0x04};
inline constexpr Sense kOperationInProgress{0x02, 0x04, 0x07};
inline constexpr Sense kLongWriteInProgress{0x02, 0x04, 0x08};
inline constexpr Sense kCannotReadMedium{0x02, 0x30, 0x00};    // the drive cannot read this profile
inline constexpr Sense kNoMediumTrayClosed{0x02, 0x3A, 0x01};
inline constexpr Sense kNoMediumTrayOpen{0x02, 0x3A, 0x02};
inline constexpr Sense kWriteError{0x03, 0x0C, 0x00};
inline constexpr Sense kUnrecoveredReadError{0x03, 0x11, 0x00};
inline constexpr Sense kInternalTargetFailure{0x04, 0x44, 0x00};  // a failure of the emulator itself
inline constexpr Sense kParameterListLengthError{0x05, 0x1A, 0x00};
inline constexpr Sense kInvalidOpcode{0x05, 0x20, 0x00};
inline constexpr Sense kLbaOutOfRange{0x05, 0x21, 0x00};
inline constexpr Sense kInvalidWriteAddress{0x05, 0x21, 0x02};
inline constexpr Sense kInvalidFieldInCdb{0x05, 0x24, 0x00};
inline constexpr Sense kInvalidFieldInParameterList{0x05, 0x26, 0x00};
inline constexpr Sense kCommandSequenceError{0x05, 0x2C, 0x00};
inline constexpr Sense kIncompatibleMedium{0x05, 0x30, 0x00};  // the medium has no such operation
inline constexpr Sense kIncompatibleFormat{0x05, 0x30, 0x02};  // not a medium of the family asked about
inline constexpr Sense kCannotWriteMedium{0x05, 0x30, 0x05};   // not writable in this drive or state
inline constexpr Sense kSavingNotSupported{0x05, 0x39, 0x00};
inline constexpr Sense kRemovalPrevented{0x05, 0x53, 0x02};
inline constexpr Sense kMediumMayHaveChanged{0x06, 0x28, 0x00};
inline constexpr Sense kPowerOnReset{0x06, 0x29, 0x00};

struct CheckCondition {
  Sense sense;
  std::optional<uint32_t> information;  // the failing block address, where one applies
  std::optional<uint16_t> progress;     // 0..65535 of a not-ready operation
  bool deferred = false;  // the failure of an earlier command that returned before it ended
};

[[noreturn]] inline void Fail(Sense sense) { throw CheckCondition{sense, std::nullopt, std::nullopt}; }
[[noreturn]] inline void FailAt(Sense sense, uint32_t lba) { throw CheckCondition{sense, lba, std::nullopt}; }

constexpr size_t kFixedSenseLength = 18;

// The 18 bytes of fixed-format sense data (response code 70h, current
// error, or 71h, deferred error).
std::array<uint8_t, kFixedSenseLength> BuildFixedSense(const CheckCondition& condition);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_SENSE_H_
