// SPDX-License-Identifier: Apache-2.0
// The request queue and its worker: requests submitted by callers run
// in order, on the caller's thread when nothing is ahead of them, else on
// the worker, which also runs tray and medium controls between commands
// and wakes for operations that end in modelled time.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "vburner/drive.h"

namespace orvex::vburner {

Drive::Drive(DriveConfig config, Clock& clock, std::shared_ptr<TraceFile> trace_file)
    : config_(std::move(config)), clock_(clock), trace_file_(std::move(trace_file)) {
  tray_open_ = config_.tray_open;
  if (config_.unit_attention) unit_attention_ = kPowerOnReset;
  PlanConfiguredFaults();
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

uint8_t Drive::Submit(TSRB_ExecSCSICmd* srb, uint32_t* data_in) {
  auto request = std::make_shared<Request>();
  request->srb = srb;
  request->data_in = data_in;
  const bool wait = config_.synchronous || (srb->SRB_Flags & kSrbPostEvent) == 0;
  request->post = !wait;
  srb->SRB_Status = kSrbStatusPending;
  std::unique_lock<std::mutex> lock(mutex_);
  if (stop_) {
    srb->SRB_Status = kSrbStatusAborted;
    return kSrbStatusAborted;
  }
  const bool first = queue_.empty() && controls_.empty() && !executing_ && !stalled_ && !HeldBack(*request);
  if (first && (wait || AnswersInABlink())) {
    // Nothing runs or waits before it: the caller's thread runs the command
    // itself, sparing the two thread switches and the post event of a
    // hand-over.  A posted command is then answered by the call, as on a
    // drive that completes at once: no event follows.
    request->post = false;
    ExecuteHere(*request, lock);
    return srb->SRB_Status;
  }
  queue_.push_back(request);
  // A worker that is running takes this one after what it does: only an
  // idle one needs waking.
  if (worker_idle_) wake_.notify_all();
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
    worker_idle_ = true;
    if (deadline && clock_.Scale() > 0)
      wake_.wait_until(lock, clock_.RealDeadline(*deadline));
    else
      wake_.wait(lock);
    worker_idle_ = false;
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

bool Drive::AnswersInABlink() const {
  const double scale = clock_.Scale();
  return scale <= 0 || scale >= kBlinkScale;
}

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

}  // namespace orvex::vburner
