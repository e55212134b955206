// SPDX-License-Identifier: Apache-2.0
// The answer a drive of the burner gives to a command that came through
// the kernel's SCSI target: the CDB and the data buffer handed to the
// drive's own command dispatch, its status, sense and data passed back.
#ifndef ORVEX_VBURNER_TCMU_ANSWER_H_
#define ORVEX_VBURNER_TCMU_ANSWER_H_

#include <cstdint>
#include <span>

#include "vburner/drive.h"
#include "vburner/tcmu_ring.h"

namespace orvex::vburner {

// SCSI status bytes the ring carries.
constexpr uint8_t kScsiGood = 0x00;
constexpr uint8_t kScsiCheckCondition = 0x02;
constexpr uint8_t kScsiBusy = 0x08;
constexpr uint8_t kScsiTaskAborted = 0x40;

// Runs the command on `drive` and waits for it.  The kernel does not tell
// which way data flows, so the buffer goes to the drive with either
// direction allowed: a command taking data out reads it, one returning
// data writes into it.  A buffer that does not fit what the command
// moves (the initiator's transfer length disagreeing with the CDB) ends
// in CHECK CONDITION, ILLEGAL REQUEST, INVALID FIELD IN COMMAND
// INFORMATION UNIT, as the kernel's own target answers such a command.
RingAnswer AnswerByDrive(Drive& drive, std::span<const uint8_t> cdb, std::span<uint8_t> data);

// The answer while a left-over device is taken down: every command
// fails with LOGICAL UNIT NOT SUPPORTED.
RingAnswer RefuseCommand(std::span<const uint8_t> cdb, std::span<uint8_t> data);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_TCMU_ANSWER_H_
