// SPDX-License-Identifier: Apache-2.0
#include "drive/device_enumeration.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "drive/capabilities.h"
#include "drive/driver_library.h"
#include "drive/execute_command.h"
#include "drive/mmc_commands.h"
#include "drive/pass_through.h"
#include "drive/ready_polls.h"
#include "platform/sg_io.h"
#include "platform/user_paths.h"

namespace orvex {
namespace {

constexpr uint8_t kOpticalDriveType = 5;   // the drive type of an optical drive, and its INQUIRY device type
constexpr uint8_t kNoDriveType = 1;        // nothing at that letter
constexpr size_t kLastRow = kMaxDevices - 1;

// The INQUIRY identification of an optical drive.
struct TIdentification {
  std::string vendor, product, revision;
};

// INQUIRY data in `data` (64 bytes) from a device of type 5: the vendor,
// product and revision, control characters made blanks.
std::optional<TIdentification> Identify(uint8_t* data) {
  if (data[0] != kOpticalDriveType) return std::nullopt;
  for (size_t i = 8; i < 48; ++i) {
    if (data[i] < 0x20) data[i] = ' ';
  }
  const char* text = reinterpret_cast<const char*>(data);
  return TIdentification{std::string(text + 8, 8), std::string(text + 16, 16), std::string(text + 32, 4)};
}

void NameRow(TDeviceEntry& row, const TIdentification& id) {
  const std::string letter(1, row.letter);
  std::snprintf(row.name, sizeof row.name, "%u:%u:%u,%s: %s %s %s ", row.host_adapter, row.target, row.lun,
                letter.c_str(), id.vendor.c_str(), id.product.c_str(), id.revision.c_str());
}

// The identification in INQUIRY data (null: none was read); blanks when
// there is none.
TIdentification IdentifyOrBlank(uint8_t* inquiry) {
  return (inquiry != nullptr ? Identify(inquiry) : std::nullopt).value_or(TIdentification{});
}

// An INQUIRY request for 64 bytes into `data`.
TSRB_ExecSCSICmd InquiryRequest(uint8_t* data) {
  TSRB_ExecSCSICmd request{};
  const TCdb inquiry = cdb::Inquiry(64);
  request.SRB_Cmd = kSrbExecSCSICmd;
  request.SRB_Flags = kSrbPostEvent | kSrbDataIn;
  request.SRB_BufLen = 64;
  request.SRB_BufPointer = data;
  request.SRB_SenseLen = kSenseBytes;
  request.SRB_CDBLen = inquiry.length;
  std::memcpy(request.CDBByte, inquiry.bytes.data(), inquiry.length);
  return request;
}

// Bytes of the standard INQUIRY data, the identification among them.
constexpr uint32_t kStandardInquiryBytes = 36;

// Sends the INQUIRY `request` by `send` (which leaves the outcome in the
// request) until it brings the standard data: a device that refused it or
// answered short is asked again once (AskedAgainOnce), as a drive just
// reset or still starting up may answer so; an address without a device
// is asked once.  Whether the data arrived.
template <class Send>
bool Inquire(TSCSIDevice& device, TSRB_ExecSCSICmd& request, Send send) {
  const TSRB_ExecSCSICmd blank = request;
  bool absent = false;
  return AskedAgainOnce(device, [&] {
    if (absent) return false;
    request = blank;
    std::memset(request.SRB_BufPointer, 0, request.SRB_BufLen);
    send();
    std::memcpy(&device.LastSenseInfo, request.SenseArea, sizeof device.LastSenseInfo);
    absent = request.SRB_Status != kSrbStatusDone && request.SRB_Status != kSrbStatusError;
    return request.SRB_Status == kSrbStatusDone && request.SRB_BufLen >= kStandardInquiryBytes;
  });
}

void Log(TSCSIDevice& device, const std::string& line) { device.fdbg.Line(line); }

// The record as it is before a scan: everything cleared but the options the
// component keeps and where its events go.
void Reset(TSCSIDevice& device) {
  const bool burn_proof = device.BurnProof, finalize = device.FinalizeDisc;
  TCompletionQueue* const target = device.hWNDFE;
  CloseDevice(device);
  device = TSCSIDevice{};
  device.BurnProof = burn_proof;
  device.FinalizeDisc = finalize;
  device.hWNDFE = target;
}

// The letters 'C' to 'Z' through the pass-through; returns the drives found.
size_t ScanLetters(TSCSIDevice& device) {
  size_t spill = kLastRow;  // rows of drives without an address fill the table from its end
  std::vector<TIdentification> spilled_ids;
  size_t found = 0;
  for (char letter = kFirstDriveLetter; letter <= kLastDriveLetter && device.NoOfDevices <= spill; ++letter) {
    if (!IsOpticalDrive(letter)) {
      Log(device, std::string(1, letter) + ": ( " + std::to_string(kNoDriveType) + ")");
      continue;
    }
    int error = 0;
    int fd = OpenOpticalDrive(letter, TDriveOpen::kReadWrite, &error);
    if (fd < 0) {
      Log(device, "System Error Code: " + std::to_string(error));
      fd = OpenOpticalDrive(letter, TDriveOpen::kRead, &error);
    }
    if (fd < 0) {
      Log(device, "System Error Code: " + std::to_string(error));
      if (auto problem = AccessProblem(OpticalDrivePath(letter), error)) device.AccessProblems.push_back(*problem);
      continue;
    }
    const std::optional<TScsiAddress> address = ReadScsiAddress(letter);
    ++found;
    device.DriveLetter = letter;
    device.Handle = fd;
    TSRB_ExecSCSICmd inquiry = InquiryRequest(device.tmpBuffer.data());
    const bool answered = Inquire(device, inquiry, [&] { PassThroughCommand(device, inquiry); });
    uint8_t* const data = answered ? device.tmpBuffer.data() : nullptr;
    TDeviceEntry& row = address ? device.Devices[device.NoOfDevices++] : device.Devices[spill--];
    row = LetterRow(letter, address, data);
    if (!address) spilled_ids.push_back(IdentifyOrBlank(data));
    Log(device, std::string(1, letter) + ": " + std::to_string(kOpticalDriveType) + " - ( " + row.name + ")");
    CloseOpticalDrive(device.Handle);
    device.Handle = -1;
  }
  // The drives without an address get host adapter numbers above every
  // real one, and follow the others without a gap.
  uint32_t next = 0;
  for (size_t i = 0; i < device.NoOfDevices; ++i) next = std::max(next, device.Devices[i].host_adapter + 1);
  for (size_t i = 0; i < spilled_ids.size(); ++i) {
    TDeviceEntry row = device.Devices[kLastRow - i];
    row.host_adapter = next++;
    NameRow(row, spilled_ids[i]);
    device.Devices[device.NoOfDevices++] = row;
  }
  return found;
}

// The pass-through letter whose drive sits at that address; '?' when none.
char FindLetterForAddress(uint32_t host_adapter, uint32_t target, uint32_t lun) {
  for (char letter = kFirstDriveLetter; letter <= kLastDriveLetter; ++letter) {
    if (!IsOpticalDrive(letter)) continue;
    const std::optional<TScsiAddress> a = ReadScsiAddress(letter);
    if (a && a->host == host_adapter && a->target == target && a->lun == lun) return letter;
  }
  return '?';
}

// Every adapter, target and lun of the driver library.
void ScanLibrary(TSCSIDevice& device, TDriverLibrary& library) {
  TSRB_HAInquiry adapters{};
  adapters.SRB_Cmd = kSrbHostAdapterInquiry;
  library.SendRequest(&adapters);
  const uint8_t count = adapters.HA_Count == 0 ? 7 : adapters.HA_Count;
  for (uint8_t ha = 0; ha < count; ++ha) {
    for (uint8_t target = 0; target < 8; ++target) {
      for (uint8_t lun = 0; lun < 7 && device.NoOfDevices < kMaxDevices; ++lun) {
        uint8_t* data = device.tmpBuffer.data();
        TSRB_ExecSCSICmd inquiry = InquiryRequest(data);
        inquiry.SRB_HaId = ha;
        inquiry.SRB_Target = target;
        inquiry.SRB_Lun = lun;
        const bool answered = Inquire(device, inquiry, [&] {
          if (library.Send(device, inquiry) == kSrbStatusPending) library.WaitFor(inquiry);
        });
        if (!answered) continue;
        const std::optional<TIdentification> id = Identify(data);
        if (!id) continue;
        TDeviceEntry& row = device.Devices[device.NoOfDevices++];
        row = TDeviceEntry{};
        row.host_adapter = ha;
        row.target = target;
        row.lun = lun;
        row.type = kOpticalDriveType;
        row.letter = FindLetterForAddress(ha, target, lun);
        TSRB_GetDiskInfo disk{};
        disk.SRB_Cmd = kSrbGetDiskInfo;
        disk.SRB_HaId = ha;
        disk.SRB_Target = target;
        disk.SRB_Lun = lun;
        if (library.SendRequest(&disk) == kSrbStatusDone && disk.SRB_Int13HDriveInfo < 26) {
          row.letter = static_cast<char>('A' + disk.SRB_Int13HDriveInfo);
        }
        NameRow(row, *id);
      }
    }
  }
}

// The named library; the default one on the library search path, else
// beside the program (where the build puts it), else in the driver folder
// of the installation the program belongs to.
std::unique_ptr<TDriverLibrary> LoadLibrary(const std::string& library, std::string* why) {
  if (!library.empty()) return TDriverLibrary::Load(library, why);
  std::unique_ptr<TDriverLibrary> loaded = TDriverLibrary::Load(kDefaultDriverLibrary, why);
  const std::string folder = ExecutableDirectory();
  // The search path's failure is the one to tell, unless a library was
  // found in a place below and refused (it cannot be used: its drive
  // description is wrong, say): that one names the cause.
  for (const std::string& place : {folder, folder + "/" + ORVEX_DRIVER_FROM_BIN}) {
    if (loaded || folder.empty()) break;
    std::string other_why;
    loaded = TDriverLibrary::Load(place + "/" + kDefaultDriverLibrary, &other_why);
    if (!loaded && why != nullptr && access((place + "/" + kDefaultDriverLibrary).c_str(), F_OK) == 0) *why = other_why;
  }
  if (loaded && why != nullptr) why->clear();
  return loaded;
}

}  // namespace

TDeviceEntry LetterRow(char letter, const std::optional<TScsiAddress>& address, uint8_t* inquiry) {
  TDeviceEntry row;
  row.letter = letter;
  row.type = kOpticalDriveType;
  if (address) {
    row.host_adapter = address->host;
    row.target = address->target;
    row.lun = address->lun;
  }
  NameRow(row, IdentifyOrBlank(inquiry));
  return row;
}

bool EnumerateDevices(TSCSIDevice& device, bool no_pass_through, const std::string& library,
                      const std::string& log_path, std::string* why) {
  Reset(device);
  if (!log_path.empty()) device.fdbg.Open(log_path);
  device.DoNotUseSPTI = no_pass_through;
  device.NoOfDevices = 0;
  if (!no_pass_through && ScanLetters(device) > 0) {
    device.ASPIInitialized = true;
    device.UsingSPTI = true;
    device.Transport = std::make_unique<TPassThroughTransport>();
    return true;
  }
  device.NoOfDevices = 0;
  if (library == kNoDriverLibrary) {
    if (why != nullptr) *why = "no driver library was asked for";
    return false;
  }
  std::unique_ptr<TDriverLibrary> loaded = LoadLibrary(library, why);
  if (!loaded) return false;
  device.ASPIInitialized = true;
  ScanLibrary(device, *loaded);
  device.Transport = std::move(loaded);
  return true;
}

namespace {

// A row's address number in a request block's 8 bits.  Only the kernel's
// numbers can exceed them, and the pass-through reaches its drive by the
// letter's handle, not by the address: such a number becomes the highest
// one that still means a drive, never 255 (no drive) nor a cut that names
// another drive.
uint8_t AddressByte(uint32_t number) { return static_cast<uint8_t>(std::min<uint32_t>(number, kNoAddress - 1)); }

}  // namespace

bool SelectDevice(TSCSIDevice& device, uint8_t index) {
  device.HaID = device.Target = device.Lun = device.DeviceType = kNoAddress;
  device.DriveLetter = '?';
  device.bmWTotal = device.bmWSize = device.bmRTotal = device.bmRSize = 0;
  ResumeCommands(device);
  if (index >= device.NoOfDevices) return false;
  const TDeviceEntry& row = device.Devices[index];
  device.SelectedDevice = index;
  device.HaID = AddressByte(row.host_adapter);
  device.Target = AddressByte(row.target);
  device.Lun = AddressByte(row.lun);
  device.DriveLetter = row.letter;
  device.DeviceType = row.type;
  if (device.Handle >= 0) {
    CloseOpticalDrive(device.Handle);
    device.Handle = -1;
  }
  uint8_t work[256] = {};
  const bool ok = PastAttentions(device, [&] { return Inquiry(device, work); });
  if (ok) {
    std::memcpy(device.Vendor, work + 8, 8);
    device.Vendor[8] = 0;
    std::memcpy(device.ProductID, work + 16, 16);
    device.ProductID[16] = 0;
  }
  RefreshCapabilities(device);
  return ok;
}

bool SelectDeviceByLetter(TSCSIDevice& device, char letter) {
  if (letter == 0) return false;
  bool result = false;
  for (uint8_t i = 0; i < device.NoOfDevices; ++i) {
    if (device.Devices[i].letter == letter) result = SelectDevice(device, i);
  }
  return result;
}

std::string GetDeviceName(const TSCSIDevice& device, uint8_t index) {
  if (index >= device.NoOfDevices) return "";
  const TDeviceEntry& row = device.Devices[index];
  return std::string(row.name, strnlen(row.name, sizeof row.name));
}

int FindDevice(const TSCSIDevice& device, const std::string& name) {
  const std::optional<char> letter = name.rfind("/", 0) == 0 ? DriveLetterOfNode(name) : std::nullopt;
  for (uint8_t i = 0; i < device.NoOfDevices; ++i) {
    const TDeviceEntry& row = device.Devices[i];
    const std::string address =
        std::to_string(row.host_adapter) + ":" + std::to_string(row.target) + ":" + std::to_string(row.lun);
    if (letter ? row.letter == *letter : name == address) return i;
  }
  return -1;
}

std::string GetDevicePath(const TSCSIDevice& device, uint8_t index) {
  if (index >= device.NoOfDevices || device.Devices[index].letter == '?') return "";
  return OpticalDrivePath(device.Devices[index].letter);
}

void CloseDevice(TSCSIDevice& device) {
  device.fdbg.Close();
  if (device.Handle >= 0) {
    CloseOpticalDrive(device.Handle);
    device.Handle = -1;
  }
}

}  // namespace orvex
