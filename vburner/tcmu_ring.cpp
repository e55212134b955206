// SPDX-License-Identifier: Apache-2.0
#include "vburner/tcmu_ring.h"

#include <linux/target_core_user.h>  // compiled with -fpermissive: see CMakeLists.txt

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

namespace orvex::vburner {
namespace {

constexpr size_t kHeadAt = offsetof(tcmu_mailbox, cmd_head);
constexpr size_t kTailAt = offsetof(tcmu_mailbox, cmd_tail);
constexpr size_t kIovAt = offsetof(tcmu_cmd_entry, req.iov);
constexpr size_t kSenseAt = offsetof(tcmu_cmd_entry, rsp.sense_buffer);
static_assert(kHeadAt % 4 == 0 && kTailAt % 4 == 0, "the ring's indices are naturally aligned");
static_assert(sizeof(iovec) == 16);

template <typename T>
T Load(std::span<const uint8_t> area, size_t at) {
  if (at > area.size() || area.size() - at < sizeof(T)) throw RingError("ring field outside the mapped area");
  T value;
  std::memcpy(&value, area.data() + at, sizeof value);
  return value;
}

template <typename T>
void Store(std::span<uint8_t> area, size_t at, T value) {
  std::memcpy(area.data() + at, &value, sizeof value);
}

// The ring's two indices are shared with the kernel: the head is read
// after the entries it covers were written, the tail written after the
// responses it covers.
std::atomic_ref<uint32_t> Index(std::span<uint8_t> area, size_t at) {
  return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(area.data() + at));
}

// A range of the mapped area named by an offset and a length, checked.
std::span<uint8_t> Slice(std::span<uint8_t> area, uint64_t offset, uint64_t length, const char* what) {
  if (offset > area.size() || area.size() - offset < length)
    throw RingError(std::string(what) + " outside the mapped area");
  return area.subspan(offset, length);
}

struct Request {
  std::vector<uint8_t> cdb;
  std::vector<std::span<uint8_t>> pieces;  // the data buffer, in the data area
};

// Reads what the entry asks before its response overwrites it: the
// response shares the entry's bytes with the iovec array and, often, the CDB.
Request ReadRequest(std::span<uint8_t> area, std::span<uint8_t> entry) {
  Request r;
  const uint32_t count = Load<uint32_t>(entry, offsetof(tcmu_cmd_entry, req.iov_cnt));
  if (count > (entry.size() - std::min(entry.size(), kIovAt)) / sizeof(iovec))
    throw RingError("entry holds fewer iovecs than it counts");
  for (uint32_t i = 0; i < count; ++i) {
    const auto base = Load<uint64_t>(entry, kIovAt + i * sizeof(iovec));
    const auto length = Load<uint64_t>(entry, kIovAt + i * sizeof(iovec) + 8);
    r.pieces.push_back(Slice(area, base, length, "data buffer"));
  }
  const auto cdb_at = Load<uint64_t>(entry, offsetof(tcmu_cmd_entry, req.cdb_off));
  if (cdb_at >= area.size()) throw RingError("CDB outside the mapped area");
  const std::span<uint8_t> rest = area.subspan(cdb_at);
  const size_t length = CdbLength(rest.data(), rest.size());
  if (length == 0 || length > rest.size()) throw RingError("CDB outside the mapped area");
  r.cdb.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(length));
  return r;
}

void Answer(std::span<uint8_t> entry, const Request& request, const RingHandler& handler, bool read_len) {
  size_t total = 0;
  for (const auto& piece : request.pieces) total += piece.size();
  std::vector<uint8_t> data(total);
  size_t at = 0;
  for (const auto& piece : request.pieces) {
    std::copy(piece.begin(), piece.end(), data.begin() + at);
    at += piece.size();
  }
  const RingAnswer answer = handler(request.cdb, data);
  const size_t returned = std::min<size_t>(answer.data_in, total);
  at = 0;
  for (const auto& piece : request.pieces) {
    if (at >= returned) break;
    const size_t n = std::min(piece.size(), returned - at);
    std::copy_n(data.begin() + at, n, piece.begin());
    at += n;
  }
  std::memset(entry.data() + offsetof(tcmu_cmd_entry, rsp), 0, sizeof(tcmu_cmd_entry::rsp));
  Store<uint8_t>(entry, offsetof(tcmu_cmd_entry, rsp.scsi_status), answer.status);
  if (!answer.sense.empty()) {
    std::memcpy(entry.data() + kSenseAt, answer.sense.data(),
                std::min<size_t>(answer.sense.size(), TCMU_SENSE_BUFFERSIZE));
  }
  // A zero length means "the whole buffer" to the kernel, so only a
  // shorter answer is told.
  if (read_len && returned != 0 && returned < total) {
    Store<uint32_t>(entry, offsetof(tcmu_cmd_entry, rsp.read_len), static_cast<uint32_t>(returned));
    entry[offsetof(tcmu_cmd_entry, hdr.uflags)] |= TCMU_UFLAG_READ_LEN;
  }
}

}  // namespace

size_t CdbLength(const uint8_t* cdb, size_t available) {
  if (available == 0) return 0;
  if (cdb[0] == 0x7F) return available > 7 ? size_t{cdb[7]} + 8 : 0;
  static constexpr uint8_t kByGroup[8] = {6, 10, 10, 12, 16, 12, 10, 10};
  return kByGroup[cdb[0] >> 5];
}

size_t ServeRing(std::span<uint8_t> area, const RingHandler& handler) {
  const auto ring_at = Load<uint32_t>(area, offsetof(tcmu_mailbox, cmdr_off));
  const auto ring_size = Load<uint32_t>(area, offsetof(tcmu_mailbox, cmdr_size));
  const bool read_len = (Load<uint16_t>(area, offsetof(tcmu_mailbox, flags)) & TCMU_MAILBOX_FLAG_CAP_READ_LEN) != 0;
  const std::span<uint8_t> ring = Slice(area, ring_at, ring_size, "command ring");
  if (ring_at < sizeof(tcmu_mailbox) || ring_size == 0) throw RingError("command ring overlaps the mailbox");
  size_t answered = 0;
  uint32_t tail = Index(area, kTailAt).load(std::memory_order_relaxed);
  while (true) {
    const uint32_t head = Index(area, kHeadAt).load(std::memory_order_acquire);
    if (tail == head) break;
    if (tail >= ring_size || head >= ring_size || tail % TCMU_OP_ALIGN_SIZE != 0)
      throw RingError("ring index outside the ring");
    const auto len_op = Load<uint32_t>(ring, tail);
    const uint32_t length = tcmu_hdr_get_len(len_op);
    // The kernel pads rather than let an entry wrap round the ring's end.
    if (length == 0 || length % TCMU_OP_ALIGN_SIZE != 0 || length > ring_size - tail)
      throw RingError("ring entry of length " + std::to_string(length) + " does not fit the ring");
    const std::span<uint8_t> entry = ring.subspan(tail, length);
    switch (tcmu_hdr_get_op(len_op)) {
      case TCMU_OP_PAD:
      case TCMU_OP_TMR:  // task management notices ask for no answer
        break;
      case TCMU_OP_CMD:
        if (length < sizeof(tcmu_cmd_entry)) throw RingError("command entry shorter than its response");
        Answer(entry, ReadRequest(area, entry), handler, read_len);
        ++answered;
        break;
      default:
        entry[offsetof(tcmu_cmd_entry, hdr.uflags)] |= TCMU_UFLAG_UNKNOWN_OP;
        break;
    }
    tail = (tail + length) % ring_size;
    Index(area, kTailAt).store(tail, std::memory_order_release);
  }
  return answered;
}

}  // namespace orvex::vburner
