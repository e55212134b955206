// SPDX-License-Identifier: Apache-2.0
// READ DISC STRUCTURE and SEND DISC STRUCTURE.  DVD media have the
// physical format (00h), the copyright information (01h, no protection),
// the structure list (FFh) and, by kind, the pre-recorded lead-in
// information of DVD-R/-RW (0Eh, read) and their time stamp (0Fh, sent),
// or the ADIP of DVD+R/+RW (11h).  BD media have the disc information
// (00h) and the list.  One table names them all, so the list, the reads
// and the sends cannot disagree.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

constexpr uint8_t kDvdMedia = 0, kBdMedia = 1;  // the media type field
constexpr uint8_t kTimeStamp = 0x0F;
constexpr uint8_t kStructureList = 0xFF;
constexpr uint32_t kDvdDataStart = 0x030000;  // the physical sector of LBA 0

bool Is(const MediumState& s, std::initializer_list<uint16_t> profiles) {
  return std::find(profiles.begin(), profiles.end(), s.profile) != profiles.end();
}
bool AnyDvd(const MediumState& s) { return InfoOf(s).family == Family::kDvd; }
bool AnyBd(const MediumState& s) { return InfoOf(s).family == Family::kBd; }
bool DvdMinus(const MediumState& s) {
  return Is(s, {profile::kDvdR, profile::kDvdRwSequential, profile::kDvdRwRestricted});
}
bool DvdMinusSequential(const MediumState& s) { return Is(s, {profile::kDvdR, profile::kDvdRwSequential}); }
bool DvdPlus(const MediumState& s) { return Is(s, {profile::kDvdPlusR, profile::kDvdPlusRw, profile::kDvdPlusRDl}); }
bool DualLayer(const MediumState& s) { return s.profile == profile::kDvdPlusRDl; }

// Blocks on layer 0 of a dual-layer disc: half of them, in whole ECC blocks.
uint32_t LayerZeroBlocks(const MediumState& s) { return (s.capacity / 2 + 15) / 16 * 16; }

// The first 17 bytes of a DVD layer descriptor, which the ADIP of DVD+R
// and DVD+RW begins with too: book type and part version, disc size and
// rate, layers and their kind, densities, and where the data area lies.
// A dual-layer disc is read with opposite track paths: layer 1 counts its
// sectors on from the complement of layer 0's last one.
void PutLayerDescriptor(const MediumState& s, uint8_t* d) {
  static constexpr struct {
    uint16_t profile;
    uint8_t book;     // book type and part version
    uint8_t layers;   // layers, track path and layer type
    uint8_t density;  // linear and track density
  } kBooks[] = {{profile::kDvdRom, 0x01, 0x01, 0x00},           {profile::kDvdR, 0x25, 0x02, 0x00},
                {profile::kDvdRam, 0x16, 0x04, 0x42},           {profile::kDvdRwRestricted, 0x32, 0x04, 0x00},
                {profile::kDvdRwSequential, 0x32, 0x04, 0x00}, {profile::kDvdPlusRw, 0x92, 0x04, 0x00},
                {profile::kDvdPlusR, 0xA1, 0x02, 0x00},         {profile::kDvdPlusRDl, 0xE1, 0x32, 0x10}};
  const auto* book = std::find_if(std::begin(kBooks), std::end(kBooks), [&](const auto& b) { return b.profile == s.profile; });
  if (book == std::end(kBooks)) Fail(kInvalidFieldInCdb);
  const uint32_t blocks = InfoOf(s).model == Model::kReadOnly ? s.readable : s.capacity;
  d[0] = book->book;
  d[1] = 0x02;  // 120 mm, at most 10.08 Mbit/s
  d[2] = book->layers;
  d[3] = book->density;
  Put32(&d[4], kDvdDataStart);
  if (DualLayer(s)) {
    const uint32_t layer0_end = kDvdDataStart + LayerZeroBlocks(s) - 1;
    Put32(&d[8], (~layer0_end & 0xFFFFFF) + (blocks - LayerZeroBlocks(s)) - 1);
    Put32(&d[12], layer0_end);
  } else {
    Put32(&d[8], kDvdDataStart + std::max<uint32_t>(blocks, 1) - 1);
  }
}

struct StructureRequest {
  const MediumState& s;
  uint8_t layer;
};

Bytes PhysicalFormat(const StructureRequest& r) {
  if (r.layer > (DualLayer(r.s) ? 1 : 0)) Fail(kInvalidFieldInCdb);
  Bytes d(2048, 0);
  PutLayerDescriptor(r.s, d.data());
  return d;
}

Bytes Copyright(const StructureRequest&) { return Bytes(4, 0); }  // no protection system, every region

// Five 8-byte fields as the land pre-pits hold them: the application and
// physical codes with the last address of the recordable area, the
// recording parameters, and the manufacturer in fields 3 and 4.
Bytes PrerecordedInformation(const StructureRequest& r) {
  Bytes d(40, 0);
  for (uint8_t field = 0; field < 5; ++field) d[8 * field] = static_cast<uint8_t>(field + 1);
  Put24(&d[3], kDvdDataStart + r.s.capacity - 1);
  std::memcpy(&d[17], "ORVEX ", 6);
  std::memcpy(&d[25], "VBURNR", 6);
  return d;
}

// The ADIP: the layer descriptor, then the disc manufacturer, the media
// type and the product revision.
Bytes Adip(const StructureRequest& r) {
  Bytes d(256, 0);
  PutLayerDescriptor(r.s, d.data());
  std::memcpy(&d[19], "ORVEX   ", 8);
  std::memcpy(&d[27], "VB1", 3);
  d[31] = 32;  // the bytes of physical format information in use
  return d;
}

// One disc information unit of the 4096 bytes that the PIC zone holds:
// its identifier and format, the disc type, one 120 mm layer of its kind.
Bytes BdDiscInformation(const StructureRequest& r) {
  Bytes d(4096, 0);
  const bool rom = InfoOf(r.s).model == Model::kReadOnly && r.s.profile != profile::kBdRRandom;
  const bool rewritable = r.s.profile == profile::kBdRe;
  std::memcpy(&d[0], "DI", 2);
  d[2] = 0x01;  // DI format
  d[3] = 0x08;  // one unit in the block, this one the first
  d[4] = 112;   // bytes of the unit in use
  std::memcpy(&d[8], rom ? "BDO" : rewritable ? "BDW" : "BDR", 3);
  d[11] = 0x01;  // 120 mm, class 0, version 1
  d[12] = static_cast<uint8_t>(0x10 | (rom ? 0x01 : rewritable ? 0x04 : 0x02));
  std::memcpy(&d[100], "ORVEX ", 6);
  return d;
}

struct Structure {
  uint8_t media_type;
  uint8_t format;
  bool (*offered)(const MediumState&);
  Bytes (*read)(const StructureRequest&);  // null: sent only
  uint16_t sent_length;                    // the parameter data SEND DISC STRUCTURE takes; 0: read only
};

constexpr Structure kStructures[] = {
    {kDvdMedia, 0x00, AnyDvd, PhysicalFormat, 0},
    {kDvdMedia, 0x01, AnyDvd, Copyright, 0},
    {kDvdMedia, 0x0E, DvdMinus, PrerecordedInformation, 0},
    {kDvdMedia, kTimeStamp, DvdMinusSequential, nullptr, 18},
    {kDvdMedia, 0x11, DvdPlus, Adip, 0},
    {kDvdMedia, kStructureList, AnyDvd, nullptr, 0},
    {kBdMedia, 0x00, AnyBd, BdDiscInformation, 0},
    {kBdMedia, kStructureList, AnyBd, nullptr, 0},
};

// The structures of the medium for one media type; a medium of another
// family cannot be read in these terms at all.
std::vector<const Structure*> StructuresOf(const MediumState& s, uint8_t media_type) {
  const int own = AnyBd(s) ? kBdMedia : AnyDvd(s) ? kDvdMedia : -1;
  if (media_type != own) Fail(kIncompatibleFormat);
  std::vector<const Structure*> found;
  for (const Structure& st : kStructures)
    if (st.media_type == media_type && st.offered(s)) found.push_back(&st);
  return found;
}

const Structure& Find(const std::vector<const Structure*>& structures, uint8_t format) {
  const auto it = std::find_if(structures.begin(), structures.end(), [&](const Structure* st) { return st->format == format; });
  if (it == structures.end()) Fail(kInvalidFieldInCdb);
  return **it;
}

// Four bytes a structure: its format, whether it can be sent and read, its length.
Bytes StructureList(const MediumState& s, const std::vector<const Structure*>& structures) {
  Bytes d;
  for (const Structure* st : structures) {
    uint8_t* e = Grow(d, 4);
    e[0] = st->format;
    e[1] = st->sent_length != 0 ? 0x80 : 0x40;  // SDS or RDS
    const size_t length = st->format == kStructureList ? 4 * structures.size()
                          : st->read != nullptr        ? st->read(StructureRequest{s, 0}).size()
                                                       : st->sent_length;
    Put16(&e[2], static_cast<uint32_t>(length));
  }
  return d;
}

}  // namespace

void Drive::ReadDiscStructure(Command& c) {
  const MediumState& s = RequireMedium();
  const std::vector<const Structure*> structures = StructuresOf(s, c.cdb[1] & 0x0F);
  const Structure& st = Find(structures, c.cdb[7]);
  if (st.sent_length != 0) Fail(kInvalidFieldInCdb);
  const Bytes data = st.format == kStructureList ? StructureList(s, structures) : st.read(StructureRequest{s, c.cdb[6]});
  Bytes out(4, 0);
  Put16(&out[0], static_cast<uint32_t>(data.size() + 2));
  out.insert(out.end(), data.begin(), data.end());
  c.Respond(std::move(out), Get16(&c.cdb[8]));
}

void Drive::SendDiscStructure(Command& c) {
  MediumState& s = RequireWritable();
  const std::vector<const Structure*> structures = StructuresOf(s, c.cdb[1] & 0x0F);
  const Structure& st = Find(structures, c.cdb[7]);
  if (st.sent_length == 0) Fail(kInvalidFieldInCdb);
  const uint32_t length = Get16(&c.cdb[8]);
  const uint8_t* data = c.TakeDataOut(length);
  if (length < 4u + st.sent_length) Fail(kParameterListLengthError);
  // The time stamp: data length 0014h, then YYYYMMDDHHMMSS in ASCII at bytes 8-21.
  if (Get16(data) != 0x14 || !std::all_of(data + 8, data + 22, [](uint8_t b) { return b >= '0' && b <= '9'; }))
    Fail(kInvalidFieldInParameterList);
  if (s.finalized) Fail(kCommandSequenceError);
  s.dvd_timestamp.assign(reinterpret_cast<const char*>(data + 8), 14);
  SaveOrFail();
}

}  // namespace orvex::vburner
