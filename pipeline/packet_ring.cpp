// SPDX-License-Identifier: Apache-2.0
#include "pipeline/packet_ring.h"

#include <algorithm>

namespace orvex {

TPacketRing::TPacketRing(std::atomic<int32_t>& packet_count, std::atomic<int64_t>& bytes_available)
    : packet_count_(packet_count), bytes_available_(bytes_available) {}

uint8_t* TPacketRing::Filling() {
  if (filling_ != nullptr) return filling_;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!spare_.empty()) {
    filling_ = spare_.back();
    spare_.pop_back();
  } else {
    owned_.emplace_back(new uint8_t[kPacketSize]);
    filling_ = owned_.back().get();
  }
  return filling_;
}

void TPacketRing::Queue(uint32_t size, int32_t file_id) {
  uint8_t* data = Filling();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back({data, size, file_id, nullptr, 0});
    packet_count_ = static_cast<int32_t>(queued_.size());
    bytes_available_ += size;
  }
  filling_ = nullptr;
  changed_.notify_all();
}

void TPacketRing::QueueCopy(std::shared_ptr<TCopySource> source, uint64_t offset, uint32_t size,
                            int32_t file_id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back({nullptr, size, file_id, std::move(source), offset});
    packet_count_ = static_cast<int32_t>(queued_.size());
    bytes_available_ += size;
  }
  changed_.notify_all();
}

bool TPacketRing::WaitForRoom(int32_t limit, const std::function<bool()>& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  const size_t wanted = static_cast<size_t>(std::max(1, limit - limit / 4));
  if (static_cast<int32_t>(queued_.size()) >= limit) {
    room_wanted_ = wanted;
    changed_.wait(lock, [&] { return queued_.size() < wanted || stop(); });
    room_wanted_ = 0;
  }
  return static_cast<int32_t>(queued_.size()) < limit;
}

bool TPacketRing::Take(TPacket& packet, const std::function<bool()>& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !queued_.empty() || stop(); });
  if (queued_.empty()) return false;
  packet = std::move(queued_.front());
  queued_.pop_front();
  packet_count_ = static_cast<int32_t>(queued_.size());
  bytes_available_ -= packet.Size;
  const bool room = room_wanted_ != 0 && queued_.size() < room_wanted_;
  lock.unlock();
  if (room) changed_.notify_all();
  return true;
}

void TPacketRing::Release(const TPacket& packet) {
  if (packet.Data == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  spare_.push_back(packet.Data);
}

void TPacketRing::Wake() {
  // Taking the lock orders the caller's change before any waiter's next look.
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}

}  // namespace orvex
