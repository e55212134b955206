// SPDX-License-Identifier: Apache-2.0
// The ring a user backstore shares with the kernel, served against a
// mailbox in memory laid out as the kernel lays it out: entries written at
// the head, CDBs inside the entry behind its iovecs, data in the area
// behind the ring.
#include <linux/target_core_user.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vburner/tcmu_ring.h"

namespace orvex::vburner {
namespace {

constexpr uint32_t kRingAt = 128, kRingSize = 1024, kDataAt = kRingAt + kRingSize, kAreaSize = kDataAt + 8192;

struct Piece {
  uint32_t at, length;  // in the data area
};

class FakeRing {
 public:
  explicit FakeRing(bool read_len = true) : area_(kAreaSize) {
    Put<uint16_t>(offsetof(tcmu_mailbox, version), TCMU_MAILBOX_VERSION);
    Put<uint16_t>(offsetof(tcmu_mailbox, flags), read_len ? TCMU_MAILBOX_FLAG_CAP_READ_LEN : 0);
    Put<uint32_t>(offsetof(tcmu_mailbox, cmdr_off), kRingAt);
    Put<uint32_t>(offsetof(tcmu_mailbox, cmdr_size), kRingSize);
  }

  // Appends a command entry; returns its offset in the ring.
  uint32_t Command(std::vector<uint8_t> cdb, std::vector<Piece> pieces, uint64_t cdb_at = 0) {
    const uint32_t length = Align(static_cast<uint32_t>(offsetof(tcmu_cmd_entry, req.iov) + 16 * pieces.size() + cdb.size()));
    const uint32_t entry = Header(TCMU_OP_CMD, std::max<uint32_t>(length, sizeof(tcmu_cmd_entry)));
    const size_t at = kRingAt + entry;
    Put<uint32_t>(at + offsetof(tcmu_cmd_entry, req.iov_cnt), static_cast<uint32_t>(pieces.size()));
    for (size_t i = 0; i < pieces.size(); ++i) {
      Put<uint64_t>(at + offsetof(tcmu_cmd_entry, req.iov) + 16 * i, kDataAt + pieces[i].at);
      Put<uint64_t>(at + offsetof(tcmu_cmd_entry, req.iov) + 16 * i + 8, pieces[i].length);
    }
    if (cdb_at == 0) cdb_at = at + offsetof(tcmu_cmd_entry, req.iov) + 16 * pieces.size();
    Put<uint64_t>(at + offsetof(tcmu_cmd_entry, req.cdb_off), cdb_at);
    std::memcpy(&area_[cdb_at], cdb.data(), cdb.size());
    return entry;
  }
  uint32_t Other(tcmu_opcode op, uint32_t length) { return Header(op, length); }
  // Pads the rest of the ring, as the kernel does before an entry that would wrap.
  void PadToEnd() { Header(TCMU_OP_PAD, kRingSize - head_); }

  void Set(uint32_t data_at, const std::string& bytes) { std::memcpy(&area_[kDataAt + data_at], bytes.data(), bytes.size()); }
  std::string Data(uint32_t data_at, uint32_t length) const {
    return std::string(reinterpret_cast<const char*>(&area_[kDataAt + data_at]), length);
  }
  template <typename T>
  T Get(size_t at) const {
    T v;
    std::memcpy(&v, &area_[at], sizeof v);
    return v;
  }
  template <typename T>
  void Put(size_t at, T v) {
    std::memcpy(&area_[at], &v, sizeof v);
  }
  uint32_t Tail() const { return Get<uint32_t>(offsetof(tcmu_mailbox, cmd_tail)); }
  uint8_t Status(uint32_t entry) const { return area_[kRingAt + entry + offsetof(tcmu_cmd_entry, rsp.scsi_status)]; }
  uint8_t Flags(uint32_t entry) const { return area_[kRingAt + entry + offsetof(tcmu_cmd_entry, hdr.uflags)]; }
  uint32_t ReadLen(uint32_t entry) const { return Get<uint32_t>(kRingAt + entry + offsetof(tcmu_cmd_entry, rsp.read_len)); }
  uint8_t Sense(uint32_t entry, size_t i) const { return area_[kRingAt + entry + offsetof(tcmu_cmd_entry, rsp.sense_buffer) + i]; }
  std::span<uint8_t> area() { return area_; }
  void StartAt(uint32_t offset) {
    head_ = offset;
    Put<uint32_t>(offsetof(tcmu_mailbox, cmd_head), offset);
    Put<uint32_t>(offsetof(tcmu_mailbox, cmd_tail), offset);
  }

 private:
  static uint32_t Align(uint32_t n) { return (n + 7) / 8 * 8; }
  uint32_t Header(tcmu_opcode op, uint32_t length) {
    const uint32_t entry = head_;
    Put<uint32_t>(kRingAt + entry, length | op);
    head_ = (head_ + length) % kRingSize;
    Put<uint32_t>(offsetof(tcmu_mailbox, cmd_head), head_);
    return entry;
  }
  std::vector<uint8_t> area_;
  uint32_t head_ = 0;
};

// A handler that records what it was given and answers as told.
struct Recorder {
  std::vector<std::vector<uint8_t>> cdbs;
  std::vector<std::string> data;
  RingAnswer answer;
  std::string reply;  // written as data in
  RingHandler Handler() {
    return [this](std::span<const uint8_t> cdb, std::span<uint8_t> buffer) {
      cdbs.emplace_back(cdb.begin(), cdb.end());
      data.emplace_back(reinterpret_cast<const char*>(buffer.data()), buffer.size());
      std::copy_n(reply.begin(), std::min(reply.size(), buffer.size()), buffer.begin());
      return answer;
    };
  }
};

TEST(TcmuRing, CdbLengthFollowsTheOperationCodesGroup) {
  struct Row {
    std::vector<uint8_t> cdb;
    size_t length;
  } rows[] = {
      {{0x00}, 6},  {{0x12}, 6},  {{0x28}, 10}, {{0x5A}, 10}, {{0x60}, 12}, {{0x88}, 16},
      {{0xA1}, 12}, {{0xBF}, 12}, {{0xC0}, 10}, {{0x7F, 0, 0, 0, 0, 0, 0, 0x18}, 32},
      {{0x7F, 0}, 0},  // its length byte is not there
  };
  for (const Row& r : rows) EXPECT_EQ(CdbLength(r.cdb.data(), r.cdb.size()), r.length) << int{r.cdb[0]};
}

TEST(TcmuRing, CommandsAreAnsweredInPlaceAndTheTailFollows) {
  struct Row {
    const char* name;
    bool read_len_capable;
    std::vector<Piece> pieces;
    std::string data_out;  // what the initiator sent, over the pieces
    RingAnswer answer;
    std::string reply;
    std::string seen;         // what the handler got
    std::string in_pieces;    // the data area afterwards
    uint32_t read_len;
  } rows[] = {
      {"data out in two pieces", true, {{0, 3}, {100, 2}}, "abcde", {0x00, {}, 0}, "", "abcde", "abcde", 0},
      {"data in shorter than the buffer", true, {{0, 4}, {100, 4}}, "", {0x00, {}, 5}, "HELLO...", std::string(8, '\0'),
       std::string("HELLO\0\0\0", 8), 5},
      {"short data in without the capability", false, {{0, 4}}, "", {0x00, {}, 2}, "HI", std::string(4, '\0'),
       std::string("HI\0\0", 4), 0},
      {"data in filling the buffer", true, {{0, 4}}, "", {0x00, {}, 4}, "FULL", std::string(4, '\0'), "FULL", 0},
      {"check condition", true, {}, "", {0x02, {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24}, 0}, "", "", "", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FakeRing ring(r.read_len_capable);
    size_t sent = 0;
    for (const Piece& p : r.pieces) {
      ring.Set(p.at, r.data_out.substr(std::min(sent, r.data_out.size()), p.length) + std::string(p.length, '\0'));
      sent += p.length;
    }
    const uint32_t entry = ring.Command({0x2A, 1, 2, 3, 4, 5, 6, 7, 8, 9}, r.pieces);
    Recorder recorder;
    recorder.answer = r.answer;
    recorder.reply = r.reply;
    ASSERT_EQ(ServeRing(ring.area(), recorder.Handler()), 1u);
    ASSERT_EQ(recorder.cdbs.size(), 1u);
    EXPECT_EQ(recorder.cdbs[0], (std::vector<uint8_t>{0x2A, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(recorder.data[0], r.seen);
    std::string after;
    for (const Piece& p : r.pieces) after += ring.Data(p.at, p.length);
    EXPECT_EQ(after, r.in_pieces);
    EXPECT_EQ(ring.Status(entry), r.answer.status);
    EXPECT_EQ((ring.Flags(entry) & TCMU_UFLAG_READ_LEN) != 0, r.read_len != 0);
    if (r.read_len != 0) {
      EXPECT_EQ(ring.ReadLen(entry), r.read_len);
    }
    for (size_t i = 0; i < r.answer.sense.size(); ++i) EXPECT_EQ(ring.Sense(entry, i), r.answer.sense[i]);
    EXPECT_EQ(ring.Tail(), ring.Get<uint32_t>(offsetof(tcmu_mailbox, cmd_head)));
  }
}

TEST(TcmuRing, PaddingNoticesAndUnknownEntriesAreSteppedOver) {
  FakeRing ring;
  ring.StartAt(kRingSize - 256);
  ring.Other(TCMU_OP_TMR, 64);
  const uint32_t unknown = ring.Other(static_cast<tcmu_opcode>(5), 64);
  ring.PadToEnd();
  const uint32_t wrapped = ring.Command({0x00, 0, 0, 0, 0, 0}, {});
  Recorder recorder;
  EXPECT_EQ(ServeRing(ring.area(), recorder.Handler()), 1u);
  ASSERT_EQ(recorder.cdbs.size(), 1u);
  EXPECT_EQ(recorder.cdbs[0].size(), 6u);
  EXPECT_NE(ring.Flags(unknown) & TCMU_UFLAG_UNKNOWN_OP, 0);
  EXPECT_EQ(wrapped, 0u);
  EXPECT_EQ(ring.Tail(), ring.Get<uint32_t>(offsetof(tcmu_mailbox, cmd_head)));
  // Nothing new: nothing answered.
  EXPECT_EQ(ServeRing(ring.area(), recorder.Handler()), 0u);
}

TEST(TcmuRing, EntriesPointingOutsideTheAreaStopTheRingBeforeThem) {
  struct Row {
    const char* name;
    void (*spoil)(FakeRing&, uint32_t entry);
  } rows[] = {
      {"data beyond the area", [](FakeRing& r, uint32_t e) {
         r.Put<uint64_t>(kRingAt + e + offsetof(tcmu_cmd_entry, req.iov) + 8, kAreaSize);
       }},
      {"CDB beyond the area", [](FakeRing& r, uint32_t e) {
         r.Put<uint64_t>(kRingAt + e + offsetof(tcmu_cmd_entry, req.cdb_off), kAreaSize - 2);
       }},
      {"more iovecs than the entry holds", [](FakeRing& r, uint32_t e) {
         r.Put<uint32_t>(kRingAt + e + offsetof(tcmu_cmd_entry, req.iov_cnt), 1000);
       }},
      {"entry of length 0", [](FakeRing& r, uint32_t e) { r.Put<uint32_t>(kRingAt + e, TCMU_OP_CMD); }},
      {"entry past the ring's end", [](FakeRing& r, uint32_t e) { r.Put<uint32_t>(kRingAt + e, 2048 | TCMU_OP_CMD); }},
      {"head outside the ring", [](FakeRing& r, uint32_t) { r.Put<uint32_t>(offsetof(tcmu_mailbox, cmd_head), kRingSize + 8); }},
      {"ring outside the area", [](FakeRing& r, uint32_t) { r.Put<uint32_t>(offsetof(tcmu_mailbox, cmdr_size), kAreaSize); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FakeRing ring;
    ring.Command({0x00, 0, 0, 0, 0, 0}, {});
    const uint32_t bad = ring.Command({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, {{0, 2048}});
    r.spoil(ring, bad);
    Recorder recorder;
    EXPECT_THROW(ServeRing(ring.area(), recorder.Handler()), RingError);
    EXPECT_LE(recorder.cdbs.size(), 1u);
    EXPECT_LE(ring.Tail(), bad);
  }
}

}  // namespace
}  // namespace orvex::vburner
