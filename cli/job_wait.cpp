#include "cli/job_wait.h"

#include <poll.h>
#include <signal.h>

#include <atomic>

namespace orvex::cli {
namespace {

std::atomic<TOrvex*> g_disc{nullptr};
std::atomic<bool> g_interrupted{false};

// Only lock-free atomic stores: safe in a signal handler.
void OnInterrupt(int) {
  g_interrupted = true;
  if (TOrvex* disc = g_disc.load()) disc->AbortOperation();
}

}  // namespace

TAbortOnInterrupt::TAbortOnInterrupt(TOrvex& disc) {
  g_disc = &disc;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

TAbortOnInterrupt::~TAbortOnInterrupt() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  g_disc = nullptr;
}

bool TAbortOnInterrupt::Interrupted() { return g_interrupted; }

void WaitForEvents(TOrvex& disc, const std::function<bool()>& done, const std::function<void()>& tick) {
  while (!done()) {
    pollfd p{disc.NotificationHandle(), POLLIN, 0};
    poll(&p, 1, 100);
    disc.ProcessMessages();
    tick();
  }
}

}  // namespace orvex::cli

static_assert(std::atomic<uint32_t>::is_always_lock_free && std::atomic<uint16_t>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free,
              "AbortOperation must be safe to call from a signal handler");
