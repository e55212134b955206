// SPDX-License-Identifier: Apache-2.0
#include "drive/capabilities.h"

#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "drive/ready_polls.h"

namespace orvex {
namespace {

constexpr uint8_t kUnderrunPage = 0x30;
constexpr uint16_t kPageRead = 128;
constexpr uint16_t kFeatureRead = 112;

// Reads page 2Ah (default or current values) into `page`; false when the
// command fails.  The page is where MMC puts it, right after the 8-byte
// header or after an 8-byte block descriptor; elsewhere it stays zero.  A
// unit attention (a drive just powered on or given a disc reports one to
// the first such question) is not a refusal: the page is asked for again.
bool ReadCapabilitiesPage(TSCSIDevice& device, bool defaults, TModePage2A& page) {
  uint8_t* buffer = device.tmpBuffer.data();
  if (!AnswerPastAttentions(device, cdb::ModeSense10(mmc::kCapabilitiesPage, defaults, kPageRead), buffer, kPageRead,
                            true)) {
    return false;
  }
  const size_t at = buffer[8] == mmc::kCapabilitiesPage ? 8 : buffer[16] == mmc::kCapabilitiesPage ? 16 : 0;
  if (at == 0) return true;
  page = DecodeCapabilitiesPage(buffer + at);
  return true;
}

// Asks for one feature into ConfigHeader (what does not arrive reads 0),
// past unit attentions; the bytes that arrived, or empty when the drive
// refused.
std::optional<uint32_t> AskFeature(TSCSIDevice& device, uint16_t feature) {
  return AnswerPastAttentions(device, cdb::GetConfiguration(feature, kFeatureRead),
                              reinterpret_cast<uint8_t*>(&device.ConfigHeader), kFeatureRead);
}

// Asks for one feature (AskFeature); true when the drive answered.
// `present`: there is no medium (profile 0), or the drive returned that
// very feature.
bool Feature(TSCSIDevice& device, uint16_t feature, bool& present, bool& exact) {
  const std::optional<uint32_t> arrived = AskFeature(device, feature);
  if (!arrived) return false;
  const TConfigHeader& header = device.ConfigHeader;
  exact = FeatureCodeOf(header) == feature;
  present = CurrentProfileOf(header, *arrived) == 0 || exact;
  return true;
}

// The flags the capabilities page alone decides.
constexpr struct {
  TPageCapability capability;
  bool TDC::*flag;
} kPageFlags[] = {
    {TPageCapability::kReadCdR, &TDC::Read_CDR},          {TPageCapability::kReadCdRw, &TDC::Read_CDRW},
    {TPageCapability::kReadMethod2, &TDC::Read_Method2},  {TPageCapability::kReadDvdRom, &TDC::Read_DVDROM},
    {TPageCapability::kReadDvdR, &TDC::Read_DVDR},        {TPageCapability::kReadDvdRam, &TDC::Read_DVDRAM},
    {TPageCapability::kWriteCdR, &TDC::Write_CDR},        {TPageCapability::kWriteCdRw, &TDC::Write_CDRW},
    {TPageCapability::kTestWrite, &TDC::TestWrite},       {TPageCapability::kWriteDvdR, &TDC::Write_DVDR},
    {TPageCapability::kWriteDvdRam, &TDC::Write_DVDRAM},  {TPageCapability::kUnderrunFree, &TDC::UnderRunProtection},
};

// The features in which a drive says it writes a medium, by medium: it
// does when one of them is current (with the Write bit of its first
// dependent byte set, for the DVD+ features, which are current for reading
// too).  The capabilities page covers CD-R, CD-RW, DVD-R and DVD-RAM.
constexpr uint16_t kRandomWritable = 0x0020, kIncrementalStreaming = 0x0021, kRestrictedOverwrite = 0x0026,
                   kDvdPlusRwFeature = 0x002A, kDvdPlusRFeature = 0x002B, kCdTrackAtOnce = 0x002D,
                   kCdMastering = 0x002E, kDvdMinusRWrite = 0x002F, kDvdPlusRDlFeature = 0x003B, kBdWrite = 0x0041;

struct TMediumWrites {
  TMedium medium;
  uint16_t features[3];  // 0 ends the list
  bool write_bit;
  bool on_page;
  TPageCapability page;
};

constexpr TMediumWrites kMediumWrites[] = {
    {TMedium::mtCDR, {kIncrementalStreaming, kCdTrackAtOnce, kCdMastering}, false, true, TPageCapability::kWriteCdR},
    {TMedium::mtCDRW, {kIncrementalStreaming, kCdTrackAtOnce, kCdMastering}, false, true, TPageCapability::kWriteCdRw},
    {TMedium::mtDVDR, {kIncrementalStreaming, kDvdMinusRWrite}, false, true, TPageCapability::kWriteDvdR},
    {TMedium::mtDVDRWSR, {kIncrementalStreaming, kDvdMinusRWrite}, false, false, {}},
    {TMedium::mtDVDRWRO, {kRestrictedOverwrite}, false, false, {}},
    {TMedium::mtDVDRAM, {kRandomWritable}, false, true, TPageCapability::kWriteDvdRam},
    {TMedium::mtDVDPLUSR, {kDvdPlusRFeature}, true, false, {}},
    {TMedium::mtDVDPLUSRW, {kDvdPlusRwFeature}, true, false, {}},
    {TMedium::mtDVDPLUSRDL, {kDvdPlusRDlFeature}, true, false, {}},
    {TMedium::mtBDRSR, {kBdWrite}, false, false, {}},
    {TMedium::mtBDRRR, {kBdWrite, kRandomWritable}, false, false, {}},
    {TMedium::mtBDRE, {kBdWrite, kRandomWritable}, false, false, {}},
};

constexpr uint8_t kOpenLog = 72, kCloseLog = 73;

struct TFlagId {
  uint8_t id;
  bool TDC::*flag;
};

constexpr TFlagId kFlagIds[] = {
    {1, &TDC::Read_CDR},           {2, &TDC::Read_CDRW},          {3, &TDC::Read_DVDRAM},
    {4, &TDC::Read_DVDR},          {5, &TDC::Read_DVDRW},         {6, &TDC::Read_DVDPLUSR},
    {7, &TDC::Read_DVDPLUSRW},     {8, &TDC::Read_DVDPLUSRDL},    {9, &TDC::Read_HDDVDROM},
    {10, &TDC::Read_HDDVDR},       {11, &TDC::Read_HDDVDRAM},     {12, &TDC::Read_BDROM},
    {13, &TDC::Read_BDR},          {14, &TDC::Read_BDRE},         {21, &TDC::Write_CDR},
    {22, &TDC::Write_CDRW},        {23, &TDC::Write_DVDRAM},      {24, &TDC::Write_DVDR},
    {25, &TDC::Write_DVDRW},       {26, &TDC::Write_DVDPLUSR},    {27, &TDC::Write_DVDPLUSRW},
    {28, &TDC::Write_DVDPLUSRDL},  {29, &TDC::Write_HDDVDR},      {30, &TDC::Write_HDDVDRAM},
    {31, &TDC::Write_BDR},         {32, &TDC::Write_BDRE},        {41, &TDC::TestWrite},
    {42, &TDC::UnderRunProtection},
};

}  // namespace

bool RefreshCapabilities(TSCSIDevice& device) {
  TModePage2A& page = device.ModePage2A;
  TDC& dc = device.dc;
  page = TModePage2A{};
  dc = TDC{};
  if (!ReadCapabilitiesPage(device, true, page)) return false;
  const uint16_t default_read = page.MaxReadSpeed, default_write = page.MaxWriteSpeed;
  page = TModePage2A{};
  ReadCapabilitiesPage(device, false, page);  // its outcome does not matter: the page then stays zero
  page.DeviceMaxReadSpeed = default_read;
  page.DeviceMaxWriteSpeed = default_write;
  device.MaxReadSpeed = page.MaxReadSpeed;
  device.CurReadSpeed = page.CurReadSpeed;
  device.MaxWriteSpeed = page.MaxWriteSpeed;
  device.CurWriteSpeed = page.CurWriteSpeed;

  for (const auto& row : kPageFlags) dc.*row.flag = PageCan(page, row.capability);
  if (PastAttentions(device, [&] { return ModeSense10(device, device.tmpBuffer.data(), kPageRead, true, kUnderrunPage); })) {
    dc.UnderRunProtection = true;
  }

  bool present = false, exact = false;
  const auto writes = [&] { return FeatureWrites(device.ConfigHeader); };
  if (Feature(device, 0x002A, present, exact) && present) {  // DVD+RW
    dc.Read_DVDPLUSR = dc.Read_DVDPLUSRW = true;
    if (writes()) dc.Write_DVDPLUSR = dc.Write_DVDPLUSRW = true;
  }
  if (Feature(device, 0x003B, present, exact) && exact) {  // DVD+R DL: only the feature itself
    dc.Read_DVDPLUSRDL = true;
    if (writes()) dc.Write_DVDPLUSRDL = true;
  }
  if (Feature(device, 0x002F, present, exact) && present && FeatureWritesDvdRw(device.ConfigHeader)) {  // DVD-R/-RW write
    dc.Read_DVDRW = dc.Write_DVDRW = true;
  }
  if (Feature(device, 0x0040, present, exact) && present) dc.Read_BDROM = dc.Read_BDR = dc.Read_BDRE = true;
  if (Feature(device, 0x0041, present, exact) && present) dc.Write_BDR = dc.Write_BDRE = true;
  if (Feature(device, 0x0050, present, exact) && present) {
    dc.Read_HDDVDROM = dc.Read_HDDVDR = dc.Read_HDDVDRAM = true;
  }
  if (Feature(device, 0x0051, present, exact) && present) dc.Write_HDDVDR = dc.Write_HDDVDRAM = true;
  return true;
}

bool DeviceCan(TSCSIDevice& device, uint8_t id, const char* log_path) {
  if (id == kOpenLog) return log_path != nullptr && device.fdbg.Open(log_path);
  if (id == kCloseLog) return device.fdbg.Close();
  for (const TFlagId& row : kFlagIds) {
    if (row.id == id) return device.dc.*row.flag;
  }
  return false;
}

bool DeviceIsBurner(const TSCSIDevice& device) { return PageWritesAny(device.ModePage2A); }

std::optional<bool> DriveWritesMedium(TSCSIDevice& device, TMedium medium) {
  const TMediumWrites* row = nullptr;
  for (const TMediumWrites& candidate : kMediumWrites) {
    if (candidate.medium == medium) row = &candidate;
  }
  if (row == nullptr) return std::nullopt;
  bool told = false;
  for (const uint16_t feature : row->features) {
    if (feature == 0) break;
    const std::optional<uint32_t> arrived = AskFeature(device, feature);
    const TConfigHeader& header = device.ConfigHeader;
    // An answer about another medium than the one in the drive tells
    // nothing of this one.
    if (!arrived || MediumOfProfile(CurrentProfileOf(header, *arrived)) != medium) continue;
    told = true;
    if (FeatureCodeOf(header) == feature && FeatureCurrent(header) && (!row->write_bit || FeatureWrites(header))) {
      return true;
    }
  }
  if (told) return false;
  TModePage2A page{};
  if (!row->on_page || !ReadCapabilitiesPage(device, false, page) || page.PageCode != mmc::kCapabilitiesPage) {
    return std::nullopt;
  }
  return PageCan(page, row->page);
}

}  // namespace orvex
