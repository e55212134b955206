// SPDX-License-Identifier: Apache-2.0
// The MMC records the drive layer sends and reads, laid out byte for byte
// as MMC defines them: fixed-format sense data (descriptor-format sense is
// turned into it), disc and track information,
// the write parameters page (05h) and the capabilities page (2Ah), the
// configuration header with its first feature, buffer capacity, format
// capacities, the ATIP of a recordable CD and the disc structures that name
// a DVD's or BD's kind.  Multi-byte fields are big-endian on the wire; the
// records that the drive layer keeps in host order say so.  Every offset is
// fixed by a static_assert, so a record can be read straight from a
// response.  This is the one place that knows where a field or bit of an
// answer lies: readers go through the decodes and accessors below.
#ifndef ORVEX_DRIVE_MMC_RECORDS_H_
#define ORVEX_DRIVE_MMC_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvex {

// Fixed-format sense data (bytes 0 to 17), then the rest of the 32-byte area.
struct TSENSE {
  uint8_t ErrorCode;      // 70h current, 71h deferred
  uint8_t SegmentNum;
  uint8_t SenseKey;       // bits 3-0
  uint8_t InfoByte0, InfoByte1, InfoByte2, InfoByte3;
  uint8_t AddSenLen;
  uint8_t ComSpecInf0, ComSpecInf1, ComSpecInf2, ComSpecInf3;
  uint8_t AddSenseCode;   // 04h: not ready (a format or blank in progress)
  uint8_t AddSenQual;
  uint8_t FieldRepUCode;
  uint8_t SenKeySpec15, SenKeySpec16, SenKeySpec17;
  uint8_t AddSenseBytes[14];
};
static_assert(offsetof(TSENSE, SenseKey) == 2);
static_assert(offsetof(TSENSE, AddSenseCode) == 12);
static_assert(offsetof(TSENSE, AddSenQual) == 13);
static_assert(sizeof(TSENSE) == 32);

// The sense area as the fixed-format record every reader of TSENSE expects.
// Fixed-format sense (70h, 71h) comes back as it is.  Descriptor-format
// sense (72h current, 73h deferred), which carries the key, code and
// qualifier in bytes 1 to 3 and the rest in descriptors, comes back as
// response code 70h or 71h with those three in their fixed places; the
// information (low 32 bits, VALID when it fits), command-specific
// information, sense-key specific and field replaceable unit descriptors
// are moved to theirs.  Only the first `length` bytes are read; a
// descriptor that does not end within them is left out.
TSENSE FixedFormatSense(const uint8_t* area, size_t length);

inline uint8_t SenseKeyOf(const TSENSE& s) { return s.SenseKey & 0x0F; }
// The additional sense code and qualifier as one number, as job errors carry them.
inline uint16_t SenseCodeOf(const TSENSE& s) { return static_cast<uint16_t>(s.AddSenseCode << 8 | s.AddSenQual); }

// READ DISC INFORMATION, kept as the drive sent it (big-endian).
struct TDiscInformation {
  uint8_t DataLen[2];
  uint8_t info;                     // bits 1-0 disc status, 3-2 state of the last session, bit 4 erasable
  uint8_t FirstTrack;
  uint8_t Sessions;                 // low byte
  uint8_t FirstTrackOfLastSession;  // low byte
  uint8_t LastTrackOfLastSession;   // low byte
  uint8_t info2;
  uint8_t DiscType;
  uint8_t Resvd1, Resvd2, Resvd3;   // high bytes of sessions and tracks
  uint8_t DiscIdentification[4];
  uint8_t Resvd4[48];
};
static_assert(offsetof(TDiscInformation, info) == 2);
static_assert(offsetof(TDiscInformation, Sessions) == 4);
static_assert(offsetof(TDiscInformation, LastTrackOfLastSession) == 6);
static_assert(offsetof(TDiscInformation, DiscType) == 8);
static_assert(offsetof(TDiscInformation, DiscIdentification) == 12);
static_assert(sizeof(TDiscInformation) == 64);

constexpr uint8_t kDiscStatusEmpty = 0, kDiscStatusIncomplete = 1, kDiscStatusComplete = 2;
// State of the last session: 0 empty, 1 incomplete, 3 complete.
constexpr uint8_t kSessionEmpty = 0, kSessionIncomplete = 1;

inline uint8_t DiscStatusOf(const TDiscInformation& i) { return i.info & 0x03; }
inline uint8_t LastSessionState(const TDiscInformation& i) { return i.info >> 2 & 0x03; }
// The erasable bit: the medium is rewritable (CD-RW, DVD-RW, DVD+RW, DVD-RAM, BD-RE).
inline bool DiscErasable(const TDiscInformation& i) { return (i.info & 0x10) != 0; }

// READ TRACK INFORMATION (the 38 bytes MMC defines for this command); the
// 16- and 32-bit fields are turned to host order once read.
struct TTrackInformation {
  uint16_t DataLength;
  uint8_t TrackNumber;
  uint8_t SessionNumber;
  uint8_t Reserved1;
  uint8_t info1;   // byte 5: bit 5 damage
  uint8_t info2;   // byte 6: bit 7 reserved track, bit 6 blank, bit 4 fixed packet
  uint8_t info3;   // byte 7: bit 0 next writable address valid
  uint32_t TrackStartAddress;
  uint32_t NextWritableAddress;
  uint32_t FreeBlocks;
  uint32_t FixedPacketSize;
  uint32_t TrackSize;
  uint32_t LastRecordedAddress;
  uint8_t TrackNumber2;
  uint8_t SessionNumber2;
  uint8_t Res3, Res4, Res5, Res6;
};
static_assert(offsetof(TTrackInformation, info2) == 6);
static_assert(offsetof(TTrackInformation, info3) == 7);
static_assert(offsetof(TTrackInformation, TrackStartAddress) == 8);
static_assert(offsetof(TTrackInformation, NextWritableAddress) == 12);
static_assert(offsetof(TTrackInformation, FreeBlocks) == 16);
static_assert(offsetof(TTrackInformation, TrackSize) == 24);
static_assert(offsetof(TTrackInformation, LastRecordedAddress) == 28);
static_assert(offsetof(TTrackInformation, Res6) == 37);
constexpr size_t kTrackInformationBytes = 38;

// The record of kTrackInformationBytes bytes as sent, its 16- and 32-bit
// fields turned to host order.
TTrackInformation DecodeTrackInformation(const uint8_t* raw);

inline bool TrackDamaged(const TTrackInformation& t) { return (t.info1 & 0x20) != 0; }
inline bool TrackReserved(const TTrackInformation& t) { return (t.info2 & 0x80) != 0; }
inline bool TrackBlank(const TTrackInformation& t) { return (t.info2 & 0x40) != 0; }
inline bool TrackFixedPacket(const TTrackInformation& t) { return (t.info2 & 0x10) != 0; }
inline bool NextWritableAddressValid(const TTrackInformation& t) { return (t.info3 & 0x01) != 0; }

// A track still open for writing: data or a reservation in it, and either
// an address to go on at or the damage an interrupted write leaves.  The
// empty track after the last one is not open in this sense.
inline bool TrackIsOpen(const TTrackInformation& t) {
  return (NextWritableAddressValid(t) || TrackDamaged(t)) && (TrackReserved(t) || !TrackBlank(t));
}

// The write parameters page (05h), big-endian as sent.
struct TModePage05 {
  uint8_t PageCode;
  uint8_t PageLen;
  uint8_t WriteType;      // bit 6 BUFE, bit 5 LS_V, bit 4 test write, bits 3-0 write type
  uint8_t TrackMode;      // bits 7-6 multi-session, bit 5 FP, bits 3-0 track mode
  uint8_t DBType;         // bits 3-0 data block type
  uint8_t LinkSize;
  uint8_t Res6;
  uint8_t Init_App_Code;
  uint8_t SessionFormat;
  uint8_t Res9;
  uint8_t PacketSize[4];
  uint8_t PauseLength[2];
  uint8_t MediaCatNo[16];
  uint8_t ISRC[16];
  uint8_t SubHeader[4];
  uint8_t Vendors[20];
};
static_assert(offsetof(TModePage05, WriteType) == 2);
static_assert(offsetof(TModePage05, LinkSize) == 5);
static_assert(offsetof(TModePage05, SessionFormat) == 8);
static_assert(offsetof(TModePage05, PacketSize) == 10);
static_assert(offsetof(TModePage05, PauseLength) == 14);
static_assert(offsetof(TModePage05, MediaCatNo) == 16);
static_assert(offsetof(TModePage05, SubHeader) == 48);
static_assert(sizeof(TModePage05) == 72);

// The capabilities page (2Ah): its first 64 bytes as the drive sent them,
// then this system's copies of the default speeds (host order).  After a
// refresh the speed and buffer fields are in host order too.
struct TModePage2A {
  uint8_t PageCode;
  uint8_t PageLen;
  uint8_t ReadInfo;       // bit 0 CD-R, 1 CD-RW, 2 method 2, 3 DVD-ROM, 4 DVD-R, 5 DVD-RAM
  uint8_t WriteInfo;      // bit 0 CD-R, 1 CD-RW, 2 test write, 4 DVD-R, 5 DVD-RAM
  uint8_t OtherInfo;      // bit 7 buffer-underrun-free recording
  uint8_t CDDASupported;
  uint8_t Lock;
  uint8_t SepChanVol;
  uint16_t MaxReadSpeed;
  uint16_t NumVolLevels;
  uint16_t BufferSize;
  uint16_t CurReadSpeed;
  uint8_t Reserved16;
  uint8_t BCK;
  uint16_t MaxWriteSpeed;
  uint16_t CurWriteSpeed;
  uint8_t Others[50];
  uint16_t DeviceMaxReadSpeed;
  uint16_t DeviceMaxWriteSpeed;
};
static_assert(offsetof(TModePage2A, MaxReadSpeed) == 8);
static_assert(offsetof(TModePage2A, BufferSize) == 12);
static_assert(offsetof(TModePage2A, CurReadSpeed) == 14);
static_assert(offsetof(TModePage2A, MaxWriteSpeed) == 18);
static_assert(offsetof(TModePage2A, CurWriteSpeed) == 20);
static_assert(offsetof(TModePage2A, Others) == 22);
static_assert(offsetof(TModePage2A, DeviceMaxReadSpeed) == 72);
static_assert(sizeof(TModePage2A) == 76);
constexpr size_t kModePage2ABytes = 64;

// The page's first kModePage2ABytes bytes as sent, its speed, volume and
// buffer fields turned to host order; the default speeds stay 0.
TModePage2A DecodeCapabilitiesPage(const uint8_t* page);

// The page's flags, each one bit of bytes 2 to 4.
enum class TPageCapability : uint8_t {
  kReadCdR, kReadCdRw, kReadMethod2, kReadDvdRom, kReadDvdR, kReadDvdRam,
  kWriteCdR, kWriteCdRw, kTestWrite, kWriteDvdR, kWriteDvdRam, kUnderrunFree,
};
bool PageCan(const TModePage2A& page, TPageCapability capability);
// A drive that writes any medium the page knows of.
inline bool PageWritesAny(const TModePage2A& page) { return page.WriteInfo != 0; }

// The GET CONFIGURATION header and the first feature descriptor, raw.
struct TConfigHeader {
  uint8_t DataLength[4];
  uint8_t Reseverd1[2];
  uint8_t CurrentProfile[2];
  uint8_t FeatureCode[2];
  uint8_t Version;
  uint8_t AdditionalLength;
  uint8_t info;             // the feature's first dependent byte
  uint8_t OtherData[101];
};
static_assert(offsetof(TConfigHeader, CurrentProfile) == 6);
static_assert(offsetof(TConfigHeader, FeatureCode) == 8);
static_assert(offsetof(TConfigHeader, info) == 12);
static_assert(sizeof(TConfigHeader) == 114);
constexpr size_t kConfigHeaderBytes = 8;  // data length, reserved, current profile

// The current profile, or 0 (no medium) when the header did not arrive
// whole in the `arrived` bytes.
uint16_t CurrentProfileOf(const TConfigHeader& header, size_t arrived);
// The code of the first feature descriptor.
uint16_t FeatureCodeOf(const TConfigHeader& header);
// The Current bit of the first feature: the drive can use it with the
// medium it holds.
inline bool FeatureCurrent(const TConfigHeader& header) { return (header.Version & 0x01) != 0; }
// Bit 0 of the first feature's first dependent byte: Write in the DVD+RW
// (2Ah) and DVD+R DL (3Bh) features.
inline bool FeatureWrites(const TConfigHeader& header) { return (header.info & 0x01) != 0; }
// Bit 1 of it in the DVD-R/-RW Write feature (2Fh): DVD-RW too.
inline bool FeatureWritesDvdRw(const TConfigHeader& header) { return (header.info & 0x02) != 0; }

// READ BUFFER CAPACITY.
struct TBufferCapacity {
  uint8_t DataLength[2];
  uint8_t Reserved;
  uint8_t Block;            // bit 0: lengths in blocks
  uint8_t BufferLength[4];
  uint8_t BlankLength[4];
};
static_assert(offsetof(TBufferCapacity, BufferLength) == 4);
static_assert(offsetof(TBufferCapacity, BlankLength) == 8);
static_assert(sizeof(TBufferCapacity) == 12);

// The buffer's length and its blank length in bytes, from the answer as sent.
uint32_t BufferLengthOf(const TBufferCapacity& answer);
uint32_t BlankLengthOf(const TBufferCapacity& answer);

// READ FORMAT CAPACITIES: a 4-byte header whose last byte counts the bytes
// of 8-byte descriptors that follow.  The first describes the current or
// greatest capacity, the others the formats the medium takes.
struct TCapacityDescriptor {
  uint32_t blocks;
  uint8_t type;        // format type (bits 7-2) or, in the first, the descriptor type (bits 1-0)
  uint32_t parameter;  // 24 bits: the block length, or the format's parameter
};
// The descriptors the header announces, as far as they arrived in `arrived` bytes.
std::vector<TCapacityDescriptor> DecodeFormatCapacities(const uint8_t* list, size_t arrived);
inline uint8_t DescriptorTypeOf(const TCapacityDescriptor& d) { return d.type & 0x03; }
// The descriptor type of a drive without a medium: the capacity is the
// greatest the drive can write, no medium's.
constexpr uint8_t kNoMediumPresent = 3;

// The ATIP of a recordable CD (READ TOC/PMA/ATIP format 4): what its disc
// type bit says, from an answer of `arrived` bytes.  An answer without the
// bit that is always one in an ATIP is no ATIP (a pressed disc).
enum class TAtipDisc : uint8_t { kNone, kRecordable, kRewritable };
TAtipDisc AtipDiscOf(const uint8_t* answer, size_t arrived);
constexpr uint8_t kAtipBytes = 30;

// READ DISC STRUCTURE format 00h, read as DVD (media type 0): the physical
// format's book type (bits 7-4 of its first byte) and layers (bits 6-5 of
// its third, plus one).  Zeros when fewer than kDvdFormatBytes arrived.
struct TDvdPhysicalFormat {
  uint8_t book;
  uint8_t layers;
};
constexpr size_t kDvdFormatBytes = 4 + 3;
TDvdPhysicalFormat DecodeDvdPhysicalFormat(const uint8_t* answer, size_t arrived);
constexpr uint8_t kBookDvdRom = 0x0, kBookDvdRam = 0x1, kBookDvdR = 0x2, kBookDvdRw = 0x3, kBookDvdPlusRw = 0x9,
                  kBookDvdPlusR = 0xA, kBookDvdPlusRwDl = 0xD, kBookDvdPlusRDl = 0xE;

// READ DISC STRUCTURE format 00h, read as BD (media type 1): the disc type
// of the first disc information unit ("BDO", "BDR", "BDW" at bytes 8-10 of
// the unit that begins "DI").
enum class TBdDisc : uint8_t { kNone, kRom, kRecordable, kRewritable };
constexpr size_t kBdUnitBytes = 4 + 11;
TBdDisc DecodeBdDiscType(const uint8_t* answer, size_t arrived);

// GET EVENT STATUS NOTIFICATION: a 4-byte header (the length of what
// follows, No Event Available with the class reported, the classes the
// drive supports) and one 4-byte event descriptor.  Of the media class's
// descriptor: the event code (bits 3-0 of its first byte) and the media
// status (bit 1 a medium present, bit 0 the tray open).
enum class TMediaEvent : uint8_t {
  kNoChange = 0,
  kEjectRequest = 1,      // the user asked for the medium out (the eject button)
  kNewMedia = 2,          // a medium arrived
  kMediaRemoval = 3,      // the medium left
  kMediaChanged = 4,      // a changer put another medium in
  kFormatCompleted = 5,   // a background format ended
  kFormatRestarted = 6,   // a background format started again
};
struct TMediaEventStatus {
  TMediaEvent event;
  bool present;
  bool tray_open;
};
constexpr uint8_t kMediaEventClass = 4;  // the class number; its request bit is 1 << 4
constexpr size_t kEventStatusBytes = 4 + 4;
// The media class's event from an answer of `arrived` bytes; empty when the
// answer holds none: no event available (a drive without the class), a
// descriptor of another class, an event code MMC does not define, or an
// answer that stops short of the descriptor.
std::optional<TMediaEventStatus> DecodeMediaEvent(const uint8_t* answer, size_t arrived);
// Whether `event` may have left another medium, or the same one in another
// state, than a description made before it: an arrival, a removal, a
// change, and a background format ending or starting again.  An eject
// request changes nothing by itself.
bool ChangesMedium(TMediaEvent event);

}  // namespace orvex

#endif  // ORVEX_DRIVE_MMC_RECORDS_H_
