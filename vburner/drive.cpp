#include "vburner/drive.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
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
// Life cycle and the worker

Drive::Drive(DriveConfig config, Clock& clock, std::shared_ptr<TraceFile> trace_file)
    : config_(std::move(config)), clock_(clock), trace_file_(std::move(trace_file)) {
  stalled_ = config_.stall == kStallAtStart;
  if (!stalled_) stall_after_ = config_.stall;
  tray_open_ = config_.tray_open;
  if (config_.unit_attention) unit_attention_ = kPowerOnReset;
  ResetModePages();
  worker_ = std::thread([this] { Work(); });
}

Drive::~Drive() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  done_.notify_all();
  worker_.join();
  if (medium_) SaveMedium();
}

uint8_t Drive::Submit(TSRB_ExecSCSICmd* srb) {
  auto request = std::make_shared<Request>();
  request->srb = srb;
  const bool wait = config_.synchronous || (srb->SRB_Flags & kSrbPostEvent) == 0;
  request->post = !wait;
  srb->SRB_Status = kSrbStatusPending;
  std::unique_lock<std::mutex> lock(mutex_);
  if (stop_) {
    srb->SRB_Status = kSrbStatusAborted;
    return kSrbStatusAborted;
  }
  if (wait && queue_.empty() && controls_.empty() && !executing_ && !stalled_ && !HeldBack(*request)) {
    // Nothing runs or waits before it: the caller's thread runs the command
    // itself, sparing the two thread switches of a hand-over.
    ExecuteHere(*request, lock);
    return srb->SRB_Status;
  }
  queue_.push_back(request);
  wake_.notify_all();
  if (!wait) return kSrbStatusPending;
  // While a delayed command holds the queue, those waiting behind it are slow too.
  const auto delayed = [&] {
    const std::optional<uint64_t> release = queue_.empty() ? std::nullopt : queue_.front()->release_at;
    return release && clock_.Now() < *release;
  };
  done_.wait(lock, [&] { return request->done || delayed() || stalled_ || stop_; });
  if (!request->done) {
    // A drive that stopped answering, or is slow to: the caller gets its answer later.
    request->post = (srb->SRB_Flags & kSrbPostEvent) != 0;
    return kSrbStatusPending;
  }
  return srb->SRB_Status;
}

void Drive::ExecuteHere(Request& request, std::unique_lock<std::mutex>& lock) {
  std::unique_lock<std::mutex>* const worker = held_;
  held_ = &lock;
  const std::optional<uint64_t> deadline = NextDeadline();
  executing_ = true;
  Execute(request);
  executing_ = false;
  held_ = worker;
  // The worker has something to do only when it was parked meanwhile, work
  // arrived, or the command moved the time it waits for; waking it for
  // every command would cost a thread switch each.
  if (worker_parked_ || !queue_.empty() || !controls_.empty() || NextDeadline() != deadline) wake_.notify_all();
}

void Drive::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  held_ = &lock;
  while (true) {
    if (executing_) {
      // A caller's thread runs a command (and may have let go of the lock
      // to spend time): nothing else happens to the drive meanwhile.
      worker_parked_ = true;
      wake_.wait(lock);
      worker_parked_ = false;
      continue;
    }
    if (!controls_.empty()) {
      std::function<void()> task = std::move(controls_.front());
      controls_.pop_front();
      task();
      continue;
    }
    if (stop_) break;
    Settle();
    if (!queue_.empty() && !stalled_ && !HeldBack(*queue_.front())) {
      std::shared_ptr<Request> request = queue_.front();
      queue_.pop_front();
      executing_ = true;
      Execute(*request);
      executing_ = false;
      continue;
    }
    const std::optional<uint64_t> deadline = NextDeadline();
    if (deadline && clock_.Scale() > 0)
      wake_.wait_until(lock, clock_.RealDeadline(*deadline));
    else
      wake_.wait(lock);
  }
  for (const std::shared_ptr<Request>& request : queue_) GiveUp(*request);
  queue_.clear();
  done_.notify_all();
  held_ = nullptr;
}

void Drive::GiveUp(Request& request) {
  TSRB_ExecSCSICmd& srb = *request.srb;
  srb.SRB_HaStat = kHaStatOk;
  srb.SRB_TargStat = kTargetStatusGood;
  std::atomic_ref<uint8_t>(srb.SRB_Status).store(kSrbStatusAborted, std::memory_order_release);
  if (request.post) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(static_cast<int>(srb.SRB_PostProc), &one, sizeof one);
  }
  request.done = true;
}

bool Drive::Abort(const TSRB_ExecSCSICmd* srb) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = std::find_if(queue_.begin(), queue_.end(),
                               [&](const std::shared_ptr<Request>& request) { return request->srb == srb; });
  if (it == queue_.end()) return false;
  const std::shared_ptr<Request> request = *it;
  queue_.erase(it);
  GiveUp(*request);
  done_.notify_all();
  return true;
}

bool Drive::RunControl(std::function<bool(std::string&)> task, std::string& error) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stop_) {
    error = "the drive is shutting down";
    return false;
  }
  bool finished = false;
  bool ok = false;
  controls_.push_back([&] {
    ok = task(error);
    finished = true;
    done_.notify_all();
  });
  wake_.notify_all();
  done_.wait(lock, [&] { return finished; });
  return ok;
}

void Drive::Wake() {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_.notify_all();
}

// ---------------------------------------------------------------------------
// Executing one command

// A delay fault holds the command at the head of the queue until modelled
// time reaches its release; a caller waiting in Submit is told "pending".
bool Drive::HeldBack(Request& request) {
  if (!request.release_at) {
    const auto it = bad_answers_.find(request.srb->CDBByte[0]);
    if (it == bad_answers_.end() || it->second.delay_us == 0) return false;
    request.release_at = clock_.Now() + std::exchange(it->second.delay_us, 0);
    done_.notify_all();
  }
  return clock_.Now() < *request.release_at;
}

const Drive::Handler* Drive::FindHandler(uint8_t opcode) {
  // A constant table, so that no destructor runs before the drives' own at
  // exit.  The last two numbers place an answer's length field.
  static constexpr struct {
    uint8_t opcode;
    Handler handler;
  } kHandlers[] = {
      {0x00, {&Drive::TestUnitReady, 6, 0}},
      {0x01, {&Drive::RezeroUnit, 6, 0}},
      {0x03, {&Drive::RequestSense, 6, kWhileBusy | kIgnoresAttention, 7, 1}},
      {0x04, {&Drive::FormatUnit, 6, kRecording}},
      {0x12, {&Drive::Inquiry, 6, kWhileBusy | kIgnoresAttention, 4, 1}},
      {0x1B, {&Drive::StartStopUnit, 6, 0}},
      {0x1E, {&Drive::PreventAllowMediumRemoval, 6, kWhileBusy}},
      {0x23, {&Drive::ReadFormatCapacities, 10, 0, 3, 1}},
      {0x25, {&Drive::ReadCapacity, 10, 0}},
      {0x28, {&Drive::Read10, 10, 0}},
      {0x2A, {&Drive::Write10, 10, kRecording}},
      {0x35, {&Drive::SynchronizeCache, 10, 0}},
      {0x43, {&Drive::ReadTocPmaAtip, 10, 0, 0, 2}},
      {0x46, {&Drive::GetConfiguration, 10, kWhileBusy | kIgnoresAttention, 0, 4}},
      {0x4A, {&Drive::GetEventStatusNotification, 10, kWhileBusy | kIgnoresAttention, 0, 2}},
      {0x51, {&Drive::ReadDiscInformation, 10, 0, 0, 2}},
      {0x52, {&Drive::ReadTrackInformation, 10, 0, 0, 2}},
      {0x53, {&Drive::ReserveTrack, 10, kRecording}},
      {0x55, {&Drive::ModeSelect10, 10, kWhileBusy}},
      {0x5A, {&Drive::ModeSense10, 10, kWhileBusy, 0, 2}},
      {0x5B, {&Drive::CloseTrackSession, 10, kRecording}},
      {0x5C, {&Drive::ReadBufferCapacity, 10, kWhileBusy, 0, 2}},
      {0xA1, {&Drive::Blank, 12, kRecording}},
      {0xAC, {&Drive::GetPerformance, 12, kWhileBusy, 0, 4}},
      {0xAD, {&Drive::ReadDiscStructure, 12, 0, 0, 2}},
      {0xB6, {&Drive::SetStreaming, 12, 0}},
      {0xBB, {&Drive::SetCdSpeed, 12, 0}},
      {0xBF, {&Drive::SendDiscStructure, 12, kRecording}},
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
  if (busy_count_ > 0) {
    --busy_count_;
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
  if (stall_after_ == c.cdb[0]) {
    stall_after_.reset();
    stalled_ = true;  // this command is answered, the next ones are not
  }
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
  if (const auto it = failures_.find(opcode); it != failures_.end()) {
    const Sense sense = it->second.sense;
    if (--it->second.count == 0) failures_.erase(it);
    Fail(sense);
  }
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
    ApplyOperation(finished.op, finished.end);
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
  if (medium_->Save(error)) return true;
  std::fprintf(stderr, "orvex-vburner: %s\n", error.c_str());
  return false;
}

void Drive::SaveOrFail() {
  if (!SaveMedium()) Fail(kWriteError);
}

void Drive::LoadMedium(std::unique_ptr<Medium> medium) {
  medium_ = std::move(medium);
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
