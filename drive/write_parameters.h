// SPDX-License-Identifier: Apache-2.0
// Telling the drive how to write: the write parameters page (05h) for each
// medium and option, the speed, the streaming performance, and the DVD-R
// time stamp.  (Track reservation and the close routines are single
// commands: mmc_commands.h.)
#ifndef ORVEX_DRIVE_WRITE_PARAMETERS_H_
#define ORVEX_DRIVE_WRITE_PARAMETERS_H_

#include <cstdint>

#include "drive/medium.h"
#include "drive/scsi_device.h"
#include "platform/file_time.h"

namespace orvex {

// Whether the disc stays open for a session after this one.
enum class TNextSession : uint8_t {
  kNone,     // closing the session finalizes the disc where the medium does so
  kAllowed,  // another session may follow
};

// Page 05h's write type (byte 2, bits 3-0).
enum class TWriteType : uint8_t { kIncremental = 0, kTrackAtOnce = 1, kSessionAtOnce = 2 };

// How the multi-session field (byte 3, bits 7-6) follows TNextSession: 11b
// keeps the disc open, 00b lets closing the session finalize it.
enum class TSessionsRule : uint8_t {
  kAsAsked,        // as asked, under test write too (the drive closes for real there)
  kOpenUnderTest,  // as asked, but 11b under test write: a simulation closes nothing
  kAlwaysOpen,     // 11b: the medium is never finalized by closing a session
};

// How the fixed packet bit (byte 3, bit 5) and the packet fields are set.
enum class TPacketRule : uint8_t {
  kVariable,        // FP clear; the packet and link fields as the row gives them
  kFixed,           // FP set: every WRITE a whole packet of packet_blocks
  kFixedWhileOpen,  // as kFixed while the disc stays open (kAllowed); without
                    // it FP clear and packet and link size 0
};

// One medium kind's page 05h.  Every row also has: the link size valid
// bit (LS_V) as the row says, audio pause 150 blocks (2 s), the catalogue
// number and ISRC empty, the test write bit when the device is set to test
// write (TSCSIDevice::TestWrite), and BUFE when the device asks for
// underrun protection (BurnProof) and its capabilities page last read
// (ModePage2A) reports it: a drive without it refuses a page that asks.
struct TWriteParametersRow {
  TMedium medium;
  TWriteType write_type;
  uint8_t track_mode;       // 4: data, uninterrupted; 5: data, recorded incrementally
  uint8_t data_block_type;  // 8: mode 1, 2048-byte user data
  uint8_t session_format;   // 00h: CD-DA or CD-ROM (the field is ignored off CD)
  TSessionsRule sessions;
  TPacketRule packets;
  uint32_t packet_blocks;  // Packet Size
  bool link_size_valid;    // LS_V
  uint8_t link_blocks;     // Link Size
  uint32_t write_unit;     // the blocks every WRITE is a whole number of (WriteUnitBlocks)
};

// The rows (write_parameters.cpp).  DVD-R and DVD-RW are written
// incrementally in packets of an ECC block (16), fixed ones on DVD-R;
// closing a session of a sequential disc finalizes it unless the field
// says 11b, under test write too; a restricted-overwrite disc is written in
// whole ECC blocks and always stays open.  DVD+R is told fixed packets of
// 16 only while the disc stays open.  Double-density CD is written session
// at once.  Every medium without a row of its own (CD-R, CD-RW, BD, HD DVD,
// DVD-RAM, DVD-RW of unknown mode) is written track at once in mode 1,
// with the multi-session field as the CD rows have it.  The row of
// `medium`: its own, or that of the media without one.
const TWriteParametersRow& WriteParametersOf(TMedium medium);

// Sends page 05h for `medium` (its row) with MODE SELECT, keeping the disc
// open for another session as `next` says and taking test write and
// underrun protection from the device's settings.  The drive's current
// page is read first: the mode parameter header and any block descriptor
// go back as the drive returned them, and the page keeps the length the
// drive gave it (no more than arrived); only its first PageLen bytes are
// replaced.  False when the page cannot be read or the MODE SELECT fails.
bool SetWriteParameters(TSCSIDevice& device, TMedium medium, TNextSession next);

// As SetWriteParameters with TNextSession::kNone, but with neither test
// write nor BUFE whatever the device's settings: the page for commands that
// record no burn (an erase, which must not be simulated) or only ask where
// the disc can be written.
bool SetPlainWriteParameters(TSCSIDevice& device, TMedium medium);

// The blocks every WRITE must be a whole number of on `medium`, as
// SetWriteParameters sets it up: 16 on a restricted-overwrite DVD-RW (its
// ECC block) and on DVD-R (fixed packets); 1 elsewhere.
uint32_t WriteUnitBlocks(TMedium medium);

// Stores both speeds (kilobytes per second; 0 asks for the fastest) and
// sends SET CD SPEED with them.
void SetDeviceSpeed(TSCSIDevice& device, uint16_t read_speed, uint16_t write_speed);

// SET STREAMING with one performance descriptor: from block 0 to `end_lba`,
// `read_size` KB in `read_time` ms and `write_size` KB in `write_time` ms.
bool SetStreaming(TSCSIDevice& device, uint32_t end_lba, uint32_t read_size, uint32_t read_time,
                  uint32_t write_size, uint32_t write_time);

// SEND DVD STRUCTURE format 0Fh: the time stamp YYYYMMDDHHMMSS of `time`.
bool SendDVDTimestamp(TSCSIDevice& device, const SYSTEMTIME& time);

}  // namespace orvex

#endif  // ORVEX_DRIVE_WRITE_PARAMETERS_H_
