// SPDX-License-Identifier: Apache-2.0
// A volume made in memory for the import tests, the corpus maker and the
// fuzz target: sparse sectors (absent ones read as zeros), sectors that fail
// to read, and writers for descriptors and directories whose bytes are set
// by hand, so that every fault can be put exactly where a test wants it.
#ifndef ORVEX_TESTS_SERVICES_TEST_VOLUME_H_
#define ORVEX_TESTS_SERVICES_TEST_VOLUME_H_

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "services/sector_reader.h"

namespace orvex::test {

// Identifier bytes of a Joliet name.
inline std::string Ucs2(const std::u16string& name) {
  std::string bytes;
  for (char16_t unit : name) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xff);
  }
  return bytes;
}

struct TRecordSpec {
  std::string identifier;  // raw bytes
  uint32_t extent = 0;
  uint32_t length = 0;
  uint8_t flags = 0;       // 0x02 directory, 0x80 multi-extent
  uint8_t recorded[6] = {126, 12, 8, 10, 30, 0};  // 2026-12-08 10:30:00
  std::string system_use{};  // raw bytes after the identifier (and its padding byte)
};

// A system use entry: signature, length, version 1, then `data`.
inline std::string SystemUseEntry(const char* signature, const std::string& data) {
  return std::string(signature, 2) + static_cast<char>(4 + data.size()) + '\1' + data;
}

// A 32-bit number recorded both ways (little-endian, then big-endian).
inline std::string BothEndian(uint32_t value) {
  std::string bytes(8, '\0');
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>(value >> (8 * i));
    bytes[7 - i] = static_cast<char>(value >> (8 * i));
  }
  return bytes;
}

class TTestVolume : public TSectorReader {
 public:
  explicit TTestVolume(uint32_t sector_count) : count_(sector_count) {}

  // The sectors of an image held in `bytes`, the last one cut short read
  // with zeros.
  static TTestVolume FromBytes(const uint8_t* bytes, size_t size) {
    TTestVolume volume(static_cast<uint32_t>((size + kSectorSize - 1) / kSectorSize));
    for (size_t offset = 0; offset < size; offset += kSectorSize) {
      std::memcpy(volume.Sector(static_cast<uint32_t>(offset / kSectorSize)), bytes + offset,
                  std::min<size_t>(kSectorSize, size - offset));
    }
    return volume;
  }

  uint32_t SectorCount() const override { return count_; }
  bool ReadSector(uint32_t n, uint8_t* out) override {
    ++reads_;
    if (n >= count_ || unreadable_.count(n) != 0) return false;
    const auto it = sectors_.find(n);
    if (it == sectors_.end()) {
      std::memset(out, 0, kSectorSize);
    } else {
      std::memcpy(out, it->second.data(), kSectorSize);
    }
    return true;
  }

  uint8_t* Sector(uint32_t n) { return sectors_[n].data(); }
  void MakeUnreadable(uint32_t n) { unreadable_.insert(n); }
  size_t reads() const { return reads_; }

  // A volume descriptor at sector `n` whose root directory lies at `root`
  // (`root_length` bytes); a supplementary one with `escape` at byte 88.
  void Descriptor(uint32_t n, uint8_t type, uint32_t root, uint32_t root_length,
                  const std::string& escape = "") {
    uint8_t* s = Sector(n);
    s[0] = type;
    std::memcpy(s + 1, "CD001", 5);
    s[6] = 1;
    std::memcpy(s + 88, escape.data(), escape.size());
    TRecordSpec record{std::string(1, '\0'), root, root_length, 0x02};
    Put(s + 156, record);
  }
  void Terminator(uint32_t n) { Descriptor(n, 255, 0, 0); }

  // Writes one record at `offset` of sector `n`, cut at the sector's end
  // when it runs past it; returns the offset after it.
  size_t Record(uint32_t n, size_t offset, const TRecordSpec& record) {
    uint8_t bytes[256];
    const size_t length = Put(bytes, record);
    std::memcpy(Sector(n) + offset, bytes, std::min(length, kSectorSize - offset));
    return offset + length;
  }

  // A directory at `extent`: "." and "..", then `entries`, each record in
  // the sector where it fits whole.  Returns the directory's length in bytes
  // (whole sectors), which "." records too.
  // `self_system_use` goes into the "." record.
  uint32_t Directory(uint32_t extent, uint32_t parent, const std::vector<TRecordSpec>& entries,
                     const std::string& self_system_use = "") {
    TRecordSpec self{std::string(1, '\0'), extent, 0, 0x02};
    self.system_use = self_system_use;
    std::vector<TRecordSpec> all = {self, {std::string(1, '\1'), parent, 0, 0x02}};
    all.insert(all.end(), entries.begin(), entries.end());
    uint32_t sector = extent;
    size_t offset = 0;
    for (const TRecordSpec& record : all) {
      if (offset + RecordLength(record) > kSectorSize) {
        ++sector;
        offset = 0;
      }
      offset = Record(sector, offset, record);
    }
    const uint32_t length = (sector - extent + 1) * kSectorSize;
    PutLength(Sector(extent), length);
    return length;
  }

  // The whole volume as bytes (for small volumes only).
  std::string Bytes() const {
    std::string bytes(size_t{count_} * kSectorSize, '\0');
    for (const auto& [n, sector] : sectors_) {
      if (n < count_) std::memcpy(&bytes[size_t{n} * kSectorSize], sector.data(), kSectorSize);
    }
    return bytes;
  }

  static size_t RecordLength(const TRecordSpec& record) {
    size_t length = 33 + record.identifier.size();
    length += length % 2 + record.system_use.size();
    return length + (length % 2);  // records keep even lengths
  }

 private:
  static void PutLength(uint8_t* record, uint32_t length) {
    for (int i = 0; i < 4; ++i) {
      record[10 + i] = static_cast<uint8_t>(length >> (8 * i));
      record[17 - i] = static_cast<uint8_t>(length >> (8 * i));
    }
  }
  static size_t Put(uint8_t* p, const TRecordSpec& record) {
    const size_t length = RecordLength(record);
    std::memset(p, 0, length);
    p[0] = static_cast<uint8_t>(length);
    for (int i = 0; i < 4; ++i) {
      p[2 + i] = static_cast<uint8_t>(record.extent >> (8 * i));
      p[9 - i] = static_cast<uint8_t>(record.extent >> (8 * i));
    }
    PutLength(p, record.length);
    std::memcpy(p + 18, record.recorded, 6);
    p[25] = record.flags;
    p[28] = 1;  // volume sequence number
    p[32] = static_cast<uint8_t>(record.identifier.size());
    std::memcpy(p + 33, record.identifier.data(), record.identifier.size());
    const size_t used = 33 + record.identifier.size();
    std::memcpy(p + used + used % 2, record.system_use.data(), record.system_use.size());
    return length;
  }

  uint32_t count_;
  std::map<uint32_t, std::array<uint8_t, kSectorSize>> sectors_;
  std::set<uint32_t> unreadable_;
  size_t reads_ = 0;
};

}  // namespace orvex::test

#endif  // ORVEX_TESTS_SERVICES_TEST_VOLUME_H_
