// SPDX-License-Identifier: Apache-2.0
// The MMC codes the drive layer sends and looks for, named once: the
// operation codes (CDB byte 0), the close functions of CLOSE TRACK/SESSION,
// the mode pages, the load and eject of START STOP UNIT, and the sense codes
// that waits and retries tell apart.  Builders, decoders, the command log
// and the jobs use these names; a number that means an MMC code appears
// nowhere else.
#ifndef ORVEX_DRIVE_MMC_CODES_H_
#define ORVEX_DRIVE_MMC_CODES_H_

#include <cstdint>

namespace orvex::mmc {

// Operation codes.  The ones the system sends, and the others the command
// log names when a drive's trace shows them.
constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kRezeroUnit = 0x01;
constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kFormatUnit = 0x04;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kModeSelect6 = 0x15;
constexpr uint8_t kModeSense6 = 0x1A;
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kPreventAllowMediumRemoval = 0x1E;
constexpr uint8_t kReadFormatCapacities = 0x23;
constexpr uint8_t kReadCapacity = 0x25;
constexpr uint8_t kRead10 = 0x28;
constexpr uint8_t kWrite10 = 0x2A;
constexpr uint8_t kSeek10 = 0x2B;
constexpr uint8_t kWriteAndVerify10 = 0x2E;
constexpr uint8_t kVerify10 = 0x2F;
constexpr uint8_t kSynchronizeCache = 0x35;
constexpr uint8_t kReadSubChannel = 0x42;
constexpr uint8_t kReadToc = 0x43;
constexpr uint8_t kPlayAudio10 = 0x45;
constexpr uint8_t kGetConfiguration = 0x46;
constexpr uint8_t kPlayAudioMsf = 0x47;
constexpr uint8_t kGetEventStatusNotification = 0x4A;
constexpr uint8_t kPauseResume = 0x4B;
constexpr uint8_t kStopPlayScan = 0x4E;
constexpr uint8_t kReadDiscInformation = 0x51;
constexpr uint8_t kReadTrackInformation = 0x52;
constexpr uint8_t kReserveTrack = 0x53;
constexpr uint8_t kSendOpcInformation = 0x54;
constexpr uint8_t kModeSelect10 = 0x55;
constexpr uint8_t kRepairTrack = 0x58;
constexpr uint8_t kModeSense10 = 0x5A;
constexpr uint8_t kCloseTrackSession = 0x5B;
constexpr uint8_t kReadBufferCapacity = 0x5C;
constexpr uint8_t kSendCueSheet = 0x5D;
constexpr uint8_t kBlank = 0xA1;
constexpr uint8_t kSendEvent = 0xA2;
constexpr uint8_t kSendKey = 0xA3;
constexpr uint8_t kReportKey = 0xA4;
constexpr uint8_t kPlayAudio12 = 0xA5;
constexpr uint8_t kLoadUnloadMedium = 0xA6;
constexpr uint8_t kSetReadAhead = 0xA7;
constexpr uint8_t kRead12 = 0xA8;
constexpr uint8_t kWrite12 = 0xAA;
constexpr uint8_t kGetPerformance = 0xAC;
constexpr uint8_t kReadDvdStructure = 0xAD;
constexpr uint8_t kSetStreaming = 0xB6;
constexpr uint8_t kReadCdMsf = 0xB9;
constexpr uint8_t kScan = 0xBA;
constexpr uint8_t kSetCdSpeed = 0xBB;
constexpr uint8_t kMechanismStatus = 0xBD;
constexpr uint8_t kReadCd = 0xBE;
constexpr uint8_t kSendDvdStructure = 0xBF;

// CLOSE TRACK/SESSION's close function (CDB byte 2).  What each does
// depends on the medium; the ones the system sends:
enum class TCloseFunction : uint8_t {
  kTrack = 1,    // close the logical track named
  kSession = 2,  // close the session (CD, DVD-R/-RW, BD-R: finalizes unless page 05h keeps it open;
                 // DVD+R: closes it and leaves the disc open; DVD+RW, BD-RE: stops a background format)
  kCompatibleStop = 3,  // DVD+RW: ends a background format so that any reader takes the disc
  kFinalize = 6,        // DVD+R, BD-R: closes the session and the disc
};

// START STOP UNIT byte 4 (LoEj with Start): load or eject the medium.
constexpr uint8_t kLoad = 0x03, kEject = 0x02;

// FORMAT UNIT byte 1: a parameter list follows (FmtData), format code 001b.
constexpr uint8_t kFormatWithList = 0x11;

// Mode pages.
constexpr uint8_t kWriteParametersPage = 0x05;
constexpr uint8_t kCapabilitiesPage = 0x2A;  // CD/DVD capabilities and mechanical status

// Sense keys.
constexpr uint8_t kSenseIllegalRequest = 0x05, kSenseUnitAttention = 0x06;

// Additional sense codes (with their qualifiers where one is looked for).
// 04h: the logical unit is not ready, whatever the qualifier says why (01h
// becoming ready, 04h format in progress, 07h operation in progress, 08h
// long write in progress): a drive answers so until a long operation ends,
// and is asked again.
constexpr uint8_t kAscNotReady = 0x04;
// 29h: power on, reset or bus device reset: what was under way is lost.
constexpr uint8_t kAscReset = 0x29;
// 30h: the medium cannot be written as asked; 05h: it has an incompatible
// format (an unformatted DVD+RW answers so to a WRITE).
constexpr uint8_t kAscCannotWriteMedium = 0x30, kAscqIncompatibleFormat = 0x05;

}  // namespace orvex::mmc

#endif  // ORVEX_DRIVE_MMC_CODES_H_
