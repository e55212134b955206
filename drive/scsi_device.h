// SPDX-License-Identifier: Apache-2.0
// The drive access record: one per component.  It holds the drive table,
// the transport to the selected drive, what the last command left behind,
// what inspection found, and the write settings.  It stays a record: the
// behaviour lives in the functions beside it (device_enumeration.h,
// execute_command.h, mmc_commands.h, inspection and write parameters).
//
// One command runs at a time per record: the component allows one long
// operation at a time, and its worker threads and the caller's thread use
// the record (and its scratch buffer) in turn, never together.
#ifndef ORVEX_DRIVE_SCSI_DEVICE_H_
#define ORVEX_DRIVE_SCSI_DEVICE_H_

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drive/command_failure.h"
#include "drive/debug_log.h"
#include "drive/medium.h"
#include "drive/mmc_records.h"
#include "drive/transport.h"
#include "platform/completion_queue.h"
#include "platform/sg_io.h"

namespace orvex {

class TObject;

using TEraseDoneEvent = std::function<void(TObject* Sender, uint8_t DeviceId, bool EraseFailed)>;

constexpr size_t kMaxDevices = 26;
constexpr size_t kDeviceNameBytes = 128;
constexpr uint8_t kNoAddress = 255;  // HaID, Target, Lun of no selected drive

// One row of the drive table.
struct TDeviceEntry {
  char letter = '?';     // '?' when unknown
  uint8_t type = 0;      // 5: an optical drive (pass-through); the INQUIRY device type (library)
  // The address as the kernel or the library numbers it.  The kernel's host
  // numbers grow past 8 bits on a machine that adds and removes adapters;
  // the row keeps them whole (the selection's 8-bit HaID cannot).
  uint32_t host_adapter = 0;
  uint32_t target = 0;
  uint32_t lun = 0;
  char name[kDeviceNameBytes] = {};  // zero-terminated
};

// The 30 capability flags, in this order.
struct TDC {
  bool Read_CDR, Read_CDRW, Read_Method2, Read_DVDR, Read_DVDRW, Read_DVDRAM, Read_DVDPLUSR,
      Read_DVDPLUSRDL, Read_DVDPLUSRW, Read_DVDROM, Read_BDROM, Read_BDR, Read_BDRE, Read_HDDVDROM,
      Read_HDDVDR, Read_HDDVDRAM, Write_CDR, Write_CDRW, Write_DVDR, Write_DVDRW, Write_DVDRAM,
      Write_DVDPLUSR, Write_DVDPLUSRDL, Write_DVDPLUSRW, Write_BDR, Write_BDRE, Write_HDDVDR,
      Write_HDDVDRAM, TestWrite, UnderRunProtection;
};

// A value a worker sets and the component's thread reads or takes.
// Copying takes its value, so the record can be reset by assigning a fresh
// one.
template <class T>
class TSharedValue {
 public:
  TSharedValue() = default;
  TSharedValue(const TSharedValue& other) : value_(other.value_.load()) {}
  TSharedValue& operator=(const TSharedValue& other) {
    value_ = other.value_.load();
    return *this;
  }
  TSharedValue& operator=(T value) {
    value_ = value;
    return *this;
  }
  operator T() const { return value_; }
  T exchange(T value) { return value_.exchange(value); }

 private:
  std::atomic<T> value_{0};
};
using TSharedWord = TSharedValue<uint16_t>;

// The ring of transfer samples behind the current transfer rate.
constexpr size_t kSpeedSamples = 64;

struct TSCSIDevice {
  // --- The drive table and the transport (device_enumeration.h) ----------------
  int Handle = -1;                     // the open pass-through device; -1 when closed
  TCompletionQueue* hWNDFE = nullptr;  // where workers post completions; null: call directly
  std::array<uint8_t, 65536> tmpBuffer{};  // scratch buffer of most commands
  std::array<TDeviceEntry, kMaxDevices> Devices{};
  uint8_t NoOfDevices = 0;
  // The kernel's drives the scan found but could not open for want of permission.
  std::vector<TDeviceAccessProblem> AccessProblems;
  char DriveLetter = '?';              // letter of the selected drive
  uint8_t DeviceType = 255;            // type byte of the selected row; 255 when none
  uint32_t LastWinError = 0;           // errno after the last pass-through call
  bool CloseFH = false;                // close Handle after every pass-through command
  bool HeldForJob = false;             // Handle is a job's exclusive hold: kept open (exclusive_use.h)
  bool DoNotUseSPTI = false;           // the pass-through scan was skipped
  bool ASPIInitialized = false;        // a transport is ready
  bool UsingSPTI = false;              // true: pass-through; false: the driver library
  std::unique_ptr<TTransport> Transport;  // how commands reach the drive; null before a scan
  uint8_t SelectedDevice = 0;
  uint8_t HaID = 0, Target = 0, Lun = 0;  // kNoAddress after a failed selection
  char Vendor[9] = {};
  char ProductID[17] = {};

  // --- What the last command left (execute_command.h) --------------------------
  TSENSE LastSenseInfo{};
  bool TargetBusy = false;
  // Additional sense code x 256 + qualifier of the last command that failed
  // with one; taken (and cleared) by the component's error getters.
  TSharedWord DeviceError;
  // How the last command failed; `failed` false after a success.
  TCommandFailure LastFailure;
  TDebugLog fdbg;

  // --- Write settings (write_parameters.h) -------------------------------------
  bool BurnProof = false;     // buffer-underrun protection
  bool TestWrite = false;     // simulated write
  bool FinalizeDisc = false;  // close the disc after writing
  TModePage05 ModePage05{};
  uint16_t WriteSpeed = 0, ReadSpeed = 0;  // last asked for; 0 = the fastest

  // --- What inspection found (medium_inspection.h, capabilities.h) -------------
  TMedium Medium = TMedium::mtUNKNOWN;  // kept by the burn job
  TTrackInformation TrackInformation{};
  TDiscInformation DiscInformation{};
  TDiscInformation BGFDI{};            // the erase job's polls
  TConfigHeader ConfigHeader{};
  TModePage2A ModePage2A{};
  TDC dc{};
  // Written by a burn's thread while the owner polls them.
  TSharedValue<uint32_t> DeviceBufferSize, DeviceBufferPosition;
  uint16_t MaxReadSpeed = 0, CurReadSpeed = 0, MaxWriteSpeed = 0, CurWriteSpeed = 0;

  // --- Transfer timing (transfer_rate.h) ---------------------------------------
  double bmWStart = 0, bmWStop = 0, bmWTotal = 0, bmWSize = 0;
  uint16_t bmWCounter = 0;
  uint16_t bmWriteSpeed = 0, bmAvgWriteSpeed = 0;
  double bmRStart = 0, bmRStop = 0, bmRTotal = 0, bmRSize = 0;
  uint8_t bmRCounter = 0;
  uint16_t bmAvgReadSpeed = 0, bmReadSpeed = 0;
  std::array<uint64_t, kSpeedSamples> qTime{};
  std::array<uint64_t, kSpeedSamples> qBytes{};
  int32_t qIndex = 0;
  double QPFreq = 0;  // milliseconds per performance-counter tick

  // --- Erase --------------------------------------------------------------------
  TEraseDoneEvent cbEraseDone;
  bool QuickErase = false;

  std::string ErrStr;      // the 8-bit error text, at most 256 bytes
  std::u16string ErrStrW;  // the UTF-16 error text, at most 258 units
};

}  // namespace orvex

#endif  // ORVEX_DRIVE_SCSI_DEVICE_H_
