// Telling the drive how to write: the write parameters page (05h) for each
// medium and option, the speed, the streaming performance, and the DVD-R
// time stamp.  (Track reservation and the close routines are single
// commands: mmc_commands.h.)
#ifndef ORVEX_DRIVE_WRITE_PARAMETERS_H_
#define ORVEX_DRIVE_WRITE_PARAMETERS_H_

#include <cstdint>

#include "drive/scsi_device.h"
#include "platform/file_time.h"

namespace orvex {

// Builds page 05h for `medium` from the drive's current page and sends it
// back with MODE SELECT (see the .cpp for the rules per medium).  BUFE is
// set only when `burn_proof` asks for it and the capabilities page last
// read (ModePage2A) reports underrun-free recording.  `multi` keeps the
// disc open for another session; without it closing the session of a CD,
// DVD-R or sequential DVD-RW finalizes the disc.  The mode
// parameter header and any block descriptor go back as the drive returned
// them; only the first PageLen bytes of the page are replaced.  False when
// the page cannot be read or the MODE SELECT fails.
bool SetWriteParameters(TSCSIDevice& device, bool test_write, bool burn_proof, TMedium medium, bool multi);

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
