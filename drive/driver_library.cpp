#include "drive/driver_library.h"

#include "drive/scsi_device.h"

namespace orvex {

std::unique_ptr<TDriverLibrary> TDriverLibrary::Load(const std::string& path, std::string* why) {
  TSharedLibrary library;
  if (!library.Open(path, why)) return nullptr;
  const auto support = reinterpret_cast<GetASPI32SupportInfoFn>(library.Symbol("GetASPI32SupportInfo"));
  const auto send = reinterpret_cast<SendASPI32CommandFn>(library.Symbol("SendASPI32Command"));
  if (support == nullptr || send == nullptr) {
    if (why != nullptr) *why = path + " exports no GetASPI32SupportInfo and SendASPI32Command";
    return nullptr;
  }
  const uint32_t info = support();
  if (info == 0) {
    if (why != nullptr) *why = path + " reports that it cannot be used";
    return nullptr;
  }
  return std::unique_ptr<TDriverLibrary>(
      new TDriverLibrary(std::move(library), send, static_cast<uint8_t>(info & 0xFF)));
}

uint8_t TDriverLibrary::Send(TSCSIDevice&, TSRB_ExecSCSICmd& request) {
  event_.Reset();  // a signal left over from a command that completed at once
  request.SRB_PostProc = event_.Fd();
  return static_cast<uint8_t>(send_(&request));
}

void TDriverLibrary::WaitFor(TSRB_ExecSCSICmd& request) {
  // The read of the event orders the library's writes to the block before ours.
  if (!event_.Wait(kCommandTimeoutSeconds) && request.SRB_Status == kSrbStatusPending) {
    request.SRB_Status = kSrbStatusAborted;
  }
}

}  // namespace orvex
