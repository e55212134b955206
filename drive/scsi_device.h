// The drive access record: one per component.  It grows with the drive
// layer; for now it holds the write options, the pending drive error and
// the buffers where error texts are built.
#ifndef ORVEX_DRIVE_SCSI_DEVICE_H_
#define ORVEX_DRIVE_SCSI_DEVICE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/completion_queue.h"

namespace orvex {

class TObject;

using TEraseDoneEvent = std::function<void(TObject* Sender, uint8_t DeviceId, bool EraseFailed)>;

struct TSCSIDevice {
  TCompletionQueue* hWNDFE = nullptr;  // where workers post completions; null: call directly

  // Additional sense code x 256 + qualifier of the last command that failed
  // with one; taken (and cleared) by the component's error getters.
  std::atomic<uint16_t> DeviceError{0};

  std::string ErrStr;      // the 8-bit error text, at most 256 bytes
  std::u16string ErrStrW;  // the UTF-16 error text, at most 258 units

  bool BurnProof = false;     // buffer-underrun protection
  bool TestWrite = false;     // simulated write
  bool FinalizeDisc = false;  // close the disc after writing
  bool CloseFH = false;       // close the device handle after every command
};

}  // namespace orvex

#endif  // ORVEX_DRIVE_SCSI_DEVICE_H_
