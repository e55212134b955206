// SPDX-License-Identifier: Apache-2.0
#include "pipeline/job_control.h"

namespace orvex {

bool TJobControl::Idle() {
  if (running_) return false;
  workers_.JoinAll();
  return true;
}

bool TJobControl::Begin() {
  if (!Idle()) return false;
  aborted_ = false;
  failed_ = false;
  closing_ = false;
  halted_ = false;
  user_stops_ = 0;
  error_.Set(TJobFailure{});
  running_ = true;
  return true;
}

void TJobControl::RequestStop(uint32_t error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (error != kErrorNone) error_.Number = error;
    failed_ = true;
    aborted_ = true;
    if (waker_) waker_();
  }
  changed_.notify_all();
}

bool TJobControl::UserStop() {
  const bool halt = user_stops_++ > 0 && closing_;
  if (halt) halted_ = true;
  RequestStop(halt ? kErrorClosingHalted : kErrorAborted);
  return halt;
}

void TJobControl::Fail(const TJobFailure& failure) {
  error_.Set(failure);
  RequestStop(kErrorNone);
}

void TJobControl::Notify() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}

void TJobControl::SetWaker(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  waker_ = std::move(wake);
}

void TJobControl::End(const std::function<void()>& report) {
  running_ = false;
  Notify();
  report();
}

}  // namespace orvex
