// SPDX-License-Identifier: Apache-2.0
#include "vburner/drive.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace orvex::vburner {

namespace {

// Handler traits.
constexpr uint8_t kWhileBusy = 1;         // answered while an operation keeps the drive not ready
constexpr uint8_t kIgnoresAttention = 2;  // does not report (or clear) a unit attention
constexpr uint8_t kRecording = 4;         // unknown to a drive that writes nothing

}  // namespace

// ---------------------------------------------------------------------------
// Command

const uint8_t* Command::TakeDataOut(uint32_t length) {
  if (length == 0) return buffer;
  if ((flags & kSrbDataIn) != 0) throw TransportError{kHaStatPhaseError};
  if (length > buffer_length) throw TransportError{kHaStatDataOverUnderrun};
  data_out = buffer;
  data_out_length = length;
  return buffer;
}

uint8_t* Command::DataInBuffer(uint32_t length) {
  if (length == 0) return buffer;
  if ((flags & kSrbDataOut) != 0) throw TransportError{kHaStatPhaseError};
  if (length > buffer_length) throw TransportError{kHaStatDataOverUnderrun};
  if (length > most_in) {
    response.assign(length, 0);
    return response.data();
  }
  direct = buffer;
  data_in = length;
  return buffer;
}

void Command::Respond(Bytes data, uint32_t allocation_length) {
  if (data.size() > allocation_length) data.resize(allocation_length);
  response = std::move(data);
}

// ---------------------------------------------------------------------------
// Executing one command

const Drive::Handler* Drive::FindHandler(uint8_t opcode) {
  // A constant table, so that no destructor runs before the drives' own at
  // exit.
  static constexpr struct {
    uint8_t opcode;
    Handler handler;
  } kHandlers[] = {
      {0x00, {.run = &Drive::TestUnitReady, .cdb_length = 6}},
      {0x01, {.run = &Drive::RezeroUnit, .cdb_length = 6}},
      {0x03, {.run = &Drive::RequestSense, .cdb_length = 6, .traits = kWhileBusy | kIgnoresAttention,
               .length_at = 7, .length_width = 1}},
      {0x04, {.run = &Drive::FormatUnit, .cdb_length = 6, .traits = kRecording}},
      {0x12, {.run = &Drive::Inquiry, .cdb_length = 6, .traits = kWhileBusy | kIgnoresAttention,
               .length_at = 4, .length_width = 1}},
      {0x1B, {.run = &Drive::StartStopUnit, .cdb_length = 6}},
      {0x1E, {.run = &Drive::PreventAllowMediumRemoval, .cdb_length = 6, .traits = kWhileBusy}},
      {0x23, {.run = &Drive::ReadFormatCapacities, .cdb_length = 10, .length_at = 3, .length_width = 1}},
      {0x25, {.run = &Drive::ReadCapacity, .cdb_length = 10}},
      {0x28, {.run = &Drive::Read10, .cdb_length = 10}},
      {0x2A, {.run = &Drive::Write10, .cdb_length = 10, .traits = kRecording}},
      {0x35, {.run = &Drive::SynchronizeCache, .cdb_length = 10}},
      {0x43, {.run = &Drive::ReadTocPmaAtip, .cdb_length = 10, .length_width = 2}},
      {0x46, {.run = &Drive::GetConfiguration, .cdb_length = 10, .traits = kWhileBusy | kIgnoresAttention,
               .length_width = 4}},
      {0x4A, {.run = &Drive::GetEventStatusNotification, .cdb_length = 10, .traits = kWhileBusy | kIgnoresAttention,
               .length_width = 2}},
      {0x51, {.run = &Drive::ReadDiscInformation, .cdb_length = 10, .length_width = 2}},
      {0x52, {.run = &Drive::ReadTrackInformation, .cdb_length = 10, .length_width = 2}},
      {0x53, {.run = &Drive::ReserveTrack, .cdb_length = 10, .traits = kRecording}},
      {0x54, {.run = &Drive::SendOpcInformation, .cdb_length = 10, .traits = kRecording}},
      {0x55, {.run = &Drive::ModeSelect10, .cdb_length = 10, .traits = kWhileBusy}},
      {0x5A, {.run = &Drive::ModeSense10, .cdb_length = 10, .traits = kWhileBusy, .length_width = 2}},
      {0x5B, {.run = &Drive::CloseTrackSession, .cdb_length = 10, .traits = kRecording}},
      {0x5C, {.run = &Drive::ReadBufferCapacity, .cdb_length = 10, .traits = kWhileBusy, .length_width = 2}},
      {0xA1, {.run = &Drive::Blank, .cdb_length = 12, .traits = kRecording}},
      {0xAC, {.run = &Drive::GetPerformance, .cdb_length = 12, .traits = kWhileBusy, .length_width = 4}},
      {0xAD, {.run = &Drive::ReadDiscStructure, .cdb_length = 12, .length_width = 2}},
      {0xB6, {.run = &Drive::SetStreaming, .cdb_length = 12}},
      {0xBB, {.run = &Drive::SetCdSpeed, .cdb_length = 12}},
      {0xBF, {.run = &Drive::SendDiscStructure, .cdb_length = 12, .traits = kRecording}},
  };
  for (const auto& entry : kHandlers)
    if (entry.opcode == opcode) return &entry.handler;
  return nullptr;
}

void Drive::Execute(Request& request) {
  TSRB_ExecSCSICmd& srb = *request.srb;
  Command c{srb.CDBByte, srb.SRB_CDBLen, srb.SRB_Flags, srb.SRB_BufPointer, srb.SRB_BufLen, {}};
  uint8_t status = kSrbStatusDone;
  uint8_t host = kHaStatOk;
  uint8_t target = kTargetStatusGood;
  std::optional<CheckCondition> check;
  Settle();
  if (TakeBusy()) {
    status = kSrbStatusError;
    target = kTargetStatusBusy;
  } else if (const BadAnswer bad = TakeBadAnswer(c.cdb[0]); bad.empty_sense) {
    // The command fails with nothing to say why: the sense area stays zero.
    status = kSrbStatusError;
    target = kTargetStatusCheckCondition;
  } else {
    try {
      c.most_in = bad.short_transfer.value_or(UINT32_MAX);
      Dispatch(c);
      Misstate(c, bad);
      Deliver(srb, c);
    } catch (const CheckCondition& condition) {
      check = condition;
      status = kSrbStatusError;
      target = kTargetStatusCheckCondition;
    } catch (const TransportError& error) {
      status = kSrbStatusError;
      host = error.host_status;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "orvex-vburner: internal failure: %s\n", error.what());
      check = CheckCondition{kInternalTargetFailure, std::nullopt, std::nullopt};
      status = kSrbStatusError;
      target = kTargetStatusCheckCondition;
    }
  }
  srb.SRB_HaStat = host;
  srb.SRB_TargStat = target;
  std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
  if (check) {
    const auto sense = BuildFixedSense(*check);
    std::memcpy(srb.SenseArea, sense.data(), std::min<size_t>({srb.SRB_SenseLen, sense.size(), sizeof srb.SenseArea}));
  }
  Record(srb, c, status, check);
  if (request.data_in != nullptr) *request.data_in = c.data_in;
  Answered(c.cdb[0]);
  // The status goes last: a caller polling it may reuse the block at once.
  std::atomic_ref<uint8_t>(srb.SRB_Status).store(status, std::memory_order_release);
  if (request.post) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(static_cast<int>(srb.SRB_PostProc), &one, sizeof one);
  }
  request.done = true;
  done_.notify_all();
}

// Copies the response into the caller's buffer.  When fewer bytes reach
// the host than fit there (a short-transfer fault), the request's length
// is lowered to what arrived, so that the residue shows.
void Drive::Deliver(TSRB_ExecSCSICmd& srb, Command& c) {
  if (c.response.empty()) return;
  if ((c.flags & kSrbDataOut) != 0) throw TransportError{kHaStatPhaseError};
  const uint32_t fits = std::min<uint32_t>(static_cast<uint32_t>(c.response.size()), c.buffer_length);
  c.data_in = std::min(fits, c.most_in);
  std::memcpy(c.buffer, c.response.data(), c.data_in);
  if (c.data_in < fits) {
    srb.SRB_BufLen = c.data_in;
    throw TransportError{kHaStatDataOverUnderrun};
  }
  if (c.response.size() > c.buffer_length) throw TransportError{kHaStatDataOverUnderrun};
}

void Drive::Dispatch(Command& c) {
  const uint8_t opcode = c.cdb[0];
  if (const std::optional<Sense> failure = TakeFailure(opcode)) Fail(*failure);
  const Handler* handler = FindHandler(opcode);
  if (handler == nullptr || ((handler->traits & kRecording) != 0 && !config_.WritesAny())) Fail(kInvalidOpcode);
  // The request block's CDB length must cover the command's own.
  if (c.cdb_length < handler->cdb_length) throw TransportError{kHaStatPhaseError};
  if (unit_attention_ && (handler->traits & kIgnoresAttention) == 0) {
    const Sense attention = *unit_attention_;
    unit_attention_.reset();
    Fail(attention);
  }
  if (active_ && (handler->traits & kWhileBusy) == 0) throw CheckCondition{active_->op.busy, std::nullopt, Progress()};
  if (deferred_error_ && (handler->traits & kIgnoresAttention) == 0)
    throw CheckCondition{*std::exchange(deferred_error_, std::nullopt), std::nullopt, std::nullopt, true};
  (this->*handler->run)(c);
}

void Drive::Record(const TSRB_ExecSCSICmd& srb, const Command& c, uint8_t status,
                   const std::optional<CheckCondition>& check) {
  if (!tracing_ && !trace_file_) return;
  vb_trace_entry e{};
  e.time_us = clock_.Now();
  std::memcpy(e.cdb, srb.CDBByte, sizeof e.cdb);
  e.cdb_length = srb.SRB_CDBLen;
  e.flags = srb.SRB_Flags;
  e.status = status;
  e.host_status = srb.SRB_HaStat;
  e.target_status = srb.SRB_TargStat;
  if (check) {
    e.sense_key = check->sense.key;
    e.asc = check->sense.asc;
    e.ascq = check->sense.ascq;
  }
  e.data_out_length = c.data_out_length;
  e.data_in_length = c.data_in;
  const uint8_t* data = c.data_out_length != 0 ? c.data_out : c.direct != nullptr ? c.direct : c.response.data();
  e.data_captured = std::min<uint32_t>(c.data_out_length != 0 ? c.data_out_length : c.data_in, VB_TRACE_DATA);
  if (e.data_captured != 0) std::memcpy(e.data, data, e.data_captured);
  if (trace_file_) trace_file_->Append(vb_address{config_.ha, config_.target, config_.lun}, e);
  if (!tracing_) return;
  if (trace_.size() == VB_TRACE_LIMIT) trace_.pop_front();
  trace_.push_back(e);
}

// ---------------------------------------------------------------------------
// Time: operations in the background and commands that take time

void Drive::Settle() {
  const uint64_t now = clock_.Now();
  if (active_ && now >= active_->end) {
    const Active finished = std::move(*active_);
    active_.reset();
    if (!ApplyOperation(finished.op, finished.end)) deferred_error_ = kWriteError;
  }
  if (background_ && now >= background_->second) {
    background_.reset();
    if (medium_) {
      medium_->state().format = FormatState::kFormatted;
      SaveMedium();
      PostMediaEvent(kBackgroundFormatCompleted);
    }
  }
}

std::optional<uint64_t> Drive::NextDeadline() const {
  std::optional<uint64_t> deadline;
  if (active_) deadline = active_->end;
  if (background_ && (!deadline || background_->second < *deadline)) deadline = background_->second;
  if (!queue_.empty() && queue_.front()->release_at && (!deadline || *queue_.front()->release_at < *deadline))
    deadline = queue_.front()->release_at;
  return deadline;
}

void Drive::Spend(uint64_t microseconds) {
  if (microseconds == 0) return;
  std::unique_lock<std::mutex>& lock = *held_;
  if (clock_.Scale() <= 0) {
    // Advancing the clock wakes every drive, this one included.
    lock.unlock();
    clock_.Advance(microseconds);
    lock.lock();
    return;
  }
  const uint64_t until = clock_.Now() + microseconds;
  while (!stop_ && clock_.Now() < until) wake_.wait_until(lock, clock_.RealDeadline(until));
}

void Drive::RunOperation(const Operation& op, bool immediate) {
  if (op.stops_background) background_.reset();
  if (immediate && op.duration_us != 0) {
    const uint64_t now = clock_.Now();
    active_ = Active{now, now + op.duration_us, op};
    return;
  }
  Spend(op.duration_us);
  if (!ApplyOperation(op, clock_.Now())) Fail(kWriteError);
}

bool Drive::ApplyOperation(const Operation& op, uint64_t at) {
  if (!medium_) return true;
  bool ok = true;
  std::string error;
  if (op.erase && !medium_->store().Erase(error)) {
    std::fprintf(stderr, "orvex-vburner: %s\n", error.c_str());
    ok = false;
  }
  if (op.finish) op.finish(medium_->state());
  if (op.background_us != 0) background_ = std::make_pair(at, at + op.background_us);
  return SaveMedium() && ok;
}

std::optional<uint16_t> Drive::Progress() const {
  if (!active_ || active_->end <= active_->start) return std::nullopt;
  const uint64_t now = std::min(clock_.Now(), active_->end);
  return static_cast<uint16_t>((now - active_->start) * 65535 / (active_->end - active_->start));
}

// ---------------------------------------------------------------------------
// Medium

MediumState& Drive::RequireMedium() {
  if (tray_open_) Fail(kNoMediumTrayOpen);
  if (!medium_) Fail(kNoMediumTrayClosed);
  if (!config_.Reads(medium_->state().profile)) Fail(kCannotReadMedium);
  return medium_->state();
}

MediumState& Drive::RequireWritable() {
  MediumState& s = RequireMedium();
  if (!config_.Writes(s.profile)) Fail(kCannotWriteMedium);
  return s;
}

bool Drive::SaveMedium() {
  std::string error;
  save_due_in_ = 0;
  if (medium_->Save(error)) return true;
  std::fprintf(stderr, "orvex-vburner: %s\n", error.c_str());
  return false;
}

void Drive::SaveOrFail(std::optional<uint32_t> lba) {
  if (!SaveMedium()) throw CheckCondition{kWriteError, lba, std::nullopt};
}

void Drive::NoteRecorded(uint32_t lba, uint32_t blocks) {
  if (blocks < save_due_in_) {
    save_due_in_ -= blocks;
    return;
  }
  SaveOrFail(lba);
  save_due_in_ = kSaveEveryBlocks;
}

void Drive::LoadMedium(std::unique_ptr<Medium> medium) {
  medium_ = std::move(medium);
  save_due_in_ = 0;
  deferred_error_.reset();
  requested_read_ = requested_write_ = 0xFFFF;
  buffer_level_ = 0;
  PostMediaEvent(kNewMedia);
  // A pending power-on attention stands for this one too.
  if (config_.unit_attention && !unit_attention_) unit_attention_ = kMediumMayHaveChanged;
}

void Drive::UnloadMedium() {
  if (!medium_) return;
  if (!tray_open_) PostMediaEvent(kMediaRemoval);  // with the tray open it has left already
  Spend(BufferFlushTime());
  buffer_level_ = 0;
  background_.reset();  // an unfinished background format stays suspended on the disc
  medium_->state().simulated_track = -1;
  medium_->state().simulated = 0;
  SaveMedium();
}

bool Drive::Insert(std::unique_ptr<Medium> medium, std::string& error) {
  // std::function wants a copyable task; the medium travels in a shared holder.
  auto holder = std::make_shared<std::unique_ptr<Medium>>(std::move(medium));
  return RunControl(
      [this, holder](std::string&) {
        UnloadMedium();
        active_.reset();
        tray_open_ = false;
        LoadMedium(std::move(*holder));
        return true;
      },
      error);
}

bool Drive::Remove(std::string& error) {
  return RunControl(
      [this](std::string&) {
        UnloadMedium();
        active_.reset();
        medium_.reset();
        tray_open_ = false;
        return true;
      },
      error);
}

bool Drive::SetTray(bool open, std::string& error) {
  return RunControl(
      [this, open](std::string&) {
        if (open && !tray_open_) UnloadMedium();
        if (!open && tray_open_ && medium_) LoadMedium(std::move(medium_));
        active_.reset();
        tray_open_ = open;
        return true;
      },
      error);
}

bool Drive::WithMedium(const std::string& medium_path, const std::function<bool(const Medium&)>& task) {
  bool held = false;
  std::string ignored;
  RunControl(
      [&](std::string&) {
        std::error_code failed;
        held = medium_ && std::filesystem::equivalent(medium_->path(), medium_path, failed);
        if (held) {
          SaveMedium();
          task(*medium_);
        }
        return true;
      },
      ignored);
  return held;
}

// ---------------------------------------------------------------------------
// Trace

void Drive::SetTracing(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  tracing_ = on;
  if (on) trace_.clear();
}

size_t Drive::TraceSize() {
  std::lock_guard<std::mutex> lock(mutex_);
  return trace_.size();
}

bool Drive::TraceAt(size_t index, vb_trace_entry& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (index >= trace_.size()) return false;
  out = trace_[index];
  return true;
}

}  // namespace orvex::vburner
