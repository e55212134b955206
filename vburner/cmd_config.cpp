// SPDX-License-Identifier: Apache-2.0
// GET CONFIGURATION, answered from a table with one row per feature.
//
// The answer is the 8-byte header (data length, current profile: 0 when
// no medium the drive reads is loaded) and then the feature descriptors in
// ascending code order, from the starting feature number on.  Request type
// 00b asks for every feature the drive has, 01b for the current ones only,
// 10b for the one feature with the starting number (the header alone when
// the drive lacks it); 11b is refused.  The allocation length cuts the
// answer but never its data length.
//
// A descriptor carries its code, version, the Persistent bit (the feature
// stays current whatever the medium), the Current bit and its own data.  A
// row says when the drive has the feature (every drive has it, or one that
// reads or writes one of the row's media) and when it is current.
#include <algorithm>
#include <array>

#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

using namespace profile;

// Up to eight profiles; unused entries stay kNone, which no medium has.
using Media = std::array<uint16_t, 8>;

constexpr Media kCdMedia = {kCdRom, kCdR, kCdRw, kDdcdRom, kDdcdR, kDdcdRw};
constexpr Media kDvdMedia = {kDvdRom, kDvdR, kDvdRam, kDvdRwRestricted, kDvdRwSequential, kDvdPlusRw, kDvdPlusR,
                             kDvdPlusRDl};
constexpr Media kBdMedia = {kBdRom, kBdRSequential, kBdRRandom, kBdRe};
constexpr Media kHdDvdMedia = {kHdDvdRom, kHdDvdR, kHdDvdRam};
// A blank BD-R takes spare areas by FORMAT UNIT too.
constexpr Media kFormattableMedia = {kDvdPlusRw, kDvdRwSequential, kDvdRwRestricted, kDvdRam, kBdRSequential, kBdRe};

bool In(uint16_t profile, const Media& media) {
  return profile != kNone && std::find(media.begin(), media.end(), profile) != media.end();
}

// What the descriptors are made from.
struct Facts {
  const DriveConfig& config;
  const MediumState* medium;  // null unless a medium the drive reads is loaded
  uint16_t current;           // its profile, or kNone

  bool ReadsAny(const Media& m) const {
    return std::any_of(m.begin(), m.end(), [&](uint16_t p) { return p != kNone && config.Reads(p); });
  }
  bool WritesAny(const Media& m) const {
    return std::any_of(m.begin(), m.end(), [&](uint16_t p) { return p != kNone && config.Writes(p); });
  }
  uint8_t Flag(bool on, uint8_t bit) const { return on ? bit : 0; }
  uint8_t Writes(uint16_t profile, uint8_t bit) const { return Flag(config.Writes(profile), bit); }
};

// The Data Block Types Supported bitmap: mode 1 and mode 2 form 1, 2048 bytes.
constexpr uint16_t kDataBlockTypes = 0x0500;

// Every profile the drive reads, highest first, the current one flagged.
Bytes ProfileList(const Facts& f) {
  Bytes list;
  for (auto it = AllProfiles().rbegin(); it != AllProfiles().rend(); ++it) {
    if (!f.config.Reads(it->number)) continue;
    uint8_t* d = Grow(list, 4);
    Put16(d, it->number);
    d[2] = f.Flag(it->number == f.current, 0x01);
  }
  return list;
}

Bytes Core(const Facts&) { return {0, 0, 0, 1, 0x03, 0, 0, 0}; }  // SCSI family; INQ2, DBE
Bytes Morphing(const Facts&) { return {0x02, 0, 0, 0}; }         // OCEvent; events are polled, not sent
Bytes RemovableMedium(const Facts&) { return {0x39, 0, 0, 0}; }  // tray, load, eject, lock

Bytes RandomReadable(const Facts& f) {
  Bytes d(8, 0);
  Put32(&d[0], kBlockSize);
  Put16(&d[4], f.medium != nullptr ? BlockingFactor(InfoOf(*f.medium).family) : 1);
  d[6] = 0x01;  // PP
  return d;
}

Bytes CdRead(const Facts&) { return {0, 0, 0, 0}; }
Bytes DvdRead(const Facts&) { return {0x01, 0, 0, 0}; }  // MULTI110

Bytes RandomWritable(const Facts& f) {
  Bytes d(12, 0);
  const bool now = In(f.current, {kDvdRam, kDvdPlusRw, kBdRe}) && f.config.Writes(f.current);
  Put32(&d[0], now && f.medium->capacity != 0 ? f.medium->capacity - 1 : 0);
  Put32(&d[4], kBlockSize);
  Put16(&d[8], now ? BlockingFactor(InfoOf(*f.medium).family) : 16);
  d[10] = 0x01;  // PP
  return d;
}

Bytes IncrementalStreamingWritable(const Facts& f) {
  Bytes d(8, 0);
  Put16(&d[0], kDataBlockTypes);
  d[2] = f.Flag(f.config.underrun_protection, 0x01) | 0x04;  // BUF, TRIO
  d[3] = 1;                                                  // one link size
  d[4] = In(f.current, kCdMedia) ? 7 : 16;
  return d;
}

Bytes Formattable(const Facts& f) { return {f.Writes(kBdRe, 0x01), 0, 0, 0, 0, 0, 0, 0}; }  // Cert
Bytes HardwareDefectManagement(const Facts&) { return {0x80, 0, 0, 0}; }              // SSA
Bytes DvdPlusRw(const Facts& f) { return {f.Writes(kDvdPlusRw, 0x01), 0, 0, 0}; }
Bytes DvdPlusR(const Facts& f) { return {f.Writes(kDvdPlusR, 0x01), 0, 0, 0}; }
Bytes DvdPlusRDl(const Facts& f) { return {f.Writes(kDvdPlusRDl, 0x01), 0, 0, 0}; }

Bytes CdTrackAtOnce(const Facts& f) {
  Bytes d{static_cast<uint8_t>(f.Flag(f.config.underrun_protection, 0x40) | f.Flag(f.config.test_write, 0x04) |
                               f.Writes(kCdRw, 0x02)),
          0, 0, 0};
  Put16(&d[2], kDataBlockTypes);
  return d;
}

Bytes DvdMinusWrite(const Facts& f) {  // BUF, test write, DVD-RW
  return {static_cast<uint8_t>(f.Flag(f.config.underrun_protection, 0x40) | f.Flag(f.config.test_write, 0x04) |
                               f.Flag(f.WritesAny({kDvdRwSequential, kDvdRwRestricted}), 0x02)),
          0, 0, 0};
}

// Class 0 bitmaps of BD-RE, BD-R and BD-ROM: version 1 discs; classes 1
// to 3 stay zero.
Bytes BdRead(const Facts& f) {
  Bytes d(28, 0);
  Put16(&d[4], f.config.Reads(kBdRe) ? 0x0002 : 0);
  Put16(&d[12], f.ReadsAny({kBdRSequential, kBdRRandom}) ? 0x0002 : 0);
  Put16(&d[20], f.config.Reads(kBdRom) ? 0x0002 : 0);
  return d;
}

Bytes BdWrite(const Facts& f) {
  Bytes d(20, 0);
  Put16(&d[4], f.config.Writes(kBdRe) ? 0x0002 : 0);
  Put16(&d[12], f.config.Writes(kBdRSequential) ? 0x0002 : 0);
  return d;
}

Bytes HdDvdRead(const Facts& f) {
  return {f.Flag(f.config.Reads(kHdDvdR), 0x01), 0, f.Flag(f.config.Reads(kHdDvdRam), 0x01), 0};
}
Bytes HdDvdWrite(const Facts& f) { return {f.Writes(kHdDvdR, 0x01), 0, f.Writes(kHdDvdRam, 0x01), 0}; }

// Stream writing, write speed descriptors, page 2Ah speeds, SET CD SPEED,
// READ BUFFER CAPACITY in blocks.
Bytes RealTimeStreaming(const Facts& f) {
  return {static_cast<uint8_t>(0x1E | f.Flag(f.config.WritesAny(), 0x01)), 0, 0, 0};
}

enum class Has { kEveryDrive, kReadsOne, kWritesOne };  // ... of the row's media
enum class Current {
  kPersistent,  // always, whatever the medium
  kAlways,      // with or without a medium
  kWithMedium,  // with any medium the drive reads
  kOnMedia,     // with one of the row's media (or of `current_on` when given)
};
using enum Has;
using enum Current;

struct Row {
  uint16_t code;
  uint8_t version;
  Has has;
  Current current;
  Media media;
  Bytes (*payload)(const Facts&);  // null: no data
  Media current_on = {};
};

constexpr Row kFeatures[] = {
    // code, version, which drives have it, when it is current, media, data
    {0x0000, 0, kEveryDrive, kPersistent, {}, ProfileList},
    {0x0001, 2, kEveryDrive, kPersistent, {}, Core},
    {0x0002, 1, kEveryDrive, kPersistent, {}, Morphing},
    {0x0003, 2, kEveryDrive, kPersistent, {}, RemovableMedium},
    {0x0010, 0, kEveryDrive, kWithMedium, {}, RandomReadable},
    {0x001E, 2, kReadsOne, kOnMedia, kCdMedia, CdRead},
    {0x001F, 2, kReadsOne, kOnMedia, kDvdMedia, DvdRead},
    {0x0020, 1, kWritesOne, kOnMedia, {kDvdRam, kDvdPlusRw, kBdRe}, RandomWritable},
    {0x0021, 1, kWritesOne, kOnMedia, {kCdR, kCdRw, kDvdR, kDvdRwSequential}, IncrementalStreamingWritable},
    {0x0023, 0, kWritesOne, kOnMedia, kFormattableMedia, Formattable},
    {0x0024, 1, kWritesOne, kOnMedia, {kDvdRam, kBdRe}, HardwareDefectManagement},
    {0x0026, 0, kWritesOne, kOnMedia, {kDvdRwRestricted}, nullptr},
    {0x002A, 1, kReadsOne, kOnMedia, {kDvdPlusRw}, DvdPlusRw},
    {0x002B, 1, kReadsOne, kOnMedia, {kDvdPlusR}, DvdPlusR},
    {0x002D, 2, kWritesOne, kOnMedia, {kCdR, kCdRw}, CdTrackAtOnce},
    // Restricted overwrite is written without it.
    {0x002F, 2, kWritesOne, kOnMedia, {kDvdR, kDvdRwSequential, kDvdRwRestricted}, DvdMinusWrite,
     {kDvdR, kDvdRwSequential}},
    {0x003B, 0, kReadsOne, kOnMedia, {kDvdPlusRDl}, DvdPlusRDl},
    {0x0040, 0, kReadsOne, kOnMedia, kBdMedia, BdRead},
    {0x0041, 0, kWritesOne, kOnMedia, {kBdRSequential, kBdRe}, BdWrite},
    {0x0050, 0, kReadsOne, kOnMedia, kHdDvdMedia, HdDvdRead},
    {0x0051, 0, kWritesOne, kOnMedia, {kHdDvdR, kHdDvdRam}, HdDvdWrite},
    {0x0107, 4, kEveryDrive, kAlways, {}, RealTimeStreaming},
};

bool DriveHas(const Row& row, const Facts& f) {
  switch (row.has) {
    case kEveryDrive: return true;
    case kReadsOne: return f.ReadsAny(row.media);
    case kWritesOne: return f.WritesAny(row.media);
  }
  return false;
}

bool IsCurrent(const Row& row, const Facts& f) {
  switch (row.current) {
    case kPersistent:
    case kAlways: return true;
    case kWithMedium: return f.medium != nullptr;
    case kOnMedia:
      // A write feature is current only when the drive writes the medium it
      // holds: a drive that merely reads that medium cannot use it now.
      return In(f.current, row.current_on[0] != kNone ? row.current_on : row.media) &&
             (row.has != kWritesOne || f.config.Writes(f.current));
  }
  return false;
}

}  // namespace

void Drive::GetConfiguration(Command& c) {
  const uint8_t request_type = c.cdb[1] & 0x03;
  const uint16_t starting = static_cast<uint16_t>(Get16(&c.cdb[2]));
  if (request_type == 3) Fail(kInvalidFieldInCdb);

  const bool loaded = medium_ && !tray_open_ && config_.Reads(medium_->state().profile);
  const Facts facts{config_, loaded ? &medium_->state() : nullptr, loaded ? medium_->state().profile : kNone};
  Bytes out(8, 0);
  Put16(&out[6], facts.current);
  for (const Row& row : kFeatures) {
    if (request_type == 2 ? row.code != starting : row.code < starting) continue;
    if (!DriveHas(row, facts)) continue;
    const bool current = IsCurrent(row, facts);
    if (request_type == 1 && !current) continue;
    const Bytes data = row.payload != nullptr ? row.payload(facts) : Bytes{};
    uint8_t* h = Grow(out, 4);
    Put16(h, row.code);
    h[2] = static_cast<uint8_t>(row.version << 2 | (row.current == kPersistent ? 0x02 : 0) | (current ? 0x01 : 0));
    h[3] = static_cast<uint8_t>(data.size());
    out.insert(out.end(), data.begin(), data.end());
  }
  Put32(&out[0], static_cast<uint32_t>(out.size() - 4));
  c.Respond(std::move(out), Get16(&c.cdb[7]));
}

}  // namespace orvex::vburner
