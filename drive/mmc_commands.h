// SPDX-License-Identifier: Apache-2.0
// The MMC commands the system sends: a typed builder for each command
// block, and a thin routine per command that sends it through
// ExecuteCommand and says whether it succeeded.  The routines decide
// nothing; inspection, write set-up and erasing interpret the answers.
//
// Success: most routines need status 1 (done); the ones marked "done or
// pending" also count a request still reported pending as success.
// Multi-byte CDB fields are big-endian.
#ifndef ORVEX_DRIVE_MMC_COMMANDS_H_
#define ORVEX_DRIVE_MMC_COMMANDS_H_

#include <array>
#include <cstdint>
#include <optional>

#include "drive/mmc_codes.h"
#include "drive/scsi_device.h"

namespace orvex {

// A command descriptor block.
struct TCdb {
  std::array<uint8_t, 16> bytes{};
  uint8_t length = 0;
};

// The builders, one per command (CDB bytes not named are 0).
namespace cdb {
TCdb TestUnitReady();                                           // 00
TCdb RezeroUnit();                                              // 01
TCdb Inquiry(uint8_t allocation);                               // 12
TCdb StartStopUnit(bool immediate, uint8_t load_eject);         // 1B: byte 4 03h load, 02h eject
TCdb PreventAllowMediumRemoval(bool prevent);                   // 1E
TCdb FormatUnit(uint8_t byte1);                                 // 04
TCdb ReadFormatCapacities(uint16_t allocation);                 // 23
TCdb Read10(uint32_t lba, uint16_t blocks);                     // 28
TCdb Write10(uint32_t lba, uint16_t blocks);                    // 2A
TCdb SynchronizeCache(bool immediate);                          // 35
TCdb ReadToc(uint8_t format, uint8_t number, uint8_t allocation, bool msf);  // 43
TCdb GetConfiguration(uint16_t feature, uint16_t allocation);   // 46, one feature (RT 10b)
TCdb GetEventStatusNotification(uint8_t classes, uint16_t allocation);  // 4A, polled; classes as request bits
TCdb ReadDiscInformation(uint16_t allocation);                  // 51
TCdb ReadTrackInformation(uint8_t track, uint16_t allocation);  // 52, by track number
TCdb ReserveTrack(uint32_t blocks);                             // 53
TCdb ModeSelect10(uint16_t length);                             // 55, page format
TCdb ModeSense10(uint8_t page, bool defaults, uint16_t allocation);  // 5A
TCdb CloseTrackSession(mmc::TCloseFunction what, uint16_t number, bool immediate);  // 5B
TCdb ReadBufferCapacity(uint16_t allocation);                   // 5C
TCdb Blank(bool quick);                                         // A1, immediate
TCdb SetStreaming(uint16_t length);                             // B6
TCdb SetCdSpeed(uint16_t read, uint16_t write);                 // BB, CLV: 0 asks for the fastest (FFFFh)
TCdb ReadDiscStructure(uint8_t media_type, uint8_t format, uint16_t allocation);  // AD, layer 0
TCdb SendDvdStructure(uint8_t format, uint16_t length);         // BF
}  // namespace cdb

// Sends `command` with `length` bytes of data in (kSrbDataIn), out
// (kSrbDataOut) or none (0); returns the request's status.
uint8_t RunCommand(TSCSIDevice& device, const TCdb& command, uint8_t direction, uint8_t* data,
                   uint32_t length, uint32_t* transferred = nullptr);

// Sends `command` for up to `length` bytes of answer into `buffer`, zeroed
// first so that whatever does not arrive reads 0.  The bytes that arrived,
// or nullopt when the command failed (with `pending_counts`, a request
// still reported pending counts as done).
std::optional<uint32_t> ReadAnswer(TSCSIDevice& device, const TCdb& command, uint8_t* buffer, uint32_t length,
                                   bool pending_counts = false);

bool TestUnitReady(TSCSIDevice& device);
bool RezeroUnit(TSCSIDevice& device);
// 64 bytes of INQUIRY data into `buffer`.
bool Inquiry(TSCSIDevice& device, uint8_t* buffer);
bool LoadMedium(TSCSIDevice& device, bool immediate);
bool EjectMedium(TSCSIDevice& device, bool immediate);
bool LockMedium(TSCSIDevice& device);
bool UnlockMedium(TSCSIDevice& device);
// Done or pending.
bool FormatUnit(TSCSIDevice& device, uint8_t byte1, const uint8_t* list, uint32_t length);
// READ FORMAT CAPACITIES, 124 bytes into `buffer`; `transferred` gets the
// bytes that arrived.
bool ReadFormatCapacities(TSCSIDevice& device, uint8_t* buffer, uint32_t* transferred);
bool Read10(TSCSIDevice& device, uint32_t lba, uint16_t blocks, uint8_t* buffer);
bool Write10(TSCSIDevice& device, uint32_t lba, uint16_t blocks, uint32_t length, const uint8_t* buffer);
// Done or pending.
bool SynchronizeCache(TSCSIDevice& device, bool immediate);
bool ReadTOC(TSCSIDevice& device, uint8_t format, uint8_t number, uint8_t length, uint8_t* buffer,
             bool msf);
bool GetConfiguration(TSCSIDevice& device, uint8_t* buffer, uint16_t length, uint16_t feature,
                      uint32_t* transferred = nullptr);
// GET EVENT STATUS NOTIFICATION, polled, for the classes whose request
// bits are set in `classes` (1 << class number), `length` bytes into
// `buffer`; `transferred` gets the bytes that arrived.  A drive reports
// each event once: the answer is the one look at it.
bool GetEventStatusNotification(TSCSIDevice& device, uint8_t classes, uint8_t* buffer, uint16_t length,
                                uint32_t* transferred = nullptr);
bool ReadDiscInformation(TSCSIDevice& device, uint8_t* buffer, uint16_t length);
// 38 bytes into TrackInformation, its fields turned to host order (what
// did not arrive reads 0).
bool ReadTrackInformation(TSCSIDevice& device, uint8_t track);
bool ReserveTrack(TSCSIDevice& device, uint32_t blocks);
// Done or pending.
bool ModeSelect10(TSCSIDevice& device, const uint8_t* buffer, uint16_t length);
// Done or pending.
bool ModeSense10(TSCSIDevice& device, uint8_t* buffer, uint16_t length, bool defaults, uint8_t page);
// CLOSE TRACK/SESSION with close function `what` of track or session
// `number` (0 where the function names none, FFh for the open one as some
// media take it).  Done or pending.
bool CloseTrackSession(TSCSIDevice& device, mmc::TCloseFunction what, uint16_t number, bool immediate);
// 32 bytes into tmpBuffer.
bool ReadBufferCapacityCommand(TSCSIDevice& device);
// Done or pending.
bool BlankDisc(TSCSIDevice& device, bool quick);
bool SetStreamingCommand(TSCSIDevice& device, const uint8_t* buffer, uint16_t length);
bool SetCDSpeed(TSCSIDevice& device, uint16_t read, uint16_t write);
bool SendDVDStructure(TSCSIDevice& device, uint8_t format, const uint8_t* buffer, uint16_t length);

}  // namespace orvex

#endif  // ORVEX_DRIVE_MMC_COMMANDS_H_
