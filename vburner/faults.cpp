// SPDX-License-Identifier: Apache-2.0
// The fault plan: what a test injects (vburner.h) or the drive's
// description sets from the start, and its taking as commands meet it:
// failing, busy and stalled commands, write errors and a pulled medium at a
// block, and bad answers: short transfers, length fields that overstate
// the data, a wrong current profile, empty sense data and commands that
// complete late.
#include <algorithm>

#include "vburner/drive.h"

namespace orvex::vburner {

namespace {

constexpr uint8_t kGetConfiguration = 0x46;

}  // namespace

template <typename Change>
void Drive::ChangeBadAnswer(uint8_t opcode, Change change) {
  std::lock_guard<std::mutex> lock(mutex_);
  change(bad_answers_[opcode]);
}

void Drive::ShortTransfer(uint8_t opcode, uint32_t bytes) {
  ChangeBadAnswer(opcode, [&](BadAnswer& bad) { bad.short_transfer = bytes; });
}

bool Drive::MisstateLength(uint8_t opcode, uint32_t length) {
  const Handler* handler = FindHandler(opcode);
  if (handler == nullptr || handler->length_width == 0) return false;
  ChangeBadAnswer(opcode, [&](BadAnswer& bad) { bad.length = length; });
  return true;
}

void Drive::MisstateProfile(uint16_t profile) {
  ChangeBadAnswer(kGetConfiguration, [&](BadAnswer& bad) { bad.profile = profile; });
}

void Drive::MistakeProfile(uint16_t profile) {
  std::lock_guard<std::mutex> lock(mutex_);
  mistaken_profile_ = profile;
}

void Drive::EmptySense(uint8_t opcode) {
  ChangeBadAnswer(opcode, [](BadAnswer& bad) { bad.empty_sense = true; });
}

void Drive::Delay(uint8_t opcode, uint64_t microseconds) {
  ChangeBadAnswer(opcode, [&](BadAnswer& bad) { bad.delay_us = microseconds; });
}

Drive::BadAnswer Drive::TakeBadAnswer(uint8_t opcode) {
  const auto it = bad_answers_.find(opcode);
  if (it == bad_answers_.end()) return {};
  const BadAnswer bad = it->second;
  bad_answers_.erase(it);
  return bad;
}

// Writes what the fault claims into the answer's own fields, as far as
// the allocation length left them in it.
void Drive::Misstate(Command& c, const BadAnswer& bad) const {
  Bytes& r = c.response;
  const Handler* handler = FindHandler(c.cdb[0]);
  if (bad.length && handler != nullptr && r.size() >= size_t{handler->length_at} + handler->length_width) {
    const uint64_t most = (uint64_t{1} << (8 * handler->length_width)) - 1;
    const auto claim = static_cast<uint32_t>(std::min<uint64_t>(*bad.length, most));
    uint8_t* field = &r[handler->length_at];
    if (handler->length_width == 1)
      field[0] = static_cast<uint8_t>(claim);
    else if (handler->length_width == 2)
      Put16(field, claim);
    else
      Put32(field, claim);
  }
  const std::optional<uint16_t> profile = bad.profile ? bad.profile : c.cdb[0] == kGetConfiguration ? mistaken_profile_ : std::nullopt;
  if (profile && r.size() >= 8) Put16(&r[6], *profile);
}

void Drive::PlanConfiguredFaults() {
  stalled_ = config_.stall == kStallAtStart;
  if (!stalled_) stall_after_ = config_.stall;
  if (config_.write_error) write_error_ = config_.write_error;
  // One opcode given n times fails its next n commands, with the sense given last.
  for (const auto& [opcode, sense] : config_.failures) {
    const auto it = failures_.find(opcode);
    failures_[opcode] = Failure{it == failures_.end() ? 1 : it->second.count + 1, sense};
  }
}

bool Drive::TakeBusy() {
  if (busy_count_ == 0) return false;
  --busy_count_;
  return true;
}

std::optional<Sense> Drive::TakeFailure(uint8_t opcode) {
  const auto it = failures_.find(opcode);
  if (it == failures_.end()) return std::nullopt;
  const Sense sense = it->second.sense;
  if (--it->second.count == 0) failures_.erase(it);
  return sense;
}

void Drive::Answered(uint8_t opcode) {
  if (stall_after_ != opcode) return;
  stall_after_.reset();
  stalled_ = true;  // this command is answered, the next ones are not
}

Drive::WriteFault Drive::TakeWriteFault(uint32_t lba, uint32_t count) {
  WriteFault fault{count, std::nullopt};
  if (write_error_ && write_error_->first >= lba && write_error_->first - lba < count) {
    fault.good = write_error_->first - lba;
    fault.sense = write_error_->second;
    write_error_.reset();
  }
  if (remove_at_ && *remove_at_ >= lba && *remove_at_ - lba < fault.good) {
    fault = {*remove_at_ - lba, kNoMediumTrayOpen, true};
    remove_at_.reset();
  }
  return fault;
}

void Drive::FailNext(uint8_t opcode, uint32_t count, Sense sense) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count == 0)
    failures_.erase(opcode);
  else
    failures_[opcode] = Failure{count, sense};
}

void Drive::ReportBusy(uint32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  busy_count_ = count;
}

void Drive::WriteErrorAt(uint32_t lba, Sense sense) {
  std::lock_guard<std::mutex> lock(mutex_);
  write_error_ = std::make_pair(lba, sense);
}

void Drive::RemoveMediumAt(uint32_t lba) {
  std::lock_guard<std::mutex> lock(mutex_);
  remove_at_ = lba;
}

void Drive::Stall(bool stalled) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stalled_ = stalled;
  }
  wake_.notify_all();
  done_.notify_all();
}

void Drive::ClearFaults() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.clear();
    busy_count_ = 0;
    write_error_.reset();
    remove_at_.reset();
    stalled_ = false;
    stall_after_.reset();
    bad_answers_.clear();
    mistaken_profile_.reset();
    for (const std::shared_ptr<Request>& request : queue_)
      if (request->release_at) request->release_at = 0;  // held back: released now
  }
  wake_.notify_all();
}

}  // namespace orvex::vburner
