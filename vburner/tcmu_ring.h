// SPDX-License-Identifier: Apache-2.0
// The command ring a kernel SCSI target's user backstore shares with the
// process that answers its commands: a mailbox at the start of the mapped
// area, a ring of command entries after it, and the data area behind the
// ring.  The kernel appends entries and moves the head; the answering side
// writes each entry's response in place and moves the tail past it.
#ifndef ORVEX_VBURNER_TCMU_RING_H_
#define ORVEX_VBURNER_TCMU_RING_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <vector>

namespace orvex::vburner {

// What one SCSI command answers.
struct RingAnswer {
  uint8_t status = 0;          // SCSI status byte
  std::vector<uint8_t> sense;  // with CHECK CONDITION; cut to the entry's sense buffer
  uint32_t data_in = 0;        // bytes of data in the command returned
};

// Answers one command: `cdb` as long as its operation code's group makes
// it, `data` the command's data buffer (data out as the initiator sent it;
// data in is written into it).
using RingHandler = std::function<RingAnswer(std::span<const uint8_t> cdb, std::span<uint8_t> data)>;

// A mailbox or entry pointing outside the mapped area: the ring cannot be
// served safely any more.
struct RingError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The length of a CDB from its operation code, as the kernel copies it
// into the ring; 0 for a variable-length CDB whose length byte lies
// beyond `available` bytes.
size_t CdbLength(const uint8_t* cdb, size_t available);

// Answers every entry between the ring's tail and its head through
// `handler`, skipping padding and task management notices, and moves the
// tail past each.  Returns the number of commands answered; the caller
// then tells the kernel (a write to the UIO device).  Throws RingError,
// leaving the tail before the offending entry, when the mailbox or an
// entry does not fit `area`.
size_t ServeRing(std::span<uint8_t> area, const RingHandler& handler);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_TCMU_RING_H_
