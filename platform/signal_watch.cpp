// SPDX-License-Identifier: Apache-2.0
#include "platform/signal_watch.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace orvex {
namespace {

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

TSignalWatch::TSignalWatch() {
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

TSignalWatch::~TSignalWatch() {
  if (fd_ >= 0) close(fd_);
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool TSignalWatch::Poll() {
  signalfd_siginfo info;
  while (fd_ >= 0 && read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    arrived_ = static_cast<int>(info.ssi_signo);
    ++count_;
  }
  return Arrived();
}

}  // namespace orvex
