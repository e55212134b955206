// SPDX-License-Identifier: Apache-2.0
// The request blocks handed to a run-time driver library: the layout both
// sides of the library boundary compile against.
//
// The blocks keep the field order of the 32-bit driver interface they come
// from.  Pointers and the post event are 64 bits wide here, so every offset
// after the data pointer moves; the static_asserts below fix the layout
// that a driver library built from this header reads and writes.
//
// The post event is an eventfd file descriptor held in a 64-bit field.
// The library writes the 8-byte value 1 to it when a request that carries
// the flag kSrbPostEvent completes after SendASPI32Command returned
// kSrbStatusPending.  The caller creates, waits on and closes the
// descriptor; the library never closes it.
#ifndef ORVEX_DRIVE_SRB_H_
#define ORVEX_DRIVE_SRB_H_

#include <cstddef>
#include <cstdint>

namespace orvex {

// Request codes (SRB_Cmd).
constexpr uint8_t kSrbHostAdapterInquiry = 0x00;
constexpr uint8_t kSrbExecSCSICmd = 0x02;
constexpr uint8_t kSrbAbortSRB = 0x03;
constexpr uint8_t kSrbGetDiskInfo = 0x06;

// Request status (SRB_Status and the value SendASPI32Command returns).
constexpr uint8_t kSrbStatusPending = 0x00;     // completion comes through the post event
constexpr uint8_t kSrbStatusDone = 0x01;        // completed without error
constexpr uint8_t kSrbStatusAborted = 0x02;     // given up: the driver shut down, or the caller aborted it
constexpr uint8_t kSrbStatusAbortFailed = 0x03; // the request to abort was not pending
constexpr uint8_t kSrbStatusError = 0x04;       // see target status, host adapter status and sense
constexpr uint8_t kSrbStatusInvalidCmd = 0x80;  // unknown request code
constexpr uint8_t kSrbStatusInvalidHa = 0x81;   // no such host adapter
constexpr uint8_t kSrbStatusNoDevice = 0x82;    // no device at that target and lun
constexpr uint8_t kSrbStatusInvalidSrb = 0xE0;  // malformed request block

// Request flags (SRB_Flags); callers use 40h, 48h or 50h.
constexpr uint8_t kSrbPostEvent = 0x40;
constexpr uint8_t kSrbDataIn = 0x08;
constexpr uint8_t kSrbDataOut = 0x10;

// Host adapter status (SRB_HaStat).
constexpr uint8_t kHaStatOk = 0x00;
constexpr uint8_t kHaStatSelectionTimeout = 0x11;  // nothing answers at that address
constexpr uint8_t kHaStatDataOverUnderrun = 0x12;  // the transfer does not fit the buffer
constexpr uint8_t kHaStatPhaseError = 0x14;        // data direction or CDB length wrong for the command

// SCSI status byte (SRB_TargStat).
constexpr uint8_t kTargetStatusGood = 0x00;
constexpr uint8_t kTargetStatusCheckCondition = 0x02;
constexpr uint8_t kTargetStatusBusy = 0x08;

constexpr size_t kSrbCdbSize = 16;
constexpr size_t kSrbSenseSize = 32;

// Execute one SCSI command (request code 2).  The caller zeroes the block
// and fills flags, address, data length and pointer, sense length, CDB
// length and CDB; the driver fills status, the two status bytes and, when
// the command ends in CHECK CONDITION, the sense area.
struct TSRB_ExecSCSICmd {
  uint8_t SRB_Cmd;          // kSrbExecSCSICmd
  uint8_t SRB_Status;       // written last by the driver
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_BufLen;      // bytes to transfer; after a short transfer (host status 12h) the driver
                            // lowers it to the bytes that moved
  uint8_t* SRB_BufPointer;  // the caller's data buffer
  uint8_t SRB_SenseLen;     // sense bytes wanted, at most kSrbSenseSize
  uint8_t SRB_CDBLen;       // 6, 10, 12 or 16
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;
  uint8_t SRB_Rsvd2[4];     // keeps the post event on its natural alignment
  int64_t SRB_PostProc;     // eventfd descriptor, used only with kSrbPostEvent
  uint8_t SRB_Rsvd3[20];
  uint8_t CDBByte[kSrbCdbSize];
  uint8_t SenseArea[kSrbSenseSize];
  uint8_t SRB_Rsvd4[4];     // tail padding made explicit
};

static_assert(offsetof(TSRB_ExecSCSICmd, SRB_Cmd) == 0);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_Status) == 1);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_HaId) == 2);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_Flags) == 3);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_Hdr_Rsvd) == 4);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_Target) == 8);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_Lun) == 9);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_BufLen) == 12);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_BufPointer) == 16);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_SenseLen) == 24);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_CDBLen) == 25);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_HaStat) == 26);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_TargStat) == 27);
static_assert(offsetof(TSRB_ExecSCSICmd, SRB_PostProc) == 32);
static_assert(offsetof(TSRB_ExecSCSICmd, CDBByte) == 60);
static_assert(offsetof(TSRB_ExecSCSICmd, SenseArea) == 76);
static_assert(sizeof(TSRB_ExecSCSICmd) == 112);

// Host adapter inquiry (request code 0), sent in a zeroed block.
struct TSRB_HAInquiry {
  uint8_t SRB_Cmd;  // kSrbHostAdapterInquiry
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t HA_Count;            // number of host adapters
  uint8_t HA_SCSI_ID;          // the adapter's own target id
  uint8_t HA_ManagerId[16];    // driver name, blank padded
  uint8_t HA_Identifier[16];   // adapter name, blank padded
  uint8_t HA_Unique[16];       // byte 3: targets per adapter; bytes 4-7: maximum transfer length, little-endian
  uint16_t HA_Rsvd1;
};

static_assert(offsetof(TSRB_HAInquiry, HA_Count) == 8);
static_assert(offsetof(TSRB_HAInquiry, HA_SCSI_ID) == 9);
static_assert(offsetof(TSRB_HAInquiry, HA_ManagerId) == 10);
static_assert(offsetof(TSRB_HAInquiry, HA_Identifier) == 26);
static_assert(offsetof(TSRB_HAInquiry, HA_Unique) == 42);
static_assert(sizeof(TSRB_HAInquiry) == 60);

// Abort a pending execute request (request code 3).  A request the driver
// still holds completes with kSrbStatusAborted, through its post event
// when it asked for one; the abort itself completes at once.
struct TSRB_Abort {
  uint8_t SRB_Cmd;  // kSrbAbortSRB
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  TSRB_ExecSCSICmd* SRB_ToAbort;
};

static_assert(offsetof(TSRB_Abort, SRB_HaId) == 2);
static_assert(offsetof(TSRB_Abort, SRB_ToAbort) == 8);
static_assert(sizeof(TSRB_Abort) == 16);

// Get disk info (request code 6): which drive letter stands for the device.
struct TSRB_GetDiskInfo {
  uint8_t SRB_Cmd;  // kSrbGetDiskInfo
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DriveFlags;
  uint8_t SRB_Int13HDriveInfo;  // the drive's letter index, 0 = A
  uint8_t SRB_Heads;
  uint8_t SRB_Sectors;
  uint8_t SRB_Rsvd1[10];
};

static_assert(offsetof(TSRB_GetDiskInfo, SRB_Target) == 8);
static_assert(offsetof(TSRB_GetDiskInfo, SRB_Lun) == 9);
static_assert(offsetof(TSRB_GetDiskInfo, SRB_DriveFlags) == 10);
static_assert(offsetof(TSRB_GetDiskInfo, SRB_Int13HDriveInfo) == 11);
static_assert(sizeof(TSRB_GetDiskInfo) == 24);

// The entry points a driver library exports, looked up by name.
// GetASPI32SupportInfo: 0 when the library cannot be used; otherwise
// kSrbStatusDone in bits 8-15 and the host adapter count in bits 0-7.
// SendASPI32Command: takes any of the blocks above and returns its status.
using GetASPI32SupportInfoFn = uint32_t (*)();
using SendASPI32CommandFn = uint32_t (*)(void*);

}  // namespace orvex

extern "C" uint32_t GetASPI32SupportInfo(void);
extern "C" uint32_t SendASPI32Command(void* request);

#endif  // ORVEX_DRIVE_SRB_H_
