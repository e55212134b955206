// SPDX-License-Identifier: Apache-2.0
// The signals that stop a program and its job: Ctrl-C (SIGINT), SIGTERM
// and a closed terminal (SIGHUP).  They are blocked in every thread and read
// through a signal descriptor that the wait loops poll, so no handler runs
// at all: the main loop sees the signal and asks the job to stop, and the
// job cleans up (a partial image is removed) like any failed run.
#ifndef ORVEX_PLATFORM_SIGNAL_WATCH_H_
#define ORVEX_PLATFORM_SIGNAL_WATCH_H_

namespace orvex {

class TSignalWatch {
 public:
  // Blocks the signals for the calling thread and the threads it starts, so
  // create it before any other thread exists.
  TSignalWatch();
  ~TSignalWatch();
  TSignalWatch(const TSignalWatch&) = delete;
  TSignalWatch& operator=(const TSignalWatch&) = delete;

  // Readable while a signal waits.
  int Fd() const { return fd_; }

  // Takes a waiting signal, if any, without blocking; true once any has
  // arrived.
  bool Poll();
  bool Arrived() const { return arrived_ != 0; }
  // How many signals Poll has taken so far.
  unsigned Count() const { return count_; }

 private:
  int fd_ = -1;
  int arrived_ = 0;
  unsigned count_ = 0;
};

}  // namespace orvex

#endif  // ORVEX_PLATFORM_SIGNAL_WATCH_H_
